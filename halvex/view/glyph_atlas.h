// The glyphs of the toolkit's OpenGL bitmap fonts kept in textures: each printable ASCII glyph
// is drawn once by the toolkit at a whole pixel, read back, and from then on drawn as a textured
// quad, pixel for pixel as the bitmap font draws it, so that a thousand labels are one batch.
#pragma once

#include <map>
#include <memory>
#include <utility>

/// One font at one size.
class GlyphAtlas {
 public:
  static constexpr int kFirst = 32;  ///< First glyph kept (the blank).
  static constexpr int kLast = 126;  ///< Last glyph kept.
  /// Largest font size kept in an atlas; larger labels are few and drawn as before.
  static constexpr int kMaxSize = 64;

  /// Where one glyph lies in the texture (texels) and how far it moves the pen (pixels).
  struct Glyph {
    int column = 0;     ///< Cell column in the texture.
    int row = 0;        ///< Cell row in the texture.
    float advance = 0;  ///< The raster position's move after the glyph, as the font moves it.
    /// The inked pixels' bounds from the pen (pixels, y up; lo == hi + 1 when none is inked).
    int inkLeft = 0, inkBottom = 0, inkRight = -1, inkTop = -1;
  };

  GlyphAtlas() = default;
  ~GlyphAtlas();
  /// Lets go of the texture without deleting it (its context is gone).
  void abandon() { texture_ = 0; }
  GlyphAtlas(const GlyphAtlas&) = delete;
  GlyphAtlas& operator=(const GlyphAtlas&) = delete;

  /// Draws every glyph of `font` at `size` with the toolkit into a corner of the current draw
  /// buffer, reads the pixels back into a texture and puts the corner's pixels back. Needs a
  /// current context with a viewport at least one cell high and wide. False when it cannot.
  bool build(int font, int size);

  /// Whether build() succeeded.
  bool ready() const { return texture_ != 0; }
  /// The glyph of character `c`; null for characters the atlas does not hold.
  const Glyph* glyph(unsigned char c) const {
    return c >= kFirst && c <= kLast ? &glyphs_[c - kFirst] : nullptr;
  }
  /// The width the toolkit measures for `n` characters of `text` in this font (gl_width), and
  /// its line height (gl_height), kept from the build: labels are laid out without switching
  /// fonts. Characters outside the atlas measure 0.
  double measure(const char* text, int n) const;
  double lineHeight() const { return lineHeight_; }
  unsigned texture() const { return texture_; }
  /// A cell's size in pixels, and the pen's place inside it (pixels from its lower left).
  int cellWidth() const { return cellWidth_; }
  int cellHeight() const { return cellHeight_; }
  int penX() const { return penX_; }
  int penY() const { return penY_; }
  /// The texture's size in texels.
  int textureWidth() const { return textureWidth_; }
  int textureHeight() const { return textureHeight_; }
  /// Cells per texture row.
  static constexpr int kColumns = 16;

 private:
  Glyph glyphs_[kLast - kFirst + 1];
  double widths_[kLast - kFirst + 1] = {};
  double lineHeight_ = 0;
  unsigned texture_ = 0;
  int cellWidth_ = 0, cellHeight_ = 0, penX_ = 0, penY_ = 0;
  int textureWidth_ = 0, textureHeight_ = 0;
};

/// The atlases of the fonts and sizes drawn so far in one context, built on first use.
class GlyphAtlasCache {
 public:
  /// The atlas of `font` at `size`, built now when new; null when it cannot be built (too large
  /// a size, no room in the viewport), which the caller takes as "draw as before".
  const GlyphAtlas* atlas(int font, int size);
  /// Drops every atlas (their textures with them; call with the context current).
  void clear() { atlases_.clear(); }
  /// Drops every atlas without touching their textures: the context that held them is gone, and
  /// their names may already stand for another context's textures.
  void forget();

 private:
  std::map<std::pair<int, int>, std::unique_ptr<GlyphAtlas>> atlases_;
};
