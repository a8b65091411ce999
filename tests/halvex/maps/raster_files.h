// Rasters for the map tests: pictures written as PPM files and GDAL's tools run on them.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scratch_dir.h"

namespace raster_files {

/// Runs a GDAL tool; false when it fails.
inline bool run(const std::vector<std::string>& argv) {
  testsupport::ChildProcess tool(argv, testsupport::ChildOutput::kFiles);
  return tool.wait() == 0;
}

/// Writes a binary PPM of w x h pixels whose colour at (x, y) (y down) `colour` gives.
template <class Colour>
std::string writePpm(const ScratchDir& dir, const std::string& name, int w, int h, Colour colour) {
  std::string bytes = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::array<int, 4> c = colour(x, y);
      for (int k = 0; k < 3; ++k) bytes += static_cast<char>(c[k]);
    }
  }
  return dir.write(name, bytes);
}

}  // namespace raster_files
