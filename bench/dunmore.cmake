# The report converter's command line on a generated file of 100,000 reports.
add_executable(cast_bench ${CMAKE_CURRENT_LIST_DIR}/cast_bench.cpp)
target_link_libraries(cast_bench PRIVATE common_geodesy)
target_compile_definitions(cast_bench PRIVATE DUNMORE_PROGRAM="$<TARGET_FILE:dunmore>"
                           CAST_BENCH_DATA="${CMAKE_BINARY_DIR}/bench/data")
add_dependencies(cast_bench dunmore)
set_target_properties(cast_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

# The goal: 100,000 reports in under a second of one core, memory growing linearly.
add_test(NAME bench_cast COMMAND cast_bench --check)
set_tests_properties(bench_cast PROPERTIES LABELS bench RUN_SERIAL TRUE)

# Reading the CSV data set dunmore writes from the same 100,000 reports, beside the conversion.
add_executable(data_set_read_bench ${CMAKE_CURRENT_LIST_DIR}/data_set_read_bench.cpp)
target_link_libraries(data_set_read_bench PRIVATE halvex_streams common_geodesy)
target_compile_definitions(data_set_read_bench PRIVATE DUNMORE_PROGRAM="$<TARGET_FILE:dunmore>"
                           CAST_BENCH_DATA="${CMAKE_BINARY_DIR}/bench/data")
add_dependencies(data_set_read_bench dunmore)
set_target_properties(data_set_read_bench PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

# The goal: the read takes no longer than the conversion.
add_test(NAME bench_data_set_read COMMAND data_set_read_bench --check)
set_tests_properties(bench_data_set_read PROPERTIES LABELS bench RUN_SERIAL TRUE)
