// Feeds arbitrary text to a map's setup file reader and checks that only a complete file places
// the map, with finite corners that every later step keeps finite.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fuzz/geomap_headless.h"
#include "tests/fuzz/memory_file.h"

namespace {

/// A directory holding m.mapSetUp, a link to the in-memory input file; removed at exit.
struct SetupLink {
  SetupLink() {
    char pattern[] = "/tmp/map_setup_fuzz_XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) std::abort();
    dir = made;
    link = dir + "/m.mapSetUp";
    if (symlink(memoryFile("", 0).c_str(), link.c_str()) != 0) std::abort();
  }
  ~SetupLink() {
    unlink(link.c_str());
    rmdir(dir.c_str());
  }
  std::string dir;
  std::string link;
};

/// The image path of a map whose setup file is the input.
const std::string& imagePath() {
  static const SetupLink setup;
  static const std::string path = setup.dir + "/m.jpg";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& image = imagePath();
  memoryFile(data, size);
  HeadlessMap map(image.c_str(), nullptr);
  map.place();
  if (map.layer() == nullptr) return 0;
  for (const auto& corner : map.corners()) {
    if (!std::isfinite(corner[0]) || !std::isfinite(corner[1])) std::abort();
  }
  if (map.opacity() != 1.0) std::abort();
  const auto& c = map.corners();
  const double cx = (c[0][0] + c[2][0]) / 2, cy = (c[0][1] + c[2][1]) / 2;
  map.contains(cy, cx);
  const int nearest = map.nearestCorner(cy, cx);
  if (nearest < 0 || nearest > 3) std::abort();
  map.setRotationDelta(size & 0xff, static_cast<int>(size * 977));
  map.setSizeDelta(cx, cy);
  map.commitEdits();
  map.commitRotation();
  map.dragCorner(cy, cx, -1);
  return 0;
}
