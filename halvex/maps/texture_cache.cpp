#include "halvex/maps/texture_cache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>

#include "common/platform/atomic_file.h"
#include "halvex/maps/picture_limit.h"

namespace {

/// Depths the texture loader defines an image for.
constexpr int kRgbDepth = 3;
constexpr int kRgbaDepth = 4;

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

bool usableDepth(int depth) {
  return depth == kRgbDepth || depth == kRgbaDepth;
}

}  // namespace

int writeTextureCache(const char* path, int width, int height, int depth,
                      const unsigned char* pixels) {
  if (path == nullptr || pixels == nullptr || width <= 0 || height <= 0 || !usableDepth(depth)) {
    return -1;
  }
  const size_t bytes = mapPictureBytes(width, height, depth);
  if (bytes == 0 || width > kTextureCacheMaxDimension || height > kTextureCacheMaxDimension) {
    std::fprintf(stderr, "Texture cache %s not written: %d x %d pixels are above the limit\n", path,
                 width, height);
    return -1;
  }
  // Map folders may be shared: the cache replaces whatever stands at its name (a link, a pipe,
  // an older cache) by a new regular file, so that nothing is written through a planted link
  // and a write failing half way leaves the old cache whole.
  AtomicFile file(path, Durability::kKeep, LinkPolicy::kReplaceLink);
  if (!file.open()) {
    std::printf("Could not open for writing file %s\n", path);
    return 1;
  }
  std::printf("Trying to write to  %s fh is %d size of %d\n", path, fileno(file.stream()),
              kTextureCacheHeaderSize);
  unsigned char header[kTextureCacheHeaderSize];
  putLittle32(header, width);
  putLittle32(header + 4, height);
  putLittle32(header + 8, depth);
  if (!file.write(header, sizeof header)) return -1;
  std::printf("Finished writing to  %s wrote %d bytes\n", path, kTextureCacheHeaderSize);
  std::printf("w h d %d %d %d\n", width, height, depth);
  if (!file.write(pixels, bytes) || !file.commit()) return -1;
  std::printf("Finished writing to  %s wrote %lld bytes\n", path, static_cast<long long>(bytes));
  return 1;
}

// Sample header (256 x 128, depth 3): 00 01 00 00 80 00 00 00 03 00 00 00
int readTextureCache(int fd, CachedTexture& texture) {
  texture = CachedTexture();
  // Only a regular file is a cache: a pipe or a device in its place could block or never end.
  struct stat info;
  if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  unsigned char header[kTextureCacheHeaderSize];
  if (!readFully(fd, header, sizeof header)) return -1;
  texture.width = getLittle32(header);
  texture.height = getLittle32(header + 4);
  texture.depth = getLittle32(header + 8);
  if (texture.width <= 0 || texture.height <= 0 || texture.width > kTextureCacheMaxDimension ||
      texture.height > kTextureCacheMaxDimension || !usableDepth(texture.depth)) {
    return -1;
  }
  // The writer makes the file exactly this long; any other length is not its work, and the
  // pixels are never allocated beyond what the file holds.
  const size_t bytes = mapPictureBytes(texture.width, texture.height, texture.depth);
  if (bytes == 0 ||
      static_cast<uint64_t>(info.st_size) != uint64_t{bytes} + kTextureCacheHeaderSize) {
    return -1;
  }
  texture.pixels.reset(new (std::nothrow) unsigned char[bytes]);
  if (!texture.pixels || !readFully(fd, texture.pixels.get(), bytes)) {
    texture.pixels.reset();
    return -1;
  }
  return 1;
}
