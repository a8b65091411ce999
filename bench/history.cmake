# Recordings of a 1000-vehicle fleet over 1 and 6 hours: size per fix, writer rate, open and seek
# times. The recordings are made once into bench-data/ in the build folder and reused.
add_executable(replay_seek_bench ${CMAKE_CURRENT_LIST_DIR}/replay_seek_bench.cpp)
target_link_libraries(replay_seek_bench PRIVATE halvex_history)
set_target_properties(replay_seek_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
# The goals: a seek in the 6-hour recording within 200 ms, at most 32 bytes per fix.
add_test(NAME bench_replay_seek COMMAND replay_seek_bench --check ${CMAKE_BINARY_DIR}/bench-data)
set_tests_properties(bench_replay_seek PROPERTIES LABELS bench RUN_SERIAL TRUE TIMEOUT 600)
