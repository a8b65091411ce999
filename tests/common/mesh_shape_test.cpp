#include "common/gl/mesh_shape.h"

// clang-format off
// Before the X headers, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>
// clang-format on

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cmath>
#include <vector>

namespace {

/// One emitted vertex.
struct Emitted {
  double normal[3];
  double position[3];
};

/// Records what a shape emits, strip by strip.
class Recorder : public MeshShape::StripSink {
 public:
  void beginStrip() override { strips.emplace_back(); }
  void vertex(const double normal[3], const double position[3]) override {
    Emitted e{};
    for (int i = 0; i < 3; ++i) {
      e.normal[i] = normal[i];
      e.position[i] = position[i];
    }
    strips.back().push_back(e);
  }
  void endStrip() override { ++ended; }

  std::vector<std::vector<Emitted>> strips;
  int ended = 0;
};

Recorder record(const MeshShape& shape, double scale) {
  Recorder r;
  shape.emitScaled(scale, r);
  return r;
}

double length(const double* v) {
  return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

TEST(MeshShape, SharedShapesAreMadeOnceWithTheirSizes) {
  createSharedShapes();
  MeshShape* sphere = sharedShape(kSharedSphere);
  MeshShape* torus = sharedShape(kSharedTorus);
  MeshShape* rod = sharedShape(kSharedRod);
  ASSERT_NE(sphere, nullptr);
  ASSERT_NE(torus, nullptr);
  ASSERT_NE(rod, nullptr);
  createSharedShapes();
  EXPECT_EQ(sharedShape(kSharedSphere), sphere);
  EXPECT_EQ(sharedShape(kSharedRod), rod);
  EXPECT_EQ(sharedShape(-1), nullptr);
  EXPECT_EQ(sharedShape(kSharedShapeCount), nullptr);
  EXPECT_EQ(sphere->bands(), 5);
  EXPECT_EQ(torus->bands(), 20);
  EXPECT_EQ(rod->bands(), 3);
  for (MeshShape* shape : {sphere, torus, rod}) {
    EXPECT_EQ(shape->slices(), 10);
    EXPECT_EQ(shape->flag(), 1);
    EXPECT_EQ(shape->param(), 1.0);
    EXPECT_EQ(shape->scale(), 1.0);
  }
}

TEST(MeshShape, StripsHoldElevenPairsThatCloseExactly) {
  createSharedShapes();
  for (int s = 0; s < kSharedShapeCount; ++s) {
    SCOPED_TRACE(s);
    const Recorder r = record(*sharedShape(s), 1);
    ASSERT_EQ(static_cast<int>(r.strips.size()), sharedShape(s)->bands());
    EXPECT_EQ(r.ended, sharedShape(s)->bands());
    for (const std::vector<Emitted>& strip : r.strips) {
      ASSERT_EQ(strip.size(), 22u);
      for (int v = 0; v < 2; ++v) {
        for (int i = 0; i < 3; ++i) {
          EXPECT_EQ(strip[20 + v].position[i], strip[v].position[i]);
          EXPECT_EQ(strip[20 + v].normal[i], strip[v].normal[i]);
        }
      }
    }
  }
}

TEST(MeshShape, ScaleMultipliesPositionsOnly) {
  createSharedShapes();
  for (int s = 0; s < kSharedShapeCount; ++s) {
    const Recorder one = record(*sharedShape(s), 1);
    const Recorder two = record(*sharedShape(s), 2);
    for (size_t b = 0; b < one.strips.size(); ++b) {
      for (size_t k = 0; k < one.strips[b].size(); ++k) {
        for (int i = 0; i < 3; ++i) {
          EXPECT_EQ(two.strips[b][k].position[i], 2 * one.strips[b][k].position[i]);
          EXPECT_EQ(two.strips[b][k].normal[i], one.strips[b][k].normal[i]);
        }
      }
    }
  }
}

TEST(MeshShape, SphereGeometry) {
  const Recorder r = record(SphereShape(5, 10), 1);
  for (const auto& strip : r.strips) {
    for (const Emitted& e : strip) {
      EXPECT_NEAR(length(e.position), 1, 1e-12);
      for (int i = 0; i < 3; ++i) EXPECT_EQ(e.normal[i], e.position[i]);
    }
  }
  // Band 0 runs from 36 degrees below the +y pole (first vertex) up to the pole (second).
  EXPECT_NEAR(r.strips[0][0].position[1], std::cos(36 * M_PI / 180), 1e-12);
  EXPECT_NEAR(r.strips[0][1].position[1], 1, 1e-12);
  EXPECT_NEAR(r.strips[4][0].position[1], -1, 1e-12);
}

TEST(MeshShape, TorusGeometryAndSecondVertexFirst) {
  const Recorder r = record(TorusShape(20, 10), 1);
  for (const auto& strip : r.strips) {
    for (const Emitted& e : strip) {
      // Distance from the tube's centre circle is the tube radius.
      const double ring = std::hypot(e.position[0], e.position[1]) - 1;
      EXPECT_NEAR(std::hypot(ring, e.position[2]), 0.1, 1e-12);
      EXPECT_NEAR(length(e.normal), 1, 1e-12);
    }
  }
  // The strip of band 0 starts at ring angle 0 (its second vertex), then 18 degrees.
  EXPECT_NEAR(r.strips[0][0].position[1], 0, 1e-12);
  EXPECT_NEAR(std::atan2(r.strips[0][1].position[1], r.strips[0][1].position[0]), 18 * M_PI / 180,
              1e-12);
}

TEST(MeshShape, RodTapersFromTopToBottom) {
  const Recorder r = record(RodShape(3, 10, 0.05, 0.01), 1);
  const Emitted& top = r.strips[0][0];
  const Emitted& bottom = r.strips[2][1];
  EXPECT_NEAR(top.position[2], 1, 1e-12);
  EXPECT_NEAR(std::hypot(top.position[0], top.position[1]), 0.05, 1e-12);
  EXPECT_NEAR(bottom.position[2], 0, 1e-12);
  EXPECT_NEAR(std::hypot(bottom.position[0], bottom.position[1]), 0.01, 1e-12);
  // Neighbouring bands meet: the bottom of band 0 is the top of band 1.
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(r.strips[0][1].position[i], r.strips[1][0].position[i], 1e-12);
  EXPECT_EQ(top.normal[2], 0);
}

TEST(MeshShape, CountsBelowOneGiveNoStrips) {
  EXPECT_TRUE(record(SphereShape(0, 10), 1).strips.empty());
  EXPECT_TRUE(record(TorusShape(4, 0), 1).strips.empty());
  EXPECT_TRUE(record(RodShape(-3, -1, 0.05, 0.01), 1).strips.empty());
}

/// A GLX context on a small unmapped window of the virtual X server.
class GlContext {
 public:
  GlContext() {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) return;
    int attributes[] = {GLX_RGBA, GLX_DEPTH_SIZE, 16, None};
    XVisualInfo* visual = glXChooseVisual(display_, DefaultScreen(display_), attributes);
    if (visual == nullptr) return;
    XSetWindowAttributes swa{};
    const Window root = RootWindow(display_, visual->screen);
    swa.colormap = XCreateColormap(display_, root, visual->visual, AllocNone);
    window_ = XCreateWindow(display_, root, 0, 0, 64, 64, 0, visual->depth, InputOutput,
                            visual->visual, CWColormap, &swa);
    context_ = glXCreateContext(display_, visual, nullptr, True);
    XFree(visual);
    if (context_ != nullptr) current_ = glXMakeCurrent(display_, window_, context_);
  }
  ~GlContext() {
    if (display_ == nullptr) return;
    if (context_ != nullptr) {
      glXMakeCurrent(display_, None, nullptr);
      glXDestroyContext(display_, context_);
    }
    if (window_ != 0) XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
  }
  bool current() const { return current_; }

 private:
  Display* display_ = nullptr;
  Window window_ = 0;
  GLXContext context_ = nullptr;
  bool current_ = false;
};

/// Vertices OpenGL receives when `shape` is drawn at `scale`, from feedback mode, in model
/// coordinates (the projection maps -4 .. 4 on every axis onto a 800 x 800 viewport).
std::vector<std::vector<double>> fedBack(MeshShape& shape, double scale) {
  std::vector<GLfloat> buffer(200000);
  glViewport(0, 0, 800, 800);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-4, 4, -4, 4, -4, 4);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_CULL_FACE);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
  glRenderMode(GL_FEEDBACK);
  shape.drawScaled(scale);
  const GLint used = glRenderMode(GL_RENDER);
  std::vector<std::vector<double>> vertices;
  for (GLint i = 0; i < used;) {
    const GLint token = static_cast<GLint>(buffer[i++]);
    if (token != GL_POLYGON_TOKEN) {
      ADD_FAILURE() << "unexpected feedback token " << token;
      break;
    }
    const GLint count = static_cast<GLint>(buffer[i++]);
    for (GLint v = 0; v < count && i + 2 < used; ++v, i += 3) {
      vertices.push_back(
          {buffer[i] / 100.0 - 4, buffer[i + 1] / 100.0 - 4, 4 * (1 - 2 * buffer[i + 2])});
    }
  }
  return vertices;
}

TEST(MeshShapeDrawing, DrawsScaledQuadStrips) {
  GlContext context;
  ASSERT_TRUE(context.current());
  SphereShape sphere(5, 10);
  const auto vertices = fedBack(sphere, 2);
  EXPECT_EQ(sphere.scale(), 2);
  ASSERT_GE(vertices.size(), 5u * 10 * 3);  // at least a triangle per quad
  for (const auto& v : vertices) EXPECT_NEAR(std::hypot(v[0], v[1], v[2]), 2, 0.02);

  TorusShape torus(20, 10);
  for (const auto& v : fedBack(torus, 1.5)) {
    const double ring = std::hypot(v[0], v[1]) - 1.5;
    EXPECT_NEAR(std::hypot(ring, v[2]), 0.15, 0.02);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
