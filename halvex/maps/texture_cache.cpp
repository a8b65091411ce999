#include "halvex/maps/texture_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>

namespace {

/// Owner read and write.
constexpr mode_t kCacheMode = S_IRUSR | S_IWUSR;
/// Depths the texture loader defines an image for.
constexpr int kRgbDepth = 3;
constexpr int kRgbaDepth = 4;

/// Writes all n bytes; false when a write fails.
bool writeFully(int fd, const unsigned char* data, size_t n) {
  while (n > 0) {
    const ssize_t done = ::write(fd, data, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    n -= static_cast<size_t>(done);
  }
  return true;
}

/// Reads exactly n bytes; false when the file ends or fails first.
bool readFully(int fd, unsigned char* data, size_t n) {
  while (n > 0) {
    const ssize_t done = ::read(fd, data, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    n -= static_cast<size_t>(done);
  }
  return true;
}

void putLittle32(unsigned char* p, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

int32_t getLittle32(const unsigned char* p) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t{p[i]} << (8 * i);
  return static_cast<int32_t>(v);
}

}  // namespace

int writeTextureCache(const char* path, int width, int height, int depth,
                      const unsigned char* pixels) {
  if (path == nullptr || pixels == nullptr || width <= 0 || height <= 0 || depth <= 0) return -1;
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kCacheMode);
  if (fd < 0) {
    std::printf("Could not open for writing file %s\n", path);
    return 1;
  }
  std::printf("Trying to write to  %s fh is %d size of %d\n", path, fd, kTextureCacheHeaderSize);
  unsigned char header[kTextureCacheHeaderSize];
  putLittle32(header, width);
  putLittle32(header + 4, height);
  putLittle32(header + 8, depth);
  if (!writeFully(fd, header, sizeof header)) {
    ::close(fd);
    return -1;
  }
  std::printf("Finished writing to  %s wrote %d bytes\n", path, kTextureCacheHeaderSize);
  std::printf("w h d %d %d %d\n", width, height, depth);
  const size_t bytes = static_cast<size_t>(width) * height * depth;
  if (!writeFully(fd, pixels, bytes)) {
    ::close(fd);
    return -1;
  }
  const bool synced = ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!synced || !closed) return -1;
  std::printf("Finished writing to  %s wrote %lld bytes\n", path, static_cast<long long>(bytes));
  return 1;
}

// Sample header (256 x 128, depth 3): 00 01 00 00 80 00 00 00 03 00 00 00
int readTextureCache(int fd, CachedTexture& texture) {
  texture = CachedTexture();
  unsigned char header[kTextureCacheHeaderSize];
  if (fd < 0 || !readFully(fd, header, sizeof header)) return -1;
  texture.width = getLittle32(header);
  texture.height = getLittle32(header + 4);
  texture.depth = getLittle32(header + 8);
  if (texture.width <= 0 || texture.height <= 0 || texture.width > kTextureCacheMaxDimension ||
      texture.height > kTextureCacheMaxDimension) {
    return -1;
  }
  if (texture.depth != kRgbDepth && texture.depth != kRgbaDepth) return 1;
  const int64_t bytes = int64_t{texture.width} * texture.height * texture.depth;
  // Never allocate more than the file can fill.
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      bytes > static_cast<int64_t>(info.st_size) - kTextureCacheHeaderSize) {
    return -1;
  }
  texture.pixels.reset(new (std::nothrow) unsigned char[static_cast<size_t>(bytes)]);
  if (!texture.pixels || !readFully(fd, texture.pixels.get(), static_cast<size_t>(bytes))) {
    texture.pixels.reset();
    return -1;
  }
  return 1;
}
