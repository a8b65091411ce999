// The distinct texts of one report field with their use counts, in ascending byte order.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace dunmore {

class TermDictionary {
 public:
  /// One distinct text and how often it was entered. Entries stay where they are as others are
  /// added.
  struct Entry {
    std::string text;
    int uses = 0;
  };

  explicit TermDictionary(std::string name = std::string()) : name_(std::move(name)) {}
  TermDictionary(const TermDictionary&) = delete;
  TermDictionary& operator=(const TermDictionary&) = delete;
  TermDictionary(TermDictionary&&) = default;
  TermDictionary& operator=(TermDictionary&&) = default;

  const std::string& name() const { return name_; }

  /// Counts one use of `text` (compared exactly), adding it with a count of 1 when it is new.
  /// Returns its entry.
  const Entry& enter(std::string_view text);

  /// Number of distinct texts.
  int distinct() const { return static_cast<int>(entries_.size()); }

  /// Sum of the use counts.
  long totalUses() const { return totalUses_; }

  /// The entries in ascending byte order (bytes compared as unsigned values).
  const std::vector<const Entry*>& ordered() const;

  /// Forgets every entry; the name stays.
  void clear();

 private:
  /// A place of the index: an entry with its text's hash, or none.
  struct Slot {
    std::size_t hash = 0;
    Entry* entry = nullptr;
  };

  /// Doubles the index and places every entry again.
  void growIndex();

  std::string name_;
  std::deque<Entry> entries_;  ///< in the order they were added
  /// Open-addressed hash index of the entries (linear probing, at most half full, a power of
  /// two in size): a lookup reads one slot run and, on a matching hash, one entry.
  std::vector<Slot> index_;
  long totalUses_ = 0;
  /// The order, brought up to date when asked for: entries added since are sorted and merged in.
  mutable std::vector<const Entry*> ordered_;
};

}  // namespace dunmore
