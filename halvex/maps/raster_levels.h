// The levels cache of a raster that has no overviews of its own: its coarser levels of detail,
// each half the one before, made once with GDAL into one tiled GeoTIFF beside the raster (or in
// the user's cache folder, as the texture cache), so that a zoomed-out view reads a few small
// tiles instead of the whole raster.
//
// The cache file: its main image is level 1 (half the raster's width and height, rounded up),
// its internal overviews levels 2, 3, ... (each half level 1's size again, rounded up), down to
// the first level that fits in one tile. It has the raster's bands, types, palette and nodata
// values, averaged (palette indices take the most common value). Its metadata item
// kRasterLevelsStampKey holds the raster file's size and modification time: a raster changed
// since makes it stale. A cache is written to a temporary file in its folder and renamed over the
// old one, so that a crash leaves the old cache or none, never a part of one.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "halvex/maps/raster_source.h"

/// Extension of a raster's levels cache: "town.tif" has "town.levels.tif".
constexpr const char* kRasterLevelsExtension = ".levels.tif";
/// The cache's metadata item that holds the raster file's stamp.
constexpr const char* kRasterLevelsStampKey = "HALVEX_LEVELS_OF";
/// Tile edge of the cache's blocks, pixels: a 512-pixel tile of the view reads four of them.
constexpr int kRasterLevelsBlock = 256;

/// What a levels cache is made from and must match.
struct RasterLevelsSource {
  std::string path;                         ///< The raster file.
  std::vector<std::string> allowedDrivers;  ///< As the raster was opened with; empty for all.
  int64_t width = 0;                        ///< Level 0, pixels.
  int64_t height = 0;
  int bands = 0;  ///< Bands of the raster file, all copied.
  /// How a level's pixel is made of the finer level's: "average" for colours and measurements,
  /// "mode" (the most common value) for palette indices.
  std::string resampling = "average";
  std::string stamp;  ///< rasterLevelsStamp() of the file when it was opened.
};

/// Where the levels cache of the raster at `rasterPath` goes: as the texture cache of a map
/// image, with kRasterLevelsExtension.
std::string rasterLevelsPlace(const std::string& rasterPath);

/// Whether a raster of `width` x `height` pixels whose file has `fileLevels` levels (level 0 and
/// its overviews) gets a levels cache: it has no overviews and is larger than one tile of
/// `tileSize` pixels either way.
bool rasterWantsLevels(int64_t width, int64_t height, size_t fileLevels, int tileSize);

/// The levels a cache holds for a `width` x `height` raster: level 1 (half of it, rounded up),
/// then ceil(size / 2^k) for level k, down to the first that fits in one `tileSize` tile.
std::vector<RasterLevel> rasterLevelsFor(int64_t width, int64_t height, int tileSize);

/// The stamp of the file at `rasterPath` kept in its cache: "<bytes> bytes, modified
/// <seconds>.<nanoseconds>". Empty when the file cannot be read (it gets no cache).
std::string rasterLevelsStamp(const std::string& rasterPath);

/// Reads the levels cache at `cachePath`: true with `levels` (level 1 first) when it is a GeoTIFF
/// made for `source` as it is now (its stamp, its band count, its levels' sizes) whose blocks are
/// all within the map picture limit; false for a missing, stale, damaged or foreign file. GDAL's
/// messages go to the caller's error handler.
bool readRasterLevels(const std::string& cachePath, const RasterLevelsSource& source,
                      std::vector<RasterLevel>& levels);

/// Makes the levels cache of `source` at `cachePath`, replacing the file there only when the new
/// one is complete and reads back (readRasterLevels). Slow for a large raster: run it on a thread
/// of its own. Stops soon after `cancel` becomes true, leaving the old file. False with `error`
/// set when it cannot (a folder that takes no file, a raster that fails to read, cancelled).
bool makeRasterLevels(const RasterLevelsSource& source, const std::string& cachePath,
                      const std::atomic<bool>& cancel, std::string* error);
