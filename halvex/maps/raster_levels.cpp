#include "halvex/maps/raster_levels.h"

#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_utils.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/platform/atomic_file.h"
#include "common/platform/file_stamp.h"
#include "halvex/maps/picture_limit.h"
#include "halvex/maps/texture_cache_place.h"
#include "halvex/maps/tile_pyramid.h"

namespace {

/// Halves `size` k times, rounding up, as GDAL sizes an overview of factor 2^k.
int64_t halved(int64_t size, int k) {
  const int64_t factor = int64_t{1} << k;
  return (size + factor - 1) / factor;
}

/// GDAL's progress callback: goes on until the flag at `data` is set.
int CPL_STDCALL keepGoing(double, const char*, void* data) {
  return static_cast<const std::atomic<bool>*>(data)->load(std::memory_order_relaxed) ? FALSE
                                                                                      : TRUE;
}

bool fail(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
  return false;
}

/// The last failure GDAL reported on this thread, or `fallback`.
std::string gdalFailure(const std::string& fallback) {
  const char* message = CPLGetLastErrorMsg();
  return CPLGetLastErrorType() >= CE_Failure && message != nullptr && message[0] != '\0'
             ? std::string(message)
             : fallback;
}

/// Closes a dataset handle when it goes.
struct DatasetCloser {
  void operator()(void* ds) const {
    if (ds != nullptr) GDALClose(static_cast<GDALDatasetH>(ds));
  }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

/// Whether band `band` and its first `overviews` overviews have the sizes of `levels` (level 1
/// first) and blocks within the map picture limit.
bool bandMatches(GDALRasterBandH band, const std::vector<RasterLevel>& levels) {
  if (band == nullptr || GDALGetOverviewCount(band) < static_cast<int>(levels.size()) - 1) {
    return false;
  }
  const int pixelBytes = GDALGetDataTypeSizeBytes(GDALGetRasterDataType(band));
  for (size_t i = 0; i < levels.size(); ++i) {
    GDALRasterBandH level = i == 0 ? band : GDALGetOverview(band, static_cast<int>(i) - 1);
    if (level == nullptr || GDALGetRasterBandXSize(level) != levels[i].width ||
        GDALGetRasterBandYSize(level) != levels[i].height) {
      return false;
    }
    int blockW = 0, blockH = 0;
    GDALGetBlockSize(level, &blockW, &blockH);
    if (mapPictureBytes(blockW, blockH, pixelBytes) == 0) return false;
  }
  return true;
}

}  // namespace

std::string rasterLevelsPlace(const std::string& rasterPath) {
  return cacheFilePlace(rasterPath, kRasterLevelsExtension);
}

bool rasterWantsLevels(int64_t width, int64_t height, size_t fileLevels, int tileSize) {
  return fileLevels == 1 && std::max(width, height) > tileSize;
}

std::vector<RasterLevel> rasterLevelsFor(int64_t width, int64_t height, int tileSize) {
  std::vector<RasterLevel> levels;
  for (int k = 1; k < 63; ++k) {
    const RasterLevel level{halved(width, k), halved(height, k)};
    if (!levels.empty() && level.width == levels.back().width &&
        level.height == levels.back().height) {
      break;
    }
    levels.push_back(level);
    if (std::max(level.width, level.height) <= tileSize) break;
  }
  return levels;
}

std::string rasterLevelsStamp(const std::string& rasterPath) {
  const FileStamp stamp = fileStamp(rasterPath);
  if (!stamp.exists) return "";
  char nanoseconds[16];
  std::snprintf(nanoseconds, sizeof nanoseconds, "%09ld", stamp.nanoseconds);
  return std::to_string(stamp.size) + " bytes, modified " + std::to_string(stamp.seconds) + "." +
         nanoseconds;
}

bool readRasterLevels(const std::string& cachePath, const RasterLevelsSource& source,
                      std::vector<RasterLevel>& levels) {
  const char* const drivers[] = {"GTiff", nullptr};
  const Dataset ds(
      GDALOpenEx(cachePath.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, drivers, nullptr, nullptr));
  if (!ds) return false;
  const char* stamp = GDALGetMetadataItem(ds.get(), kRasterLevelsStampKey, nullptr);
  if (stamp == nullptr || source.stamp.empty() || source.stamp != stamp ||
      GDALGetRasterCount(ds.get()) != source.bands) {
    return false;
  }
  const std::vector<RasterLevel> expected =
      rasterLevelsFor(source.width, source.height, TilePyramid::kDefaultTileSize);
  for (int b = 1; b <= source.bands; ++b) {
    if (!bandMatches(GDALGetRasterBand(ds.get(), b), expected)) return false;
  }
  levels = expected;
  return true;
}

bool makeRasterLevels(const RasterLevelsSource& source, const std::string& cachePath,
                      const std::atomic<bool>& cancel, std::string* error) {
  CPLErrorReset();
  std::vector<const char*> drivers;
  for (const std::string& d : source.allowedDrivers) drivers.push_back(d.c_str());
  drivers.push_back(nullptr);
  const Dataset from(GDALOpenEx(source.path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY,
                                source.allowedDrivers.empty() ? nullptr : drivers.data(), nullptr,
                                nullptr));
  if (!from) return fail(error, gdalFailure("cannot open " + source.path));
  const std::vector<RasterLevel> levels =
      rasterLevelsFor(source.width, source.height, TilePyramid::kDefaultTileSize);
  if (levels.empty()) return fail(error, "the raster needs no coarser levels");

  // GDAL writes the temporary file of the replacement through its descriptor's name, so that
  // the replacement keeps its guarantees (hidden name, mode, never through a link, gone on
  // failure).
  AtomicFile file(cachePath, Durability::kKeep, LinkPolicy::kReplaceLink);
  if (!file.open()) return fail(error, std::strerror(errno));
  const std::string temporary = "/proc/self/fd/" + std::to_string(fileno(file.stream()));

  const std::string block = std::to_string(kRasterLevelsBlock);
  const std::string width = std::to_string(levels[0].width);
  const std::string height = std::to_string(levels[0].height);
  std::vector<std::string> args = {"-of",      "GTiff", "-r",  source.resampling,
                                   "-outsize", width,   height};
  const std::string creation[] = {"TILED=YES", "BLOCKXSIZE=" + block, "BLOCKYSIZE=" + block,
                                  "COMPRESS=DEFLATE", "BIGTIFF=IF_SAFER"};
  for (const std::string& option : creation) args.insert(args.end(), {"-co", option});
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  GDALTranslateOptions* options = GDALTranslateOptionsNew(argv.data(), nullptr);
  if (options == nullptr) return fail(error, gdalFailure("bad options for the levels cache"));
  GDALTranslateOptionsSetProgress(options, keepGoing, const_cast<std::atomic<bool>*>(&cancel));
  Dataset made(GDALTranslate(temporary.c_str(), from.get(), options, nullptr));
  GDALTranslateOptionsFree(options);
  if (cancel) return fail(error, "cancelled");
  if (!made) return fail(error, gdalFailure("cannot write " + cachePath));

  // Levels 2, 3, ... are overviews of level 1 inside the same file.
  std::vector<int> factors;
  for (size_t k = 1; k < levels.size(); ++k) factors.push_back(1 << k);
  if (!factors.empty() &&
      GDALBuildOverviews(made.get(), source.resampling.c_str(), static_cast<int>(factors.size()),
                         factors.data(), 0, nullptr, keepGoing,
                         const_cast<std::atomic<bool>*>(&cancel)) != CE_None) {
    return fail(error, cancel ? "cancelled" : gdalFailure("cannot write " + cachePath));
  }
  if (GDALSetMetadataItem(made.get(), kRasterLevelsStampKey, source.stamp.c_str(), nullptr) !=
      CE_None) {
    return fail(error, gdalFailure("cannot write " + cachePath));
  }
  CPLErrorReset();
  made.reset();  // writes the rest of the file
  if (CPLGetLastErrorType() >= CE_Failure)
    return fail(error, gdalFailure("cannot write " + cachePath));
  std::vector<RasterLevel> check;
  if (!readRasterLevels(temporary, source, check)) {
    return fail(error, "the levels written to " + cachePath + " do not read back");
  }
  if (!file.commit()) return fail(error, std::strerror(errno));
  return true;
}
