// Which reader a map file takes, and the placement of a raster that GDAL reads: the JPEG and SGI
// pictures keep their own readers, every other map file is a raster whose georeference places
// it, drawn in tiles by a RasterLayer.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "halvex/maps/map_layer.h"
#include "halvex/maps/raster_mesh.h"
#include "halvex/maps/raster_source.h"

/// How far an interpolated point of a raster's mesh may lie from its exact place, m: a metre is
/// below a screen pixel at every zoom where a pixel of a map spans more than that, and the mesh
/// stays small where it does not.
constexpr double kRasterMeshToleranceMeters = 1.0;
/// Most cells of a raster's mesh: a raster over a whole zone stays a few thousand quads.
constexpr int kRasterMeshMaxCells = 4096;

/// Whether `path` is read through GDAL: any map file but a JPEG (.jpg, .jpeg) or an SGI picture
/// (.sgi, .rle, .rgb), which keep their own readers.
bool readsAsRaster(const std::string& path);
/// Whether a world file lies beside `path` (.jgw, .jpgw or .wld for a JPEG): GDAL then places
/// the picture.
bool hasWorldFile(const std::string& path);

/// A raster opened for a map and where it lies.
struct RasterPlacement {
  std::shared_ptr<const RasterSource> raster;  ///< Null when it could not be opened.
  RasterMesh mesh;                             ///< Placed when the raster is georeferenced.
  MapLayer::Corners corners = {};  ///< The mesh's raster corners: lower-left, ..., upper-left.
  std::string error;               ///< Why it could not be opened.

  bool georeferenced() const { return raster && mesh.placed; }
};

/// Opens `path` and, when it has a georeference, builds its mesh and corners.
RasterPlacement placeRaster(const std::string& path);

/// The texture memory every raster layer may hold, bytes ("Map TextureBudgetMB N"); values
/// below 1 restore the default. Returns the previous budget.
size_t setRasterTextureBudget(size_t bytes);
size_t rasterTextureBudget();

/// The layer that draws the map at `path` between `corners`: a RasterLayer over `placement`'s
/// raster (its mesh when the corners are the georeferenced ones, else the corners alone) when
/// the file is read through GDAL and was opened, else the picture's MapLayer.
std::unique_ptr<MapLayer> makeMapLayer(const std::string& path, const MapLayer::Corners corners,
                                       const RasterPlacement* placement, double minExtent,
                                       double maxExtent);
