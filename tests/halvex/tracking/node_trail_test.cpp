// The trail store: what it takes, the span it keeps and its bound per node.
#include "halvex/tracking/node_trail.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr int64_t kT0 = 1'700'000'000'000;  ///< Some UTC ms.
constexpr int64_t kMinute = 60'000;

/// Whether `points` run in time order and none lies before `oldestMs`.
bool inOrderFrom(const TrailPoints& points, int64_t oldestMs) {
  for (size_t k = 0; k < points.size(); ++k) {
    if (points[k].ms < oldestMs || (k > 0 && points[k].ms < points[k - 1].ms)) return false;
  }
  return true;
}

TEST(TrailStoreTest, TakesOnlyWhatDrawsRight) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    int id;
    int64_t ms;
    double latitude, longitude;
    size_t points;  ///< Node 5's points after the three fixes before and this one.
    int64_t lastMs;
  };
  // Before each case node 5 holds (0, 0) at kT0, (1, 1) at kT0 + 1 s and (1, 1) at kT0 + 2 s.
  const Case cases[] = {
      {"a new place", 5, kT0 + 3000, 2, 2, 4, kT0 + 3000},
      {"a longer stay moves its last time", 5, kT0 + 3000, 1, 1, 3, kT0 + 3000},
      {"an earlier time takes the last one", 5, kT0 + 1500, 2, 2, 4, kT0 + 2000},
      {"too old for the span", 5, kT0 - 11 * kMinute, 2, 2, 3, kT0 + 2000},
      {"latitude not a number", 5, kT0 + 3000, nan, 2, 3, kT0 + 2000},
      {"longitude infinite", 5, kT0 + 3000, 2, HUGE_VAL, 3, kT0 + 2000},
      {"id below 0", -1, kT0 + 3000, 2, 2, 3, kT0 + 2000},
      {"id above 1000", 1001, kT0 + 3000, 2, 2, 3, kT0 + 2000},
  };
  for (const Case& c : cases) {
    TrailStore trails;
    trails.add(5, kT0, 0, 0);
    trails.add(5, kT0 + 1000, 1, 1);
    trails.add(5, kT0 + 2000, 1, 1);
    trails.add(c.id, c.ms, c.latitude, c.longitude);
    const TrailPoints points = trails.pointsOf(5);
    ASSERT_EQ(points.size(), c.points) << c.what;
    EXPECT_EQ(points.back().ms, c.lastMs) << c.what;
    EXPECT_EQ(points[1].ms, kT0 + 1000) << c.what << ": the stay keeps its first time";
    EXPECT_EQ(trails.idLimit(), 6) << c.what;
    EXPECT_TRUE(trails.pointsOf(c.id).empty() || c.id == 5) << c.what;
  }
}

TEST(TrailStoreTest, FixesGoInAtTheirArrivalTime) {
  TrailStore trails;
  FixEvent fix;
  fix.id = 1000;
  fix.fixMs = kT0 - 5000;
  fix.arrivalMs = kT0;
  fix.latitude = 32.5;
  fix.longitude = -117.25;
  trails.fixAccepted(fix);
  ASSERT_EQ(trails.pointsOf(1000).size(), 1u);
  EXPECT_EQ(trails.pointsOf(1000)[0].ms, kT0);
  EXPECT_EQ(trails.pointsOf(1000)[0].latitude, 32.5);
  EXPECT_EQ(trails.pointsOf(1000)[0].longitude, -117.25);
}

TEST(TrailStoreTest, KeepsTheSpanBeforeTheNewestTimeOfAnyNode) {
  TrailStore trails;
  trails.setMinutes(10);
  for (int s = 0; s <= 20 * 60; ++s) trails.add(1, kT0 + s * 1000, s * 1e-4, 0);
  const TrailPoints points = trails.pointsOf(1);
  EXPECT_EQ(points.front().ms, kT0 + 10 * kMinute);
  EXPECT_EQ(points.back().ms, kT0 + 20 * kMinute);
  EXPECT_EQ(points.size(), 10u * 60 + 1);
  // Another node's newer fix ages node 1's points out at its next fix.
  trails.add(2, kT0 + 25 * kMinute, 0, 0);
  trails.add(1, kT0 + 25 * kMinute, 1, 1);
  EXPECT_EQ(trails.pointsOf(1).front().ms, kT0 + 15 * kMinute);
  EXPECT_TRUE(inOrderFrom(trails.pointsOf(1), kT0 + 15 * kMinute));
}

TEST(TrailStoreTest, StaysBoundedAndKeepsTheSpanOverLongRuns) {
  struct Case {
    int minutes;
    int64_t stepMs;  ///< Between fixes.
    int64_t gapMs;   ///< Widest gap allowed between points, and after the span's start.
  };
  const Case cases[] = {{24 * 60, 1000, 2 * kMinute}, {60, 100, 5000}, {10, 50, 1000}};
  constexpr int kFixes = 100'000;
  for (const Case& c : cases) {
    TrailStore trails;
    trails.setMinutes(c.minutes);
    size_t most = 0;
    for (int k = 0; k < kFixes; ++k) {
      trails.add(3, kT0 + k * c.stepMs, std::sin(k * 1e-3), std::cos(k * 1e-3));
      most = std::max(most, trails.pointsOf(3).size());
    }
    const TrailPoints points = trails.pointsOf(3);
    EXPECT_LE(most, static_cast<size_t>(TrailStore::kMaxPoints)) << c.minutes;
    const int64_t newest = kT0 + (kFixes - 1) * c.stepMs;
    const int64_t start = newest - c.minutes * kMinute;
    EXPECT_EQ(points.back().ms, newest) << c.minutes;
    EXPECT_TRUE(inOrderFrom(points, start)) << c.minutes;
    EXPECT_LE(points.front().ms - start, c.gapMs) << c.minutes;
    for (size_t k = 1; k < points.size(); ++k) {
      ASSERT_LE(points[k].ms - points[k - 1].ms, c.gapMs) << c.minutes << " at " << k;
    }
  }
}

TEST(TrailStoreTest, NoMinutesTurnsTrailsOff) {
  TrailStore trails;
  EXPECT_EQ(trails.minutes(), TrailStore::kDefaultMinutes);
  trails.add(4, kT0, 1, 1);
  trails.setMinutes(0);
  EXPECT_TRUE(trails.pointsOf(4).empty());
  trails.add(4, kT0 + 1000, 2, 2);
  EXPECT_TRUE(trails.pointsOf(4).empty());
  trails.setMinutes(-5);
  EXPECT_EQ(trails.minutes(), 0);
  trails.setMinutes(3);
  trails.add(4, kT0 + 2000, 2, 2);
  EXPECT_EQ(trails.pointsOf(4).size(), 1u);
  trails.clear();
  EXPECT_EQ(trails.idLimit(), 0);
}

}  // namespace
