// The texture memory held by the tiles of large rasters, kept under a budget: the tiles drawn
// least recently are released first, never one drawn in the current frame. Bookkeeping only: the
// caller deletes the textures of the keys it is told to release.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <unordered_map>
#include <vector>

#include "halvex/maps/tile_pyramid.h"

/// Every operation is O(log n) in the tiles held. Not thread-safe: the drawing thread owns it.
class TextureBudget {
 public:
  /// Default budget, bytes (512 MiB).
  static constexpr size_t kDefaultBudgetBytes = size_t(512) << 20;

  explicit TextureBudget(size_t budgetBytes = kDefaultBudgetBytes) : budget_(budgetBytes) {}

  /// Records the texture of `key`, `bytes` large, made (and drawn) in frame `frame`; a key held
  /// already takes the new size.
  void add(const TileKey& key, size_t bytes, uint64_t frame);
  /// Records that `key` was drawn in frame `frame`; nothing for a key not held.
  void touch(const TileKey& key, uint64_t frame);
  /// Forgets `key` (its texture was deleted by the caller).
  void remove(const TileKey& key);
  /// Forgets every tile.
  void clear();
  bool resident(const TileKey& key) const { return tiles_.count(key) != 0; }

  /// Releases tiles while the bytes held are above the budget: the least recently drawn first,
  /// none drawn in `currentFrame` (or later). Returns the keys released, whose textures the
  /// caller deletes. When the tiles on screen alone are above the budget it stops there rather
  /// than release what is drawn now, and overBudget() says so until a later evict() gets under.
  std::vector<TileKey> evict(uint64_t currentFrame);

  /// Bytes held.
  size_t bytes() const { return bytes_; }
  /// Tiles held.
  size_t size() const { return tiles_.size(); }
  size_t budget() const { return budget_; }
  /// Takes effect at the next evict().
  void setBudget(size_t budgetBytes) { budget_ = budgetBytes; }
  /// Whether the last evict() stayed above the budget because the tiles of its frame alone are
  /// above it (the view should use a coarser level).
  bool overBudget() const { return overBudget_; }
  /// How many evict() calls have stayed above the budget so far.
  uint64_t overflows() const { return overflows_; }

 private:
  /// A tile's place in drawing order: frame, then the order of add()/touch() calls.
  struct Stamp {
    uint64_t frame;
    uint64_t sequence;
    TileKey key;
    bool operator<(const Stamp& o) const {
      return frame != o.frame ? frame < o.frame : sequence < o.sequence;
    }
  };
  struct Tile {
    size_t bytes;
    std::set<Stamp>::iterator stamp;
  };

  std::unordered_map<TileKey, Tile> tiles_;
  std::set<Stamp> order_;  ///< Least recently drawn first.
  uint64_t sequence_ = 0;
  size_t bytes_ = 0;
  size_t budget_;
  bool overBudget_ = false;
  uint64_t overflows_ = 0;
};
