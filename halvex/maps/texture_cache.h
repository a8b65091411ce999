// The raw texture cache (.qtex) written beside a map image after its first load: a 12-byte
// little-endian header (width, height, depth) and the texture's pixel rows, bottom row first.
#pragma once

#include <cstdint>
#include <memory>

/// Bytes of the header.
constexpr int kTextureCacheHeaderSize = 12;
/// Largest width or height a cache file may declare.
constexpr int kTextureCacheMaxDimension = 65536;

/// Writes a cache file. Returns -1 when path or pixels is missing, a size is not positive or a
/// write fails (a partial file stays behind), 1 otherwise, also when the file cannot be created.
int writeTextureCache(const char* path, int width, int height, int depth,
                      const unsigned char* pixels);

/// The content of a cache file.
struct CachedTexture {
  int width = 0;
  int height = 0;
  int depth = 0;                            ///< 3 (R, G, B) or 4 (R, G, B, A) when usable.
  std::unique_ptr<unsigned char[]> pixels;  ///< width x height x depth bytes; null otherwise.
};

/// Reads a cache file from descriptor fd (at its start). Returns 1 with the pixels; 1 without
/// pixels for a depth other than 3 or 4; -1 for a short header, sizes not positive or above
/// kTextureCacheMaxDimension, or a file shorter than its header says.
int readTextureCache(int fd, CachedTexture& texture);
