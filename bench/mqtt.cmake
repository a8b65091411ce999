# Node states through a local mosquitto broker: one headless tracker publishing 1001 vehicles at
# 10 fixes a second, another applying them.
add_executable(mqtt_bench mqtt_bench.cpp)
target_compile_definitions(mqtt_bench PRIVATE
  NETNS_RUN="${CMAKE_SOURCE_DIR}/tests/netns_run.sh"
  HALVEX_PATH="$<TARGET_FILE:halvex>"
  PKTSEND_PATH="$<TARGET_FILE:pktsend>")
add_dependencies(mqtt_bench halvex pktsend)
set_target_properties(mqtt_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

# The goal: every node's last state arrives, and at most 50 ms from publish to apply for 99%.
add_test(NAME bench_mqtt COMMAND mqtt_bench --check)
set_tests_properties(bench_mqtt PROPERTIES LABELS bench RUN_SERIAL TRUE TIMEOUT 180)
