#include "halvex/tracking/node_motion.h"

#include <cmath>

#include "common/geodesy/ellipsoid.h"

namespace {

constexpr double kMsPerSecond = 1000.0;
constexpr double kFullTurnDegrees = 360.0;
constexpr double kPoleDegrees = 90.0;

/// First eccentricity squared of WGS 84.
constexpr double kWgs84E2 = geodesy::kWgs84F * (2.0 - geodesy::kWgs84F);

bool usableLatitude(double latitude) {
  return std::isfinite(latitude) && std::fabs(latitude) <= kPoleDegrees;
}

/// `degrees` brought into -180 to below 180.
double wrapHalfTurn(double degrees) {
  double wrapped = std::fmod(degrees + kHalfTurnDegrees, kFullTurnDegrees);
  if (wrapped < 0) wrapped += kFullTurnDegrees;
  return wrapped - kHalfTurnDegrees;
}

}  // namespace

bool motionBetween(const MotionFix& earlier, const MotionFix& later, Motion& motion) {
  if (later.timeMs <= earlier.timeMs || !usableLatitude(earlier.latitude) ||
      !usableLatitude(later.latitude) || !std::isfinite(earlier.longitude) ||
      !std::isfinite(later.longitude)) {
    return false;
  }
  // Radii of curvature at the mean latitude: along the meridian (north) and across it (east).
  const double meanLatitude = 0.5 * (earlier.latitude + later.latitude) * kDegToRad;
  const double sine = std::sin(meanLatitude);
  const double w2 = 1.0 - kWgs84E2 * sine * sine;
  const double primeVertical = geodesy::kWgs84A / std::sqrt(w2);
  const double meridian = primeVertical * (1.0 - kWgs84E2) / w2;
  const double north = meridian * (later.latitude - earlier.latitude) * kDegToRad;
  const double east = primeVertical * std::cos(meanLatitude) *
                      wrapHalfTurn(later.longitude - earlier.longitude) * kDegToRad;
  const double distance = std::hypot(north, east);
  const double seconds = static_cast<double>(later.timeMs - earlier.timeMs) / kMsPerSecond;
  Motion result;
  result.speed = distance / seconds;
  if (distance > 0) {
    result.course = std::atan2(east, north) * kRadToDeg;
    if (result.course < 0) result.course += kFullTurnDegrees;
    // A tiny negative angle rounds up to a full turn.
    if (result.course >= kFullTurnDegrees) result.course = 0;
  }
  motion = result;
  return true;
}
