# Which node labels are drawn when they crowd each other (no display needed).
halvex_test(label_declutter_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/label_declutter_test.cpp
  LIBS halvex_view
  LABELS view)
