#include "halvex/maps/picture_limit.h"

#include <atomic>
#include <limits>

namespace {

std::atomic<int64_t> gLimit{kDefaultMapPictureLimit};

}  // namespace

int64_t setMapPictureLimit(int64_t pixels) {
  return gLimit.exchange(pixels > 0 ? pixels : kDefaultMapPictureLimit);
}

int64_t mapPictureLimit() {
  return gLimit.load();
}

size_t mapPictureBytes(int64_t width, int64_t height, int64_t bytesPerPixel) {
  if (width <= 0 || height <= 0 || bytesPerPixel <= 0) return 0;
  int64_t pixels = 0;
  int64_t bytes = 0;
  if (__builtin_mul_overflow(width, height, &pixels) || pixels > mapPictureLimit() ||
      __builtin_mul_overflow(pixels, bytesPerPixel, &bytes) ||
      static_cast<uint64_t>(bytes) > std::numeric_limits<size_t>::max()) {
    return 0;
  }
  return static_cast<size_t>(bytes);
}
