// Text drawn into the view keeps its blanks: each one moves the next word right by the font's
// blank width, whatever the X server's bitmap font does with a blank.
#include "halvex/view/gl_text.h"

#include <FL/Enumerations.H>
#include <FL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "halvex/gl/draw_context.h"
#include "halvex/view/label_batch.h"
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

/// A text placed at a world point under a turned, perspective view, drawn either by the bitmap
/// font or through the label batch.
struct BatchCase {
  Fl_Font font;
  int size;
  const char* text;
  double point[3];
  bool batched;
};
BatchCase gCase;

void drawCase(void*, const DrawContext& context) {
  glViewport(0, 0, static_cast<int>(context.width), static_cast<int>(context.height));
  glClearColor(0.3f, 0.5f, 0.7f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-1, 1, -0.5, 0.5, 1, 10);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslated(0.013, -0.021, -2.5);
  glRotated(17, 1, 0.2, 0);
  glDisable(GL_DEPTH_TEST);
  if (!gCase.batched) {
    glColor3f(0, 0, 0);
    gl_font(gCase.font, gCase.size);
    glRasterPos3dv(gCase.point);
    drawGlText(gCase.text);
    return;
  }
  LabelBatch& batch = labelBatch();
  batch.begin();
  batch.beginLabel(7);
  ASSERT_NE(batch.accepts(gCase.font, gCase.size, gCase.text), nullptr);
  batch.addText(gCase.font, gCase.size, gCase.point, gCase.text);
  batch.draw();
}

/// Draws every case through the bitmap font and through the batch in a new window and counts
/// the pixels that differ.
void compareCasesInANewWindow() {
  scene_test::ShownSurface shown(400, 200);
  ASSERT_TRUE(shown.shown());
  shown.add(drawCase, nullptr);
  const BatchCase cases[] = {
      {FL_HELVETICA, 10, "Truck 7  north gate, moving 54 km/h", {-1.7, 0.3, 0.11}, false},
      {FL_HELVETICA_BOLD, 3, "007", {0.0137, -0.2, 0}, false},
      {FL_HELVETICA,
       16,
       " lat:   32.71234   lon:  -117.16000   idle sec: 5",
       {-2.3, -0.6, 0},
       false},
      {FL_HELVETICA_BOLD, 24, "W~{|}", {0.51, 0.49, 0.3}, false},
  };
  for (const BatchCase& c : cases) {
    SCOPED_TRACE(c.text);
    gCase = c;
    ASSERT_TRUE(shown.drawFrame());
    std::vector<scene_test::Rgb> bitmap;
    for (int y = 0; y < shown.height(); ++y) {
      for (int x = 0; x < shown.width(); ++x) bitmap.push_back(shown.pixel(x, y));
    }
    gCase.batched = true;
    ASSERT_TRUE(shown.drawFrame());
    int differing = 0, inked = 0;
    for (int y = 0; y < shown.height(); ++y) {
      for (int x = 0; x < shown.width(); ++x) {
        const scene_test::Rgb was = bitmap[static_cast<size_t>(y) * shown.width() + x];
        const scene_test::Rgb now = shown.pixel(x, y);
        if (scene_test::isBlack(was)) ++inked;
        if (now.r != was.r || now.g != was.g || now.b != was.b) ++differing;
      }
    }
    EXPECT_GT(inked, 0);
    EXPECT_EQ(differing, 0);
  }
}

TEST(GlText, TheLabelBatchDrawsEveryPixelTheBitmapFontDraws) {
  // The second window has a context of its own: the atlases of the first are not used there.
  for (int window = 0; window < 2; ++window) {
    SCOPED_TRACE(window);
    compareCasesInANewWindow();
  }
}

}  // namespace
