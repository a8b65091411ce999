// Growing text buffer that collects the words of one field of the report being read.
#pragma once

#include <string>
#include <string_view>

namespace dunmore {

class TextAccumulator {
 public:
  /// Empties the text; the buffer is kept for the next report.
  void clear() { text_.clear(); }

  /// Appends `words` to the end of the text.
  void append(std::string_view words) { text_.append(words); }

  /// Removes spaces at both ends.
  void trim();

  const std::string& text() const { return text_; }
  bool empty() const { return text_.empty(); }
  std::size_t length() const { return text_.size(); }

 private:
  std::string text_;
};

}  // namespace dunmore
