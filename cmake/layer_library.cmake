# One pattern for every source folder: a folder is one layer and builds one library (two where a
# part needs the display), from an explicit list of its sources, linked against lower layers only.
#
# layer_library(NAME SOURCES files... [LINKS libs...] [INCLUDES dirs...])
#
# Besides the library, a link-check program takes every object of it (whole archive) and only
# what LINKS names: a symbol the folder uses but that only a higher folder defines leaves the
# program unlinked, so the build fails where a member would hide in a higher layer.
function(layer_library name)
  cmake_parse_arguments(L "" "" "SOURCES;LINKS;INCLUDES" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR} ${L_INCLUDES})
  target_link_libraries(${name} PUBLIC ${L_LINKS})
  if(HALVEX_LINK_CHECK)
    add_executable(${name}_link_check ${CMAKE_SOURCE_DIR}/cmake/link_check_main.cpp)
    target_link_libraries(${name}_link_check PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}>")
    set_target_properties(${name}_link_check PROPERTIES
      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/link_check)
  endif()
endfunction()
