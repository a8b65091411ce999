#include "halvex/view/word_cache.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

/// Clear texels between words, so that no sampling ever reaches a neighbour.
constexpr int kGap = 1;

}  // namespace

void WordCache::beginFrame() {
  if (full_) clear();
}

void WordCache::clear() {
  words_.clear();
  shelves_.clear();
  shelvesTop_ = 0;
  full_ = false;
  std::fill(texels_.begin(), texels_.end(), 0);
}

bool WordCache::place(int width, int height, int& x, int& y) {
  if (width + kGap > kSize) return false;
  // The lowest shelf of the word's height with room, else a new shelf on top.
  for (Shelf& shelf : shelves_) {
    if (shelf.height == height && shelf.used + width + kGap <= kSize) {
      x = shelf.used;
      y = shelf.y;
      shelf.used += width + kGap;
      return true;
    }
  }
  if (shelvesTop_ + height + kGap > kSize) return false;
  shelves_.push_back({shelvesTop_, height, width + kGap});
  x = 0;
  y = shelvesTop_;
  shelvesTop_ += height + kGap;
  return true;
}

const WordCache::Word* WordCache::find(const GlyphAtlas& atlas, const Piece* pieces, int count) {
  key_.assign(reinterpret_cast<const char*>(&atlas), sizeof(const GlyphAtlas*));
  for (int k = 0; k < count; ++k) {
    key_.append(reinterpret_cast<const char*>(&pieces[k].offset), sizeof(int));
    key_.append(pieces[k].text, static_cast<size_t>(pieces[k].n));
    key_.push_back('\0');
  }
  const auto found = words_.find(key_);
  if (found != words_.end()) return &found->second;
  if (full_) return nullptr;

  // The glyphs' pens from the run's pen, and their ink together.
  int left = INT_MAX, right = INT_MIN, bottom = INT_MAX, top = INT_MIN;
  for (int k = 0; k < count; ++k) {
    int pen = pieces[k].offset;
    for (int i = 0; i < pieces[k].n; ++i) {
      const GlyphAtlas::Glyph* g = atlas.glyph(static_cast<unsigned char>(pieces[k].text[i]));
      if (g == nullptr || g->advance != std::floor(g->advance)) return nullptr;
      if (g->inkRight >= g->inkLeft) {
        left = std::min(left, pen + g->inkLeft);
        right = std::max(right, pen + g->inkRight);
        bottom = std::min(bottom, g->inkBottom);
        top = std::max(top, g->inkTop);
      }
      pen += static_cast<int>(g->advance);
    }
  }
  Word word;
  if (left <= right) {
    word.width = right - left + 1;
    word.height = top - bottom + 1;
    word.left = left;
    word.bottom = bottom;
    if (!place(word.width, word.height, word.x, word.y)) {
      full_ = true;
      return nullptr;
    }
    if (texels_.empty()) texels_.assign(static_cast<size_t>(kSize) * kSize, 0);
    for (int k = 0; k < count; ++k) {
      int pen = pieces[k].offset;
      for (int i = 0; i < pieces[k].n; ++i) {
        const GlyphAtlas::Glyph& g = *atlas.glyph(static_cast<unsigned char>(pieces[k].text[i]));
        for (int dy = g.inkBottom; dy <= g.inkTop; ++dy) {
          unsigned char* row =
              &texels_[static_cast<size_t>(word.y + dy - bottom) * kSize + word.x - left + pen];
          for (int dx = g.inkLeft; dx <= g.inkRight; ++dx) {
            if (atlas.texel(g, dx, dy) != 0) row[dx] = 255;
          }
        }
        pen += static_cast<int>(g.advance);
      }
    }
  }
  return &words_.emplace(key_, word).first->second;
}
