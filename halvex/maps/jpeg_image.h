// JPEG decoding into the bottom-up R, G, B buffer the texture loader scales from.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "halvex/maps/picture_limit.h"

class LoadProgress;

/// Largest width or height accepted when no other limit is set.
constexpr int kJpegDefaultDimensionLimit = 65536;
/// Most scans a progressive picture may have: the usual progressive scripts have 6 to 10 and
/// tuned encoders a few dozen, while each scan is one more pass over the whole picture's
/// coefficients, so that a file of thousands of tiny scans would keep the decoder busy for
/// minutes.
constexpr int kJpegMaxScans = 64;

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

/// Limits a decode accepts. The pixels also set libjpeg's own memory budget (its whole-picture
/// coefficient buffers of progressive and multi-scan files).
struct JpegLimits {
  int maxDimension = kJpegDefaultDimensionLimit;  ///< Width and height.
  int64_t maxPixels = mapPictureLimit();          ///< Padded width x padded height.
  int maxScans = kJpegMaxScans;                   ///< Scans of a progressive picture.
};

/// Opens path and decodes it, with the diagnostic lines on standard output (one more a scanline
/// while the environment variable HALVEX_IMAGE_TRACE is set). Returns 1, or -1
/// when the file cannot be opened, is not a whole JPEG picture or is beyond the limits (message
/// on standard error). The sizes are checked from the header, before the picture is allocated.
/// `progress`, when given, follows the decoder's passes over the picture up to 100 %.
int decodeJpegFile(const char* path, JpegPicture& picture, const JpegLimits& limits = {},
                   LoadProgress* progress = nullptr);
/// Decodes the JPEG at the current position of file (left open). Returns 1 or -1.
int decodeJpeg(FILE* file, JpegPicture& picture, const JpegLimits& limits = {},
               LoadProgress* progress = nullptr);
