#include "dunmore/relative_name.h"

#include <cstddef>
#include <vector>

#include "common/platform/paths.h"

namespace dunmore {

namespace {

constexpr char kSeparator = '/';
constexpr char kParentStep[] = "..";

/// The components of an absolute path after "." and ".." are resolved; ".." at the root stays
/// at the root.
std::vector<std::string> components(const std::string& absolute) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= absolute.size()) {
    std::size_t end = absolute.find(kSeparator, start);
    if (end == std::string::npos) end = absolute.size();
    const std::string part = absolute.substr(start, end - start);
    if (part == kParentStep) {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  return parts;
}

}  // namespace

std::string relativeName(const std::string& path, const std::string& directory) {
  if (path.empty() || directory.empty() || directory[0] != kSeparator) return path;
  const std::vector<std::string> from = components(directory);
  const std::vector<std::string> to =
      components(path[0] == kSeparator ? path : directory + kSeparator + path);

  std::size_t common = 0;
  while (common < from.size() && common < to.size() && from[common] == to[common]) ++common;

  std::string relative;
  for (std::size_t i = common; i < from.size(); ++i) {
    relative += kParentStep;
    relative += kSeparator;
  }
  for (std::size_t i = common; i < to.size(); ++i) {
    relative += to[i];
    if (i + 1 < to.size()) relative += kSeparator;
  }
  if (relative.empty()) return ".";
  // Only ".." steps: the path names a directory above, without a trailing separator.
  if (relative.back() == kSeparator) relative.pop_back();
  return relative;
}

std::string relativeToCurrentDirectory(const std::string& path) {
  const std::string here = currentDirectory();
  return here.empty() ? path : relativeName(path, here);
}

}  // namespace dunmore
