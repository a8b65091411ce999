#include "halvex/core/config_words.h"

#include <cctype>
#include <climits>

namespace config {

bool sameWord(const std::string& word, const char* keyword) {
  std::size_t i = 0;
  for (; keyword[i] != '\0'; ++i) {
    if (i >= word.size()) return false;
    if (std::tolower(static_cast<unsigned char>(word[i])) !=
        std::tolower(static_cast<unsigned char>(keyword[i]))) {
      return false;
    }
  }
  return i == word.size();
}

bool readOnOff(const std::string& word, bool& value) {
  if (sameWord(word, "on")) {
    value = true;
    return true;
  }
  if (sameWord(word, "off")) {
    value = false;
    return true;
  }
  return false;
}

int clampToInt(long value) {
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

int leadingInt(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (std::isspace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Accumulate as a negative number so that INT_MIN itself is representable.
  long long value = 0;
  for (; std::isdigit(*p); ++p) {
    if (value > -static_cast<long long>(INT_MAX) - 1) value = value * 10 - (*p - '0');
  }
  if (negative) return value < INT_MIN ? INT_MIN : static_cast<int>(value);
  return -value > INT_MAX ? INT_MAX : static_cast<int>(-value);
}

}  // namespace config
