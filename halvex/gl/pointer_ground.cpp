#include "halvex/gl/pointer_ground.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "halvex/gl/view_camera.h"

namespace {

constexpr double kMaxLongitude = 180.0;
constexpr double kMaxLatitude = 90.0;

/// Offset of a pixel's centre from its corner.
constexpr double kPixelCentre = 0.5;

struct Vec3 {
  double x, y, z;
};

Vec3 vec(const float* v) {
  return {v[0], v[1], v[2]};
}
Vec3 operator+(Vec3 a, Vec3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator-(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator*(Vec3 a, double s) {
  return {a.x * s, a.y * s, a.z * s};
}

/// start + t * step, where a zero step stays at start even for an unlimited t.
double along(double start, double step, double t) {
  if (step == 0) return start;
  return start + t * step;
}

}  // namespace

bool pointerGround(const ViewCamera& camera, double px, double py, double width, double height,
                   double* lat, double* lon) {
  if (!(width > 0) || !(height > 0)) return false;
  // View-local eye: world coordinates near longitude 117 leave single precision only ~1e-5
  // degrees, a few pixels at close zoom; the view's corner is added back in double at the end.
  const Vec3 e{camera.eyeLocal()[0], camera.eyeLocal()[1], camera.eyeLocal()[2]};
  const Vec3 f = vec(camera.viewDirection());
  const Vec3 u = vec(camera.upVector());
  const Vec3 r = vec(camera.rightVector());
  const double th = camera.tanHalfWidth();
  const double tv = camera.tanHalfHeight();

  // The window as a rectangle one unit in front of the eye, starting at its corner L.
  const Vec3 m = e + f;
  const Vec3 corner = m - (u * tv + r * th);
  const double sx = 2 * th * (px + kPixelCentre) / width;
  const double sy = 2 * tv * (py + kPixelCentre) / height;
  const Vec3 p = corner + r * sx + u * sy;

  Vec3 d = p - e;
  const double length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
  if (length != 0) d = d * (1 / length);
  // A ray that does not go down never meets the ground: it ends at the horizon, infinitely far.
  const double t = d.z < 0 ? -e.z / d.z : std::numeric_limits<double>::infinity();
  double x = camera.left() + along(e.x, d.x, t);
  double y = camera.bottom() + along(e.y, d.y, t);
  // A frame that overflowed (an absurd extent) has no usable eye; report the view centre then.
  if (std::isnan(x)) x = camera.centerX();
  if (std::isnan(y)) y = camera.centerY();
  if (std::isnan(x)) x = 0;
  if (std::isnan(y)) y = 0;
  x = std::clamp(x, -kMaxLongitude, kMaxLongitude);
  y = std::clamp(y, -kMaxLatitude, kMaxLatitude);
  if (lat != nullptr) *lat = y;
  if (lon != nullptr) *lon = x;
  return true;
}
