# The headless tracker: multicast ingest against a plain receive loop, and its idle cost.
add_executable(ingest_bench ingest_bench.cpp)
target_link_libraries(ingest_bench PRIVATE halvex_engine)
target_compile_definitions(ingest_bench PRIVATE
  NETNS_RUN="${CMAKE_SOURCE_DIR}/tests/netns_run.sh"
  HALVEX_PATH="$<TARGET_FILE:halvex>"
  PKTSEND_PATH="$<TARGET_FILE:pktsend>")
add_dependencies(ingest_bench halvex pktsend)
set_target_properties(ingest_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_test(NAME bench_ingest COMMAND ingest_bench --check)
set_tests_properties(bench_ingest PROPERTIES LABELS bench RUN_SERIAL TRUE TIMEOUT 300)

# The windowed tracker: time to its first frame, and its cost while running without traffic.
add_executable(window_bench window_bench.cpp)
target_link_libraries(window_bench PRIVATE halvex_app halvex_splash)
target_compile_definitions(window_bench PRIVATE
  NETNS_RUN="${CMAKE_SOURCE_DIR}/tests/netns_run.sh"
  XVFB_RUN="${CMAKE_SOURCE_DIR}/tests/xvfb_run.sh"
  HALVEX_PATH="$<TARGET_FILE:halvex>"
  DEMO_DIR="${CMAKE_SOURCE_DIR}/demo/halvex")
add_dependencies(window_bench halvex)
set_target_properties(window_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_test(NAME bench_window COMMAND window_bench --check)
set_tests_properties(bench_window PROPERTIES LABELS bench RUN_SERIAL TRUE TIMEOUT 180)

# The windowed tracker's frame rate while a remote state server trickles its response, beside the
# same window without remote input.
add_executable(remote_window_bench remote_window_bench.cpp)
target_link_libraries(remote_window_bench PRIVATE halvex_app)
target_compile_definitions(remote_window_bench PRIVATE
  XVFB_RUN="${CMAKE_SOURCE_DIR}/tests/xvfb_run.sh")
set_target_properties(remote_window_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
# The goal: at least 0.9 of the frame rate without remote input.
add_test(NAME bench_remote_window COMMAND remote_window_bench --check)
set_tests_properties(bench_remote_window PROPERTIES LABELS bench RUN_SERIAL TRUE TIMEOUT 180)

# The view at fleet scale: frame rates and first frame with 0, 100 and 1001 labelled nodes packed
# together over the world map.
add_executable(fleet_view_bench fleet_view_bench.cpp)
target_link_libraries(fleet_view_bench PRIVATE halvex_app)
target_compile_definitions(fleet_view_bench PRIVATE
  XVFB_RUN="${CMAKE_SOURCE_DIR}/tests/xvfb_run.sh"
  ICONS_DIR="${CMAKE_BINARY_DIR}/share/halvex/demo/icons"
  WORLD_MAP="/usr/share/xplanet/images/earth.jpg")
add_dependencies(fleet_view_bench shared_data)
set_target_properties(fleet_view_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
# The goals: at least 0.95 of the frame rate without nodes at "30 fps", and a first frame at most
# 1.2 times as long.
add_test(NAME bench_fleet_view COMMAND fleet_view_bench --check)
set_tests_properties(bench_fleet_view PROPERTIES LABELS bench RUN_SERIAL TRUE TIMEOUT 300)
