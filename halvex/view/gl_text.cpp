#include "halvex/view/gl_text.h"

#include <FL/gl.h>

void drawGlText(const char* text) {
  if (text == nullptr) return;
  const float blank = static_cast<float>(gl_width(' '));
  const char* p = text;
  while (*p != '\0') {
    const char* end = p;
    while (*end != '\0' && *end != ' ') ++end;
    if (end > p) gl_draw(p, static_cast<int>(end - p));
    for (; *end == ' '; ++end) glBitmap(0, 0, 0, 0, blank, 0, nullptr);
    p = end;
  }
}
