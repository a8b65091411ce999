// Feeds arbitrary bytes to the JPEG decoder (no OpenGL) and checks the padded buffer it builds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "halvex/maps/jpeg_image.h"

namespace {

/// Pictures larger than this are refused, to keep runs fast.
constexpr int64_t kMaxPixels = int64_t{1} << 20;
constexpr int kMaxDimension = 8192;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The decoder's diagnostic lines go to standard output.
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  JpegLimits limits;
  limits.maxPixels = kMaxPixels;
  limits.maxDimension = kMaxDimension;
  JpegPicture picture;
  const int result = decodeJpeg(file, picture, limits);
  std::fclose(file);
  if (result != 1) {
    if (result != -1 || picture.pixels) std::abort();
    return 0;
  }
  if (!picture.pixels || picture.width <= 0 || picture.height <= 0) std::abort();
  if (picture.paddedWidth % 4 != 0 || picture.paddedHeight % 4 != 0) std::abort();
  if (picture.paddedWidth < picture.width || picture.paddedWidth >= picture.width + 4) std::abort();
  if (picture.paddedHeight < picture.height || picture.paddedHeight >= picture.height + 4) {
    std::abort();
  }
  // Touch the first and last byte of the buffer: both must lie inside it.
  const size_t bytes = size_t(picture.paddedWidth) * picture.paddedHeight * 3;
  volatile unsigned char sink = picture.pixels[0] ^ picture.pixels[bytes - 1];
  (void)sink;
  return 0;
}
