#include "dunmore/cast_file_stack.h"

namespace dunmore {

CastFileStack::~CastFileStack() {
  while (!entries_.empty()) pop();
}

long CastFileStack::find(const std::string& name) const {
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].name == name) return static_cast<long>(i);
  return -1;
}

void CastFileStack::push(std::FILE* stream, const std::string& name) {
  if (entries_.size() == entries_.capacity()) entries_.reserve(entries_.capacity() + kGrowth);
  entries_.push_back(CastFileEntry{stream, name, 0});
}

void CastFileStack::pop() {
  if (entries_.empty()) return;
  if (entries_.back().stream) std::fclose(entries_.back().stream);
  entries_.pop_back();
}

}  // namespace dunmore
