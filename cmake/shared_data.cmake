# The shared data folder, share/halvex: the world map's map graphics file, the demo setups with
# their icons, and the sample files. The build lays it out under the build folder exactly as it is
# installed, so the programs find it beside their bin folder in both places.
include(GNUInstallDirs)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(HALVEX_SHARED_DATA ${CMAKE_BINARY_DIR}/share/halvex)
file(GLOB halvex_demo_setup CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/demo/halvex/*)
list(FILTER halvex_demo_setup EXCLUDE REGEX "/[.][^/]*$")
set(halvex_samples ${CMAKE_SOURCE_DIR}/demo/positions.txt ${CMAKE_SOURCE_DIR}/demo/reports.cast
                   ${CMAKE_SOURCE_DIR}/demo/field-reports.cast)
set(halvex_shared_data_stamp ${CMAKE_BINARY_DIR}/share/halvex.stamp)

add_custom_command(OUTPUT ${halvex_shared_data_stamp}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${HALVEX_SHARED_DATA}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${HALVEX_SHARED_DATA}/demo ${HALVEX_SHARED_DATA}/samples
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/world-maps.txt ${HALVEX_SHARED_DATA}
  COMMAND ${CMAKE_COMMAND} -E copy ${halvex_demo_setup} ${HALVEX_SHARED_DATA}/demo
  COMMAND ${CMAKE_COMMAND} -E copy ${halvex_samples} ${HALVEX_SHARED_DATA}/samples
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/make_demo_icons
          ${HALVEX_SHARED_DATA}/demo/icons
  COMMAND ${CMAKE_COMMAND} -E touch ${halvex_shared_data_stamp}
  DEPENDS ${CMAKE_SOURCE_DIR}/data/world-maps.txt ${halvex_demo_setup} ${halvex_samples}
          ${CMAKE_SOURCE_DIR}/scripts/make_demo_icons
  COMMENT "Laying out the shared data in share/halvex"
  VERBATIM)
add_custom_target(shared_data ALL DEPENDS ${halvex_shared_data_stamp})

install(DIRECTORY ${HALVEX_SHARED_DATA}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/halvex)
