// The raw texture cache (.qtex) written beside a map image after its first load: a 12-byte
// little-endian header (width, height, depth) and the texture's pixel rows, bottom row first.
#pragma once

#include <cstdint>
#include <memory>

/// Bytes of the header.
constexpr int kTextureCacheHeaderSize = 12;
/// Largest width or height a cache file may declare.
constexpr int kTextureCacheMaxDimension = 65536;

/// Writes a cache file: a new regular file replaces whatever is at path (a link is replaced, never
/// followed), and the old file stays whole when the write fails. Returns -1 when path or pixels
/// is missing, a size is not positive, the depth is not 3 or 4, the picture is above the map
/// picture limit (picture_limit.h), or a write fails; 1 otherwise, also when the folder takes no
/// new file.
int writeTextureCache(const char* path, int width, int height, int depth,
                      const unsigned char* pixels);

/// The content of a cache file.
struct CachedTexture {
  int width = 0;
  int height = 0;
  int depth = 0;                            ///< 3 (R, G, B) or 4 (R, G, B, A).
  std::unique_ptr<unsigned char[]> pixels;  ///< width x height x depth bytes.
};

/// Reads a cache file from descriptor fd (at its start). Returns 1 with the pixels, or -1 when fd
/// is not a regular file, the header is short, a size is not positive or above
/// kTextureCacheMaxDimension, the depth is not 3 or 4, the picture is above the map picture
/// limit, or the file's length is not exactly the header's and the pixels'.
int readTextureCache(int fd, CachedTexture& texture);
