# The data set's markers, labels and picking, drawn into a real GLX context under a virtual X
# server and read back by pixel.
halvex_test(data_set_draw_test XVFB
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/data_set_draw_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/scene_test_support.cpp
  LIBS halvex_view
  LABELS view)
