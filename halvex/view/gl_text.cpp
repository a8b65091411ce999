#include "halvex/view/gl_text.h"

#include <FL/gl.h>

namespace {

/// Window x of the current raster position.
float rasterX() {
  GLfloat position[4] = {0, 0, 0, 0};
  glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
  return position[0];
}

}  // namespace

void drawGlText(const char* text) {
  if (text == nullptr) return;
  // The toolkit measures text with one font and may draw it with another (its bitmap font of
  // the nearest size): a blank moves by the measured blank width scaled as the last word drawn
  // was scaled between measuring and drawing.
  double scale = 1.0;
  const char* p = text;
  while (*p != '\0') {
    const char* end = p;
    while (*end != '\0' && *end != ' ') ++end;
    if (end > p) {
      const int length = static_cast<int>(end - p);
      const double measured = gl_width(p, length);
      const float before = rasterX();
      gl_draw(p, length);
      const float drawn = rasterX() - before;
      if (measured > 0 && drawn > 0) scale = drawn / measured;
    }
    const float blank = static_cast<float>(gl_width(' ') * scale);
    for (; *end == ' '; ++end) glBitmap(0, 0, 0, 0, blank, 0, nullptr);
    p = end;
  }
}
