# The .view file reader of the view camera, with the camera's frame and pointer ground position
# computed from what it read.
halvex_fuzzer(view_file_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/view_file_fuzz.cpp LIBS halvex_gl)
