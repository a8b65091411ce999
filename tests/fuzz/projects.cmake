# The project file reader with a real local-state group, written back and read again.
halvex_fuzzer(project_file_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/project_file_fuzz.cpp
              LIBS halvex_project)
