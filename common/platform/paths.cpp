#include "common/platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <vector>

namespace {

/// Directory separator.
constexpr char kSeparator = '/';

/// First buffer size tried for the current directory or a link target; doubled while too small.
constexpr std::size_t kInitialPathBuffer = 256;

/// Upper bound for those buffers, far beyond any real path.
constexpr std::size_t kMaxPathBuffer = 1 << 20;

/// A step up to the parent directory.
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

PathParts splitPath(const std::string& path) {
  PathParts parts;
  const std::size_t slash = path.rfind(kSeparator);
  const std::size_t baseStart = (slash == std::string::npos) ? 0 : slash + 1;
  parts.dir = path.substr(0, baseStart);
  const std::string base = path.substr(baseStart);
  const std::size_t firstNonDot = base.find_first_not_of('.');
  const std::size_t dot = base.rfind('.');
  if (firstNonDot != std::string::npos && dot != std::string::npos && dot > firstNonDot) {
    parts.name = base.substr(0, dot);
    parts.ext = base.substr(dot);
  } else {
    parts.name = base;
  }
  return parts;
}

std::string fullPath(const std::string& path) {
  std::string absolute;
  if (!path.empty() && path[0] == kSeparator) {
    absolute = path;
  } else {
    absolute = currentDirectory();
    if (absolute.empty()) return std::string();
    absolute += kSeparator;
    absolute += path;
  }

  std::string result;
  for (const std::string& component : components(absolute)) {
    result += kSeparator;
    result += component;
  }
  if (result.empty() || (!path.empty() && path.back() == kSeparator)) result += kSeparator;
  return result;
}

std::string currentDirectory() {
  for (std::size_t size = kInitialPathBuffer; size <= kMaxPathBuffer; size *= 2) {
    std::vector<char> buffer(size);
    if (getcwd(buffer.data(), buffer.size()) != nullptr) return std::string(buffer.data());
    if (errno != ERANGE) break;
  }
  return std::string();
}

bool setCurrentDirectory(const std::string& path) {
  return !path.empty() && chdir(path.c_str()) == 0;
}

std::string linkTarget(const std::string& path) {
  // readlink() cuts silently: a result that fills the buffer may have been cut, so the buffer
  // grows until the target fits with room to spare.
  for (std::size_t size = kInitialPathBuffer; size <= kMaxPathBuffer; size *= 2) {
    std::vector<char> buffer(size);
    const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) break;
    if (static_cast<std::size_t>(n) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(n));
    }
  }
  return std::string();
}

std::string executablePath() {
  return linkTarget("/proc/self/exe");
}

std::string relativeName(const std::string& path, const std::string& directory,
                         RelativeSteps steps) {
  if (path.empty() || directory.empty() || directory[0] != kSeparator) return path;
  if (steps == RelativeSteps::kBelowOnly) {
    const std::string prefix = directory + kSeparator;
    return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
  }
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

std::string relativeToCurrentDirectory(const std::string& path, RelativeSteps steps) {
  const std::string here = currentDirectory();
  return here.empty() ? path : relativeName(path, here, steps);
}
