// Feeds arbitrary bytes to the raster reader as an in-memory GeoTIFF, PNG or JPEG: the
// georeference, a coarse mesh and a small window of every level are read under a small map
// picture limit, with the image readers' error hook installed as the tracker has it.
#include <cpl_vsi.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "halvex/maps/picture_limit.h"
#include "halvex/maps/raster_mesh.h"
#include "halvex/maps/raster_source.h"
#include "halvex/maps/sgi_image.h"

namespace {

/// Pixels of the largest tile read: small, to keep runs fast.
constexpr int64_t kFuzzPictureLimit = int64_t{1} << 16;
/// Width and height of the window read from each level, pixels.
constexpr int kWindow = 64;
/// Cells of the mesh at most: the mesh transforms a few points a cell.
constexpr int kMeshCells = 16;
/// Mesh tolerance, metres.
constexpr double kMeshTolerance = 1.0;

void ignore(const char*) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setSgiErrorHook(ignore);
  setMapPictureLimit(kFuzzPictureLimit);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static uint64_t run = 0;
  // A name of its own each run: GDAL may keep state about a file name it has seen.
  const std::string path = "/vsimem/raster_fuzz_" + std::to_string(run++) + ".tif";
  VSILFILE* file = VSIFileFromMemBuffer(path.c_str(), const_cast<GByte*>(data), size, FALSE);
  if (file == nullptr) return 0;
  VSIFCloseL(file);
  {
    RasterOpenOptions options;
    options.allowedDrivers = {"GTiff", "PNG", "JPEG"};
    options.maxHandles = 1;
    std::string error;
    const std::unique_ptr<RasterSource> raster = openRaster(path, &error, options);
    if (raster) {
      if (raster->levels().empty() || raster->width() <= 0 || raster->height() <= 0) abort();
      if (raster->georeferenced()) {
        const RasterMesh mesh = buildRasterMesh(*raster, kMeshTolerance, kMeshCells);
        if (mesh.placed) {
          RasterPoint p;
          meshToRaster(mesh, meshToGround(mesh, {raster->width() / 2.0, raster->height() / 2.0}),
                       p);
        }
      }
      for (size_t level = 0; level < raster->levels().size(); ++level) {
        const RasterLevel& l = raster->levels()[level];
        const int w = static_cast<int>(std::min<int64_t>(kWindow, l.width));
        const int h = static_cast<int>(std::min<int64_t>(kWindow, l.height));
        std::vector<uint8_t> rgba;
        if (raster->readTile(static_cast<int>(level), 0, 0, w, h, rgba, &error) &&
            rgba.size() != static_cast<size_t>(w) * h * 4) {
          abort();
        }
      }
    }
  }
  VSIUnlink(path.c_str());
  return 0;
}
