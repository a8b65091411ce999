#include "halvex/view/glyph_atlas.h"

#include <FL/gl.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace {

constexpr int kGlyphCount = GlyphAtlas::kLast - GlyphAtlas::kFirst + 1;
/// Rows of cells in the texture.
constexpr int kRows = (kGlyphCount + GlyphAtlas::kColumns - 1) / GlyphAtlas::kColumns;
/// The toolkit draws small sizes with its smallest bitmap font: cells are made for at least this.
constexpr int kSmallestCellFont = 12;
/// Room around the pen: a cell is this many font sizes wide and high, plus a margin.
constexpr int kCellFonts = 2;
constexpr int kCellMargin = 8;
/// A read-back pixel at or above this red level is part of the glyph (drawn white on black).
constexpr unsigned char kInkLevel = 128;
/// Times the cell is doubled when a glyph touches its edge.
constexpr int kGrowAttempts = 2;

int powerOfTwoAtLeast(int n) {
  int v = 1;
  while (v < n) v *= 2;
  return v;
}

float rasterX() {
  GLfloat position[4] = {0, 0, 0, 0};
  glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
  return position[0];
}

/// The state the glyphs are drawn and read in: window pixels, plain colours, tight rows; all
/// put back on destruction.
class PlainPixelState {
 public:
  PlainPixelState(int width, int height) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    for (GLenum cap : {GL_DEPTH_TEST, GL_TEXTURE_2D, GL_BLEND, GL_LIGHTING, GL_ALPHA_TEST,
                       GL_STENCIL_TEST, GL_FOG, GL_SCISSOR_TEST, GL_DITHER, GL_CULL_FACE}) {
      glDisable(cap);
    }
    glDepthMask(GL_FALSE);
    glPixelZoom(1, 1);
    for (GLenum name : {GL_PACK_ALIGNMENT, GL_UNPACK_ALIGNMENT}) glPixelStorei(name, 1);
    for (GLenum name : {GL_PACK_ROW_LENGTH, GL_PACK_SKIP_ROWS, GL_PACK_SKIP_PIXELS,
                        GL_UNPACK_ROW_LENGTH, GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS}) {
      glPixelStorei(name, 0);
    }
  }
  ~PlainPixelState() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
  }
  PlainPixelState(const PlainPixelState&) = delete;
  PlainPixelState& operator=(const PlainPixelState&) = delete;
};

}  // namespace

bool GlyphAtlas::build(int font, int size) {
  if (size < 1 || size > kMaxSize || ready_) return ready_;
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  int cell = kCellFonts * std::max(size, kSmallestCellFont) + kCellMargin;
  std::vector<unsigned char>& alpha = alpha_;
  for (int attempt = 0; attempt <= kGrowAttempts; ++attempt, cell *= 2) {
    const int perPass = std::min(kColumns, viewport[2] / cell);
    if (perPass < 1 || viewport[3] < cell) return false;
    cellWidth_ = cellHeight_ = cell;
    penX_ = cell / 4;
    penY_ = cell / 3;
    textureWidth_ = powerOfTwoAtLeast(kColumns * cell);
    textureHeight_ = powerOfTwoAtLeast(kRows * cell);
    alpha.assign(static_cast<size_t>(textureWidth_) * textureHeight_, 0);
    const int regionWidth = perPass * cell;
    std::vector<unsigned char> saved(static_cast<size_t>(regionWidth) * cell * 4);
    std::vector<unsigned char> read(static_cast<size_t>(regionWidth) * cell);
    bool touchesEdge = false;
    {
      PlainPixelState state(viewport[2], viewport[3]);
      glReadPixels(viewport[0], viewport[1], regionWidth, cell, GL_RGBA, GL_UNSIGNED_BYTE,
                   saved.data());
      gl_font(font, size);
      lineHeight_ = gl_height();
      for (int i = 0; i < kGlyphCount; ++i) widths_[i] = gl_width(static_cast<char>(kFirst + i));
      for (int first = 0; first < kGlyphCount; first += perPass) {
        const int last = std::min(first + perPass, kGlyphCount);
        glColor3f(0, 0, 0);
        glRecti(0, 0, regionWidth, cell);
        glColor3f(1, 1, 1);
        for (int i = first; i < last; ++i) {
          const char c = static_cast<char>(kFirst + i);
          glRasterPos2i((i - first) * cell + penX_, penY_);
          const float before = rasterX();
          gl_draw(&c, 1);
          glyphs_[i].advance = rasterX() - before;
          glyphs_[i].column = i % kColumns;
          glyphs_[i].row = i / kColumns;
        }
        glReadPixels(viewport[0], viewport[1], regionWidth, cell, GL_RED, GL_UNSIGNED_BYTE,
                     read.data());
        for (int i = first; i < last; ++i) {
          Glyph& g = glyphs_[i];
          const int from = (i - first) * cell;
          const int toX = g.column * cell;
          const int toY = g.row * cell;
          g.inkLeft = g.inkBottom = INT_MAX;
          g.inkRight = g.inkTop = INT_MIN;
          for (int y = 0; y < cell; ++y) {
            for (int x = 0; x < cell; ++x) {
              if (read[static_cast<size_t>(y) * regionWidth + from + x] < kInkLevel) continue;
              alpha[static_cast<size_t>(toY + y) * textureWidth_ + toX + x] = 255;
              if (x == 0 || y == 0 || x == cell - 1 || y == cell - 1) touchesEdge = true;
              g.inkLeft = std::min(g.inkLeft, x - penX_);
              g.inkRight = std::max(g.inkRight, x - penX_);
              g.inkBottom = std::min(g.inkBottom, y - penY_);
              g.inkTop = std::max(g.inkTop, y - penY_);
            }
          }
          if (g.inkLeft > g.inkRight) g.inkLeft = g.inkBottom = 0, g.inkRight = g.inkTop = -1;
        }
      }
      glRasterPos2i(0, 0);
      glDrawPixels(regionWidth, cell, GL_RGBA, GL_UNSIGNED_BYTE, saved.data());
    }
    if (!touchesEdge) break;
    if (attempt == kGrowAttempts) return false;
  }

  ready_ = true;
  return true;
}

double GlyphAtlas::measure(const char* text, int n) const {
  // The toolkit's measure of a text is the sum of its characters' advances.
  double width = 0;
  for (int i = 0; i < n; ++i) {
    const int c = static_cast<unsigned char>(text[i]);
    if (c >= kFirst && c <= kLast) width += widths_[c - kFirst];
  }
  return width;
}

const GlyphAtlas* GlyphAtlasCache::atlas(int font, int size) {
  if (size < 1 || size > GlyphAtlas::kMaxSize) return nullptr;
  std::unique_ptr<GlyphAtlas>& slot = atlases_[{font, size}];
  if (!slot) {
    slot = std::make_unique<GlyphAtlas>();
    slot->build(font, size);
  }
  return slot->ready() ? slot.get() : nullptr;
}
