// Ring markers drawn by the frame into a real GLX context: their shapes, their labels in white
// boxes, and no labels when the label anchor lies outside the view horizontally.
#include "halvex/tracking/ring_marker.h"

#include <FL/Enumerations.H>
#include <FL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "halvex/tracking/node_table.h"
#include "halvex/tracking/tracking_settings.h"
#include "halvex/view/scene.h"
#include "tests/halvex/view/scene_test_support.h"

namespace {

using scene_test::isBlack;
using scene_test::isWhite;
using scene_test::Rgb;

constexpr int kWidth = 401;
constexpr int kHeight = 301;
constexpr double kCentreX = 10.0;
constexpr double kCentreY = 32.0;

/// Lit red or blue: the colour channel well above the other two.
bool isReddish(Rgb p) {
  return p.r > 60 && p.r > 2 * p.g && p.r > 2 * p.b;
}
bool isBluish(Rgb p) {
  return p.b > 60 && p.b > 2 * p.r && p.b > 2 * p.g && p.g < 60;
}

class RingMarkerGl : public ::testing::Test {
 protected:
  void SetUp() override {
    shown_ = std::make_unique<scene_test::ShownSurface>(kWidth, kHeight);
    ASSERT_TRUE(shown_->shown());
    camera_ = shown_->surface().camera();
    camera_->setCenter(kCentreX, kCentreY);
    camera_->setExtent(1.0);
    frame_.inputs().table = &table_;
    frame_.inputs().settings = &settings_;
    shown_->add(SceneFrame::drawCallback, &frame_);
  }

  /// Adds a red marker at (x, y) with the given labels; the table owns it.
  RingMarker* addMarker(double x, double y, std::initializer_list<const char*> labels) {
    auto* marker = new RingMarker(2, x, y, 0, FL_RED, static_cast<int>(labels.size()));
    int k = 0;
    for (const char* label : labels) marker->setLabel(k++, label, std::strlen(label));
    table_.addMarker(marker);
    return marker;
  }

  int count(int x0, int y0, int x1, int y1, bool (*match)(Rgb)) const {
    return shown_->count(x0, y0, x1, y1, match);
  }

  std::unique_ptr<scene_test::ShownSurface> shown_;
  ViewCamera* camera_ = nullptr;
  NodeTable table_;
  TrackingSettings settings_;
  SceneFrame frame_;
};

TEST_F(RingMarkerGl, ShapesAndLabelsInsideTheView) {
  addMarker(kCentreX, kCentreY, {"alpha", "bravo"});
  ASSERT_TRUE(shown_->drawFrame());
  EXPECT_GT(count(180, 110, 221, 171, isReddish), 0) << "pole, ball and ring";
  // Two white boxes right of the marker, with black text in them.
  const int white = count(200, 90, 401, 160, isWhite);
  EXPECT_GT(white, 200);
  EXPECT_GT(count(200, 90, 401, 160, isBlack), 0);
  EXPECT_EQ(count(0, 0, 180, 301, isWhite), 0);
}

TEST_F(RingMarkerGl, NoLabelsWhenTheAnchorIsOutsideHorizontally) {
  // The pole stands just inside the right edge; the label anchor lies beyond it.
  addMarker(kCentreX + 0.49, kCentreY, {"alpha", "bravo"});
  ASSERT_TRUE(shown_->drawFrame());
  EXPECT_GT(count(380, 110, 401, 171, isReddish), 0) << "shapes still drawn";
  EXPECT_EQ(count(0, 0, 401, 301, isWhite), 0);

  // Far outside on the left: nothing at all.
  table_.clearMarkers();
  addMarker(kCentreX - 2, kCentreY, {"charlie"});
  ASSERT_TRUE(shown_->drawFrame());
  EXPECT_EQ(count(0, 0, 401, 301, isWhite), 0);
}

TEST_F(RingMarkerGl, ChildSlotsInTheirColours) {
  RingMarker* marker = addMarker(kCentreX, kCentreY, {});
  marker->root().makeChildren(4);
  marker->root().children[0].show(FL_BLUE, 1.0f);
  marker->root().children[2].show(FL_BLUE, 2.0f);
  // A slot with a ring of its own (as 3D markers have), nested in turn.
  marker->root().children[3].visible = true;
  marker->root().children[3].colour = FL_BLUE;
  marker->root().children[3].makeChildren(2);
  marker->root().children[3].children[1].show(FL_GREEN, 1.0f);
  camera_->setPitch(-60);  // the standing child rings seen from the side
  ASSERT_TRUE(shown_->drawFrame());
  EXPECT_GT(count(100, 50, 301, 251, isBluish), 0);
  EXPECT_GT(count(100, 50, 301, 251, isReddish), 0);
}

}  // namespace
