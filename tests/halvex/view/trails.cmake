# Trails: drawn into a real GLX context under a virtual X server and read back by pixel, and
# their lines and picture without a display.
halvex_test(trail_draw_test XVFB
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/trail_draw_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/scene_test_support.cpp
  LIBS halvex_view
  LABELS view)

# The trails' lines and picture, without a display.
halvex_test(trail_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/trail_line_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/trail_layer_test.cpp
  LIBS halvex_view
  LABELS view)
