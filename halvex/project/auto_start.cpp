#include "halvex/project/auto_start.h"

#include <cctype>
#include <cstdio>

#include "common/name_registry.h"
#include "common/platform/atomic_file.h"
#include "common/platform/install_layout.h"

namespace {

/// Extension of the auto-start file.
constexpr const char* kExtension = ".autoStart";

/// The program's path from the registry, or empty.
std::string registeredExePath() {
  const auto* exe = static_cast<const char*>(NameRegistry::instance().find("full exe name"));
  return exe != nullptr ? std::string(exe) : std::string();
}

/// Replaces the file at `path` by `text` whole, synced: a full disk or a crash leaves the old
/// file. A link is followed and kept.
bool replaceFile(const std::string& path, const std::string& text) {
  return replaceFileAtomically(path, text.data(), text.size(), Durability::kKeep);
}

}  // namespace

AutoStartFile::AutoStartFile() : AutoStartFile(registeredExePath()) {}

AutoStartFile::AutoStartFile(const std::string& exePath) : path_(pathFor(exePath)) {}

std::string AutoStartFile::pathFor(const std::string& exePath) {
  return perUserFilePath(exePath, kExtension);
}

bool AutoStartFile::set(const std::string& projectPath) const {
  if (projectPath.empty()) return clear();
  if (path_.empty()) return false;
  return replaceFile(path_, projectPath + "\n");
}

bool AutoStartFile::clear() const {
  if (path_.empty()) return false;
  return replaceFile(path_, std::string());
}

std::string AutoStartFile::firstWord(std::FILE* in, bool* tooLong) {
  if (tooLong != nullptr) *tooLong = false;
  static_assert(kMaxWord == 255, "the scan width below must match kMaxWord");
  char word[kMaxWord + 1] = {};
  if (std::fscanf(in, "%255s", word) != 1) return std::string();
  const int after = std::fgetc(in);
  if (after == EOF || std::isspace(after)) return word;
  if (tooLong != nullptr) *tooLong = true;
  return std::string();
}

std::string AutoStartFile::read() const {
  if (path_.empty()) return std::string();
  std::FILE* in = std::fopen(path_.c_str(), "r");
  if (in == nullptr) return std::string();
  bool tooLong = false;
  const std::string result = firstWord(in, &tooLong);
  if (tooLong) {
    std::printf("Auto start project path in %s is too long; nothing opened\n", path_.c_str());
  }
  std::fclose(in);
  return result;
}
