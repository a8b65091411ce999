// Trails drawn into a real GLX context and read back: a node's track as a line in its status
// colour whose opacity falls with age, only over the span, and only for the nodes shown.
#include "halvex/view/trail_draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "halvex/config/node_graphics.h"
#include "halvex/gl/view_camera.h"
#include "halvex/tracking/node_table.h"
#include "halvex/tracking/node_trail.h"
#include "halvex/tracking/tracking_settings.h"
#include "halvex/view/node_icon.h"
#include "halvex/view/scene.h"
#include "tests/halvex/view/scene_test_support.h"

namespace {

using scene_test::Rgb;

constexpr int kWidth = 401;  ///< Pixels per degree at an extent of 1.
constexpr int kHeight = 301;
constexpr double kCentreX = 10.0;
constexpr double kCentreY = 32.0;
constexpr int64_t kNowSeconds = 1'700'000'000;
constexpr int64_t kNowMs = kNowSeconds * 1000;
constexpr int64_t kSpanMs = 10 * 60'000;
/// The clear colour, 0 to 255.
const double kBackground[3] = {0, 0.4 * 255, 0.5 * 255};

/// Plain icons of size 1 (two pixels to a side of the centre): green alive, yellow idle, red
/// lost.
constexpr const char* kIcons = "D /nonexistent/icon.sgi 1 1 1 0 1 0 1 1 0 1 0 0\n";
const double kStatusColours[3][3] = {{0, 255, 0}, {255, 255, 0}, {255, 0, 0}};

/// The frame's time, set by the test.
class TestClock : public TableClock {
 public:
  WallTime now() const override { return {ms / 1000, static_cast<int>(ms % 1000)}; }
  int64_t ms = kNowMs;
};

class TrailDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shown_ = std::make_unique<scene_test::ShownSurface>(kWidth, kHeight);
    ASSERT_TRUE(shown_->shown());
    camera_ = shown_->surface().camera();
    camera_->setCenter(kCentreX, kCentreY);
    camera_->setExtent(1.0);
    ASSERT_TRUE(
        table_.readNodeFile(scene_test::writeScratchFile("nodes.txt", "1 one\n7 seven\n").c_str()));
    table_.setClock(&clock_);
    ASSERT_TRUE(graphics_.read(scene_test::writeScratchFile("icons.def", kIcons)));
    icons_.build(graphics_);
    for (bool& show : settings_.showComment) show = false;
    settings_.closeCount = 0;
    SceneInputs& in = frame_.inputs();
    in.table = &table_;
    in.settings = &settings_;
    in.icons = &icons_;
    in.trails = &trails_;
    in.statusFromRecords = [] { return true; };
    shown_->add(SceneFrame::drawCallback, &frame_);
  }

  /// Gives node `id` a trail due east along latitude `lat` from `west` (a span ago) to `east`
  /// (now), one point a second, and places the node at its end.
  void driveEast(int id, double lat, double west, double east, int status) {
    const int64_t steps = kSpanMs / 1000;
    for (int64_t k = 0; k <= steps; ++k) {
      const double t = static_cast<double>(k) / steps;
      trails_.add(id, kNowMs - kSpanMs + k * 1000, lat, west + (east - west) * t);
    }
    table_.nodeById(id)->applyStateRecord(lat, east, status, "", "", 0, "n");
  }

  /// Pixel column and row (from the top) of a ground position.
  void screenOf(double lat, double lon, int& x, int& y) const {
    const double aspect = static_cast<double>(kHeight) / kWidth;
    x = static_cast<int>((lon - (camera_->centerX() - 0.5)) * kWidth);
    y = kHeight - 1 - static_cast<int>((lat - (kCentreY - aspect / 2)) / aspect * kHeight);
  }

  /// The opacity with which `colour` lies over the background at the ground position, from the
  /// strongest of the rows around it; `offHue` gets the largest difference of a channel from
  /// that blend, in levels.
  double opacityAt(double lat, double lon, const double colour[3], double& offHue) const {
    int x = 0, y = 0;
    screenOf(lat, lon, x, y);
    EXPECT_TRUE(x >= 0 && x < kWidth && y >= 3 && y < kHeight - 3) << lat << ", " << lon;
    double best = 0;
    offHue = 0;
    for (int row = y - 3; row <= y + 3; ++row) {
      const Rgb p = shown_->pixel(x, row);
      const double seen[3] = {static_cast<double>(p.r), static_cast<double>(p.g),
                              static_cast<double>(p.b)};
      double along = 0, length = 0;
      for (int c = 0; c < 3; ++c) {
        along += (seen[c] - kBackground[c]) * (colour[c] - kBackground[c]);
        length += (colour[c] - kBackground[c]) * (colour[c] - kBackground[c]);
      }
      const double alpha = along / length;
      if (alpha <= best) continue;
      best = alpha;
      offHue = 0;
      for (int c = 0; c < 3; ++c) {
        const double blend = kBackground[c] + alpha * (colour[c] - kBackground[c]);
        offHue = std::max(offHue, std::fabs(seen[c] - blend));
      }
    }
    return best;
  }

  std::unique_ptr<scene_test::ShownSurface> shown_;
  ViewCamera* camera_ = nullptr;
  TestClock clock_;
  NodeTable table_;
  NodeGraphics graphics_;
  NodeIconSet icons_;
  TrackingSettings settings_;
  TrailStore trails_;
  SceneFrame frame_;
};

TEST_F(TrailDrawTest, FadesWithAgeInTheStatusColour) {
  for (int status = 0; status < 3; ++status) {
    trails_.clear();
    // A point from before the span, further west, must not pull a line out there.
    trails_.add(7, kNowMs - kSpanMs - 60'000, kCentreY, 9.55);
    driveEast(7, kCentreY, 9.7, 10.3, status);
    ASSERT_TRUE(shown_->drawFrame());
    const double* colour = kStatusColours[status];
    for (double age : {0.1, 0.3, 0.5, 0.7, 0.9}) {
      double offHue = 0;
      const double alpha = opacityAt(kCentreY, 10.3 - 0.6 * age, colour, offHue);
      EXPECT_NEAR(alpha, TrailDraw::kNewestAlpha * (1 - age), 0.06)
          << "status " << status << ", age " << age << " of the span";
      EXPECT_LE(offHue, 12) << "status " << status << ", age " << age;
    }
    double offHue = 0;
    EXPECT_LT(opacityAt(kCentreY, 9.62, colour, offHue), 0.03) << "status " << status;
  }
}

TEST_F(TrailDrawTest, KeepsUpWithNewPointsAndAMovedView) {
  const double* green = kStatusColours[0];
  double offHue = 0;
  driveEast(7, kCentreY, 9.7, 10.0, 0);
  ASSERT_TRUE(shown_->drawFrame());
  EXPECT_LT(opacityAt(kCentreY, 10.15, green, offHue), 0.03);
  // Half a second on, the node has driven further east: the stretch since the last frame is
  // drawn over the kept trails, which are set anew only once they would fade by a level.
  static_assert(kSpanMs / TrailDraw::kOpacityLevels > 500);
  for (int k = 1; k <= 10; ++k) trails_.add(7, kNowMs + 50 * k, kCentreY, 10.0 + 0.03 * k);
  table_.nodeById(7)->applyStateRecord(kCentreY, 10.3, 0, "", "", 0, "n");
  clock_.ms = kNowMs + 500;
  ASSERT_TRUE(shown_->drawFrame());
  EXPECT_NEAR(opacityAt(kCentreY, 10.15, green, offHue), TrailDraw::kNewestAlpha, 0.06);
  EXPECT_NEAR(opacityAt(kCentreY, 9.85, green, offHue), TrailDraw::kNewestAlpha * 0.5, 0.06);
  // The view moves a tenth of a degree east: the trails move with the ground.
  camera_->setCenter(kCentreX + 0.1, kCentreY);
  ASSERT_TRUE(shown_->drawFrame());
  EXPECT_NEAR(opacityAt(kCentreY, 9.85, green, offHue), TrailDraw::kNewestAlpha * 0.5, 0.06);
  EXPECT_NEAR(opacityAt(kCentreY, 10.15, green, offHue), TrailDraw::kNewestAlpha, 0.06);
}

TEST_F(TrailDrawTest, OnlyShownNodesWithinASpanHaveTrails) {
  struct Case {
    const char* what;
    int displayMode;
    int minutes;
    bool targetTrail, otherTrail;
  };
  const Case cases[] = {
      {"every node", 0, 10, true, true},
      {"the target group only", 1, 10, true, false},
      {"trails off", 0, 0, false, false},
  };
  for (const Case& c : cases) {
    settings_.displayMode = c.displayMode;
    trails_.setMinutes(10);
    trails_.clear();
    driveEast(1, 32.2, 9.7, 10.3, 0);
    driveEast(7, 31.8, 9.7, 10.3, 0);
    trails_.setMinutes(c.minutes);
    ASSERT_TRUE(shown_->drawFrame());
    double offHue = 0;
    EXPECT_EQ(opacityAt(32.2, 10.1, kStatusColours[0], offHue) > 0.3, c.targetTrail) << c.what;
    EXPECT_EQ(opacityAt(31.8, 10.1, kStatusColours[0], offHue) > 0.3, c.otherTrail) << c.what;
  }
}

}  // namespace
