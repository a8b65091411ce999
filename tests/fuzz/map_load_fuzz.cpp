// Feeds arbitrary bytes through the whole map load: the .qtex cache beside the image, its
// fallback to the SGI or JPEG reader, scaling, and the cache written afterwards. No display is
// needed: the OpenGL work is done by a stand-in that scales on the processor and touches every
// row it is handed. The map picture limit, not a cap of this target, bounds the memory a file can
// make the readers take.
//
// Input: one byte choosing the image kind (bit 0: SGI or JPEG) and whether a cache lies beside it
// (bit 1); with a cache, two bytes of its length and the cache bytes; the rest is the image.
#include <GL/gl.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "halvex/maps/map_texture.h"
#include "halvex/maps/picture_limit.h"
#include "halvex/maps/sgi_image.h"
#include "halvex/maps/texture_cache.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

/// Largest texture side of the stand-in: small, so that scaling stays cheap.
constexpr int kMaxTextureSize = 512;
/// The picture limit: 4 Mpixel, 16 MiB as R, G, B, A, far inside the sanitizer's memory limit.
constexpr int64_t kPictureLimit = 4 * kPixelsPerMegapixel;

std::string gFolder;
/// Where the stand-in puts the bytes it touches, so that the reads stay.
volatile unsigned gSink = 0;

int maxTextureSize() {
  return kMaxTextureSize;
}

int depthOf(unsigned format) {
  return format == GL_RGBA ? 4 : 3;
}

/// Nearest-pixel scaling that reads only inside the rows it is given.
const char* scale(unsigned format, int width, int height, int rowLength, const unsigned char* in,
                  int outWidth, int outHeight, unsigned char* out) {
  if (width <= 0 || height <= 0 || outWidth <= 0 || outHeight <= 0) std::abort();
  const int depth = depthOf(format);
  const size_t stride = size_t(rowLength > 0 ? rowLength : width) * depth;
  for (int y = 0; y < outHeight; ++y) {
    const unsigned char* row = in + stride * (int64_t{y} * height / outHeight);
    for (int x = 0; x < outWidth; ++x) {
      std::memcpy(out + (size_t(y) * outWidth + x) * depth,
                  row + size_t(int64_t{x} * width / outWidth) * depth, depth);
    }
  }
  return nullptr;
}

/// Reads the first and last byte of every row a texture would take in.
void define(int n, int components, int width, int height, unsigned format, const void* pixels,
            int rowLength) {
  if (n < 2 || width < 0 || height < 0 || components != depthOf(format)) std::abort();
  if (width == 0) return;
  const auto* p = static_cast<const unsigned char*>(pixels);
  const size_t stride = size_t(rowLength > 0 ? rowLength : width) * components;
  for (int y = 0; y < height; ++y) gSink = p[stride * y] + p[stride * y + width * components - 1];
}

const MapTextureBackend kHeadless = {maxTextureSize, scale, define};

void ignore(const char*) {}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Whether the cache at path reads back whole.
bool cacheSound(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  CachedTexture texture;
  const bool sound = readTextureCache(fd, texture) == 1 && texture.pixels;
  if (fd >= 0) ::close(fd);
  return sound;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The loaders' diagnostic lines go to standard output.
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  setSgiErrorHook(ignore);
  setMapPictureLimit(kPictureLimit);
  setMapTextureBackend(&kHeadless);
  // A memory file system where there is one: the cache is synced on every write.
  const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/map_load_fuzz_XXXXXX";
  if (!mkdtemp(pattern.data())) std::abort();
  gFolder = pattern;
  std::atexit([] {
    for (const char* name : {"/map.sgi", "/map.jpg", "/map.qtex"})
      ::unlink((gFolder + name).c_str());
    ::rmdir(gFolder.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto mode = take<uint8_t>(data, size);
  const bool jpeg = mode & 1;
  const bool withCache = mode & 2;
  const std::string image = gFolder + (jpeg ? "/map.jpg" : "/map.sgi");
  const std::string cache = gFolder + "/map.qtex";
  ::unlink((gFolder + (jpeg ? "/map.sgi" : "/map.jpg")).c_str());
  std::string cacheBefore;
  if (withCache) {
    const size_t length = std::min<size_t>(take<uint16_t>(data, size), size);
    cacheBefore.assign(reinterpret_cast<const char*>(data), length);
    writeFile(cache, data, length);
    data += length;
    size -= length;
  } else {
    ::unlink(cache.c_str());
  }
  writeFile(image, data, size);

  const int id = loadMapImage(image.c_str());
  if (id == -1) {
    // A failed load writes no cache and leaves the one it found.
    if (readFile(cache) != cacheBefore) std::abort();
    if (!withCache && ::access(cache.c_str(), F_OK) == 0) std::abort();
    return 0;
  }
  // A load that succeeded read a sound cache or wrote one.
  if (id < 2 || !cacheSound(cache)) std::abort();
  return 0;
}
