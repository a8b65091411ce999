#include "halvex/view/readout_draw.h"

#include <FL/Enumerations.H>
#include <FL/gl.h>

#include <string>

#include "halvex/gl/draw_context.h"
#include "halvex/gl/pointer_ground.h"
#include "halvex/gl/view_camera.h"
#include "halvex/view/gl_text.h"

namespace {

constexpr Fl_Font kReadoutFont = FL_COURIER_BOLD;
constexpr int kReadoutFontSize = 16;
constexpr int kLatitudeLine = 2;
constexpr int kLongitudeLine = 1;
constexpr int kMgrsLine = 0;

}  // namespace

bool updatePointerGround(const DrawContext& context, double* latitude, double* longitude) {
  if (!context.camera) return false;
  const ViewCamera& camera = *context.camera;
  return pointerGround(camera, camera.pickX(), camera.pickY(), context.width, context.height,
                       latitude, longitude);
}

void readoutLinePosition(int k, double textWidth, double descent, double lineHeight, double width,
                         double height, double position[2]) {
  position[0] = 1 - 2 * textWidth / width - 4 * descent / height;
  position[1] = -1 + 4 * descent / height + 2 * lineHeight * k / height;
}

void drawReadout(const DrawContext& context, const geodesy::Readout& readout) {
  if (!(context.width > 0) || !(context.height > 0)) return;
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  glColor3f(0, 0, 0);
  gl_font(kReadoutFont, kReadoutFontSize);
  const struct {
    const std::string* text;
    int line;
  } lines[] = {{&readout.latitude, kLatitudeLine},
               {&readout.longitude, kLongitudeLine},
               {&readout.mgrs, kMgrsLine}};
  for (const auto& line : lines) {
    double position[2];
    readoutLinePosition(line.line, gl_width(line.text->c_str()), gl_descent(), gl_height(),
                        context.width, context.height, position);
    glRasterPos2d(position[0], position[1]);
    drawGlText(line.text->c_str());
  }
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}

geodesy::Readout drawPointerReadout(const DrawContext& context, double& latitude,
                                    double& longitude) {
  updatePointerGround(context, &latitude, &longitude);
  const geodesy::Readout readout = geodesy::makeReadout(longitude, latitude);
  drawReadout(context, readout);
  return readout;
}
