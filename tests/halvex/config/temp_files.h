// A scratch directory for the configuration tests, removed with its files at the end of a test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

class TempFiles {
 public:
  TempFiles() {
    char pattern[] = "/tmp/config_test_XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (dir != nullptr) dir_ = dir;
  }
  ~TempFiles() {
    for (const std::string& file : files_) std::remove(file.c_str());
    if (!dir_.empty()) rmdir(dir_.c_str());
  }
  TempFiles(const TempFiles&) = delete;
  TempFiles& operator=(const TempFiles&) = delete;

  /// Writes text (binary, as given) to a file of that name in the directory; returns its path.
  std::string write(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr) return path;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    files_.push_back(path);
    return path;
  }

  /// A path in the directory where no file exists.
  std::string missing() const { return dir_ + "/no such file"; }

 private:
  std::string dir_;
  std::vector<std::string> files_;
};
