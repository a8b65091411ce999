#include "halvex/view/gl_draw_surface.h"

#include <FL/gl.h>

#include <utility>

glDrawSurface::glDrawSurface(int x, int y, int w, int h, const char* label)
    : Fl_Gl_Window(x, y, w, h, label) {
  mode(FL_RGB | FL_DOUBLE | FL_DEPTH);
}

void glDrawSurface::draw() {
  if (!valid()) glViewport(0, 0, pixel_w(), pixel_h());
  glClearColor(kBackground[0], kBackground[1], kBackground[2], 1.0f);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  ++frames_;
  if (frameDrawn_) frameDrawn_();
}
