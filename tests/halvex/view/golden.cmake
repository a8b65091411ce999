# Whole frames of the view compared with the frames kept in golden/ (HALVEX_WRITE_GOLDEN=1 writes
# them instead).
halvex_test(golden_frame_test XVFB
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/golden_frame_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/golden_image.cpp
          ${CMAKE_CURRENT_LIST_DIR}/scene_test_support.cpp
  LIBS halvex_view
  LABELS view)
target_compile_definitions(golden_frame_test PRIVATE
  HALVEX_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")
