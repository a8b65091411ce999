// Feeds arbitrary bytes to the stereo settings reader, as text and as the file itself: both must
// agree, give two numbers only when the text starts with them, and the file reader must take a
// file of this user with any content without reading past its limit.
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "halvex/gl/gl_extensions.h"

namespace {

/// A regular file of this user holding the input, in a memory-backed folder when there is one
/// (the reader refuses the in-memory files /proc links to, as it refuses any link).
std::string settingsFile(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    char pattern[] = "/dev/shm/stereo_fuzz_XXXXXX";
    char fallback[] = "/tmp/stereo_fuzz_XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) made = mkdtemp(fallback);
    if (made == nullptr) std::abort();
    static std::string folder = made;
    std::atexit([] { std::filesystem::remove_all(folder); });
    return folder + "/stereoSet.txt";
  }();
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  close(fd);
  return path;
}

/// Same value, NaN equal to NaN of any sign or payload.
bool same(float a, float b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so that a read past the given size is caught.
  char* text = new char[size];
  if (size > 0) std::memcpy(text, data, size);
  StereoSettings fromText;
  const bool parsed = parseStereoSettings(text, size, fromText);
  delete[] text;

  StereoSettings fromFile;
  const bool read = readStereoSettingsFile(settingsFile(data, size).c_str(), fromFile);
  if (parsed != read) std::abort();
  if (parsed && (!same(fromText.focalPlane, fromFile.focalPlane) ||
                 !same(fromText.eyeRotation, fromFile.eyeRotation))) {
    std::abort();
  }

  // Two numbers read mean the text does not start with a letter other than those of inf and nan.
  if (parsed) {
    size_t i = 0;
    while (i < size && std::strchr(" \t\n\v\f\r", data[i]) != nullptr && data[i] != 0) ++i;
    if (i == size || std::strchr("+-.0123456789iInN", data[i]) == nullptr || data[i] == 0) {
      std::abort();
    }
  }
  return 0;
}
