#include "dunmore/text_accumulator.h"

namespace dunmore {

void TextAccumulator::trim() {
  const std::size_t last = text_.find_last_not_of(' ');
  if (last == std::string::npos) {
    text_.clear();
    return;
  }
  text_.erase(last + 1);
  text_.erase(0, text_.find_first_not_of(' '));
}

}  // namespace dunmore
