#include "halvex/maps/map_raster.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "halvex/maps/raster_layer.h"
#include "halvex/maps/texture_budget.h"

namespace {

/// The file's extension, lower case, with its dot; empty when it has none.
std::string extensionOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

bool exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

size_t gBudgetBytes = TextureBudget::kDefaultBudgetBytes;

/// Whether two sets of corners are the same to well below a texel of any map.
bool sameCorners(const MapLayer::Corners a, const MapLayer::Corners b) {
  constexpr double kSameDegrees = 1e-9;
  for (int i = 0; i < 4; ++i) {
    if (std::abs(a[i][0] - b[i][0]) > kSameDegrees || std::abs(a[i][1] - b[i][1]) > kSameDegrees)
      return false;
  }
  return true;
}

}  // namespace

bool readsAsRaster(const std::string& path) {
  const std::string ext = extensionOf(path);
  return !(ext == ".jpg" || ext == ".jpeg" || ext == ".sgi" || ext == ".rle" || ext == ".rgb");
}

bool hasWorldFile(const std::string& path) {
  const std::string ext = extensionOf(path);
  if (ext != ".jpg" && ext != ".jpeg") return false;
  const std::string base = path.substr(0, path.size() - ext.size());
  for (const char* world : {".jgw", ".jpgw", ".wld", ".JGW", ".JPGW", ".WLD"}) {
    if (exists(base + world)) return true;
  }
  return false;
}

RasterPlacement placeRaster(const std::string& path) {
  RasterPlacement placement;
  std::unique_ptr<RasterSource> raster = openRaster(path, &placement.error);
  if (!raster) return placement;
  if (raster->georeferenced()) {
    placement.mesh = buildRasterMesh(*raster, kRasterMeshToleranceMeters, kRasterMeshMaxCells);
  }
  if (placement.mesh.placed) {
    const RasterMesh& m = placement.mesh;
    // Lower-left, lower-right, upper-right, upper-left; the mesh's rows run top first.
    const RasterMeshVertex* at[4] = {&m.vertex(0, m.rows), &m.vertex(m.cols, m.rows),
                                     &m.vertex(m.cols, 0), &m.vertex(0, 0)};
    for (int i = 0; i < 4; ++i) {
      placement.corners[i][0] = at[i]->ground.longitude;
      placement.corners[i][1] = at[i]->ground.latitude;
    }
  }
  placement.raster = std::move(raster);
  return placement;
}

size_t setRasterTextureBudget(size_t bytes) {
  const size_t previous = gBudgetBytes;
  gBudgetBytes = bytes > 0 ? bytes : TextureBudget::kDefaultBudgetBytes;
  return previous;
}

size_t rasterTextureBudget() {
  return gBudgetBytes;
}

std::unique_ptr<MapLayer> makeMapLayer(const std::string& path, const MapLayer::Corners corners,
                                       const RasterPlacement* placement, double minExtent,
                                       double maxExtent) {
  if (placement == nullptr || !placement->raster || !readsAsRaster(path)) {
    return std::make_unique<MapLayer>(path.c_str(), corners[0][0], corners[2][0], corners[0][1],
                                      corners[2][1], minExtent, maxExtent);
  }
  const RasterSource& raster = *placement->raster;
  // Laid by its georeference while the corners are the ones it gives (edits then move it by
  // the corners' moves); by the corners alone once a setup file or the operator placed it.
  if (placement->mesh.placed && sameCorners(corners, placement->corners)) {
    return std::make_unique<RasterLayer>(placement->raster, placement->mesh, path.c_str(),
                                         placement->corners, minExtent, maxExtent, gBudgetBytes);
  }
  RasterMesh mesh =
      RasterLayer::cornerMesh(double(raster.width()), double(raster.height()), corners);
  return std::make_unique<RasterLayer>(placement->raster, std::move(mesh), path.c_str(), corners,
                                       minExtent, maxExtent, gBudgetBytes);
}
