// A shown OpenGL window whose context the tests make current, draw into and read back from.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Gl_Window.H>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "halvex/gl/gl_extensions.h"

/// The window: drawing happens in the tests, with its context current.
class GlTestWindow : public Fl_Gl_Window {
 public:
  GlTestWindow(int w, int h) : Fl_Gl_Window(0, 0, w, h, "maps test") {
    mode(FL_RGB | FL_DOUBLE | FL_DEPTH);
  }
  void draw() override {}
};

/// Core glBindTexture/glIsTexture in the extension's shape, to select texture-object mode.
inline void bindCoreTexture(unsigned target, unsigned texture) {
  glBindTexture(target, texture);
}
inline unsigned char isCoreTexture(unsigned texture) {
  return glIsTexture(texture);
}

/// R, G, B, A as the tests compare them.
inline std::array<int, 4> rgba(int r, int g, int b, int a) {
  return {r, g, b, a};
}

/// Fixture with a current context of kSize x kSize pixels and a pixel-unit projection.
class GlTest : public ::testing::Test {
 public:
  static constexpr int kSize = 128;

 protected:
  void SetUp() override {
    window_ = std::make_unique<GlTestWindow>(kSize, kSize);
    window_->show();
    for (int i = 0; i < 100 && !window_->shown(); ++i) Fl::wait(0.05);
    Fl::flush();
    ASSERT_TRUE(window_->shown());
    window_->make_current();
    glViewport(0, 0, kSize, kSize);
    pixelProjection();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    glDisable(GL_DEPTH_TEST);
    useDisplayLists();
  }
  void TearDown() override {
    useDisplayLists();
    window_->hide();
    Fl::flush();
  }

  /// Projection mapping view-local coordinates (left, bottom) .. (left + w, bottom + h) to the
  /// whole window.
  void projection(double left, double bottom, double w, double h) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(left, left + w, bottom, bottom + h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }
  void pixelProjection() { projection(0, 0, kSize, kSize); }

  static void useTextureObjects() {
    GlExtensions& e = glExtensions();
    e.textureObjects = true;
    e.bindTexture = bindCoreTexture;
    e.isTexture = isCoreTexture;
  }
  static void useDisplayLists() { glExtensions() = GlExtensions(); }

  /// R, G, B, A of window pixel (x, y), y from the bottom.
  std::array<int, 4> pixel(int x, int y) {
    unsigned char p[4] = {};
    glFinish();
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
  }

  std::unique_ptr<GlTestWindow> window_;
};

/// Whether two colours differ by at most tolerance in each byte.
inline bool sameColour(const std::array<int, 4>& a, const std::array<int, 4>& b,
                       int tolerance = 3) {
  for (int i = 0; i < 4; ++i) {
    if (a[i] - b[i] > tolerance || b[i] - a[i] > tolerance) return false;
  }
  return true;
}
