#include "halvex/view/label_batch.h"

#include <FL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

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
  inks_.clear();
  labels_.clear();
  GLint mode = GL_RENDER;
  glGetIntegerv(GL_RENDER_MODE, &mode);
  // A picking pass draws labels as before: their raster positions are what it hits.
  active_ = mode == GL_RENDER;
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView_);
  glGetFloatv(GL_PROJECTION_MATRIX, projection_);
  glGetIntegerv(GL_VIEWPORT, viewport_);
  words_.beginFrame();
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

void LabelBatch::addInk(int left, int bottom, int width, int height, const unsigned char* texels,
                        int stride, int u, int v) {
  if (width <= 0 || height <= 0) return;
  LabelBox& box = labels_.back();
  const float x0 = static_cast<float>(left), x1 = static_cast<float>(left + width);
  const float y0 = static_cast<float>(bottom), y1 = static_cast<float>(bottom + height);
  if (box.right < box.left) {
    box.left = x0, box.right = x1, box.bottom = y0, box.top = y1;
  } else {
    box.left = std::min(box.left, x0), box.right = std::max(box.right, x1);
    box.bottom = std::min(box.bottom, y0), box.top = std::max(box.top, y1);
  }
  inks_.push_back(
      {texels, stride, left, bottom, width, height, u, v, static_cast<int>(labels_.size()) - 1});
}

void LabelBatch::addText(int font, int size, const double point[3], const char* text) {
  if (labels_.empty() || text == nullptr) return;
  const GlyphAtlas* atlas = atlases_.atlas(font, size);
  float x = 0, y = 0;
  if (atlas == nullptr || !project(point, x, y)) return;

  // The pen moves as drawGlText moves the raster position: glyph by glyph as the bitmap font
  // advances, blanks by the measured blank scaled as the last word was. Each word starts on
  // the pixel its pen is on, and its glyphs follow by whole pixels.
  pieces_.clear();
  double scale = 1.0;
  const int baseY = bitmapPixel(y);
  const int start = bitmapPixel(x);
  const char* p = text;
  while (*p != '\0') {
    const char* end = p;
    while (*end != '\0' && *end != ' ') ++end;
    if (end > p) {
      const int length = static_cast<int>(end - p);
      const double measured = atlas->measure(p, length);
      const float before = x;
      pieces_.push_back({p, length, bitmapPixel(x) - start});
      for (const char* c = p; c < end; ++c) {
        if (const GlyphAtlas::Glyph* g = atlas->glyph(static_cast<unsigned char>(*c))) {
          x += g->advance;
        }
      }
      const float drawn = x - before;
      if (measured > 0 && drawn > 0) scale = drawn / measured;
    }
    const float blank = static_cast<float>(atlas->measure(" ", 1) * scale);
    for (; *end == ' '; ++end) x += blank;
    p = end;
  }
  if (pieces_.empty()) return;
  // The whole line as one quad; else word by word; else glyph by glyph.
  const int count = static_cast<int>(pieces_.size());
  if (const WordCache::Word* run = words_.find(*atlas, pieces_.data(), count)) {
    addInk(start + run->left, baseY + run->bottom, run->width, run->height, words_.texels(),
           WordCache::kSize, run->x, run->y);
    return;
  }
  for (WordCache::Piece piece : pieces_) {
    const int pen = start + piece.offset;
    piece.offset = 0;
    if (const WordCache::Word* word = words_.find(*atlas, &piece, 1)) {
      addInk(pen + word->left, baseY + word->bottom, word->width, word->height, words_.texels(),
             WordCache::kSize, word->x, word->y);
      continue;
    }
    int glyphPen = pen;
    for (int i = 0; i < piece.n; ++i) {
      const GlyphAtlas::Glyph* g = atlas->glyph(static_cast<unsigned char>(piece.text[i]));
      if (g == nullptr) continue;
      addInk(glyphPen + g->inkLeft, baseY + g->inkBottom, g->inkRight - g->inkLeft + 1,
             g->inkTop - g->inkBottom + 1, atlas->texels().data(), atlas->textureWidth(),
             g->column * atlas->cellWidth() + atlas->penX() + g->inkLeft,
             g->row * atlas->cellHeight() + atlas->penY() + g->inkBottom);
      glyphPen += static_cast<int>(g->advance);
    }
  }
}

void LabelBatch::dropLabel() {
  if (labels_.empty()) return;
  const int label = static_cast<int>(labels_.size()) - 1;
  while (!inks_.empty() && inks_.back().label == label) inks_.pop_back();
  labels_.pop_back();
}

void LabelBatch::draw() {
  // The labels' pixels within the view, set into one mask.
  int left = viewport_[0] + viewport_[2], bottom = viewport_[1] + viewport_[3];
  int right = viewport_[0], top = viewport_[1];
  for (const Ink& ink : inks_) {
    if (!labels_[static_cast<size_t>(ink.label)].drawn) continue;
    left = std::min(left, ink.x);
    bottom = std::min(bottom, ink.y);
    right = std::max(right, ink.x + ink.width);
    top = std::max(top, ink.y + ink.height);
  }
  left = std::max(left, viewport_[0]);
  bottom = std::max(bottom, viewport_[1]);
  right = std::min(right, viewport_[0] + viewport_[2]);
  top = std::min(top, viewport_[1] + viewport_[3]);
  if (left >= right || bottom >= top) {
    inks_.clear();
    labels_.clear();
    return;
  }
  const int width = right - left;
  const int height = top - bottom;
  mask_.assign(static_cast<size_t>(width) * height, 0);
  for (const Ink& ink : inks_) {
    if (!labels_[static_cast<size_t>(ink.label)].drawn) continue;
    const int x0 = std::max(ink.x, left), x1 = std::min(ink.x + ink.width, right);
    const int y0 = std::max(ink.y, bottom), y1 = std::min(ink.y + ink.height, top);
    for (int y = y0; y < y1; ++y) {
      unsigned char* to = &mask_[static_cast<size_t>(y - bottom) * width + (x0 - left)];
      const unsigned char* from =
          ink.texels + static_cast<size_t>(ink.v + y - ink.y) * ink.stride + ink.u + (x0 - ink.x);
      for (int x = 0; x < x1 - x0; ++x) to[x] |= from[x];
    }
  }

  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  maskTexture_.bind(viewport_[2], viewport_[3], GL_ALPHA);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  const int x = left - viewport_[0], y = bottom - viewport_[1];
  glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GL_ALPHA, GL_UNSIGNED_BYTE, mask_.data());

  for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_CULL_FACE, GL_FOG, GL_BLEND}) glDisable(cap);
  // Mask texels are fully inked or clear: the clear ones are discarded, nothing is blended.
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glColor4f(0, 0, 0, 1);
  maskTexture_.drawTexels(viewport_, x, y, x + width, y + height);
  glPopClientAttrib();
  glPopAttrib();
  inks_.clear();
  labels_.clear();
}
