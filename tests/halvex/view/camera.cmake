# The view camera, the navigation step and the pointer ground position.
halvex_test(camera_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/camera_test.cpp ${CMAKE_CURRENT_LIST_DIR}/follow_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/pointer_test.cpp
  LIBS halvex_view
  LABELS view)

# The camera's matrices as OpenGL forms them, with a real context under a virtual X server.
halvex_test(camera_gl_test XVFB
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/camera_gl_test.cpp
  LIBS halvex_view
  LABELS view)
