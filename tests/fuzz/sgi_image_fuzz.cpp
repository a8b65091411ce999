// Feeds arbitrary bytes to the SGI reader as a file, with an error hook installed as the tracker
// has it: every row of every channel is read, and small pictures are decoded whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "halvex/maps/sgi_image.h"
#include "tests/fuzz/memory_file.h"

namespace {

/// Pictures decoded whole: larger ones only have their rows read, to keep runs fast.
constexpr int64_t kMaxDecodedPixels = int64_t{1} << 18;
/// Rows read one by one at most.
constexpr int kMaxRows = 4096;

void ignore(const char*) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setSgiErrorHook(ignore);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = memoryFile(data, size);
  SgiImage* image = iopen(path.c_str(), "r");
  if (image == nullptr) return 0;
  const int xsize = image->xsize;
  const int ysize = image->ysize;
  const int zsize = image->zsize;
  if (xsize <= 0 || ysize <= 0 || zsize <= 0) std::abort();
  std::vector<unsigned short> row(xsize);
  int reads = 0;
  for (int y = 0; y < ysize && reads < kMaxRows; ++y) {
    for (int z = 0; z < zsize && z < 4; ++z, ++reads) {
      const int got = getrow(image, row.data(), y, z);
      if (got != -1 && got != xsize) std::abort();
    }
  }
  if (getrow(image, row.data(), ysize, 0) != -1) std::abort();
  iclose(image);
  if (int64_t{xsize} * ysize <= kMaxDecodedPixels) {
    int width = 0, height = 0;
    const std::unique_ptr<uint32_t[]> picture = longimagedata(path.c_str(), &width, &height);
    if (picture && (width != xsize || height != ysize)) std::abort();
  }
  return 0;
}
