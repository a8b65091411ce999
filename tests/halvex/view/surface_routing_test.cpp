// Mouse and key routing of the drawing surface with real X events under the virtual X server:
// the camera navigates unless an interaction tool has the mouse, and the space bar gives the
// mouse back to the camera.
#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "halvex/gl/view_camera.h"
#include "halvex/view/gl_draw_surface.h"
#include "tests/halvex/view/scene_test_support.h"

namespace {

constexpr int kWidth = 401;
constexpr int kHeight = 301;
constexpr double kSettle = 0.15;  ///< Seconds to let the events arrive and a frame draw.

/// Runs an xdotool command against the virtual X server, then lets the events arrive. Pointer
/// positions are screen positions.
void xdo(const std::string& arguments) {
  const std::string command = "xdotool " + arguments;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  scene_test::pump(kSettle);
}

/// Applies the camera every frame, so that drags take effect as in the scene.
void applyCamera(void*, const DrawContext& context) {
  context.camera->apply(context.width, context.height, false);
}

/// Events seen by the interaction hook.
struct HookLog {
  std::vector<int> events;
  static int record(int event, void* user) {
    static_cast<HookLog*>(user)->events.push_back(event);
    return 0;
  }
  int countOf(int event) const {
    int n = 0;
    for (int e : events) n += e == event;
    return n;
  }
};

class SurfaceRouting : public ::testing::Test {
 protected:
  void SetUp() override {
    shown_ = std::make_unique<scene_test::ShownSurface>(kWidth, kHeight);
    ASSERT_TRUE(shown_->shown());
    surface().addDrawCallback(applyCamera, nullptr);
    surface().setInteractionHook(&tool_, HookLog::record, &log_);
    camera().setCenter(0, 0);
    camera().setExtent(1);
    ASSERT_TRUE(shown_->drawFrame());
    moveTo(200, 150);
  }
  void TearDown() override {
    xdo("keyup space keyup shift mouseup 1 mouseup 3");
    shown_.reset();
  }

  glDrawSurface& surface() { return shown_->surface(); }
  /// xdotool's "mousemove" to window position (x, y), followed by `then`.
  void moveTo(int x, int y, const std::string& then = "") {
    xdo("mousemove " + std::to_string(surface().x_root() + x) + " " +
        std::to_string(surface().y_root() + y) + (then.empty() ? "" : " " + then));
  }
  ViewCamera& camera() { return *surface().camera(); }

  /// A left-button drag from the centre 80 pixels to the right.
  void dragRight() {
    moveTo(200, 150, "mousedown 1");
    moveTo(240, 150);
    moveTo(280, 150);
    xdo("mouseup 1");
  }

  std::unique_ptr<scene_test::ShownSurface> shown_;
  InteractionTool tool_;
  HookLog log_;
};

TEST_F(SurfaceRouting, WithoutToolTheDragPansTheCamera) {
  tool_.mode = 0;
  dragRight();
  // The ground under the pointer follows it: the centre moves west by 80 pixels' worth.
  EXPECT_NEAR(camera().centerX(), -80.0 / kWidth, 0.01);
  EXPECT_NEAR(camera().centerY(), 0.0, 1e-9);
  // The hook sees every event too.
  EXPECT_GT(log_.countOf(FL_DRAG), 0);
  EXPECT_EQ(log_.countOf(FL_PUSH), 1);
}

TEST_F(SurfaceRouting, ToolOfModeOneKeepsTheCameraStill) {
  tool_.mode = 1;
  dragRight();
  EXPECT_DOUBLE_EQ(camera().centerX(), 0.0);
  EXPECT_DOUBLE_EQ(camera().centerY(), 0.0);
  // The tool sees the drag, and the pick position follows the pointer.
  EXPECT_GT(log_.countOf(FL_DRAG), 0);
  EXPECT_EQ(camera().pickX(), 280);
  EXPECT_EQ(camera().pickY(), 150);
}

TEST_F(SurfaceRouting, SpaceBarGivesTheDragBackToTheCamera) {
  tool_.mode = 1;
  xdo("keydown space");
  dragRight();
  xdo("keyup space");
  EXPECT_NEAR(camera().centerX(), -80.0 / kWidth, 0.01);
}

TEST_F(SurfaceRouting, ArrowKeysZoom) {
  Fl::focus(&surface());
  xdo("key Left");
  EXPECT_DOUBLE_EQ(camera().extent(), 0.75);
  xdo("key Down");
  EXPECT_DOUBLE_EQ(camera().extent(), 0.5625);
  xdo("key Up");
  xdo("key Right");
  EXPECT_DOUBLE_EQ(camera().extent(), 0.5625 * 2.25);
}

TEST_F(SurfaceRouting, ShiftDuringZoomDragContinuesFromTheCurrentState) {
  Fl::focus(&surface());
  // Right button: zoom. 100 pixels to the right widens the view by 4^(100/401).
  moveTo(200, 150, "mousedown 3");
  moveTo(300, 150);
  const double extent = camera().extent();
  EXPECT_GT(extent, 1.3);
  EXPECT_DOUBLE_EQ(camera().iconScale(), 1.0);
  // Shift restarts the drag here: a further pixel changes the icon scale by one pixel's worth,
  // not by the 101 pixels since the button went down.
  xdo("keydown shift");
  moveTo(301, 150);
  EXPECT_NEAR(camera().iconScale(), 1.0, 0.01);
  EXPECT_NEAR(camera().extent(), extent, extent * 0.01);
  xdo("keyup shift mouseup 3");
}

}  // namespace
