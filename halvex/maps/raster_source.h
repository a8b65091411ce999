// A georeferenced raster read through GDAL (GeoTIFF, JPEG 2000, MBTiles, a picture with a world
// file, ...): its size, its levels of detail, where its pixels lie on the WGS 84 ground, and its
// pixels read a window at a time as RGBA bytes. No OpenGL: tiles are read on loader threads and
// handed to the drawing thread as bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// A point of the raster, in pixels of its full-resolution level: x to the right from the left
/// edge, y down from the top edge (0,0 is the top-left corner of the top-left pixel).
struct RasterPoint {
  double x = 0;
  double y = 0;
};

/// A place on the ground: longitude and latitude in degrees, WGS 84, west and south negative.
struct GroundPoint {
  double longitude = 0;
  double latitude = 0;
};

/// One level of detail: the full raster (level 0) or an overview of it, `width` x `height`
/// pixels covering the whole raster.
struct RasterLevel {
  int64_t width = 0;
  int64_t height = 0;
};

/// An open raster. Not copyable; every member may be called from several threads at once
/// (readTile() takes a dataset handle of its own from a small pool, toGround() serialises on the
/// coordinate transformation).
class RasterSource {
 public:
  virtual ~RasterSource() = default;

  /// Full-resolution size, pixels.
  virtual int64_t width() const = 0;
  virtual int64_t height() const = 0;
  /// Level 0 first, then ever coarser ones (the file's overviews, or those of its levels cache,
  /// see raster_levels.h). A raster whose cache is being made gains its levels once while open:
  /// a reference returned stays valid while the raster lives, a later call may return another.
  virtual const std::vector<RasterLevel>& levels() const = 0;
  /// Grows each time levels() changes. Read it before levels(): a view whose tiles were cut from
  /// the levels of an older version cuts them again.
  virtual uint64_t levelsVersion() const { return 0; }
  /// Whether the raster's levels cache is being made: levels() may still grow.
  virtual bool levelsPending() const { return false; }
  /// Whether the raster has a georeference that places it (a geotransform or ground control
  /// points, and a known spatial reference).
  virtual bool georeferenced() const = 0;
  /// The ground position of raster point `p`; false when it cannot be transformed.
  virtual bool toGround(RasterPoint p, GroundPoint& ground) const = 0;
  /// Reads the window (x, y, w, h) of level `level` (in that level's pixels) into `rgba`
  /// (w * h * 4 bytes, rows top first). Grey, palette, RGB and RGBA bands become RGBA; a pixel
  /// without data is transparent. False with `error` set when the window cannot be read or its
  /// size is above the map picture limit.
  virtual bool readTile(int level, int64_t x, int64_t y, int w, int h, std::vector<uint8_t>& rgba,
                        std::string* error) const = 0;
};

/// Dataset handles a raster keeps open at most by default: one per tile loader thread, each
/// handle holding its own decoder state and block cache entries.
constexpr int kRasterDefaultHandles = 4;

/// How openRaster opens a file.
struct RasterOpenOptions {
  /// Short names of the GDAL drivers the file may be opened with ("GTiff", "PNG", ...); empty
  /// lets every driver try.
  std::vector<std::string> allowedDrivers;
  /// Dataset handles kept open at most for readTile calls running at once; further calls wait
  /// for a handle to be free.
  int maxHandles = kRasterDefaultHandles;
  /// Whether a raster without overviews larger than one tile reads its coarser levels from a
  /// levels cache, made on a thread of its own when missing or stale (raster_levels.h). Without
  /// it a zoomed-out view reads the full resolution, slowly.
  bool levelsCache = true;
};

/// Whether this build reads rasters through GDAL.
bool rasterSupportBuilt();

/// Opens `path` read-only. Null with `error` set when GDAL cannot open it as a raster, the build
/// has no GDAL ("GDAL support is not built in"), or its size is absurd. GDAL's own errors are
/// routed to the image readers' error hook (sgi_image.h) rather than printed by GDAL; the first
/// failure GDAL reports is the error text. A levels cache (RasterOpenOptions::levelsCache) that
/// is usable is read at once; one missing or stale is made on a thread the raster ends with it,
/// and a cache that cannot be written is reported to the hook once per process.
std::unique_ptr<RasterSource> openRaster(const std::string& path, std::string* error,
                                         const RasterOpenOptions& options = {});
