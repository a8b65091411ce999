# Map geo-reference: the map setup file reader and the project's "MAP_group" section reader,
# with maps that show no dialogs.
foreach(target map_setup_fuzz map_group_fuzz)
  halvex_fuzzer(${target} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp LIBS halvex_maps)
endforeach()
