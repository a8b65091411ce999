# Track recordings.

# The recording reader on any file: open, seeks and walks, whole and in steps.
halvex_fuzzer(recording_reader_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/recording_reader_fuzz.cpp LIBS halvex_history)
