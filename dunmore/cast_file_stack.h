// The stack of open cast files behind the scanner: a file is pushed before it is read, and at its
// end the scanner goes back to the file below it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace dunmore {

/// One open file of the stack.
struct CastFileEntry {
  std::FILE* stream = nullptr;  ///< owned; closed when the entry is dropped
  std::string name;             ///< the name as given
  int resumeLine = 0;           ///< line to go on at when the file above this one ends
};

/// Open cast files, bottom first. Owns the streams: dropping an entry or the stack closes them.
class CastFileStack {
 public:
  static constexpr std::size_t kGrowth = 100;  ///< entries added to the capacity when it is full

  CastFileStack() = default;
  CastFileStack(const CastFileStack&) = delete;
  CastFileStack& operator=(const CastFileStack&) = delete;
  ~CastFileStack();

  bool empty() const { return entries_.empty(); }
  std::size_t size() const { return entries_.size(); }

  /// Entry i, 0 being the bottom.
  const CastFileEntry& at(std::size_t i) const { return entries_[i]; }
  CastFileEntry& top() { return entries_.back(); }
  const CastFileEntry& top() const { return entries_.back(); }

  /// Position of the entry named exactly `name`, or -1.
  long find(const std::string& name) const;

  /// Puts an open stream on top, taking ownership of it; its resume line is 0.
  void push(std::FILE* stream, const std::string& name);

  /// Closes the top stream and drops its entry. Nothing happens when the stack is empty.
  void pop();

 private:
  std::vector<CastFileEntry> entries_;
};

}  // namespace dunmore
