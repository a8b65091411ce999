#include "halvex/streams/http_line_reader.h"

#include <algorithm>
#include <cstring>

bool HttpLineReader::refill() {
  if (ended_) return false;
  const int n = receive_(source_, buffer_, kReceiveBytes);
  if (n <= 0) {
    ended_ = true;
    return false;
  }
  // A receive never yields more than it was asked for; a source that claims so is held to it.
  fill_ = std::min(n, kReceiveBytes);
  position_ = 0;
  return true;
}

char* HttpLineReader::nextLine() {
  length_ = 0;
  unterminated_ = false;
  for (;;) {
    if (position_ == fill_ && !refill()) break;
    const int take = std::min(fill_ - position_, kMaxLine - length_);
    const char* start = buffer_ + position_;
    const void* lineFeed = std::memchr(start, '\n', static_cast<size_t>(take));
    const int n = lineFeed != nullptr
                      ? static_cast<int>(static_cast<const char*>(lineFeed) - start) + 1
                      : take;
    std::memcpy(line_ + length_, start, static_cast<size_t>(n));
    length_ += n;
    position_ += n;
    if (lineFeed != nullptr || length_ == kMaxLine) {
      line_[length_] = '\0';
      return line_;
    }
  }
  if (length_ == 0) return nullptr;
  unterminated_ = true;
  line_[length_] = '\0';
  return line_;
}
