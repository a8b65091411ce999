// JPEG decoding into the bottom-up R, G, B buffer the texture loader scales from.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

/// Largest decoded picture (padded pixels) accepted: 768 MiB of R, G, B bytes.
constexpr int64_t kJpegMaxPixels = int64_t{1} << 28;
/// Largest width or height accepted when no other limit is set.
constexpr int kJpegDefaultDimensionLimit = 65536;

/// A decoded JPEG picture: paddedHeight rows of paddedWidth x 3 bytes, bottom row first. The
/// picture fills rows paddedHeight - height to paddedHeight - 1 (top scanline last) and columns
/// 0 to width - 1; the rows below it repeat its bottom row and the columns right of it repeat
/// its last column.
struct JpegPicture {
  std::unique_ptr<unsigned char[]> pixels;
  int width = 0;         ///< Output width of the decoder.
  int height = 0;        ///< Output height.
  int paddedWidth = 0;   ///< width rounded up to a multiple of 4.
  int paddedHeight = 0;  ///< height rounded up to a multiple of 4.
};

/// Limits a decode accepts.
struct JpegLimits {
  int maxDimension = kJpegDefaultDimensionLimit;  ///< Width and height.
  int64_t maxPixels = kJpegMaxPixels;             ///< Padded width x padded height.
};

/// Opens path and decodes it, with the diagnostic lines on standard output (one more a scanline
/// while the environment variable HALVEX_IMAGE_TRACE is set). Returns 1, or -1
/// when the file cannot be opened or is not a whole JPEG picture (message on standard error).
int decodeJpegFile(const char* path, JpegPicture& picture, const JpegLimits& limits = {});
/// Decodes the JPEG at the current position of file (left open). Returns 1 or -1.
int decodeJpeg(FILE* file, JpegPicture& picture, const JpegLimits& limits = {});
