// Feeds arbitrary text to the .view file reader; the camera must come out usable: a finite
// centre, a positive extent, pitch and heading within their ranges, and a finite frame.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "halvex/gl/pointer_ground.h"
#include "halvex/gl/view_camera.h"
#include "tests/fuzz/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ViewCamera camera;
  camera.loadView(memoryFile(data, size));
  if (!std::isfinite(camera.centerX()) || !std::isfinite(camera.centerY())) std::abort();
  if (!(camera.extent() > 0) || !std::isfinite(camera.extent())) std::abort();
  if (camera.pitch() < ViewCamera::kMinPitch || camera.pitch() > ViewCamera::kMaxPitch) {
    std::abort();
  }
  if (std::fabs(camera.heading()) > ViewCamera::kFullTurn) std::abort();
  camera.applyComputed(640, 480);
  double lat = 0, lon = 0;
  if (!pointerGround(camera, 10, 20, 640, 480, &lat, &lon)) std::abort();
  if (!(std::fabs(lat) <= 90) || !(std::fabs(lon) <= 180)) std::abort();
  return 0;
}
