#include "halvex/maps/texture_budget.h"

void TextureBudget::add(const TileKey& key, size_t bytes, uint64_t frame) {
  auto it = tiles_.find(key);
  if (it == tiles_.end()) {
    const auto stamp = order_.insert(Stamp{frame, sequence_++, key}).first;
    tiles_.emplace(key, Tile{bytes, stamp});
    bytes_ += bytes;
    return;
  }
  bytes_ = bytes_ - it->second.bytes + bytes;
  it->second.bytes = bytes;
  touch(key, frame);
}

void TextureBudget::touch(const TileKey& key, uint64_t frame) {
  auto it = tiles_.find(key);
  if (it == tiles_.end()) return;
  order_.erase(it->second.stamp);
  it->second.stamp = order_.insert(Stamp{frame, sequence_++, key}).first;
}

void TextureBudget::remove(const TileKey& key) {
  auto it = tiles_.find(key);
  if (it == tiles_.end()) return;
  bytes_ -= it->second.bytes;
  order_.erase(it->second.stamp);
  tiles_.erase(it);
}

void TextureBudget::clear() {
  tiles_.clear();
  order_.clear();
  bytes_ = 0;
  overBudget_ = false;
}

std::vector<TileKey> TextureBudget::evict(uint64_t currentFrame) {
  std::vector<TileKey> released;
  while (bytes_ > budget_ && !order_.empty() && order_.begin()->frame < currentFrame) {
    const TileKey key = order_.begin()->key;
    remove(key);
    released.push_back(key);
  }
  overBudget_ = bytes_ > budget_;
  if (overBudget_) ++overflows_;
  return released;
}
