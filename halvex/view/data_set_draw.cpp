#include "halvex/view/data_set_draw.h"

#include <FL/Enumerations.H>
#include <FL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "halvex/engine/data_set_model.h"
#include "halvex/gl/draw_context.h"
#include "halvex/gl/view_camera.h"
#include "halvex/gl/view_local.h"
#include "halvex/view/glyph_atlas.h"
#include "halvex/view/label_batch.h"
#include "halvex/view/scene.h"

namespace {

constexpr Fl_Font kLabelFont = FL_HELVETICA;
/// Half a marker's box (pixels): a marker reaching into the pick region this far is a choice.
constexpr float kMarkerHalf = DataSetDraw::kRadius + 0.5f;
/// The baseline sits this share of the font size below the marker's centre, as the node labels'
/// sits below their icons'.
constexpr double kBaselineDropPerSize = 0.25;
constexpr unsigned char kOpaque = 255;

/// `text` with every byte the label font has no glyph for shown as '?'.
std::string printable(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < GlyphAtlas::kFirst || byte > GlyphAtlas::kLast) c = '?';
  }
  return text;
}

}  // namespace

void DataSetDraw::draw(const DrawContext& context, DataSetModel& model, bool pick,
                       LabelBatch& labels) {
  if (pick) {
    drawPick(context, model);
    return;
  }
  model.markers();  // brings the version up to date
  const ViewLocal local = viewLocalOf(context);
  const FrameView view = FrameView::current(local);
  if (!built_ || !picture_.uploadedHere() || view != builtView_ ||
      model.version() != builtVersion_ || &model != builtModel_) {
    build(context, model, view);
  }
  picture_.draw(view.viewport);

  for (const Label& label : labels_) {
    labels.beginLabel(kLabelIdBase + label.row);
    if (!labels.accepts(kLabelFont, kLabelFontSize, label.text.c_str())) {
      labels.dropLabel();
      continue;
    }
    labels.addText(kLabelFont, kLabelFontSize, label.point, label.text.c_str());
  }
}

void DataSetDraw::addDiamond(int x, int y, const unsigned char rgb[3]) {
  picture_.touch(x - kRadius, y - kRadius, x + kRadius + 1, y + kRadius + 1);
  const int x0 = std::max(x - kRadius, 0), x1 = std::min(x + kRadius + 1, picture_.width());
  const int y0 = std::max(y - kRadius, 0), y1 = std::min(y + kRadius + 1, picture_.height());
  for (int py = y0; py < y1; ++py) {
    // The diamond's row: pixels within kRadius of the centre in the city-block distance, the
    // outermost of them outline.
    const int reach = kRadius - std::abs(py - y);
    const int from = std::max(x - reach, x0), to = std::min(x + reach + 1, x1);
    for (int px = from; px < to; ++px) {
      unsigned char* p = picture_.at(px, py);
      if (p[3] != 0) continue;
      const unsigned char* colour = std::abs(px - x) == reach ? kOutline : rgb;
      std::copy(colour, colour + 3, p);
      p[3] = kOpaque;
    }
  }
}

void DataSetDraw::build(const DrawContext& context, DataSetModel& model, const FrameView& view) {
  const std::vector<DataSetMarker>& markers = model.markers();
  const int width = std::max(view.viewport[2], 0), height = std::max(view.viewport[3], 0);
  picture_.begin(width, height);
  if (centres_.size() == static_cast<size_t>(width) * height) {
    for (size_t at : taken_) centres_[at] = 0;
  } else {
    centres_.assign(static_cast<size_t>(width) * height, 0);
  }
  taken_.clear();
  labels_.clear();
  const int columns = (width + kLabelCellWidth - 1) / kLabelCellWidth;
  const int rows = (height + kLabelCellHeight - 1) / kLabelCellHeight;
  cells_.assign(static_cast<size_t>(columns) * rows, 0);

  const ViewLocal local = viewLocalOf(context);
  const double toWorld = context.width > 0 ? local.extent / context.width : 0;
  double offset[3];
  turnOffset(local.inverseRotation, kLabelGap * toWorld,
             -kBaselineDropPerSize * kLabelFontSize * toWorld, 0, offset);
  for (const DataSetMarker& marker : markers) {
    const double localX = marker.longitude - view.left, localY = marker.latitude - view.bottom;
    float x = 0, y = 0, depth = 0;
    if (!view.project(static_cast<float>(localX), static_cast<float>(localY), x, y, &depth) ||
        !std::isfinite(x) || !std::isfinite(y)) {
      continue;
    }
    // Culled unless some of its diamond lies in the view.
    if (x < -kMarkerHalf || y < -kMarkerHalf || x > width + kMarkerHalf ||
        y > height + kMarkerHalf) {
      continue;
    }
    const int px = static_cast<int>(std::floor(x)), py = static_cast<int>(std::floor(y));
    const bool inside = px >= 0 && py >= 0 && px < width && py < height;
    if (inside) {
      const size_t at = static_cast<size_t>(py) * width + px;
      if (centres_[at]) continue;  // an earlier row's marker covers it wholly
      centres_[at] = 1;
      taken_.push_back(at);
    }
    const int colour = std::clamp(marker.colour, 0, DataSetModel::kPaletteSize - 1);
    addDiamond(px, py, DataSetModel::kPalette[colour]);
    if (!inside) continue;
    unsigned char& cell = cells_[static_cast<size_t>(py / kLabelCellHeight) * columns +
                                 static_cast<size_t>(px / kLabelCellWidth)];
    if (cell) continue;
    std::string text = model.labelOf(marker.row);
    if (text.empty()) continue;
    cell = 1;
    labels_.push_back(
        {marker.row, {localX + offset[0], localY + offset[1], offset[2]}, printable(text)});
  }
  picture_.upload();
  built_ = true;
  builtView_ = view;
  builtVersion_ = model.version();
  builtModel_ = &model;
}

void DataSetDraw::drawPick(const DrawContext& context, DataSetModel& model) {
  const ViewCamera* camera = context.camera;
  if (!camera) return;
  // The matrices of the view without the pick region, through which the markers were drawn.
  FrameView view;
  float modelView[Matrix4::kSize], projection[Matrix4::kSize];
  camera->computeMatrices(projection, modelView);
  Matrix4::multiply(modelView, projection, view.matrix);
  glGetIntegerv(GL_VIEWPORT, view.viewport);
  view.left = camera->left();
  view.bottom = camera->bottom();
  // The pick region's centre as the camera's pick matrix takes it.
  const float pointerX = static_cast<float>(camera->pickX());
  const float pointerY = static_cast<float>(camera->windowHeight() - camera->pickY());
  const float reach = ViewCamera::kPickRegion / 2.0f + kMarkerHalf;
  int chosen = -1;
  float best = 0, chosenX = 0, chosenY = 0, chosenDepth = 0;
  for (const DataSetMarker& marker : model.markers()) {
    float x = 0, y = 0, depth = 0;
    if (!view.project(static_cast<float>(marker.longitude - view.left),
                      static_cast<float>(marker.latitude - view.bottom), x, y, &depth) ||
        !std::isfinite(x) || !std::isfinite(y)) {
      continue;
    }
    const float dx = x - pointerX, dy = y - pointerY;
    if (std::fabs(dx) > reach || std::fabs(dy) > reach) continue;
    const float distance = dx * dx + dy * dy;
    // Ties go to the earlier row, which the picture shows on top.
    if (chosen < 0 || distance < best) {
      chosen = marker.row;
      best = distance;
      chosenX = x, chosenY = y, chosenDepth = depth;
    }
  }
  if (chosen < 0) return;

  // The marker's box in window pixels at its own depth, through the pick region.
  glPushAttrib(GL_ENABLE_BIT);
  glDisable(GL_CULL_FACE);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluPickMatrix(pointerX, pointerY, ViewCamera::kPickRegion, ViewCamera::kPickRegion,
                view.viewport);
  // Near 0 and far -1: a vertex's z is its depth.
  glOrtho(0, view.viewport[2], 0, view.viewport[3], 0, -1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glLoadName(pickNames().nameFor(model.pickObject(chosen)));
  glBegin(GL_QUADS);
  glVertex3f(chosenX - kMarkerHalf, chosenY - kMarkerHalf, chosenDepth);
  glVertex3f(chosenX + kMarkerHalf, chosenY - kMarkerHalf, chosenDepth);
  glVertex3f(chosenX + kMarkerHalf, chosenY + kMarkerHalf, chosenDepth);
  glVertex3f(chosenX - kMarkerHalf, chosenY + kMarkerHalf, chosenDepth);
  glEnd();
  glLoadName(0);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}
