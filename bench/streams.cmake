# Stream formats: position packets, state records and section files, per item.
add_executable(packet_bench ${CMAKE_CURRENT_LIST_DIR}/packet_bench.cpp)
target_link_libraries(packet_bench PRIVATE halvex_engine)
set_target_properties(packet_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

# The goal: a position packet cut and parsed in at most 300 ns.
add_test(NAME bench_packet COMMAND packet_bench --check)
set_tests_properties(bench_packet PROPERTIES LABELS bench RUN_SERIAL TRUE)

# Fetching a state file of 1000 nodes over HTTP, beside curl fetching it from the same server.
add_executable(remote_fetch_bench ${CMAKE_CURRENT_LIST_DIR}/remote_fetch_bench.cpp)
target_link_libraries(remote_fetch_bench PRIVATE halvex_engine)
set_target_properties(remote_fetch_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

# The goal: a fetch, records applied, no slower than a curl run fetching the same URL.
add_test(NAME bench_remote_fetch COMMAND remote_fetch_bench --check)
set_tests_properties(bench_remote_fetch PROPERTIES LABELS bench RUN_SERIAL TRUE)
