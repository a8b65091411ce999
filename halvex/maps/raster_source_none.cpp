// The raster reader of a build without GDAL: every raster is refused with the reason.
#include "halvex/maps/raster_source.h"

bool rasterSupportBuilt() {
  return false;
}

std::unique_ptr<RasterSource> openRaster(const std::string&, std::string* error,
                                         const RasterOpenOptions&) {
  if (error != nullptr) *error = "GDAL support is not built in";
  return nullptr;
}
