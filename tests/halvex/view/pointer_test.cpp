#include <gtest/gtest.h>

#include <cmath>

#include "halvex/gl/pointer_ground.h"
#include "halvex/gl/view_camera.h"

namespace {

constexpr double kWidth = 200;
constexpr double kHeight = 100;
constexpr double kCenterX = 7.25;
constexpr double kCenterY = 51.5;
constexpr double kExtent = 0.5;
/// Single-precision eye coordinates near 50 degrees are good to a few millionths.
constexpr double kTolerance = 2e-5;

struct Ground {
  double lat = 0, lon = 0;
};

Ground under(const ViewCamera& camera, double px, double py) {
  Ground g;
  EXPECT_TRUE(pointerGround(camera, px, py, kWidth, kHeight, &g.lat, &g.lon));
  return g;
}

ViewCamera cameraAt(double pitch, double heading) {
  ViewCamera camera;
  camera.setCenter(kCenterX, kCenterY);
  camera.setExtent(kExtent);
  camera.setPitch(pitch);
  camera.setHeading(heading);
  camera.applyComputed(kWidth, kHeight);
  return camera;
}

TEST(PointerGround, WindowCentreIsTheViewCentre) {
  for (double pitch : {0.0, -20.0, -60.0, -89.0}) {
    for (double heading : {0.0, 45.0, 170.0, -300.0}) {
      SCOPED_TRACE(testing::Message() << "pitch " << pitch << " heading " << heading);
      const Ground g = under(cameraAt(pitch, heading), kWidth / 2 - 0.5, kHeight / 2 - 0.5);
      EXPECT_NEAR(g.lon, kCenterX, kTolerance);
      EXPECT_NEAR(g.lat, kCenterY, kTolerance);
    }
  }
}

TEST(PointerGround, PixelsMapOntoTheGroundFromAbove) {
  // Looking straight down with north up, every pixel covers extent / width degrees; window y
  // grows southward.
  const ViewCamera camera = cameraAt(0, 0);
  const double perPixel = kExtent / kWidth;
  const Ground corner = under(camera, 0, 0);
  EXPECT_NEAR(corner.lon, kCenterX - kExtent / 2 + perPixel / 2, kTolerance);
  EXPECT_NEAR(corner.lat, kCenterY + kExtent * kHeight / kWidth / 2 - perPixel / 2, kTolerance);
  const Ground inner = under(camera, 150, 80);
  EXPECT_NEAR(inner.lon - corner.lon, 150 * perPixel, kTolerance);
  EXPECT_NEAR(inner.lat - corner.lat, -80 * perPixel, kTolerance);

  // Turned by 90 degrees, window right is south.
  const ViewCamera turned = cameraAt(0, 90);
  const Ground right = under(turned, 150 - 0.5, 50 - 0.5);
  EXPECT_NEAR(right.lon, kCenterX, kTolerance);
  EXPECT_NEAR(right.lat, kCenterY - 50 * perPixel, kTolerance);
}

TEST(PointerGround, PanKeepsTheGroundUnderThePointer) {
  for (double heading : {0.0, 30.0, 135.0, -90.0}) {
    SCOPED_TRACE(heading);
    ViewCamera camera = cameraAt(0, heading);
    const Ground before = under(camera, 50, 30);
    camera.mouseEvent(ViewCamera::kEventPush, 50, 30, true, false, false, false, false);
    camera.mouseEvent(ViewCamera::kEventDrag, 130, 85, true, false, false, false, false);
    camera.applyComputed(kWidth, kHeight);
    const Ground after = under(camera, 130, 85);
    EXPECT_NEAR(after.lon, before.lon, kTolerance);
    EXPECT_NEAR(after.lat, before.lat, kTolerance);
    // The ground moved with the pointer: the centre went the other way.
    EXPECT_GT(std::hypot(camera.centerX() - kCenterX, camera.centerY() - kCenterY), 0.1);
  }
}

TEST(PointerGround, PanUnderPitchHoldsNearTheCentre) {
  // Under a pitch the pan is exact at the window centre and close to it nearby.
  for (double heading : {0.0, 60.0}) {
    SCOPED_TRACE(heading);
    ViewCamera camera = cameraAt(-40, heading);
    const Ground before = under(camera, 99.5, 49.5);
    camera.mouseEvent(ViewCamera::kEventPush, 99, 49, true, false, false, false, false);
    camera.mouseEvent(ViewCamera::kEventDrag, 103, 52, true, false, false, false, false);
    camera.applyComputed(kWidth, kHeight);
    const Ground after = under(camera, 103.5, 52.5);
    EXPECT_NEAR(after.lon, before.lon, kExtent * 1e-3);
    EXPECT_NEAR(after.lat, before.lat, kExtent * 1e-3);
  }
}

TEST(PointerGround, RaysThatMissTheGroundEndAtTheLimits) {
  // Nearly level, the top rows look above the horizon, northward.
  const ViewCamera level = cameraAt(-89, 0);
  const Ground sky = under(level, 100, 0);
  EXPECT_DOUBLE_EQ(sky.lat, 90);
  EXPECT_GE(sky.lon, -180);
  EXPECT_LE(sky.lon, 180);
  // The bottom rows still meet the ground, between the eye and the view centre.
  const Ground below = under(level, 100, 99);
  EXPECT_GT(below.lat, level.eye()[1]);
  EXPECT_LT(below.lat, kCenterY);

  // A view wider than the world is limited to it.
  ViewCamera wide;
  wide.setExtent(2000);
  wide.applyComputed(kWidth, kHeight);
  const Ground corner = under(wide, 0, 0);
  EXPECT_DOUBLE_EQ(corner.lon, -180);
  EXPECT_DOUBLE_EQ(corner.lat, 90);
}

TEST(PointerGround, EmptyWindowStoresNothing) {
  const ViewCamera camera = cameraAt(0, 0);
  double lat = 1, lon = 2;
  EXPECT_FALSE(pointerGround(camera, 0, 0, 0, kHeight, &lat, &lon));
  EXPECT_FALSE(pointerGround(camera, 0, 0, kWidth, -1, &lat, &lon));
  EXPECT_EQ(lat, 1);
  EXPECT_EQ(lon, 2);
  EXPECT_TRUE(pointerGround(camera, 0, 0, kWidth, kHeight, nullptr, &lon));
}

}  // namespace
