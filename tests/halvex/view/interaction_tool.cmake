# The interaction tool window: its layout, the exclusive mode toggles and the drag box, driven
# with a real pointer under a virtual X server.
halvex_test(interaction_tool_test XVFB
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/interaction_tool_window_test.cpp
  LIBS halvex_ui common_x11
  LABELS view ui)
