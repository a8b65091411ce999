// Runs of label text kept composed: a text line's words, their glyphs taken from the glyph atlas
// and set side by side as the bitmap font sets them, are copied into a frame's labels as one
// block instead of glyph by glyph.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "halvex/view/glyph_atlas.h"

class WordCache {
 public:
  /// Side of the square store, texels.
  static constexpr int kSize = 2048;

  /// One word of a run: its characters, and its pen's offset from the run's pen (pixels).
  struct Piece {
    const char* text;
    int n;
    int offset;
  };
  /// A run's inked pixels in the store, and where they lie from the run's pen (pixels).
  struct Word {
    int x = 0, y = 0;           ///< Lower left in the store.
    int width = 0, height = 0;  ///< Zero for a word without ink.
    int left = 0, bottom = 0;   ///< Offset of the lower left from the pen.
  };

  /// Starts a frame: a cache that ran full in the last frame starts empty.
  void beginFrame();
  /// The run of `count` pieces in `atlas`, composed when new; null when it cannot be kept (a
  /// character outside the atlas, an advance that is not whole pixels, no room left this
  /// frame): the caller draws it in smaller runs or glyph by glyph.
  const Word* find(const GlyphAtlas& atlas, const Piece* pieces, int count);
  /// The store's texels (0 or 255), rows from the bottom, kSize a row; stays put once made.
  const unsigned char* texels() const { return texels_.data(); }
  /// Drops every run.
  void clear();

 private:
  struct Shelf {
    int y, height, used;
  };
  bool place(int width, int height, int& x, int& y);

  std::unordered_map<std::string, Word> words_;
  std::string key_;  ///< Reused for lookups.
  std::vector<Shelf> shelves_;
  std::vector<unsigned char> texels_;
  int shelvesTop_ = 0;
  bool full_ = false;
};
