#include "halvex/view/frame_view.h"

#include <FL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "halvex/gl/view_local.h"

FrameView FrameView::current(const ViewLocal& local) {
  FrameView view;
  float modelView[Matrix4::kSize], projection[Matrix4::kSize];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  Matrix4::multiply(modelView, projection, view.matrix);
  glGetIntegerv(GL_VIEWPORT, view.viewport);
  view.left = local.left;
  view.bottom = local.bottom;
  return view;
}

bool FrameView::project(float x, float y, float& px, float& py, float* depth) const {
  const float* m = matrix;
  const float w = m[3] * x + m[7] * y + m[15];
  if (!(w > 0)) return false;
  px = ((m[0] * x + m[4] * y + m[12]) / w + 1) * 0.5f * viewport[2];
  py = ((m[1] * x + m[5] * y + m[13]) / w + 1) * 0.5f * viewport[3];
  if (depth) *depth = std::clamp(((m[2] * x + m[6] * y + m[14]) / w + 1) * 0.5f, 0.0f, 1.0f);
  return true;
}

bool FrameView::operator==(const FrameView& other) const {
  return std::memcmp(matrix, other.matrix, sizeof matrix) == 0 &&
         std::equal(viewport, viewport + 4, other.viewport) && left == other.left &&
         bottom == other.bottom;
}
