#include "halvex/maps/tile_pyramid.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <utility>

namespace {

/// Largest level width or height taken, pixels: far beyond any raster, and keeps every pixel
/// coordinate exact in a double.
constexpr int64_t kMaxLevelDimension = int64_t(1) << 40;
/// How far past a tile edge, in tiles, a rectangle's edge may lie from rounding and still not
/// touch the next tile: level-0 edges mapped into a coarser level with an odd factor rarely land
/// exactly on a tile edge.
constexpr double kEdgeTolerance = 1e-9;
/// Relative slack of levelFor(): a ratio computed from the view that should equal a level's
/// factor may come out a rounding error below it.
constexpr double kFactorTolerance = 1e-9;

}  // namespace

TilePyramid::TilePyramid(std::vector<RasterLevel> levels, int tileSize)
    : tileSize_(tileSize >= kMinTileSize ? tileSize : kDefaultTileSize) {
  for (const RasterLevel& l : levels) {
    if (l.width <= 0 || l.height <= 0 || l.width > kMaxLevelDimension ||
        l.height > kMaxLevelDimension) {
      if (levels_.empty()) return;  // no usable full-resolution level
      continue;
    }
    if (!levels_.empty() && (l.width >= levels_.back().width || l.height > levels_.back().height))
      continue;
    levels_.push_back(l);
  }
}

RasterLevel TilePyramid::level(int level) const {
  if (level < 0 || level >= levelCount()) return RasterLevel{};
  return levels_[size_t(level)];
}

double TilePyramid::factor(int level) const {
  if (level < 0 || level >= levelCount()) return 0;
  return double(levels_[0].width) / double(levels_[size_t(level)].width);
}

int64_t TilePyramid::columns(int level) const {
  return (this->level(level).width + tileSize_ - 1) / tileSize_;
}

int64_t TilePyramid::rows(int level) const {
  return (this->level(level).height + tileSize_ - 1) / tileSize_;
}

bool TilePyramid::contains(const TileKey& key) const {
  return key.level >= 0 && key.level < levelCount() && key.col >= 0 &&
         key.col < columns(key.level) && key.row >= 0 && key.row < rows(key.level);
}

int TilePyramid::levelFor(double level0PixelsPerScreenPixel) const {
  if (!(level0PixelsPerScreenPixel > 1)) return 0;  // also NaN
  for (int l = levelCount() - 1; l > 0; --l) {
    if (factor(l) <= level0PixelsPerScreenPixel * (1 + kFactorTolerance)) return l;
  }
  return 0;
}

bool TilePyramid::tileRange(int level, PixelRect r, int64_t& c0, int64_t& c1, int64_t& r0,
                            int64_t& r1) const {
  if (level < 0 || level >= levelCount()) return false;
  const RasterLevel& full = levels_[0];
  const RasterLevel& l = levels_[size_t(level)];
  r.x0 = std::max(r.x0, 0.0);
  r.y0 = std::max(r.y0, 0.0);
  r.x1 = std::min(r.x1, double(full.width));
  r.y1 = std::min(r.y1, double(full.height));
  if (!(r.x1 > r.x0) || !(r.y1 > r.y0)) return false;  // empty, or NaN
  // Level-0 pixels to tiles of this level, each axis by its own ratio so that the raster's
  // edges meet.
  const double tilesPerPixelX = double(l.width) / double(full.width) / tileSize_;
  const double tilesPerPixelY = double(l.height) / double(full.height) / tileSize_;
  auto range = [](double a, double b, int64_t count, int64_t& first, int64_t& end) {
    first = std::clamp<int64_t>(int64_t(std::floor(a + kEdgeTolerance)), 0, count - 1);
    end = std::clamp<int64_t>(int64_t(std::ceil(b - kEdgeTolerance)), first + 1, count);
  };
  range(r.x0 * tilesPerPixelX, r.x1 * tilesPerPixelX, columns(level), c0, c1);
  range(r.y0 * tilesPerPixelY, r.y1 * tilesPerPixelY, rows(level), r0, r1);
  return true;
}

void TilePyramid::tilesCovering(int level, double x0, double y0, double x1, double y1,
                                std::vector<TileKey>& out) const {
  out.clear();
  PixelRect r{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
  int64_t c0, c1, r0, r1;
  if (!tileRange(level, r, c0, c1, r0, r1)) return;
  // The centre of the rectangle as given (the middle of the screen), or of its part on the
  // raster when it reaches infinity.
  double cx = (r.x0 + r.x1) / 2, cy = (r.y0 + r.y1) / 2;
  if (!std::isfinite(cx) || !std::isfinite(cy)) {
    cx = (std::max(r.x0, 0.0) + std::min(r.x1, double(levels_[0].width))) / 2;
    cy = (std::max(r.y0, 0.0) + std::min(r.y1, double(levels_[0].height))) / 2;
  }
  // In tile units of this level; tile (c, r) has its centre at (c + 0.5, r + 0.5).
  const RasterLevel& l = levels_[size_t(level)];
  cx *= double(l.width) / double(levels_[0].width) / tileSize_;
  cy *= double(l.height) / double(levels_[0].height) / tileSize_;
  std::vector<std::pair<double, TileKey>> byDistance;
  byDistance.reserve(size_t((c1 - c0) * (r1 - r0)));
  for (int64_t row = r0; row < r1; ++row) {
    for (int64_t col = c0; col < c1; ++col) {
      const double dx = double(col) + 0.5 - cx, dy = double(row) + 0.5 - cy;
      byDistance.push_back({dx * dx + dy * dy, TileKey{level, col, row}});
    }
  }
  std::sort(byDistance.begin(), byDistance.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second < b.second;
  });
  out.reserve(byDistance.size());
  for (const auto& d : byDistance) out.push_back(d.second);
}

TileWindow TilePyramid::windowOf(const TileKey& key) const {
  if (!contains(key)) return TileWindow{};
  const RasterLevel& l = levels_[size_t(key.level)];
  TileWindow w;
  w.x = key.col * tileSize_;
  w.y = key.row * tileSize_;
  w.w = int(std::min<int64_t>(tileSize_, l.width - w.x));
  w.h = int(std::min<int64_t>(tileSize_, l.height - w.y));
  return w;
}

PixelRect TilePyramid::level0RectOf(const TileKey& key) const {
  if (!contains(key)) return PixelRect{};
  const RasterLevel& full = levels_[0];
  const RasterLevel& l = levels_[size_t(key.level)];
  const TileWindow w = windowOf(key);
  const double sx = double(full.width) / double(l.width);
  const double sy = double(full.height) / double(l.height);
  PixelRect r;
  r.x0 = double(w.x) * sx;
  r.y0 = double(w.y) * sy;
  r.x1 = w.x + w.w == l.width ? double(full.width) : double(w.x + w.w) * sx;
  r.y1 = w.y + w.h == l.height ? double(full.height) : double(w.y + w.h) * sy;
  return r;
}

void TilePyramid::coversAt(const TileKey& key, int coarser, std::vector<TileKey>& out) const {
  out.clear();
  if (!contains(key) || coarser <= key.level || coarser >= levelCount()) return;
  int64_t c0, c1, r0, r1;
  if (!tileRange(coarser, level0RectOf(key), c0, c1, r0, r1)) return;
  for (int64_t row = r0; row < r1; ++row) {
    for (int64_t col = c0; col < c1; ++col) out.push_back(TileKey{coarser, col, row});
  }
}

void TilePyramid::planFrame(double x0, double y0, double x1, double y1,
                            double level0PixelsPerScreenPixel,
                            const std::function<bool(const TileKey&)>& resident,
                            FramePlan& plan) const {
  plan.level = levelFor(level0PixelsPerScreenPixel);
  plan.draw.clear();
  plan.request.clear();
  tilesCovering(plan.level, x0, y0, x1, y1, plan.wanted);
  std::unordered_set<TileKey> drawn;
  auto draw = [&](const TileKey& key) {
    if (drawn.insert(key).second) plan.draw.push_back(key);
  };
  std::vector<TileKey> covers;
  for (const TileKey& key : plan.wanted) {
    if (resident(key)) {
      draw(key);
      continue;
    }
    plan.request.push_back(key);
    // The resident parts of each coarser level, until one covers the whole tile.
    for (int l = plan.level + 1; l < levelCount(); ++l) {
      coversAt(key, l, covers);
      bool whole = true;
      for (const TileKey& c : covers) {
        if (resident(c)) {
          draw(c);
        } else {
          whole = false;
        }
      }
      if (whole) break;
    }
  }
  std::stable_sort(plan.draw.begin(), plan.draw.end(),
                   [](const TileKey& a, const TileKey& b) { return a.level > b.level; });
}
