#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "halvex/gl/view_camera.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr int kPush = ViewCamera::kEventPush;
constexpr int kDrag = ViewCamera::kEventDrag;
constexpr int kRelease = ViewCamera::kEventRelease;
constexpr double kWidth = 200;
constexpr double kHeight = 100;

/// Mouse state of one event.
struct Buttons {
  bool pan = false, rotate = false, zoom = false, control = false, shift = false;
};

void send(ViewCamera& camera, int type, int x, int y, Buttons b) {
  camera.mouseEvent(type, x, y, b.pan, b.rotate, b.zoom, b.control, b.shift);
}

/// A camera that has drawn one frame of kWidth x kHeight.
ViewCamera framedCamera() {
  ViewCamera camera;
  camera.applyComputed(kWidth, kHeight);
  return camera;
}

/// A right-button drag from (100, 50) by dx pixels, with one frame drawn after it.
void zoomDrag(ViewCamera& camera, int dx, Buttons b) {
  b.zoom = true;
  send(camera, kPush, 100, 50, b);
  send(camera, kDrag, 100 + dx, 50, b);
  camera.applyComputed(kWidth, kHeight);
}

TEST(CameraZoom, HalfWidthRightDoublesTheExtent) {
  ViewCamera camera = framedCamera();
  camera.setExtent(3);
  zoomDrag(camera, kWidth / 2, {});
  EXPECT_DOUBLE_EQ(camera.extent(), 6);
  EXPECT_DOUBLE_EQ(camera.iconScale(), 1);
  // The zoom is measured from the press, so further frames of the same drag do not compound.
  camera.applyComputed(kWidth, kHeight);
  EXPECT_DOUBLE_EQ(camera.extent(), 6);

  ViewCamera left = framedCamera();
  zoomDrag(left, -kWidth / 2, {});
  EXPECT_DOUBLE_EQ(left.extent(), 0.5);
}

TEST(CameraZoom, ControlScalesOnlyTheIconsAndShiftBoth) {
  ViewCamera control = framedCamera();
  Buttons b;
  b.control = true;
  zoomDrag(control, kWidth / 2, b);
  EXPECT_DOUBLE_EQ(control.extent(), 1);
  EXPECT_DOUBLE_EQ(control.iconScale(), 0.5);

  ViewCamera shift = framedCamera();
  b = {};
  b.shift = true;
  zoomDrag(shift, kWidth / 2, b);
  EXPECT_DOUBLE_EQ(shift.extent(), 2);
  EXPECT_DOUBLE_EQ(shift.iconScale(), 0.5);
}

TEST(CameraZoom, ModifierPushContinuesFromTheCurrentState) {
  ViewCamera camera = framedCamera();
  Buttons b;
  b.zoom = true;
  send(camera, kPush, 100, 50, b);
  send(camera, kDrag, 200, 50, b);
  camera.applyComputed(kWidth, kHeight);
  ASSERT_DOUBLE_EQ(camera.extent(), 2);
  // Shift goes down mid-drag: the surface re-sends a push at the current position.
  b.shift = true;
  send(camera, kPush, 200, 50, b);
  send(camera, kDrag, 200, 50, b);
  camera.applyComputed(kWidth, kHeight);
  EXPECT_DOUBLE_EQ(camera.extent(), 2);
  send(camera, kDrag, 300, 50, b);
  camera.applyComputed(kWidth, kHeight);
  EXPECT_DOUBLE_EQ(camera.extent(), 4);
  EXPECT_DOUBLE_EQ(camera.iconScale(), 0.5);
  // After the release further frames change nothing.
  send(camera, kRelease, 300, 50, b);
  camera.applyComputed(kWidth, kHeight);
  EXPECT_DOUBLE_EQ(camera.extent(), 4);
}

TEST(CameraRotate, PitchStaysBetweenMinus89AndZero) {
  ViewCamera camera = framedCamera();
  Buttons b;
  b.rotate = true;
  send(camera, kPush, 100, 500, b);
  send(camera, kDrag, 100, -500, b);  // -10 degrees per frame
  for (int frame = 0; frame < 12; ++frame) {
    camera.applyComputed(kWidth, kHeight);
    EXPECT_GE(camera.pitch(), -89);
  }
  EXPECT_DOUBLE_EQ(camera.pitch(), -89);
  send(camera, kDrag, 100, 1500, b);
  for (int frame = 0; frame < 12; ++frame) {
    camera.applyComputed(kWidth, kHeight);
    EXPECT_LE(camera.pitch(), 0);
  }
  EXPECT_DOUBLE_EQ(camera.pitch(), 0);
}

TEST(CameraRotate, HeadingWrapsPastAFullTurn) {
  ViewCamera camera = framedCamera();
  Buttons b;
  b.rotate = true;
  send(camera, kPush, 0, 50, b);
  send(camera, kDrag, 5000, 50, b);  // +50 degrees per frame
  for (int frame = 0; frame < 7; ++frame) camera.applyComputed(kWidth, kHeight);
  EXPECT_NEAR(camera.heading(), 350, 1e-9);
  camera.applyComputed(kWidth, kHeight);
  EXPECT_NEAR(camera.heading(), 40, 1e-9);

  send(camera, kPush, 5000, 50, b);
  send(camera, kDrag, 0, 50, b);  // -50 per frame: 40 -> -360 after eight frames, then wraps
  for (int frame = 0; frame < 8; ++frame) camera.applyComputed(kWidth, kHeight);
  EXPECT_NEAR(camera.heading(), -360, 1e-9);
  camera.applyComputed(kWidth, kHeight);
  EXPECT_NEAR(camera.heading(), -50, 1e-9);
}

TEST(CameraFrame, EyeSitsFiveExtentsFromTheCentre) {
  for (double pitch : {0.0, -30.0, -89.0}) {
    for (double heading : {0.0, 45.0, -120.0}) {
      ViewCamera camera;
      camera.setCenter(7.25, 51.5);
      camera.setExtent(0.5);
      camera.setPitch(pitch);
      camera.setHeading(heading);
      camera.applyComputed(kWidth, kHeight);
      SCOPED_TRACE(testing::Message() << "pitch " << pitch << " heading " << heading);
      const float* eye = camera.eye();
      const double dx = eye[0] - 7.25, dy = eye[1] - 51.5, dz = eye[2];
      EXPECT_NEAR(std::sqrt(dx * dx + dy * dy + dz * dz), 2.5, 1e-5);
      EXPECT_NEAR(dz, 2.5 * std::cos(pitch * M_PI / 180), 1e-5);
      // The view direction points from the eye to the centre.
      const float* f = camera.viewDirection();
      EXPECT_NEAR(f[0], -dx / 2.5, 1e-5);
      EXPECT_NEAR(f[1], -dy / 2.5, 1e-5);
      EXPECT_NEAR(f[2], -dz / 2.5, 1e-5);
      // Right and up (screen down) are perpendicular to the view and to each other.
      const float* r = camera.rightVector();
      const float* u = camera.upVector();
      EXPECT_NEAR(r[0] * f[0] + r[1] * f[1] + r[2] * f[2], 0, 1e-5);
      EXPECT_NEAR(u[0] * f[0] + u[1] * f[1] + u[2] * f[2], 0, 1e-5);
      EXPECT_NEAR(u[0] * r[0] + u[1] * r[1] + u[2] * r[2], 0, 1e-5);
      EXPECT_NEAR(r[0], std::cos(heading * M_PI / 180), 1e-6);
      EXPECT_NEAR(r[1], -std::sin(heading * M_PI / 180), 1e-6);
    }
  }
}

TEST(CameraFrame, TangentsAspectAndEmptyWindow) {
  ViewCamera camera;
  camera.applyComputed(kWidth, kHeight);
  EXPECT_DOUBLE_EQ(camera.tanHalfWidth(), 0.1);
  EXPECT_DOUBLE_EQ(camera.tanHalfHeight(), 0.05);
  EXPECT_DOUBLE_EQ(camera.aspect(), 0.5);
  // A window without area is drawn as 1 x 1 rather than with a degenerate frustum.
  camera.applyComputed(0, 0);
  EXPECT_DOUBLE_EQ(camera.windowWidth(), 1);
  EXPECT_DOUBLE_EQ(camera.aspect(), 1);
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(std::isfinite(camera.projection()[i]));
}

class ViewFile : public testing::Test {
 protected:
  ScratchDir dir_;
};

TEST_F(ViewFile, RoundTripKeepsTheFormat) {
  ViewCamera camera;
  camera.setCenter(7.25, -51.5);
  camera.setExtent(0.75);
  camera.setPitch(-30);
  camera.setHeading(45);
  ASSERT_TRUE(camera.saveView(dir_.path("halvex.view")));
  EXPECT_EQ(dir_.read("halvex.view"),
            "7.250000,-51.500000,0.750000\n-30.000000,45.000000\n" + std::string(22, ' ') + "\n");
  ViewCamera loaded;
  loaded.loadView(dir_.path("halvex.view"));
  EXPECT_DOUBLE_EQ(loaded.centerX(), 7.25);
  EXPECT_DOUBLE_EQ(loaded.centerY(), -51.5);
  EXPECT_DOUBLE_EQ(loaded.extent(), 0.75);
  EXPECT_DOUBLE_EQ(loaded.pitch(), -30);
  EXPECT_DOUBLE_EQ(loaded.heading(), 45);
  // Saving again over the old file replaces it.
  loaded.setExtent(2);
  ASSERT_TRUE(loaded.saveView(dir_.path("halvex.view")));
  EXPECT_EQ(dir_.read("halvex.view").substr(0, 29), "7.250000,-51.500000,2.000000\n");
}

TEST_F(ViewFile, DamagedFirstLineGivesTheFallbackView) {
  for (const char* first : {"abc", "1.5,2.5", "", "nan,2,3", "inf,2,3"}) {
    SCOPED_TRACE(first);
    ViewCamera camera;
    camera.setCenter(5, 6);
    camera.loadView(dir_.write("a.view", std::string(first) + "\n-20,10\n"));
    EXPECT_DOUBLE_EQ(camera.centerX(), 0);
    EXPECT_DOUBLE_EQ(camera.centerY(), 0);
    EXPECT_DOUBLE_EQ(camera.extent(), 250);
    EXPECT_DOUBLE_EQ(camera.pitch(), -20);
    EXPECT_DOUBLE_EQ(camera.heading(), 10);
  }
  ViewCamera empty;
  empty.loadView(dir_.write("empty.view", ""));
  EXPECT_DOUBLE_EQ(empty.extent(), 250);
}

// A view zoomed in below a millionth of a degree is written with extent 0.000000; the next
// start keeps its place and only falls back for the extent.
TEST_F(ViewFile, UnusableExtentKeepsTheCentre) {
  for (const char* first : {"1,2,0", "1,2,-3", "1,2,inf", "1,2,nan"}) {
    SCOPED_TRACE(first);
    ViewCamera camera;
    camera.loadView(dir_.write("a.view", std::string(first) + "\n-20,10\n"));
    EXPECT_DOUBLE_EQ(camera.centerX(), 1);
    EXPECT_DOUBLE_EQ(camera.centerY(), 2);
    EXPECT_DOUBLE_EQ(camera.extent(), 250);
  }
  ViewCamera tiny;
  tiny.setCenter(-117.25, 32.5);
  tiny.setExtent(4e-7);
  ASSERT_TRUE(tiny.saveView(dir_.path("tiny.view")));
  ViewCamera again;
  again.loadView(dir_.path("tiny.view"));
  EXPECT_DOUBLE_EQ(again.centerX(), -117.25);
  EXPECT_DOUBLE_EQ(again.centerY(), 32.5);
  EXPECT_DOUBLE_EQ(again.extent(), 250);
}

TEST_F(ViewFile, SecondLineIsOptionalAndBroughtIntoRange) {
  ViewCamera camera;
  camera.setPitch(-10);
  camera.setHeading(20);
  camera.loadView(dir_.write("a.view", "1,2,3\n"));
  EXPECT_DOUBLE_EQ(camera.extent(), 3);
  EXPECT_DOUBLE_EQ(camera.pitch(), -10);
  EXPECT_DOUBLE_EQ(camera.heading(), 20);
  camera.loadView(dir_.write("a.view", "1,2,3\n45,725\n"));
  EXPECT_DOUBLE_EQ(camera.pitch(), 0);
  EXPECT_DOUBLE_EQ(camera.heading(), 5);
  camera.loadView(dir_.write("a.view", "1,2,3\n-200,nan\n"));
  EXPECT_DOUBLE_EQ(camera.pitch(), 0);
  // An overlong first line is skipped as a whole; the second line is still the second.
  camera.loadView(dir_.write("a.view", "4,5,6" + std::string(5000, '7') + "\n-40,30\n"));
  EXPECT_DOUBLE_EQ(camera.pitch(), -40);
  EXPECT_DOUBLE_EQ(camera.heading(), 30);
}

TEST_F(ViewFile, MissingFileLeavesTheCameraAndUnwritablePathFails) {
  ViewCamera camera;
  camera.loadView(dir_.path("none.view"));
  EXPECT_DOUBLE_EQ(camera.centerX(), 0);
  EXPECT_DOUBLE_EQ(camera.centerY(), 0);
  EXPECT_DOUBLE_EQ(camera.extent(), 1);
  EXPECT_FALSE(camera.saveView(dir_.path("no/such/dir.view")));
}

TEST(ViewFilePath, BesideAProgramThatIsNotInstalled) {
  EXPECT_EQ(viewFilePath("/opt/no-such-prefix/bin/halvex.exe"),
            "/opt/no-such-prefix/bin/halvex.view");
  EXPECT_EQ(viewFilePath("/home/u/.halvex"), "/home/u/.halvex.view");
  EXPECT_EQ(viewFilePath(""), "");
}

}  // namespace
