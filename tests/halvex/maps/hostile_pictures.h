// Small map files that declare huge pictures, .qtex headers, the picture limit for one test,
// and a way to see what loading a file costs: the reader and the texture tests share them.
#pragma once

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "halvex/maps/picture_limit.h"
#include "tests/halvex/maps/jpeg_writer.h"
#include "tests/support/sgi_writer.h"

/// Sets the map picture limit for the life of the guard.
class ScopedMapPictureLimit {
 public:
  explicit ScopedMapPictureLimit(int64_t pixels) : previous_(setMapPictureLimit(pixels)) {}
  ~ScopedMapPictureLimit() { setMapPictureLimit(previous_); }
  ScopedMapPictureLimit(const ScopedMapPictureLimit&) = delete;
  ScopedMapPictureLimit& operator=(const ScopedMapPictureLimit&) = delete;

 private:
  int64_t previous_;
};

/// The 12-byte .qtex header: width, height and depth, little-endian.
inline std::string cacheHeader(int32_t width, int32_t height, int32_t depth) {
  std::string s(12, '\0');
  for (int i = 0; i < 4; ++i) {
    s[i] = static_cast<char>(uint32_t(width) >> (8 * i));
    s[4 + i] = static_cast<char>(uint32_t(height) >> (8 * i));
    s[8 + i] = static_cast<char>(uint32_t(depth) >> (8 * i));
  }
  return s;
}

/// A run-length SGI file of one channel declaring side x side pixels, every row pointing at one
/// shared two-byte end-of-row mark: 512 + 8 x side + 2 bytes (131,586 for 16384) that decode to
/// side x side x 4 bytes.
inline std::string hostileSgi(int side = 16384) {
  SgiBytes out(true);
  out.u16(474);
  out.u16(0x101);  // Run-length, one byte a value.
  out.u16(3);
  out.u16(side);
  out.u16(side);
  out.u16(1);
  out.padTo(512);
  const uint32_t mark = 512 + 8 * uint32_t(side);
  for (int y = 0; y < side; ++y) out.u32(mark);
  for (int y = 0; y < side; ++y) out.u32(2);
  out.u16(0);
  return out.data();
}

/// A small grey JPEG whose frame header is rewritten to declare width x height pixels; its data
/// end long before such a picture would.
inline std::string jpegDeclaring(int width, int height) {
  std::string bytes = encodeJpeg(16, 16, 1, [](int, int, unsigned char rgb[3]) { rgb[0] = 90; });
  const size_t frame = bytes.find("\xFF\xC0");
  if (frame == std::string::npos) std::abort();
  bytes[frame + 5] = static_cast<char>(height >> 8);
  bytes[frame + 6] = static_cast<char>(height);
  bytes[frame + 7] = static_cast<char>(width >> 8);
  bytes[frame + 8] = static_cast<char>(width);
  return bytes;
}

/// A progressive grey JPEG of width x height written in `scans` scans: the DC values, then one
/// coefficient at a time with successive approximation (at most 1 + 63 x 11 scans).
inline std::string jpegWithScans(int width, int height, int scans) {
  std::vector<jpeg_scan_info> script;
  script.push_back({1, {0}, 0, 0, 0, 0});
  for (int k = 1; k <= 63 && int(script.size()) < scans; ++k) {
    // The first pass of each coefficient leaves its low bits for the refinements after it.
    const int bits = std::min(10, scans - int(script.size()) - 1);
    script.push_back({1, {0}, k, k, 0, bits});
    for (int al = bits - 1; al >= 0; --al) script.push_back({1, {0}, k, k, al + 1, al});
  }
  return encodeJpeg(
      width, height, 1,
      [](int x, int row, unsigned char rgb[3]) {
        rgb[0] = static_cast<unsigned char>(x * 7 + row);
      },
      75, &script);
}

/// What running a load in a child process cost.
struct ChildCost {
  bool succeeded = false;  ///< The load returned success.
  long peakGrowthKiB = 0;  ///< Peak resident size of the child above the parent's, KiB.
  double seconds = 0;
};

/// Runs `load` in a forked child and measures it; the parent's memory stays untouched.
inline ChildCost costInChild(const std::function<bool()>& load) {
  rusage self{};
  getrusage(RUSAGE_SELF, &self);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) _exit(load() ? 0 : 1);
  int status = 0;
  rusage usage{};
  ChildCost cost;
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return cost;
  cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  cost.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  cost.peakGrowthKiB = usage.ru_maxrss - self.ru_maxrss;
  return cost;
}
