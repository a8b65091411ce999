// A trail's line: close to every point in place and time, far fewer vertices, and the same
// whether the points come at once or a few at a time.
#include "halvex/view/trail_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int64_t kT0 = 1'700'000'000'000;
constexpr double kTolerance = 1e-4;     ///< Degrees.
constexpr double kTimeTolerance = 4e4;  ///< ms.
constexpr int kPoints = 1200;

/// A node winding along at changing speed, one point a second, standing still for three
/// minutes at the start and on the way.
TrailStore windingTrail() {
  TrailStore trails;
  trails.setMinutes(60);
  double x = 10, y = 30, heading = 0;
  for (int k = 0; k < kPoints; ++k) {
    const bool standing = k < 180 || (k >= 400 && k < 580);
    if (!standing) {
      const double step = 1e-4 * (1.5 + std::sin(k * 0.01));
      heading += 0.02 * std::sin(k * 0.03);
      x += step * std::cos(heading);
      y += step * std::sin(heading);
    }
    trails.add(1, kT0 + k * 1000, y, x);
  }
  return trails;
}

/// The distance from p to the segment a-b, and p's share of the way along it.
double distanceTo(const TrailPoint& p, const TrailLine::Vertex& a, const TrailLine::Vertex& b) {
  const double dx = b.longitude - a.longitude, dy = b.latitude - a.latitude;
  const double px = p.longitude - a.longitude, py = p.latitude - a.latitude;
  const double squared = dx * dx + dy * dy;
  const double t = squared > 0 ? std::clamp((px * dx + py * dy) / squared, 0.0, 1.0) : 0;
  return std::hypot(px - t * dx, py - t * dy);
}

TEST(TrailLineTest, PassesNearEveryPointInPlaceAndTime) {
  const TrailStore trails = windingTrail();
  const TrailPoints points = trails.pointsOf(1);
  TrailLine line;
  line.update(points, kTolerance, kTimeTolerance, kT0);
  const std::vector<TrailLine::Vertex>& v = line.vertices();
  ASSERT_GE(v.size(), 2u);
  EXPECT_LT(v.size(), points.size() / 8) << "a line needs far fewer vertices than points";
  EXPECT_EQ(v.front().ms, points.front().ms);
  EXPECT_EQ(v.back().ms, points.back().ms);
  size_t segment = 0;
  for (const TrailPoint& p : points) {
    while (segment + 2 < v.size() && v[segment + 1].ms < p.ms) ++segment;
    const TrailLine::Vertex& a = v[segment];
    const TrailLine::Vertex& b = v[segment + 1];
    ASSERT_LE(distanceTo(p, a, b), kTolerance * 1.0001) << "at " << p.ms - kT0;
    // Time runs linearly along a segment; beyond the tolerance around its start, the point's
    // time is met within the time tolerance.
    const double along = std::hypot(p.longitude - a.longitude, p.latitude - a.latitude);
    const double length = std::hypot(b.longitude - a.longitude, b.latitude - a.latitude);
    if (along > kTolerance && length > 0) {
      const double drawn = a.ms + (b.ms - a.ms) * along / length;
      ASSERT_NEAR(drawn, p.ms, kTimeTolerance * 1.01) << "at " << p.ms - kT0;
    }
  }
}

TEST(TrailLineTest, PointsAFewAtATimeGiveTheLineOfAllAtOnce) {
  const TrailStore whole = windingTrail();
  TrailLine once;
  once.update(whole.pointsOf(1), kTolerance, kTimeTolerance, kT0);

  TrailStore growing;
  growing.setMinutes(60);
  TrailLine bit;
  const TrailPoints all = whole.pointsOf(1);
  for (size_t k = 0; k < all.size(); ++k) {
    growing.add(1, all[k].ms, all[k].latitude, all[k].longitude);
    if (k % 7 == 0 || k + 1 == all.size()) {
      bit.update(growing.pointsOf(1), kTolerance, kTimeTolerance, kT0);
    }
  }
  ASSERT_EQ(bit.vertices().size(), once.vertices().size());
  for (size_t k = 0; k < once.vertices().size(); ++k) {
    EXPECT_EQ(bit.vertices()[k].ms, once.vertices()[k].ms) << k;
  }

  // A new scale, and a trail that starts over earlier (a replay sought back), build it anew.
  bit.update(all, kTolerance * 4, kTimeTolerance, kT0);
  EXPECT_LT(bit.vertices().size(), once.vertices().size());
  TrailStore earlier;
  earlier.add(1, kT0 - 5000, 1, 1);
  earlier.add(1, kT0 - 4000, 2, 2);
  bit.update(earlier.pointsOf(1), kTolerance * 4, kTimeTolerance, kT0 - 60'000);
  ASSERT_EQ(bit.vertices().size(), 2u);
  EXPECT_EQ(bit.vertices()[0].ms, kT0 - 5000);
}

TEST(TrailLineTest, DropsVerticesBeforeTheSpanButWhereItEntersIt) {
  const TrailStore trails = windingTrail();
  TrailLine line;
  line.update(trails.pointsOf(1), kTolerance, kTimeTolerance, kT0);
  const int64_t oldest = kT0 + 700'000;
  line.update(trails.pointsOf(1), kTolerance, kTimeTolerance, oldest);
  const std::vector<TrailLine::Vertex>& v = line.vertices();
  ASSERT_GE(v.size(), 2u);
  EXPECT_LT(v[0].ms, oldest);
  EXPECT_GE(v[1].ms, oldest);
}

}  // namespace
