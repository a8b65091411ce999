// A scratch directory for tests that work with real files, removed with everything in it. The
// one temporary-folder helper of every test.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/halvex_test_XXXXXX";
    const char* made = mkdtemp(pattern);
    dir_ = made != nullptr ? made : "/tmp";
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  /// A path in the directory where no file exists.
  std::string missing() const { return path("no such file"); }

  /// Path of `name` inside the directory.
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  /// Writes `text` to `name` as given and returns its path.
  std::string write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
    return path(name);
  }

  /// The whole content of `name`, empty when it cannot be read.
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  /// Number of entries in the directory.
  int entryCount() const {
    int n = 0;
    for (auto it = std::filesystem::directory_iterator(dir_);
         it != std::filesystem::directory_iterator(); ++it) {
      ++n;
    }
    return n;
  }

  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

/// Permission bits of the file at `path` (links followed), 0 when it does not exist.
inline mode_t fileMode(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

/// Whether `path` itself is a symbolic link.
inline bool isSymlink(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}
