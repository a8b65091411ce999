#include "halvex/maps/corner_geometry.h"

#include <algorithm>
#include <cmath>

#include "common/matrix4.h"

namespace {
constexpr double kFullTurn = 360.0;  ///< Degrees.
}  // namespace

CornerBox boxOf(const CornerPoints corners) {
  CornerBox b{corners[0][0], corners[0][0], corners[0][1], corners[0][1]};
  for (int i = 1; i < 4; ++i) {
    b.minX = std::min(b.minX, corners[i][0]);
    b.maxX = std::max(b.maxX, corners[i][0]);
    b.minY = std::min(b.minY, corners[i][1]);
    b.maxY = std::max(b.maxY, corners[i][1]);
  }
  return b;
}

void resizeAboutCentre(CornerPoints corners, double heightDelta, double widthDelta, double* sx,
                       double* sy) {
  const CornerBox box = boxOf(corners);
  // A degenerate side keeps its scale rather than spreading the corners to infinity.
  const double scaleY = box.height() != 0 ? (box.height() + heightDelta) / box.height() : 1.0;
  const double scaleX = box.width() != 0 ? (box.width() + widthDelta) / box.width() : 1.0;
  const double gx = box.centerX();
  const double gy = box.centerY();
  for (int i = 0; i < 4; ++i) {
    corners[i][0] = gx + scaleX * (corners[i][0] - gx);
    corners[i][1] = gy + scaleY * (corners[i][1] - gy);
  }
  if (sx != nullptr) *sx = scaleX;
  if (sy != nullptr) *sy = scaleY;
}

void rotateAboutCentre(CornerPoints corners, double degrees) {
  if (!std::isfinite(degrees)) return;
  degrees = std::fmod(degrees, kFullTurn);
  const CornerBox box = boxOf(corners);
  float m[Matrix4::kSize];
  Matrix4::identity(m);
  Matrix4::rotateZ(m, static_cast<float>(degrees));
  for (int i = 0; i < 4; ++i) {
    const float offset[3] = {static_cast<float>(corners[i][0] - box.centerX()),
                             static_cast<float>(corners[i][1] - box.centerY()), 0.0f};
    float turned[3];
    Matrix4::transformPointAffine(offset, m, turned);
    corners[i][0] = box.centerX() + turned[0];
    corners[i][1] = box.centerY() + turned[1];
  }
}
