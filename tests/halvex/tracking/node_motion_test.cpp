// Course and speed from two fixes, against GeographicLib's geodesics on WGS 84.
#include "halvex/tracking/node_motion.h"

#include <gtest/gtest.h>

#include <GeographicLib/Geodesic.hpp>
#include <cmath>
#include <limits>

namespace {

constexpr int64_t kT0 = 1'796'646'919'500;  ///< Some UTC ms.

/// The angle from `a` to `b` in degrees, -180 to 180.
double turn(double a, double b) {
  return std::remainder(b - a, 360.0);
}

TEST(NodeMotionTest, MatchesTheGeodesic) {
  struct Case {
    const char* what;
    double lat1, lon1, lat2, lon2;
    int64_t ms;
  };
  const Case cases[] = {
      {"east along the equator", 0, 10, 0, 10.0027, 10'000},
      {"north-east at 60N", 60, 25, 60.0012, 25.0031, 10'000},
      {"south-west in the south", -33.9, 18.4, -33.9021, 18.3975, 10'000},
      {"west across the antimeridian", 10, -179.9995, 10.0001, 179.9993, 5'000},
      {"east across the antimeridian", -40, 179.9998, -40.0002, -179.9997, 5'000},
      {"1 s at 30 m/s due south", 32.78, -116.98, 32.779729, -116.98, 1'000},
      {"10 s step north-west", 51.5, -0.12, 51.5019, -0.1238, 10'000},
  };
  const GeographicLib::Geodesic& wgs84 = GeographicLib::Geodesic::WGS84();
  for (const Case& c : cases) {
    double distance = 0, azi1 = 0, azi2 = 0;
    wgs84.Inverse(c.lat1, c.lon1, c.lat2, c.lon2, distance, azi1, azi2);
    Motion motion;
    ASSERT_TRUE(motionBetween({c.lat1, c.lon1, kT0}, {c.lat2, c.lon2, kT0 + c.ms}, motion))
        << c.what;
    EXPECT_GE(motion.course, 0) << c.what;
    EXPECT_LT(motion.course, 360) << c.what;
    EXPECT_NEAR(turn(azi1, motion.course), 0, 0.1) << c.what;
    const double speed = distance / (c.ms / 1000.0);
    EXPECT_NEAR(motion.speed, speed, speed * 0.001) << c.what;
  }
}

TEST(NodeMotionTest, StillOrUntimedFixes) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    MotionFix later;
    bool known;
  };
  const MotionFix earlier{45, 7, kT0};
  const Case cases[] = {
      {"the same place later", {45, 7, kT0 + 1000}, true},
      {"the same place, one turn on", {45, 367, kT0 + 1000}, true},
      {"the same time", {45.001, 7, kT0}, false},
      {"an earlier time", {45.001, 7, kT0 - 1000}, false},
      {"latitude not a number", {nan, 7, kT0 + 1000}, false},
      {"beyond the pole", {90.5, 7, kT0 + 1000}, false},
      {"longitude infinite", {45, HUGE_VAL, kT0 + 1000}, false},
  };
  for (const Case& c : cases) {
    Motion motion{123, 4};
    EXPECT_EQ(motionBetween(earlier, c.later, motion), c.known) << c.what;
    EXPECT_EQ(motion.course, c.known ? 0 : 123) << c.what;
    EXPECT_EQ(motion.speed, c.known ? 0 : 4) << c.what;
  }
}

}  // namespace
