#include <gtest/gtest.h>

#include <cmath>

#include "common/platform/perf_counter.h"
#include "halvex/gl/view_camera.h"
#include "halvex/tracking/node_table.h"
#include "halvex/tracking/tracking_settings.h"
#include "halvex/view/follow_frame.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr double kSquare = 400;  // draw area width and height (pixels)

/// Counter value `ms` milliseconds after 0.
int64_t at(double ms) {
  return static_cast<int64_t>(ms * static_cast<double>(perfFrequency()) / 1000.0);
}

/// Nodes 1 (target), 2 (chase), 3 and 4, none seen yet, and a camera in roam mode.
class Follow : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(table_.readNodeFile(dir_.write("nodes.txt", "1 t\n2 c\n3 a\n4 b\n").c_str()));
    settings_.targetId = 1;
    settings_.chaseId = 2;
    settings_.navigationMode = 0;
    settings_.displayMode = 0;
  }

  /// Places node `id` at (lon, lat) and marks it seen alive.
  void place(int id, double lon, double lat) {
    NodeRecord* node = table_.nodeById(id);
    node->longitude = lon;
    node->latitude = lat;
    node->seenAlive = 1;
  }

  /// One navigation step `ms` after the previous one.
  void step(double ms, double width = kSquare, double height = kSquare) {
    now_ += at(ms);
    followAndFrame(camera_, settings_, table_, width, height, state_, now_);
  }

  ScratchDir dir_;
  NodeTable table_;
  TrackingSettings settings_;
  ViewCamera camera_;
  FollowState state_;
  int64_t now_ = at(1000);
};

TEST_F(Follow, FrameModeWantsThreeForOneNodeADegreeEast) {
  place(1, 10, 50);
  place(3, 11, 50);
  step(16);
  EXPECT_TRUE(state_.following);
  EXPECT_TRUE(state_.framing);
  EXPECT_DOUBLE_EQ(state_.wantedExtent, 3);
  // The first step starts from the wanted extent and the target's place.
  EXPECT_DOUBLE_EQ(camera_.extent(), 3);
  EXPECT_DOUBLE_EQ(camera_.centerX(), 10);
  EXPECT_DOUBLE_EQ(camera_.centerY(), 50);

  // A wide draw area makes a north-south spread count by its width-to-height ratio.
  place(3, 10, 51);
  step(16, 2 * kSquare, kSquare);
  EXPECT_DOUBLE_EQ(state_.wantedExtent, 6);
  step(16, kSquare, 0);  // no height: the ratio is taken as 1
  EXPECT_DOUBLE_EQ(state_.wantedExtent, 3);
}

TEST_F(Follow, NothingHappensUntilTheTargetHasBeenSeen) {
  camera_.setCenter(3, 4);
  camera_.setExtent(7);
  place(3, 11, 50);
  step(16);
  EXPECT_FALSE(state_.following);
  EXPECT_FALSE(state_.framing);
  EXPECT_TRUE(state_.resetRequested);
  EXPECT_DOUBLE_EQ(camera_.centerX(), 3);
  EXPECT_DOUBLE_EQ(camera_.extent(), 7);
}

TEST_F(Follow, TargetGroupCountsChaseAndTheFirstCloseVehicles) {
  settings_.displayMode = 1;
  settings_.closeCount = 1;
  place(1, 10, 50);
  place(3, 11, 50);
  place(4, 15, 50);
  table_.buildNearest(1, 2);  // node 3 first, then node 4
  step(16);
  EXPECT_DOUBLE_EQ(state_.wantedExtent, 3);
  settings_.closeCount = 2;
  step(16);
  EXPECT_DOUBLE_EQ(state_.wantedExtent, 15);
  place(2, 10, 40);  // the chase vehicle, ten degrees south
  step(16);
  EXPECT_DOUBLE_EQ(state_.wantedExtent, 30);
  // Without any seen member of the group there is nothing to frame.
  table_.nodeById(2)->seenAlive = 0;
  settings_.closeCount = 0;
  step(16);
  EXPECT_FALSE(state_.framing);
}

TEST_F(Follow, NodesAllAtTheTargetKeepTheExtent) {
  camera_.setExtent(0.2);
  place(1, 10, 50);
  place(3, 10, 50);
  step(16);
  EXPECT_DOUBLE_EQ(camera_.extent(), 0.2);
}

TEST_F(Follow, CenterModeFollowsWithoutFraming) {
  settings_.navigationMode = 1;
  camera_.setExtent(2);
  place(1, 10, 50);
  place(3, 20, 50);
  step(16);
  EXPECT_TRUE(state_.following);
  EXPECT_FALSE(state_.framing);
  EXPECT_TRUE(state_.resetRequested);
  EXPECT_DOUBLE_EQ(camera_.extent(), 2);
  place(1, 12, 50);  // a full view width away: jumped to
  step(16);
  EXPECT_DOUBLE_EQ(camera_.centerX(), 12);
}

TEST_F(Follow, RoamModeStopsFollowing) {
  place(1, 10, 50);
  step(16);
  ASSERT_TRUE(state_.following);
  settings_.navigationMode = 2;
  place(1, 30, 50);
  step(16);
  EXPECT_FALSE(state_.following);
  EXPECT_FALSE(state_.framing);
  EXPECT_DOUBLE_EQ(camera_.centerX(), 10);
  // Back in a following mode, following starts again at the target.
  settings_.navigationMode = 1;
  step(16);
  EXPECT_DOUBLE_EQ(camera_.centerX(), 30);
}

TEST_F(Follow, DisplayModeChangeRestartsFromTheWantedExtent) {
  place(1, 10, 50);
  place(2, 11, 50);
  place(3, 11, 50);
  table_.buildNearest(1, 2);
  step(16);
  ASSERT_DOUBLE_EQ(camera_.extent(), 3);
  place(2, 12, 50);
  place(3, 12, 50);
  step(16);  // same display mode: the extent only starts moving toward 6
  EXPECT_GT(camera_.extent(), 3);
  EXPECT_LT(camera_.extent(), 3.1);
  settings_.displayMode = 1;
  step(16);
  EXPECT_DOUBLE_EQ(camera_.extent(), 6);
  EXPECT_FALSE(state_.resetRequested);
}

TEST_F(Follow, FramingMovesFurtherInLongerSteps) {
  place(1, 10, 50);
  place(3, 11, 50);
  step(16);
  place(3, 12, 50);
  step(1000.0 / 30);
  const double thirtyFps = camera_.extent() - 3;
  EXPECT_NEAR(thirtyFps, 3 * framingFraction(1000.0 / 30), 1e-8);
  EXPECT_NEAR(framingFraction(1000.0 / 60), 0.01, 1e-12);
  EXPECT_NEAR(framingFraction(1000.0 / 30), 1 - 0.99 * 0.99, 1e-12);
  EXPECT_GT(framingFraction(kMaxNavigationStepMs), 0.99);
  EXPECT_EQ(framingFraction(0), 0);
}

TEST(FollowStep, MillisecondsFromTheCounter) {
  EXPECT_DOUBLE_EQ(navigationStepMs(-1, at(5)), kFirstNavigationStepMs);
  EXPECT_NEAR(navigationStepMs(at(1000), at(1016)), 16, 1e-6);
  EXPECT_NEAR(navigationStepMs(at(1000), at(6000)), 5000, 1e-6);
  EXPECT_DOUBLE_EQ(navigationStepMs(at(1000), at(21000)), 10000);
  EXPECT_DOUBLE_EQ(navigationStepMs(at(1000), at(500)), 0);
}

TEST_F(Follow, PauseOverTenSecondsCountsAsTenSeconds) {
  // A target a third of a view width away: one step's share depends on its length here,
  // 0.999^(0.03 ms) of the way.
  settings_.navigationMode = 1;
  camera_.setExtent(1);
  const double distance = std::pow(9.99, 1.0 / 8) / 4;
  auto afterPause = [&](double pauseMs) {
    FollowState state;
    ViewCamera camera;
    camera.setExtent(1);
    place(1, 0, 0);
    int64_t now = at(1000);
    followAndFrame(camera, settings_, table_, kSquare, kSquare, state, now);
    place(1, distance, 0);
    followAndFrame(camera, settings_, table_, kSquare, kSquare, state, now + at(pauseMs));
    return camera.centerX() / distance;
  };
  EXPECT_NEAR(afterPause(10000), std::pow(0.999, 300), 1e-6);
  EXPECT_DOUBLE_EQ(afterPause(20000), afterPause(10000));
  EXPECT_NEAR(afterPause(5000), std::pow(0.999, 150), 1e-6);
}

TEST_F(Follow, FarTargetsAreJumpedToNearOnesApproached) {
  settings_.navigationMode = 1;
  camera_.setExtent(1);
  place(1, 0, 0);
  step(16);
  for (double ms : {16.0, 33.0, 100.0, 1000.0}) {
    SCOPED_TRACE(ms);
    const double x0 = camera_.centerX();
    const double y0 = camera_.centerY();
    place(1, x0 + 0.05, y0);  // near the centre
    step(ms);
    const double moved = (camera_.centerX() - x0) / 0.05;
    EXPECT_GE(moved, 0.1 - 1e-12);
    EXPECT_LT(moved, 1);
    place(1, x0 + 0.6, y0 + 0.2);  // beyond a third of the view width
    step(ms);
    EXPECT_DOUBLE_EQ(camera_.centerX(), x0 + 0.6);
    EXPECT_DOUBLE_EQ(camera_.centerY(), y0 + 0.2);
  }
}

TEST_F(Follow, UnseenNewTargetHoldsTheView) {
  settings_.navigationMode = 0;
  place(1, 10, 50);
  place(3, 11, 50);
  step(16);
  settings_.targetId = 4;  // never seen: its position means nothing yet
  step(16);
  EXPECT_DOUBLE_EQ(camera_.centerX(), 10);
  EXPECT_FALSE(state_.framing);
  settings_.targetId = 77;  // no such node
  step(16);
  EXPECT_DOUBLE_EQ(camera_.centerX(), 10);
}

// A record may carry "inf" or "nan" positions; the view holds still meanwhile and follows again
// once the target reports a real position, instead of staying at a centre that is not a number.
TEST_F(Follow, PositionsThatAreNotNumbersAreNotFollowed) {
  place(1, 10, 50);
  place(3, 11, 50);
  step(16);
  place(1, INFINITY, 50);
  place(3, NAN, 50);
  step(16);
  EXPECT_DOUBLE_EQ(camera_.centerX(), 10);
  EXPECT_TRUE(std::isfinite(camera_.extent()));
  place(1, 12, 51);
  place(3, 13, 51);
  for (int k = 0; k < 50; ++k) step(16);
  EXPECT_NEAR(camera_.centerX(), 12, 1e-6);
  EXPECT_NEAR(camera_.centerY(), 51, 1e-6);
  EXPECT_TRUE(std::isfinite(camera_.extent()));
  // Smoothed values poisoned by an earlier fault start over from the target.
  state_.smoothX = NAN;
  state_.smoothExtent = NAN;
  step(16);
  EXPECT_NEAR(camera_.centerX(), 12, 1e-6);
  EXPECT_TRUE(std::isfinite(camera_.extent()));
}

}  // namespace
