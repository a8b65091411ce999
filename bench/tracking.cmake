# Writing and reading a 1000-node state file.
add_executable(state_file_bench state_file_bench.cpp)
target_link_libraries(state_file_bench PRIVATE halvex_engine)
set_target_properties(state_file_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_test(NAME bench_state_file COMMAND state_file_bench --check)
set_tests_properties(bench_state_file PROPERTIES LABELS bench RUN_SERIAL TRUE)
