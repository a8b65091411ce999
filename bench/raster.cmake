# The map raster view: frame rates while the tiles of a 40,000 x 40,000 pixel raster in UTM load
# along a camera path, beside the same path over the loaded map, and the time to a sharp view
# after jumps. The raster (VRTs repeating one JPEG tile) is made once into bench-data/ in the
# build folder and reused.
add_executable(raster_bench ${CMAKE_CURRENT_LIST_DIR}/raster_bench.cpp)
target_link_libraries(raster_bench PRIVATE halvex_app)
target_compile_definitions(raster_bench PRIVATE
  XVFB_RUN="${CMAKE_SOURCE_DIR}/tests/xvfb_run.sh"
  RASTER_BENCH_DATA="${CMAKE_BINARY_DIR}/bench-data")
set_target_properties(raster_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
# The goals at "30 fps": while tiles load at least 0.9 of the frame rate over the loaded map;
# sharp within 1 s of a jump.
add_test(NAME bench_raster COMMAND raster_bench --check)
set_tests_properties(bench_raster PROPERTIES LABELS bench RUN_SERIAL TRUE TIMEOUT 600)
