// WGS 84 ellipsoid constants shared by every projection of the geodesy library.
#pragma once

#include "common/angles.h"

namespace geodesy {

/// Semi-major axis of WGS 84 (metres).
constexpr double kWgs84A = 6378137.0;
/// Flattening of WGS 84.
constexpr double kWgs84F = 0.0033528106647474805;
/// Inverse flattening of WGS 84.
constexpr double kWgs84InvF = 298.257223563;
/// Two-letter ellipsoid code; it selects the standard 100 km square lettering.
constexpr const char* kWgs84Code = "WE";

/// Pi and its multiples, and the degree factors, as used throughout the geodesy.
using ::kPi;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kHalfPi = 0.5 * kPi;
using ::kDegToRad;
using ::kRadToDeg;

/// Accepted inverse-flattening range for any ellipsoid handed to a projection.
constexpr double kMinInvFlattening = 250.0;
constexpr double kMaxInvFlattening = 350.0;

/// True when 1/f of the flattening lies in the accepted range (false for NaN).
inline bool flatteningUsable(double f) {
  const double inv = 1.0 / f;
  return inv >= kMinInvFlattening && inv <= kMaxInvFlattening;
}

/// True when x lies in [lo, hi]; false for NaN.
inline bool inRange(double x, double lo, double hi) {
  return x >= lo && x <= hi;
}

}  // namespace geodesy
