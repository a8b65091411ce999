# Cursor on Target at fleet scale: a tracker's CoT output of 1001 vehicles at 10 fixes a second,
# and its CoT input of 1001 uids at 10 events a second, beside the plain multicast receive loop.
add_executable(cot_bench cot_bench.cpp)
target_link_libraries(cot_bench PRIVATE halvex_streams)
target_compile_definitions(cot_bench PRIVATE
  NETNS_RUN="${CMAKE_SOURCE_DIR}/tests/netns_run.sh"
  HALVEX_PATH="$<TARGET_FILE:halvex>"
  PKTSEND_PATH="$<TARGET_FILE:pktsend>")
add_dependencies(cot_bench halvex pktsend)
set_target_properties(cot_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

# The goal: no event lost either way, the output at 0.9 of the fleet's rate at least, and every
# node at its last event.
add_test(NAME bench_cot COMMAND cot_bench --check)
set_tests_properties(bench_cot PROPERTIES LABELS bench RUN_SERIAL TRUE TIMEOUT 240)
