# The project file reader with a real local-state group, written back and read again. The group
# is compiled from its source so that the target needs the model only, not the whole view.
halvex_fuzzer(project_file_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/project_file_fuzz.cpp
          ${CMAKE_SOURCE_DIR}/halvex/view/local_state_group.cpp
  LIBS halvex_model)
