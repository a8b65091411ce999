// The glyphs of the toolkit's OpenGL bitmap fonts kept in memory: each printable ASCII glyph is
// drawn once by the toolkit at a whole pixel and read back, with its advance and its ink, so
// that labels can be set on the processor pixel for pixel as the bitmap font draws them.
#pragma once

#include <map>
#include <memory>
#include <utility>
#include <vector>

/// One font at one size.
class GlyphAtlas {
 public:
  static constexpr int kFirst = 32;  ///< First glyph kept (the blank).
  static constexpr int kLast = 126;  ///< Last glyph kept.
  /// Largest font size kept in an atlas; larger labels are few and drawn as before.
  static constexpr int kMaxSize = 64;

  /// Where one glyph lies in the atlas (texels) and how far it moves the pen (pixels).
  struct Glyph {
    int column = 0;     ///< Cell column in the atlas.
    int row = 0;        ///< Cell row in the atlas.
    float advance = 0;  ///< The raster position's move after the glyph, as the font moves it.
    /// The inked pixels' bounds from the pen (pixels, y up; lo == hi + 1 when none is inked).
    int inkLeft = 0, inkBottom = 0, inkRight = -1, inkTop = -1;
  };

  GlyphAtlas() = default;
  GlyphAtlas(const GlyphAtlas&) = delete;
  GlyphAtlas& operator=(const GlyphAtlas&) = delete;

  /// Draws every glyph of `font` at `size` with the toolkit into a corner of the current draw
  /// buffer, reads the pixels back and puts the corner's pixels back. Needs a
  /// current context with a viewport at least one cell high and wide. False when it cannot.
  bool build(int font, int size);

  /// Whether build() succeeded.
  bool ready() const { return ready_; }
  /// The glyph of character `c`; null for characters the atlas does not hold.
  const Glyph* glyph(unsigned char c) const {
    return c >= kFirst && c <= kLast ? &glyphs_[c - kFirst] : nullptr;
  }
  /// The width the toolkit measures for `n` characters of `text` in this font (gl_width), and
  /// its line height (gl_height), kept from the build: labels are laid out without switching
  /// fonts. Characters outside the atlas measure 0.
  double measure(const char* text, int n) const;
  double lineHeight() const { return lineHeight_; }
  /// A cell's size in pixels, and the pen's place inside it (pixels from its lower left).
  int cellWidth() const { return cellWidth_; }
  int cellHeight() const { return cellHeight_; }
  int penX() const { return penX_; }
  int penY() const { return penY_; }
  /// The atlas's size in texels.
  int textureWidth() const { return textureWidth_; }
  int textureHeight() const { return textureHeight_; }
  /// Cells per atlas row.
  static constexpr int kColumns = 16;
  /// The atlas's texels (0 or 255, rows from the bottom).
  const std::vector<unsigned char>& texels() const { return alpha_; }
  /// The texel of glyph `g` at (dx, dy) pixels from its pen.
  unsigned char texel(const Glyph& g, int dx, int dy) const {
    return alpha_[static_cast<size_t>(g.row * cellHeight_ + penY_ + dy) * textureWidth_ +
                  g.column * cellWidth_ + penX_ + dx];
  }

 private:
  Glyph glyphs_[kLast - kFirst + 1];
  double widths_[kLast - kFirst + 1] = {};
  std::vector<unsigned char> alpha_;
  double lineHeight_ = 0;
  bool ready_ = false;
  int cellWidth_ = 0, cellHeight_ = 0, penX_ = 0, penY_ = 0;
  int textureWidth_ = 0, textureHeight_ = 0;
};

/// The atlases of the fonts and sizes drawn so far, built on first use. The glyphs are the X
/// server's, the same in every context.
class GlyphAtlasCache {
 public:
  /// The atlas of `font` at `size`, built now when new; null when it cannot be built (too large
  /// a size, no room in the viewport), which the caller takes as "draw as before".
  const GlyphAtlas* atlas(int font, int size);

 private:
  std::map<std::pair<int, int>, std::unique_ptr<GlyphAtlas>> atlases_;
};
