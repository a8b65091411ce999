#include "halvex/gl/view_local.h"

#include "halvex/gl/draw_context.h"
#include "halvex/gl/view_camera.h"

ViewLocal viewLocalOf(const DrawContext& context) {
  ViewLocal local;
  const ViewCamera* camera = context.camera;
  if (!camera) return local;
  local.extent = camera->extent();
  local.left = camera->left();
  local.bottom = camera->bottom();
  local.iconScale = camera->iconScale();
  local.inverseRotation = camera->inverseRotation();
  local.inversePitchRotation = camera->inversePitchRotation();
  return local;
}

void turnOffset(const float* m, double x, double y, double z, double out[3]) {
  if (!m) {
    out[0] = x;
    out[1] = y;
    out[2] = z;
    return;
  }
  for (int row = 0; row < 3; ++row) out[row] = m[row] * x + m[4 + row] * y + m[8 + row] * z;
}
