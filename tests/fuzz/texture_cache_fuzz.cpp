// Feeds arbitrary bytes to the texture cache reader (header and pixels, no OpenGL).
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "halvex/maps/texture_cache.h"
#include "tests/fuzz/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = memoryFile(data, size);
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) std::abort();
  CachedTexture texture;
  const int result = readTextureCache(fd, texture);
  ::close(fd);
  if (result == -1) {
    if (texture.pixels) std::abort();
    return 0;
  }
  if (result != 1 || texture.width <= 0 || texture.height <= 0) std::abort();
  if (texture.pixels) {
    const size_t bytes = size_t(texture.width) * texture.height * texture.depth;
    if (bytes + kTextureCacheHeaderSize > size) std::abort();
    volatile unsigned char sink = texture.pixels[bytes - 1];
    (void)sink;
  }
  return 0;
}
