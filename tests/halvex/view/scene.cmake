# The drawing surface, extension probe, node icons, ring markers, readout, the frame and the
# routing of the view's events.
halvex_test(scene_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/surface_probe_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/scene_pick_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/node_icon_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/view_event_route_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/scene_test_support.cpp
  LIBS halvex_view
  LABELS view)

# The same parts drawing into a real GLX context under a virtual X server, read back by pixel,
# and the surface's routing of real X pointer and key events.
halvex_test(scene_gl_test XVFB
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/scene_gl_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ring_marker_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/surface_routing_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/gl_text_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/scene_test_support.cpp
  LIBS halvex_view
  LABELS view)
