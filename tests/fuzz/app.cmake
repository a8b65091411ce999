# The tracker's start-up inputs: the auto-start file beside the program, the stereo settings file
# in the shared temporary folder, and the splash process's shared status block.
halvex_fuzzer(auto_start_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/auto_start_fuzz.cpp
              LIBS halvex_project)
halvex_fuzzer(stereo_settings_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/stereo_settings_fuzz.cpp
              LIBS halvex_gl)
halvex_fuzzer(splash_block_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/splash_block_fuzz.cpp
              LIBS halvex_splash)
