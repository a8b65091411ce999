// The camera against a real OpenGL context: what apply sets up is what the pure computation
// predicts, and a pick pass narrows the projection to the pointer.
#include <FL/Fl.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/gl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>

#include "common/matrix4.h"
#include "halvex/gl/pointer_ground.h"
#include "halvex/gl/view_camera.h"

namespace {

/// A shown OpenGL window whose context the tests make current.
class ContextWindow : public Fl_Gl_Window {
 public:
  ContextWindow() : Fl_Gl_Window(0, 0, 320, 240) { mode(FL_RGB | FL_DOUBLE | FL_DEPTH); }
  void draw() override {}
};

class CameraGl : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    window_ = std::make_unique<ContextWindow>();
    window_->show();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(window_->shown() && window_->visible()) && std::chrono::steady_clock::now() < end) {
      Fl::wait(0.02);
    }
  }
  static void TearDownTestSuite() { window_.reset(); }

  void SetUp() override {
    ASSERT_TRUE(window_->shown());
    window_->make_current();
    ASSERT_NE(glGetString(GL_VERSION), nullptr);
  }

  static std::unique_ptr<ContextWindow> window_;
};

std::unique_ptr<ContextWindow> CameraGl::window_;

void expectMatrixNear(const float* actual, const float* expected) {
  for (int i = 0; i < Matrix4::kSize; ++i) {
    const double scale = std::fmax(1.0, std::fabs(expected[i]));
    EXPECT_NEAR(actual[i], expected[i], 2e-6 * scale) << "element " << i;
  }
}

/// NDC of world ground point (x, y) under the camera's read-back matrices.
void project(const ViewCamera& camera, double x, double y, float ndc[3]) {
  float both[Matrix4::kSize];
  Matrix4::multiply(camera.modelView(), camera.projection(), both);
  const float local[3] = {static_cast<float>(x - camera.left()),
                          static_cast<float>(y - camera.bottom()), 0};
  Matrix4::transformPoint(local, both, ndc);
}

TEST_F(CameraGl, ApplyReadsBackWhatTheComputationPredicts) {
  struct Case {
    double extent, pitch, heading, width, height;
  };
  for (const Case& c : {Case{1, 0, 0, 320, 240}, Case{0.02, -35, 70, 835, 850},
                        Case{250, -89, -300, 100, 400}, Case{3, -10, 359, 1, 1}}) {
    SCOPED_TRACE(testing::Message() << "extent " << c.extent << " pitch " << c.pitch);
    ViewCamera camera;
    camera.setCenter(-122.5, 37.75);
    camera.setExtent(c.extent);
    camera.setPitch(c.pitch);
    camera.setHeading(c.heading);
    ViewCamera computed = camera;
    camera.apply(c.width, c.height, false);
    computed.applyComputed(c.width, c.height);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    float projection[Matrix4::kSize], modelView[Matrix4::kSize];
    camera.computeMatrices(projection, modelView);
    expectMatrixNear(camera.projection(), projection);
    expectMatrixNear(camera.modelView(), modelView);
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(camera.eye()[i], computed.eye()[i], 1e-5 * std::fmax(1.0, c.extent));
      EXPECT_NEAR(camera.viewDirection()[i], computed.viewDirection()[i], 1e-5);
      EXPECT_NEAR(camera.upVector()[i], computed.upVector()[i], 1e-6);
      EXPECT_NEAR(camera.rightVector()[i], computed.rightVector()[i], 1e-6);
    }

    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], static_cast<GLint>(c.width));
    EXPECT_EQ(viewport[3], static_cast<GLint>(c.height));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
  }
}

TEST_F(CameraGl, PickPassNarrowsTheViewToThePointer) {
  constexpr double kW = 320, kH = 240;
  ViewCamera camera;
  camera.setCenter(7.25, 51.5);
  camera.setExtent(0.5);
  camera.setPitch(-30);
  camera.setPickPosition(60, 30);  // window pixels, y down
  camera.apply(kW, kH, false);
  double lat = 0, lon = 0;
  ASSERT_TRUE(pointerGround(camera, 60, 30, kW, kH, &lat, &lon));
  double farLat = 0, farLon = 0;
  ASSERT_TRUE(pointerGround(camera, 70, 30, kW, kH, &farLat, &farLon));

  camera.apply(kW, kH, true);
  float ndc[3];
  project(camera, lon, lat, ndc);
  // The 10 x 10 pixel region fills the view: the pixel under the pointer is near its middle.
  EXPECT_LT(std::fabs(ndc[0]), 0.25);
  EXPECT_LT(std::fabs(ndc[1]), 0.25);
  project(camera, farLon, farLat, ndc);
  EXPECT_GT(std::fabs(ndc[0]), 1);
}

}  // namespace
