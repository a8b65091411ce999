#include "halvex/view/label_batch.h"

#include <FL/gl.h>
#include <GL/glx.h>

#include <algorithm>
#include <cmath>

namespace {

/// Corners of a quad, counter-clockwise from the lower left.
constexpr int kCorners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
/// A position this close to a pixel edge (pixels), or a point this close to the view's edge
/// (a share of w), may round the other way in the driver's arithmetic: the driver is asked.
constexpr float kPixelEdgeDoubt = 2e-3f;
constexpr float kClipEdgeDoubt = 1e-5f;
/// The driver places a bitmap at the raster position plus this before taking the whole pixel,
/// so that a position a rounding error below a pixel edge lands on that pixel.
constexpr float kBitmapEpsilon = 1e-4f;

/// The pixel a bitmap drawn at raster coordinate `v` starts on (for a whole-pixel origin).
int bitmapPixel(float v) {
  return static_cast<int>(std::floor(v + kBitmapEpsilon));
}

bool nearPixelEdge(float v) {
  const float fraction = v - std::floor(v);
  return fraction < kPixelEdgeDoubt || fraction > 1 - kPixelEdgeDoubt;
}

/// The raster position the driver finds for `point`: false when it is not valid.
bool driverRasterPosition(const double point[3], float& x, float& y) {
  glRasterPos3dv(point);
  GLint valid = GL_FALSE;
  glGetIntegerv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
  if (valid != GL_TRUE) return false;
  GLfloat position[4] = {0, 0, 0, 0};
  glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
  x = position[0];
  y = position[1];
  return true;
}

}  // namespace

LabelBatch& labelBatch() {
  static LabelBatch batch;
  return batch;
}

void LabelBatch::begin() {
  quads_.clear();
  labels_.clear();
  GLint mode = GL_RENDER;
  glGetIntegerv(GL_RENDER_MODE, &mode);
  // A picking pass draws labels as before: their raster positions are what it hits.
  active_ = mode == GL_RENDER;
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView_);
  glGetFloatv(GL_PROJECTION_MATRIX, projection_);
  glGetIntegerv(GL_VIEWPORT, viewport_);
  // Atlases live in the context that built them: another window's context starts afresh.
  const void* context = glXGetCurrentContext();
  if (context != context_) {
    atlases_.forget();
    context_ = context;
  }
}

void LabelBatch::beginLabel(int id) {
  LabelBox box;
  box.id = id;
  labels_.push_back(box);
}

const GlyphAtlas* LabelBatch::accepts(int font, int size, const char* text) {
  if (!active_ || labels_.empty() || text == nullptr) return nullptr;
  const GlyphAtlas* atlas = atlases_.atlas(font, size);
  if (atlas == nullptr) return nullptr;
  for (const char* p = text; *p != '\0'; ++p) {
    if (atlas->glyph(static_cast<unsigned char>(*p)) == nullptr) return nullptr;
  }
  return atlas;
}

bool LabelBatch::project(const double point[3], float& x, float& y) const {
  // As the raster position is found: model-view, then projection, then the viewport.
  const float object[4] = {static_cast<float>(point[0]), static_cast<float>(point[1]),
                           static_cast<float>(point[2]), 1.0f};
  float eye[4], clip[4];
  for (int row = 0; row < 4; ++row) {
    eye[row] = modelView_[row] * object[0] + modelView_[4 + row] * object[1] +
               modelView_[8 + row] * object[2] + modelView_[12 + row] * object[3];
  }
  for (int row = 0; row < 4; ++row) {
    clip[row] = projection_[row] * eye[0] + projection_[4 + row] * eye[1] +
                projection_[8 + row] * eye[2] + projection_[12 + row] * eye[3];
  }
  const float w = clip[3];
  const float edge = std::max({std::fabs(clip[0]), std::fabs(clip[1]), std::fabs(clip[2])});
  if (!(w > 0) || edge > w * (1 + kClipEdgeDoubt)) return false;
  const float halfWidth = viewport_[2] * 0.5f;
  const float halfHeight = viewport_[3] * 0.5f;
  x = clip[0] / w * halfWidth + (viewport_[0] + halfWidth);
  y = clip[1] / w * halfHeight + (viewport_[1] + halfHeight);
  // Rounding in the last bit decides these: the driver's own figure settles them.
  if (edge >= w * (1 - kClipEdgeDoubt) || nearPixelEdge(x) || nearPixelEdge(y)) {
    return driverRasterPosition(point, x, y);
  }
  return true;
}

void LabelBatch::addText(int font, int size, const double point[3], const char* text) {
  if (labels_.empty() || text == nullptr) return;
  const GlyphAtlas* atlas = atlases_.atlas(font, size);
  float x = 0, y = 0;
  if (atlas == nullptr || !project(point, x, y)) return;

  LabelBox& box = labels_.back();
  const int label = static_cast<int>(labels_.size()) - 1;
  // The pen moves as drawGlText moves the raster position: glyph by glyph as the bitmap font
  // advances, blanks by the measured blank scaled as the last word was.
  double scale = 1.0;
  const int baseY = bitmapPixel(y);
  const char* p = text;
  while (*p != '\0') {
    const char* end = p;
    while (*end != '\0' && *end != ' ') ++end;
    if (end > p) {
      const double measured = atlas->measure(p, static_cast<int>(end - p));
      const float before = x;
      for (const char* c = p; c < end; ++c) {
        const GlyphAtlas::Glyph* glyph = atlas->glyph(static_cast<unsigned char>(*c));
        if (glyph == nullptr) continue;
        const int penX = bitmapPixel(x);
        quads_.push_back({atlas, penX - atlas->penX(), baseY - atlas->penY(), glyph, label});
        if (glyph->inkRight >= glyph->inkLeft) {
          const float left = static_cast<float>(penX + glyph->inkLeft);
          const float right = static_cast<float>(penX + glyph->inkRight + 1);
          const float bottom = static_cast<float>(baseY + glyph->inkBottom);
          const float top = static_cast<float>(baseY + glyph->inkTop + 1);
          if (box.right < box.left) {
            box.left = left, box.right = right, box.bottom = bottom, box.top = top;
          } else {
            box.left = std::min(box.left, left), box.right = std::max(box.right, right);
            box.bottom = std::min(box.bottom, bottom), box.top = std::max(box.top, top);
          }
        }
        x += glyph->advance;
      }
      const float drawn = x - before;
      if (measured > 0 && drawn > 0) scale = drawn / measured;
    }
    const float blank = static_cast<float>(atlas->measure(" ", 1) * scale);
    for (; *end == ' '; ++end) x += blank;
    p = end;
  }
}

void LabelBatch::dropLabel() {
  if (labels_.empty()) return;
  const int label = static_cast<int>(labels_.size()) - 1;
  while (!quads_.empty() && quads_.back().label == label) quads_.pop_back();
  labels_.pop_back();
}

void LabelBatch::draw() {
  if (quads_.empty()) {
    labels_.clear();
    return;
  }
  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(viewport_[0], viewport_[0] + viewport_[2], viewport_[1], viewport_[1] + viewport_[3], -1,
          1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_CULL_FACE, GL_ALPHA_TEST, GL_FOG}) {
    glDisable(cap);
  }
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glColor4f(0, 0, 0, 1);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);

  // One draw per atlas: the quads of each atlas together, in the order they were added.
  std::stable_sort(quads_.begin(), quads_.end(),
                   [](const Quad& a, const Quad& b) { return a.atlas < b.atlas; });
  size_t first = 0;
  while (first < quads_.size()) {
    const GlyphAtlas* atlas = quads_[first].atlas;
    vertices_.clear();
    texels_.clear();
    size_t next = first;
    for (; next < quads_.size() && quads_[next].atlas == atlas; ++next) {
      const Quad& q = quads_[next];
      if (!labels_[static_cast<size_t>(q.label)].drawn) continue;
      // Only the glyph's inked pixels: the rest of its cell is clear and would cost fill.
      const GlyphAtlas::Glyph& g = *q.glyph;
      if (g.inkRight < g.inkLeft) continue;
      const int left = atlas->penX() + g.inkLeft;
      const int bottom = atlas->penY() + g.inkBottom;
      const int width = g.inkRight - g.inkLeft + 1;
      const int height = g.inkTop - g.inkBottom + 1;
      const float u =
          static_cast<float>(g.column * atlas->cellWidth() + left) / atlas->textureWidth();
      const float v =
          static_cast<float>(g.row * atlas->cellHeight() + bottom) / atlas->textureHeight();
      const float du = static_cast<float>(width) / atlas->textureWidth();
      const float dv = static_cast<float>(height) / atlas->textureHeight();
      for (const auto& corner : kCorners) {
        vertices_.push_back(static_cast<float>(q.x + left + corner[0] * width));
        vertices_.push_back(static_cast<float>(q.y + bottom + corner[1] * height));
        texels_.push_back(u + corner[0] * du);
        texels_.push_back(v + corner[1] * dv);
      }
    }
    if (!vertices_.empty()) {
      glBindTexture(GL_TEXTURE_2D, atlas->texture());
      glVertexPointer(2, GL_FLOAT, 0, vertices_.data());
      glTexCoordPointer(2, GL_FLOAT, 0, texels_.data());
      glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(vertices_.size() / 2));
    }
    first = next;
  }

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopClientAttrib();
  glPopAttrib();
  quads_.clear();
  labels_.clear();
}
