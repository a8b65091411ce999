#include "halvex/project/auto_start.h"

#include <cctype>
#include <cstdio>

#include "common/name_registry.h"
#include "common/platform/paths.h"

namespace {

/// Extension of the auto-start file.
constexpr const char* kExtension = ".autoStart";

/// The program's path from the registry, or empty.
std::string registeredExePath() {
  const auto* exe = static_cast<const char*>(NameRegistry::instance().find("full exe name"));
  return exe != nullptr ? std::string(exe) : std::string();
}

}  // namespace

AutoStartFile::AutoStartFile() : AutoStartFile(registeredExePath()) {}

AutoStartFile::AutoStartFile(const std::string& exePath) : path_(pathFor(exePath)) {}

std::string AutoStartFile::pathFor(const std::string& exePath) {
  if (exePath.empty()) return std::string();
  const PathParts parts = splitPath(exePath);
  return parts.drive + parts.dir + parts.name + kExtension;
}

bool AutoStartFile::set(const std::string& projectPath) const {
  if (projectPath.empty()) return clear();
  if (path_.empty()) return false;
  std::FILE* out = std::fopen(path_.c_str(), "w");
  if (out == nullptr) return false;
  std::fprintf(out, "%s\n", projectPath.c_str());
  const bool failed = std::ferror(out) != 0;
  return std::fclose(out) == 0 && !failed;
}

bool AutoStartFile::clear() const {
  if (path_.empty()) return false;
  std::FILE* out = std::fopen(path_.c_str(), "w");
  if (out == nullptr) return false;
  return std::fclose(out) == 0;
}

std::string AutoStartFile::read() const {
  if (path_.empty()) return std::string();
  std::FILE* in = std::fopen(path_.c_str(), "r");
  if (in == nullptr) return std::string();
  static_assert(kMaxWord == 255, "the scan width below must match kMaxWord");
  char word[kMaxWord + 1] = {};
  std::string result;
  if (std::fscanf(in, "%255s", word) == 1) {
    const int after = std::fgetc(in);
    if (after == EOF || std::isspace(after)) {
      result = word;
    } else {
      std::printf("Auto start project path in %s is too long; nothing opened\n", path_.c_str());
    }
  }
  std::fclose(in);
  return result;
}
