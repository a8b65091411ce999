#include "halvex/view/ring_marker_draw.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/gl.h>

#include <cmath>
#include <string>

#include "common/angles.h"
#include "common/gl/mesh_shape.h"
#include "halvex/gl/draw_context.h"
#include "halvex/gl/view_local.h"
#include "halvex/tracking/ring_marker.h"
#include "halvex/view/gl_text.h"

namespace {

constexpr double kSizePerExtent = 3.5;         ///< Marker size S per view width and icon scale.
constexpr double kUnitPerSize = 0.005;         ///< Marker unit u per S.
constexpr double kHeightPerZ = 0.005;          ///< View-local height per unit of marker z.
constexpr double kPoleSize = 0.02;             ///< Pole length per S.
constexpr double kRingHeightUnits = 4;         ///< Height of the ring above the ground, in u.
constexpr double kBallSize = 0.001;            ///< Ball radius per S.
constexpr double kRootRingUnits = 0.75;        ///< Root ring radius, in u.
constexpr double kChildRingShare = 2.0 / 3.0;  ///< Child ring radius per parent radius.
constexpr double kLabelGapPerSize = 0.0075;    ///< Label anchor right of the pole, per S.
constexpr double kTextNearer = 0.00001;        ///< Text depth in front of its box.
constexpr double kColourScale = 255.0;
constexpr int kMaxRingDepth = 8;  ///< Nesting drawn at most; keeps the matrix stack in bounds.
constexpr Fl_Font kLabelFont = FL_TIMES_BOLD;
constexpr int kLabelFontSize = 16;

/// Sets the lit material (front and back, ambient and diffuse) to colour map entry `index`.
void setMaterial(long index, double intensity) {
  unsigned char r = 0, g = 0, b = 0;
  Fl::get_color(static_cast<Fl_Color>(index), r, g, b);
  const GLfloat colour[4] = {static_cast<GLfloat>(r * intensity / kColourScale),
                             static_cast<GLfloat>(g * intensity / kColourScale),
                             static_cast<GLfloat>(b * intensity / kColourScale), 1.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
}

/// Draws shared shape `index` at `size` when the shapes exist.
void drawShape(int index, double size) {
  if (MeshShape* shape = sharedShape(index)) shape->drawScaled(size);
}

/// Draws the ring of `slot`'s children around the current origin at base radius h.
void drawRing(const RingSlot& slot, double h, int depth) {
  const int n = slot.childCount();
  if (n <= 0 || depth >= kMaxRingDepth) return;
  for (int i = 0; i < n; ++i) {
    const RingSlot& child = slot.children[i];
    if (!child.visible) continue;
    setMaterial(child.colour, 1.0);
    const double angle = i * 360.0 / n;
    const double l = h * kChildRingShare * child.scale;
    glPushMatrix();
    glTranslated(std::cos(angle * DEG2RAD) * (h + l), std::sin(angle * DEG2RAD) * (h + l), 0);
    glRotated(angle, 0, 0, 1);
    glRotated(90, 1, 0, 0);
    drawShape(kSharedTorus, child.scale * l);
    drawRing(child, l, depth + 1);
    glPopMatrix();
  }
}

/// The marker's size S for the context's camera.
double markerSize(const ViewLocal& view) {
  return view.extent * view.iconScale * kSizePerExtent;
}

/// Draws the labels of `marker` stacked around `anchor` (device coordinates) with identity
/// matrices, each in a white box; the matrices are restored afterwards.
void drawLabels(const RingMarker& marker, const DrawContext& context, const double anchor[3]) {
  const int count = marker.labelCount();
  if (count <= 0 || context.width <= 0 || context.height <= 0) return;
  gl_font(kLabelFont, kLabelFontSize);
  const double lineHeight = 2.0 * gl_height() / context.height;
  const double descent = 2.0 * gl_descent() / context.height;
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  const double top = anchor[1] + count / 2.0 * lineHeight;
  for (int k = 0; k < count; ++k) {
    const std::string& text = marker.label(k);
    const double width = 2.0 * gl_width(text.c_str()) / context.width;
    const double bottom = top - (k + 1) * lineHeight;
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glVertex3d(anchor[0], bottom, anchor[2]);
    glVertex3d(anchor[0] + width, bottom, anchor[2]);
    glVertex3d(anchor[0] + width, bottom + lineHeight, anchor[2]);
    glVertex3d(anchor[0], bottom + lineHeight, anchor[2]);
    glEnd();
    glColor3f(0, 0, 0);
    glRasterPos3d(anchor[0], bottom + descent, anchor[2] - kTextNearer);
    drawGlText(text.c_str());
  }
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}

}  // namespace

bool ringLabelAnchor(const RingMarker& marker, const DrawContext& context, double anchor[3]) {
  const ViewLocal view = viewLocalOf(context);
  const double size = markerSize(view);
  double offset[3];
  turnOffset(view.inversePitchRotation, kLabelGapPerSize * size, 0, 0, offset);
  const double point[4] = {
      marker.x() - view.left + offset[0], marker.y() - view.bottom + offset[1],
      marker.z() * kHeightPerZ + kRingHeightUnits * size * kUnitPerSize + offset[2], 1.0};
  GLdouble modelView[16];
  GLdouble projection[16];
  glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  double eye[4];
  double clip[4];
  for (int row = 0; row < 4; ++row) {
    eye[row] = 0;
    for (int c = 0; c < 4; ++c) eye[row] += modelView[4 * c + row] * point[c];
  }
  for (int row = 0; row < 4; ++row) {
    clip[row] = 0;
    for (int c = 0; c < 4; ++c) clip[row] += projection[4 * c + row] * eye[c];
  }
  if (!(clip[3] > 0)) return false;
  for (int i = 0; i < 3; ++i) anchor[i] = clip[i] / clip[3];
  return anchor[0] >= -1 && anchor[0] <= 1;
}

void drawRingMarker(const RingMarker& marker, const DrawContext& context, double intensity) {
  createSharedShapes();
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHT1);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  setMaterial(marker.colour(), intensity);

  const ViewLocal view = viewLocalOf(context);
  const double size = markerSize(view);
  const double unit = size * kUnitPerSize;
  glPushMatrix();
  glTranslated(marker.x() - view.left, marker.y() - view.bottom, marker.z() * kHeightPerZ);
  drawShape(kSharedRod, size * kPoleSize);
  glTranslated(0, 0, kRingHeightUnits * unit);
  drawShape(kSharedSphere, size * kBallSize);
  drawShape(kSharedTorus, kRootRingUnits * unit);
  drawRing(marker.root(), kRootRingUnits * unit, 0);
  glPopMatrix();

  glDisable(GL_LIGHT0);
  glDisable(GL_LIGHT1);
  glDisable(GL_LIGHTING);
  double anchor[3];
  if (ringLabelAnchor(marker, context, anchor)) drawLabels(marker, context, anchor);
}
