#include "common/platform/install_layout.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "common/platform/paths.h"

namespace {

/// The file that marks a CMake build folder.
constexpr const char* kBuildTreeMark = "CMakeCache.txt";
/// Folders under the user's home for configuration and cache when XDG names none.
constexpr const char* kDefaultConfigHome = "/.config";
constexpr const char* kDefaultCacheHome = "/.cache";
/// New per-user folders are the user's alone.
constexpr mode_t kPrivateFolderMode = 0700;

bool isFolder(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

/// The folder holding `path`'s last component ("." for a bare name), without a trailing '/'.
std::string parentOf(const std::string& path) {
  const std::size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return "/";
  const std::size_t slash = path.rfind('/', end);
  if (slash == std::string::npos) return ".";
  const std::size_t last = path.find_last_not_of('/', slash);
  return last == std::string::npos ? "/" : path.substr(0, last + 1);
}

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  const passwd* entry = ::getpwuid(::getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

/// "$variable/halvex" when the variable holds an absolute path, else "~<fallback>/halvex".
std::string xdgFolder(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  std::string base;
  if (value != nullptr && value[0] == '/') {
    base = value;
  } else {
    const std::string home = homeFolder();
    if (home.empty()) return "";
    base = home + fallback;
  }
  return base + "/" + kInstallFolderName;
}

}  // namespace

std::string withExtension(const std::string& path, const char* extension) {
  const PathParts parts = splitPath(path);
  return parts.drive + parts.dir + parts.name + extension;
}

std::string sharedDataDir(const std::string& exePath) {
  const std::string prefix = parentOf(parentOf(exePath));
  return (prefix == "/" ? "" : prefix) + "/share/" + kInstallFolderName;
}

bool runsInstalled(const std::string& exePath) {
  if (exePath.empty() || !isFolder(sharedDataDir(exePath))) return false;
  const std::string prefix = parentOf(parentOf(exePath));
  return ::access((prefix + "/" + kBuildTreeMark).c_str(), F_OK) != 0;
}

std::string userConfigDir() {
  return xdgFolder("XDG_CONFIG_HOME", kDefaultConfigHome);
}

std::string userCacheDir() {
  return xdgFolder("XDG_CACHE_HOME", kDefaultCacheHome);
}

bool makeFolders(const std::string& path) {
  if (path.empty()) return false;
  if (isFolder(path)) return true;
  const std::string parent = parentOf(path);
  if (parent != path && !makeFolders(parent)) return false;
  return (::mkdir(path.c_str(), kPrivateFolderMode) == 0 || errno == EEXIST) && isFolder(path);
}

std::string perUserFilePath(const std::string& exePath, const char* extension) {
  if (exePath.empty()) return "";
  if (!runsInstalled(exePath)) return withExtension(exePath, extension);
  const std::string folder = userConfigDir();
  if (folder.empty()) return withExtension(exePath, extension);
  makeFolders(folder);
  return folder + "/" + splitPath(exePath).name + extension;
}
