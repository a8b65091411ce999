# The report converter's scanner and parser over arbitrary bytes.
halvex_fuzzer(cast_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/cast_fuzz.cpp LIBS dunmore_core)
