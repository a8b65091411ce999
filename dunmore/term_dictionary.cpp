#include "dunmore/term_dictionary.h"

#include <algorithm>

namespace dunmore {

namespace {

constexpr std::size_t kFirstIndexSize = 64;

}  // namespace

const TermDictionary::Entry& TermDictionary::enter(std::string_view text) {
  ++totalUses_;
  if (2 * (entries_.size() + 1) > index_.size()) growIndex();
  const std::size_t hash = std::hash<std::string_view>()(text);
  const std::size_t mask = index_.size() - 1;
  std::size_t i = hash & mask;
  for (; index_[i].entry; i = (i + 1) & mask) {
    if (index_[i].hash == hash && index_[i].entry->text == text) {
      ++index_[i].entry->uses;
      return *index_[i].entry;
    }
  }
  Entry& entry = entries_.emplace_back(Entry{std::string(text), 1});
  index_[i] = Slot{hash, &entry};
  return entry;
}

void TermDictionary::growIndex() {
  std::vector<Slot> old(std::max(kFirstIndexSize, 2 * index_.size()));
  old.swap(index_);
  const std::size_t mask = index_.size() - 1;
  for (const Slot& slot : old) {
    if (!slot.entry) continue;
    std::size_t i = slot.hash & mask;
    while (index_[i].entry) i = (i + 1) & mask;
    index_[i] = slot;
  }
}

const std::vector<const TermDictionary::Entry*>& TermDictionary::ordered() const {
  const std::size_t sorted = ordered_.size();
  if (sorted == entries_.size()) return ordered_;
  for (std::size_t i = sorted; i < entries_.size(); ++i) ordered_.push_back(&entries_[i]);
  const auto byText = [](const Entry* a, const Entry* b) { return a->text < b->text; };
  std::sort(ordered_.begin() + static_cast<std::ptrdiff_t>(sorted), ordered_.end(), byText);
  std::inplace_merge(ordered_.begin(), ordered_.begin() + static_cast<std::ptrdiff_t>(sorted),
                     ordered_.end(), byText);
  return ordered_;
}

void TermDictionary::clear() {
  index_.clear();
  entries_.clear();
  ordered_.clear();
  totalUses_ = 0;
}

}  // namespace dunmore
