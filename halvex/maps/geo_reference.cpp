#include "halvex/maps/geo_reference.h"

#include <cmath>

void GeoReference::setCorner(int index, double x, double y) {
  if (index < 0 || index >= kCornerCount) return;
  corners_[index][0] = x;
  corners_[index][1] = y;
}

void GeoReference::move(double dy, double dx) {
  for (auto& corner : corners_) {
    corner[0] += dx;
    corner[1] += dy;
  }
}

void GeoReference::resize(double heightDelta, double widthDelta) {
  resizeAboutCentre(corners_, heightDelta, widthDelta);
}

void GeoReference::turn(double degrees) {
  rotateAboutCentre(corners_, degrees);
}

bool GeoReference::contains(double y, double x) const {
  // Inside when (x, y) is left of or on every edge of the counter-clockwise quadrilateral.
  for (int i = 0; i < kCornerCount; ++i) {
    const int j = (i + 1) % kCornerCount;
    const double ax = corners_[i][0] - x, ay = corners_[i][1] - y;
    const double bx = corners_[j][0] - x, by = corners_[j][1] - y;
    if (!(ax * by - ay * bx >= 0)) return false;
  }
  return true;
}

int GeoReference::nearestCorner(double y, double x) const {
  int best = 0;
  float bestDistance = 0;
  for (int i = 0; i < kCornerCount; ++i) {
    const double dx = corners_[i][0] - x, dy = corners_[i][1] - y;
    const float distance = static_cast<float>(std::sqrt(dx * dx + dy * dy));
    if (i == 0 || distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}
