// Feeds arbitrary text to a map's setup file reader and checks that a complete file gives finite
// corners, on which the hit tests and the edits of a map then run.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "halvex/maps/geo_reference.h"
#include "halvex/maps/map_setup_file.h"
#include "tests/fuzz/memory_file.h"

namespace {
/// Hundredths of a degree in a full turn, the unit of a map's rotation edits.
constexpr size_t kTurnUnits = 36000;
constexpr double kRotationUnit = 0.01;  ///< Degrees per rotation unit.
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GeoReference geo;
  if (!readMapSetupFile(memoryFile(data, size), geo.corners())) return 0;
  for (const auto& corner : geo.corners()) {
    if (!std::isfinite(corner[0]) || !std::isfinite(corner[1])) std::abort();
  }
  const auto& c = geo.corners();
  const double cx = (c[0][0] + c[2][0]) / 2, cy = (c[0][1] + c[2][1]) / 2;
  geo.contains(cy, cx);
  const int nearest = geo.nearestCorner(cy, cx);
  if (nearest < 0 || nearest > 3) std::abort();
  geo.resize(-cx, cy);
  geo.turn(static_cast<double>(size * 977 % kTurnUnits) * kRotationUnit);
  geo.setCorner(geo.nearestCorner(cy, cx), cx, cy);
  return 0;
}
