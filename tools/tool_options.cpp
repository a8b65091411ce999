#include "tools/tool_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

namespace tool_options {

bool parseLong(const char* text, long long min, long long max, long long& out) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || errno == ERANGE || v < min || v > max) return false;
  out = v;
  return true;
}

bool parseDouble(const char* text, double& out, double min, double max) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(v) || v < min || v > max) return false;
  out = v;
  return true;
}

// Sample: "1,4,10-19"
bool parseIds(const char* text, int maxId, std::vector<int>& ids) {
  ids.clear();
  const std::string list(text);
  size_t at = 0;
  while (at <= list.size()) {
    const size_t comma = std::min(list.find(',', at), list.size());
    const std::string item = list.substr(at, comma - at);
    const size_t dash = item.find('-', 1);
    long long first = 0, last = 0;
    if (dash == std::string::npos) {
      if (!parseLong(item.c_str(), 0, maxId, first)) return false;
      last = first;
    } else if (!parseLong(item.substr(0, dash).c_str(), 0, maxId, first) ||
               !parseLong(item.substr(dash + 1).c_str(), 0, maxId, last) || last < first) {
      return false;
    }
    for (long long id = first; id <= last; ++id) ids.push_back(static_cast<int>(id));
    at = comma + 1;
  }
  return !ids.empty();
}

}  // namespace tool_options
