// The tiles of a raster far larger than one texture: its levels of detail (level 0 at full
// resolution, then ever coarser ones, each covering the whole raster), each cut into square tiles;
// which level and which tiles a view needs, and which coarser tiles stand in while those load.
// Pure geometry: no OpenGL and no reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "halvex/maps/raster_source.h"

/// One tile: column `col` and row `row` (from the top-left, 0 first) of level `level`.
struct TileKey {
  int level = 0;
  int64_t col = 0;
  int64_t row = 0;
};

inline bool operator==(const TileKey& a, const TileKey& b) {
  return a.level == b.level && a.col == b.col && a.row == b.row;
}
inline bool operator!=(const TileKey& a, const TileKey& b) {
  return !(a == b);
}
/// Level first, then row, then column.
inline bool operator<(const TileKey& a, const TileKey& b) {
  if (a.level != b.level) return a.level < b.level;
  if (a.row != b.row) return a.row < b.row;
  return a.col < b.col;
}

namespace std {
template <>
struct hash<TileKey> {
  size_t operator()(const TileKey& k) const noexcept {
    uint64_t h = uint64_t(k.level) * 0x9E3779B97F4A7C15ull;
    h ^= uint64_t(k.col) + 0x632BE59BD9B4E019ull + (h << 6) + (h >> 2);
    h ^= uint64_t(k.row) + 0x85EBCA77C2B2AE63ull + (h << 6) + (h >> 2);
    return size_t(h);
  }
};
}  // namespace std

/// The pixels of a tile in its own level: x, y from the level's top-left corner, w x h pixels
/// (edge tiles are smaller than the tile size). All zero for a key outside the pyramid.
struct TileWindow {
  int64_t x = 0;
  int64_t y = 0;
  int w = 0;
  int h = 0;
};

/// A rectangle in level-0 pixels: x0 <= x < x1, y0 <= y < y1 (y down).
struct PixelRect {
  double x0 = 0;
  double y0 = 0;
  double x1 = 0;
  double y1 = 0;
};

/// What to draw in one frame and what to load for it.
struct FramePlan {
  int level = 0;  ///< The level whose texel is at most one screen pixel.
  /// The tiles of `level` the view touches, from the view's centre outward.
  std::vector<TileKey> wanted;
  /// Resident tiles to draw, coarsest level first, so that finer ones draw over them: the
  /// resident wanted tiles, and for each wanted tile not resident the resident coarser tiles
  /// covering its area (the next coarser level that has any, then coarser ones for what is
  /// still uncovered). Each key once.
  std::vector<TileKey> draw;
  /// The wanted tiles not resident, centre first: their index is a load priority.
  std::vector<TileKey> request;
};

class TilePyramid {
 public:
  /// Tile edge used when none is given, pixels: 1 MiB of RGBA, few draw calls per screen.
  static constexpr int kDefaultTileSize = 512;
  /// Smallest tile edge, pixels; a smaller one given becomes kDefaultTileSize (tiny tiles cost
  /// more in draw calls and reads than they save).
  static constexpr int kMinTileSize = 16;

  /// `levels`: level 0 at full resolution, then coarser ones (a file's overviews, with any
  /// factors). A level that is empty or not coarser than the one before is left out; with no
  /// usable level 0 the pyramid is empty (no level, no tile).
  explicit TilePyramid(std::vector<RasterLevel> levels, int tileSize = kDefaultTileSize);

  int levelCount() const { return int(levels_.size()); }
  int tileSize() const { return tileSize_; }
  /// The size of level `level`, pixels; zero outside the pyramid.
  RasterLevel level(int level) const;
  /// Level-0 pixels per pixel of level `level` across: level0.width / level.width (1 for level
  /// 0); 0 outside the pyramid.
  double factor(int level) const;
  /// Tile columns and rows of `level`; 0 outside the pyramid.
  int64_t columns(int level) const;
  int64_t rows(int level) const;
  /// Whether `key` names a tile of the pyramid.
  bool contains(const TileKey& key) const;

  /// The coarsest level whose texel is at most one screen pixel when one screen pixel spans
  /// `level0PixelsPerScreenPixel` level-0 pixels: the one with the largest factor not above it
  /// (level 0 when zoomed in further, or for a ratio that is not a number).
  int levelFor(double level0PixelsPerScreenPixel) const;

  /// Replaces `out` with the tiles of `level` that the rectangle (x0, y0)-(x1, y1) in level-0
  /// pixels touches, after clipping it to the raster; from the rectangle's centre outward (the
  /// middle of the screen sharpens first). Empty for an empty rectangle or a level outside the
  /// pyramid.
  void tilesCovering(int level, double x0, double y0, double x1, double y1,
                     std::vector<TileKey>& out) const;

  /// The pixels of `key` in its level.
  TileWindow windowOf(const TileKey& key) const;
  /// The area of `key` in level-0 pixels (the raster's edge for edge tiles); empty outside the
  /// pyramid.
  PixelRect level0RectOf(const TileKey& key) const;

  /// Replaces `out` with the tiles of the coarser level `coarser` covering the area of `key`:
  /// one, or up to 2 x 2 when the levels' factors are not powers of two of each other. Empty
  /// when `coarser` is not a level coarser than key's.
  void coversAt(const TileKey& key, int coarser, std::vector<TileKey>& out) const;

  /// Plans one frame of the view showing the level-0 rectangle (x0, y0)-(x1, y1), with one screen
  /// pixel spanning `level0PixelsPerScreenPixel` level-0 pixels; `resident(key)` tells whether a
  /// tile's texture is ready to draw.
  void planFrame(double x0, double y0, double x1, double y1, double level0PixelsPerScreenPixel,
                 const std::function<bool(const TileKey&)>& resident, FramePlan& plan) const;

 private:
  /// Tile columns [c0, c1) and rows [r0, r1) of `level` touched by the level-0 rectangle; false
  /// when none.
  bool tileRange(int level, PixelRect r, int64_t& c0, int64_t& c1, int64_t& r0, int64_t& r1) const;

  std::vector<RasterLevel> levels_;
  int tileSize_;
};
