// Course and speed over ground from two fixes of a node, on the WGS 84 ellipsoid.
#pragma once

#include <cstdint>

/// Where and when a node was.
struct MotionFix {
  double latitude = 0;   ///< Degrees, south negative, -90 to 90.
  double longitude = 0;  ///< Degrees, west negative.
  int64_t timeMs = 0;    ///< UTC ms since 1970.
};

/// How a node moved between two fixes.
struct Motion {
  double course = 0;  ///< Degrees clockwise from true north, 0 to below 360; 0 when still.
  double speed = 0;   ///< Metres per second over the ellipsoid.
};

/// The motion from `earlier` to `later`: the straight track between them on a local plane at
/// their mean latitude, which is exact to far better than a GPS fix for fixes a few kilometres
/// apart. Longitudes are taken the short way round, across the antimeridian when that is
/// shorter. Returns false, leaving `motion` unchanged, when `later` is not after `earlier` or a
/// coordinate is not finite or a latitude lies beyond a pole.
bool motionBetween(const MotionFix& earlier, const MotionFix& later, Motion& motion);
