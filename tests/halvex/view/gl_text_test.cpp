// Text drawn into the view keeps its blanks: each one moves the next word right by the font's
// blank width, whatever the X server's bitmap font does with a blank.
#include "halvex/view/gl_text.h"

#include <FL/Enumerations.H>
#include <FL/gl.h>
#include <gtest/gtest.h>

#include "halvex/gl/draw_context.h"
#include "tests/halvex/view/scene_test_support.h"

namespace {

const char* gText = "";
float gAdvance = 0;  ///< How far the last text moved the raster position, pixels.

/// Black text on white at the window's lower left, in pixel coordinates.
void drawText(void*, const DrawContext& context) {
  glViewport(0, 0, static_cast<int>(context.width), static_cast<int>(context.height));
  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, context.width, 0, context.height, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glColor3f(0, 0, 0);
  gl_font(FL_HELVETICA, 16);
  glRasterPos2i(5, 10);
  GLfloat before[4], after[4];
  glGetFloatv(GL_CURRENT_RASTER_POSITION, before);
  drawGlText(gText);
  glGetFloatv(GL_CURRENT_RASTER_POSITION, after);
  gAdvance = after[0] - before[0];
}

/// Rightmost column of the last frame holding a black pixel, -1 for none.
int rightmostInk(const scene_test::ShownSurface& shown) {
  for (int x = shown.width() - 1; x >= 0; --x) {
    for (int y = 0; y < shown.height(); ++y) {
      if (scene_test::isBlack(shown.pixel(x, y))) return x;
    }
  }
  return -1;
}

TEST(GlText, BlanksAdvanceByTheBlankWidth) {
  scene_test::ShownSurface shown(300, 40);
  ASSERT_TRUE(shown.shown());
  shown.add(drawText, nullptr);
  gText = "XX";
  ASSERT_TRUE(shown.drawFrame());
  const int together = rightmostInk(shown);
  const float wordAdvance = gAdvance;
  gText = "X  X";
  ASSERT_TRUE(shown.drawFrame());
  const int apart = rightmostInk(shown);
  // A blank is the measured blank width, scaled as the drawn font differs from the measured one.
  gl_font(FL_HELVETICA, 16);
  const double blank = gl_width(' ') * wordAdvance / gl_width("XX");
  ASSERT_GT(together, 0);
  ASSERT_GT(blank, 1.0);
  EXPECT_NEAR(apart - together, 2 * blank, 1.5);
  EXPECT_NEAR(gAdvance - wordAdvance, 2 * blank, 1.5);
  // Leading and trailing blanks draw nothing but still move the position.
  gText = "   ";
  ASSERT_TRUE(shown.drawFrame());
  EXPECT_EQ(rightmostInk(shown), -1);
}

}  // namespace
