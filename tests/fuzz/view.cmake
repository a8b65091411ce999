# The .view file reader of the view camera, with the camera's frame and pointer ground position
# computed from what it read. Built from the camera's own sources, so that it does not need the
# whole view library.
find_package(OpenGL REQUIRED)
halvex_fuzzer(view_file_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/view_file_fuzz.cpp ${CMAKE_SOURCE_DIR}/halvex/view/view_camera.cpp
          ${CMAKE_SOURCE_DIR}/halvex/view/pointer_ground.cpp
  LIBS common_core OpenGL::GL OpenGL::GLU)
