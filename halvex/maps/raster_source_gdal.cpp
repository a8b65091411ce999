// Rasters read through GDAL: the georeference, the levels of detail and RGBA tiles.
//
// Threads: a GDAL dataset handle must not be used by two threads at once, so a raster keeps a
// small pool of handles to the same file; readTile() borrows one (opening another, up to
// RasterOpenOptions::maxHandles, when all are busy, else waiting for one). The coordinate
// transformation is not thread-safe either and is used under a mutex.
//
// Levels: a raster without overviews gets its coarser levels from a levels cache
// (raster_levels.h). A usable cache is opened with the raster; one missing or stale is made on a
// thread of the raster's own, which publishes the cache's levels (and a pool of handles to it)
// once, through an atomic version that levels() and readTile() read; the raster's destructor
// cancels that thread and joins it.
//
// Errors: GDAL reports through its error handler, never by printing here. Each call into GDAL
// runs under a handler of its own (GDAL keeps that stack per thread) that keeps the first
// failure as the call's error text and hands it to the image readers' error hook; warnings are
// dropped. Messages GDAL raises outside those calls go to the hook through a process-wide
// handler.
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <gdal_alg.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <set>
#include <thread>

#include "halvex/maps/picture_limit.h"
#include "halvex/maps/raster_levels.h"
#include "halvex/maps/raster_source.h"
#include "halvex/maps/sgi_image.h"
#include "halvex/maps/tile_pyramid.h"

namespace {

/// Largest width or height accepted, pixels: beyond it a size is taken for a damaged header.
constexpr int64_t kMaxRasterSide = int64_t{1} << 31;
/// Fewest ground control points that place a raster (a first-order polynomial needs three).
constexpr int kMinGcps = 3;
/// Bytes of an RGBA pixel.
constexpr int kRgbaBytes = 4;
/// Bytes of a pixel of the scratch rows that hold bands of other types than bytes.
constexpr int kScratchBytes = sizeof(double);
/// Opaque alpha.
constexpr uint8_t kOpaque = 255;
/// Largest byte value, the top of the stretch.
constexpr double kByteTop = 255.0;

/// Hands `message` to the image readers' hook, with the line end its messages carry.
void forwardToHook(const char* message) {
  if (const SgiErrorHook hook = sgiErrorHook()) {
    std::string line = std::string("GDAL: ") + message + "\n";
    hook(line.c_str());
  }
}

/// GDAL's handler outside our calls: failures to the hook, the rest dropped.
void CPL_STDCALL processHandler(CPLErr level, CPLErrorNum, const char* message) {
  if (level >= CE_Failure && message != nullptr) forwardToHook(message);
}

/// Registers GDAL's drivers and its handler once for the process.
void ensureGdal() {
  static std::once_flag once;
  std::call_once(once, [] {
    CPLSetErrorHandler(processHandler);
    GDALAllRegister();
  });
}

/// Collects GDAL's messages on this thread while it lives: the first failure becomes the error
/// text (and, when `forward`, goes to the hook, once: a damaged file raises one message a block).
class ErrorCapture {
 public:
  explicit ErrorCapture(bool forward = true) : forward_(forward) {
    CPLPushErrorHandlerEx(handler, this);
  }
  ~ErrorCapture() { CPLPopErrorHandler(); }
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;

  /// The first failure, or `fallback` when GDAL reported none.
  std::string text(const std::string& fallback) const { return first_.empty() ? fallback : first_; }

 private:
  static void CPL_STDCALL handler(CPLErr level, CPLErrorNum, const char* message) {
    auto* self = static_cast<ErrorCapture*>(CPLGetErrorHandlerUserData());
    if (self == nullptr || level < CE_Failure || message == nullptr || !self->first_.empty()) {
      return;
    }
    self->first_ = message[0] != '\0' ? message : "unknown GDAL error";
    if (self->forward_) forwardToHook(message);
  }

  bool forward_;
  std::string first_;
};

bool fail(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
  return false;
}

/// A spatial reference handle, released with it.
struct SrsDeleter {
  void operator()(void* h) const {
    OSRDestroySpatialReference(static_cast<OGRSpatialReferenceH>(h));
  }
};
using SrsHandle = std::unique_ptr<void, SrsDeleter>;

struct TransformDeleter {
  void operator()(void* h) const {
    OCTDestroyCoordinateTransformation(static_cast<OGRCoordinateTransformationH>(h));
  }
};
using TransformHandle = std::unique_ptr<void, TransformDeleter>;

struct GcpTransformerDeleter {
  void operator()(void* h) const { GDALDestroyGCPTransformer(h); }
};
using GcpTransformerHandle = std::unique_ptr<void, GcpTransformerDeleter>;

/// Whether the six affine terms place pixels somewhere: finite, invertible and not GDAL's
/// default (0, 1, 0, 0, 0, 1), which it reports for rasters without a georeference.
bool usableGeoTransform(const double* gt) {
  for (int i = 0; i < 6; ++i) {
    if (!std::isfinite(gt[i])) return false;
  }
  const bool identity =
      gt[0] == 0 && gt[1] == 1 && gt[2] == 0 && gt[3] == 0 && gt[4] == 0 && gt[5] == 1;
  return !identity && gt[1] * gt[5] - gt[2] * gt[4] != 0;
}

void applyGeoTransform(const double* gt, double x, double y, double& gx, double& gy) {
  gx = gt[0] + x * gt[1] + y * gt[2];
  gy = gt[3] + x * gt[4] + y * gt[5];
}

/// Whether every corner of a width x height raster placed by `gt` lies within longitude and
/// latitude ranges.
bool cornersLookLikeDegrees(const double* gt, double width, double height) {
  const double xs[] = {0, width, 0, width};
  const double ys[] = {0, 0, height, height};
  for (int i = 0; i < 4; ++i) {
    double gx = 0, gy = 0;
    applyGeoTransform(gt, xs[i], ys[i], gx, gy);
    if (!(gx >= -180 && gx <= 180 && gy >= -90 && gy <= 90)) return false;
  }
  return true;
}

/// WGS 84 longitude/latitude in longitude, latitude order.
SrsHandle wgs84() {
  SrsHandle srs(OSRNewSpatialReference(nullptr));
  if (OSRSetWellKnownGeogCS(srs.get(), "WGS84") != OGRERR_NONE) return nullptr;
  OSRSetAxisMappingStrategy(srs.get(), OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

/// Which bands make the red, green, blue and alpha of a tile.
struct BandLayout {
  enum class Kind { kGrey, kPalette, kRgb };
  Kind kind = Kind::kGrey;
  /// Bands (1-based) of red, green and blue; grey and palette use the first.
  std::array<int, 3> colour = {1, 1, 1};
  /// Alpha band, 0 when none.
  int alpha = 0;
  /// The first colour band's mask is a per-dataset mask (not nodata, not alpha) to use as alpha.
  bool datasetMask = false;
  /// Palette entries as RGBA.
  std::vector<std::array<uint8_t, 4>> palette;
};

BandLayout chooseBands(GDALDatasetH ds) {
  BandLayout layout;
  const int count = GDALGetRasterCount(ds);
  int byInterp[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  for (int i = 1; i <= count; ++i) {
    const GDALColorInterp interp = GDALGetRasterColorInterpretation(GDALGetRasterBand(ds, i));
    const int slot = interp == GCI_RedBand     ? 0
                     : interp == GCI_GreenBand ? 1
                     : interp == GCI_BlueBand  ? 2
                     : interp == GCI_AlphaBand ? 3
                                               : -1;
    if (slot >= 0 && byInterp[slot] == 0) byInterp[slot] = i;
  }
  layout.alpha = byInterp[3];
  GDALRasterBandH first = GDALGetRasterBand(ds, 1);
  const GDALColorInterp firstInterp = GDALGetRasterColorInterpretation(first);
  GDALColorTableH table = GDALGetRasterColorTable(first);
  if (byInterp[0] != 0 && byInterp[1] != 0 && byInterp[2] != 0) {
    layout.kind = BandLayout::Kind::kRgb;
    layout.colour = {byInterp[0], byInterp[1], byInterp[2]};
  } else if (firstInterp == GCI_PaletteIndex && table != nullptr) {
    layout.kind = BandLayout::Kind::kPalette;
    const int entries = GDALGetColorEntryCount(table);
    for (int i = 0; i < entries; ++i) {
      GDALColorEntry e{};
      GDALGetColorEntryAsRGB(table, i, &e);
      auto byte = [](short v) { return static_cast<uint8_t>(std::clamp<int>(v, 0, kByteTop)); };
      layout.palette.push_back({byte(e.c1), byte(e.c2), byte(e.c3), byte(e.c4)});
    }
  } else if (count >= 3 && firstInterp != GCI_GrayIndex && firstInterp != GCI_AlphaBand) {
    // Three or more bands without colour names are taken for red, green, blue (and a fourth,
    // when there are exactly four, for alpha).
    layout.kind = BandLayout::Kind::kRgb;
    layout.colour = {1, 2, 3};
    if (layout.alpha == 0 && count == 4 &&
        GDALGetRasterColorInterpretation(GDALGetRasterBand(ds, 4)) == GCI_Undefined) {
      layout.alpha = 4;
    }
  }
  if (std::find(layout.colour.begin(), layout.colour.end(), layout.alpha) != layout.colour.end()) {
    layout.alpha = 0;
  }
  if (layout.alpha == 0) {
    const int flags = GDALGetMaskFlags(GDALGetRasterBand(ds, layout.colour[0]));
    layout.datasetMask =
        (flags & GMF_PER_DATASET) != 0 && (flags & (GMF_ALL_VALID | GMF_NODATA | GMF_ALPHA)) == 0;
  }
  return layout;
}

/// Bands (1-based) a tile reads: the distinct colour bands, then alpha.
std::vector<int> bandsRead(const BandLayout& layout) {
  std::vector<int> bands;
  for (int b : layout.colour) {
    if (std::find(bands.begin(), bands.end(), b) == bands.end()) bands.push_back(b);
  }
  if (layout.alpha != 0) bands.push_back(layout.alpha);
  return bands;
}

/// Opens `path` as a raster, read-only, with the allowed drivers (all when empty); null with
/// `error` set.
GDALDatasetH openDataset(const std::string& path, const std::vector<std::string>& allowed,
                         std::string* error) {
  ErrorCapture capture;
  std::vector<const char*> drivers;
  for (const std::string& d : allowed) drivers.push_back(d.c_str());
  drivers.push_back(nullptr);
  GDALDatasetH ds =
      GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                 allowed.empty() ? nullptr : drivers.data(), nullptr, nullptr);
  if (ds == nullptr) fail(error, capture.text("cannot open " + path + " as a raster"));
  return ds;
}

/// Levels of detail: level 0, then the overviews every band read has at the same size,
/// finer to coarser. `overview` receives each level's overview index (-1 for level 0).
void findLevels(GDALDatasetH ds, const std::vector<int>& bands, std::vector<RasterLevel>& levels,
                std::vector<int>& overview) {
  GDALRasterBandH first = GDALGetRasterBand(ds, bands[0]);
  levels = {RasterLevel{GDALGetRasterXSize(ds), GDALGetRasterYSize(ds)}};
  overview = {-1};
  std::vector<std::pair<RasterLevel, int>> found;
  const int count = GDALGetOverviewCount(first);
  for (int i = 0; i < count; ++i) {
    GDALRasterBandH o = GDALGetOverview(first, i);
    if (o == nullptr) continue;
    const RasterLevel level{GDALGetRasterBandXSize(o), GDALGetRasterBandYSize(o)};
    bool everyBand = level.width > 0 && level.height > 0;
    for (size_t b = 1; b < bands.size() && everyBand; ++b) {
      GDALRasterBandH other = GDALGetOverview(GDALGetRasterBand(ds, bands[b]), i);
      everyBand = other != nullptr && GDALGetRasterBandXSize(other) == level.width &&
                  GDALGetRasterBandYSize(other) == level.height;
    }
    if (everyBand) found.push_back({level, i});
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first.width > b.first.width; });
  for (const auto& [level, index] : found) {
    const RasterLevel& last = levels.back();
    if (level.width >= last.width || level.height > last.height) continue;
    levels.push_back(level);
    overview.push_back(index);
  }
}

/// The stretch of a band that is not bytes: [low, high] maps linearly onto 0..255.
struct Stretch {
  double low = 0;
  double high = kByteTop;
};

/// Maps `v` through `s` to a byte; a band of one value (low == high) is drawn white.
uint8_t stretchToByte(double v, const Stretch& s) {
  if (!(s.high > s.low)) return kOpaque;
  const double t = (v - s.low) * kByteTop / (s.high - s.low);
  return static_cast<uint8_t>(std::lround(std::clamp(t, 0.0, kByteTop)));
}

/// Dataset handles to one file for reads running at once: opened as reads need them, up to a
/// most, and kept for the next read.
class HandlePool {
 public:
  HandlePool(std::string path, std::vector<std::string> allowed, int most)
      : path_(std::move(path)), allowed_(std::move(allowed)), most_(std::max(1, most)) {}
  ~HandlePool() {
    for (GDALDatasetH ds : idle_) GDALClose(ds);
  }
  HandlePool(const HandlePool&) = delete;
  HandlePool& operator=(const HandlePool&) = delete;

  /// Takes `ds`, a handle to the file opened already, as the pool's first.
  void adopt(GDALDatasetH ds) {
    std::lock_guard<std::mutex> lock(mutex_);
    idle_.push_back(ds);
    ++open_;
  }

  /// A handle for one read: an idle one, a new one while fewer than the most are open, else the
  /// next one given back. Null with `error` set when the file no longer opens.
  GDALDatasetH borrow(std::string* error) {
    std::unique_lock<std::mutex> lock(mutex_);
    free_.wait(lock, [this] { return !idle_.empty() || open_ < most_; });
    if (!idle_.empty()) {
      GDALDatasetH ds = idle_.back();
      idle_.pop_back();
      return ds;
    }
    ++open_;
    lock.unlock();
    GDALDatasetH ds = openDataset(path_, allowed_, error);
    if (ds == nullptr) {
      lock.lock();
      --open_;
      free_.notify_one();
    }
    return ds;
  }

  void giveBack(GDALDatasetH ds) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      idle_.push_back(ds);
    }
    free_.notify_one();
  }

 private:
  const std::string path_;
  const std::vector<std::string> allowed_;
  const int most_;
  std::mutex mutex_;
  std::condition_variable free_;
  std::vector<GDALDatasetH> idle_;
  int open_ = 0;
};

/// A dataset handle borrowed from a pool for one read, given back when it goes.
class Lease {
 public:
  Lease(HandlePool& pool, std::string* error) : pool_(pool), ds_(pool.borrow(error)) {}
  ~Lease() {
    if (ds_ != nullptr) pool_.giveBack(ds_);
  }
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;
  GDALDatasetH get() const { return ds_; }

 private:
  HandlePool& pool_;
  GDALDatasetH ds_;
};

/// Hands a message about a levels cache to the image readers' hook, once per cache path in the
/// process (a map opened again does not repeat it).
void reportLevelsOnce(const std::string& cachePath, const std::string& message) {
  static std::mutex mutex;
  static std::set<std::string> reported;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!reported.insert(cachePath).second) return;
  }
  if (const SgiErrorHook hook = sgiErrorHook()) hook((message + "\n").c_str());
}

class GdalRaster : public RasterSource {
 public:
  GdalRaster(std::string path, const RasterOpenOptions& options, GDALDatasetH first)
      : path_(std::move(path)),
        allowed_(options.allowedDrivers),
        maxHandles_(std::max(1, options.maxHandles)),
        pool_(path_, allowed_, maxHandles_) {
    pool_.adopt(first);
    width_ = GDALGetRasterXSize(first);
    height_ = GDALGetRasterYSize(first);
    layout_ = chooseBands(first);
    bands_ = bandsRead(layout_);
    findLevels(first, bands_, levels_, overview_);
    for (int b : bands_) {
      GDALRasterBandH band = GDALGetRasterBand(first, b);
      isByte_.push_back(GDALGetRasterDataType(band) == GDT_Byte);
      anyStretched_ = anyStretched_ || !isByte_.back();
      int has = 0;
      const double value = GDALGetRasterNoDataValue(band, &has);
      hasNodata_.push_back(has != 0);
      nodata_.push_back(value);
    }
    stretch_.resize(bands_.size());
    placeOnGround(first);
  }

  ~GdalRaster() override {
    cancelLevels_ = true;
    if (levelsThread_.joinable()) levelsThread_.join();
  }

  int64_t width() const override { return width_; }
  int64_t height() const override { return height_; }
  const std::vector<RasterLevel>& levels() const override {
    const CachedLevels* cached = cachedLevels();
    return cached != nullptr ? cached->levels : levels_;
  }
  uint64_t levelsVersion() const override { return levelsVersion_.load(std::memory_order_acquire); }
  bool levelsPending() const override { return levelsPending_.load(std::memory_order_acquire); }

  /// Reads the levels cache when the raster wants one: at once when it is usable, else after
  /// making it on the levels thread.
  void startLevels(const RasterOpenOptions& options) {
    if (!options.levelsCache ||
        !rasterWantsLevels(width_, height_, levels_.size(), TilePyramid::kDefaultTileSize)) {
      return;
    }
    RasterLevelsSource source;
    source.path = path_;
    source.allowedDrivers = allowed_;
    source.width = width_;
    source.height = height_;
    source.stamp = rasterLevelsStamp(path_);
    if (source.stamp.empty()) return;  // not a file of its own: nothing to stamp a cache with
    source.resampling = layout_.kind == BandLayout::Kind::kPalette ? "mode" : "average";
    {
      Lease lease(pool_, nullptr);
      if (lease.get() == nullptr) return;
      source.bands = GDALGetRasterCount(lease.get());
    }
    std::string cache = rasterLevelsPlace(path_);
    std::vector<RasterLevel> found;
    {
      ErrorCapture quiet(false);
      if (readRasterLevels(cache, source, found)) {
        publishLevels(cache, found);
        return;
      }
    }
    levelsPending_ = true;
    levelsThread_ = std::thread([this, source, cache] {
      makeLevels(source, cache);
      levelsPending_.store(false, std::memory_order_release);
    });
  }
  bool georeferenced() const override { return georeferenced_; }

  bool toGround(RasterPoint p, GroundPoint& ground) const override {
    if (!georeferenced_ || !std::isfinite(p.x) || !std::isfinite(p.y)) return false;
    double x = p.x, y = p.y, z = 0;
    if (gcpTransformer_) {
      std::lock_guard<std::mutex> lock(transformMutex_);
      int ok = 0;
      if (!GDALGCPTransform(gcpTransformer_.get(), FALSE, 1, &x, &y, &z, &ok) || !ok) return false;
    } else {
      applyGeoTransform(geoTransform_, p.x, p.y, x, y);
    }
    if (transform_) {
      std::lock_guard<std::mutex> lock(transformMutex_);
      ErrorCapture quiet(false);
      if (!OCTTransform(static_cast<OGRCoordinateTransformationH>(transform_.get()), 1, &x, &y,
                        &z)) {
        return false;
      }
    }
    if (!std::isfinite(x) || !(y >= -90 && y <= 90)) return false;
    ground.longitude = x;
    ground.latitude = y;
    return true;
  }

  bool readTile(int level, int64_t x, int64_t y, int w, int h, std::vector<uint8_t>& rgba,
                std::string* error) const override;

 private:
  /// The levels of a levels cache and the handles that read it: level 0 of the raster, then the
  /// cache's levels, read from the cache's main image (level 1) and its overviews.
  struct CachedLevels {
    CachedLevels(const std::string& path, int handles) : pool(path, {"GTiff"}, handles) {}
    std::vector<RasterLevel> levels;
    mutable HandlePool pool;
  };

  /// The published cache, or null before it is.
  const CachedLevels* cachedLevels() const {
    return levelsVersion_.load(std::memory_order_acquire) != 0 ? cached_.get() : nullptr;
  }

  /// Makes the cache's levels readable: set once, before the version says so.
  void publishLevels(const std::string& cache, const std::vector<RasterLevel>& found) {
    auto cached = std::make_unique<CachedLevels>(cache, maxHandles_);
    cached->levels = levels_;
    cached->levels.insert(cached->levels.end(), found.begin(), found.end());
    cached_ = std::move(cached);
    levelsVersion_.fetch_add(1, std::memory_order_release);
  }

  /// The levels thread: makes the cache and publishes it, or says once why it cannot.
  void makeLevels(const RasterLevelsSource& source, const std::string& cache) {
    ErrorCapture quiet(false);
    std::string why;
    std::vector<RasterLevel> found;
    if (makeRasterLevels(source, cache, cancelLevels_, &why) &&
        readRasterLevels(cache, source, found)) {
      publishLevels(cache, found);
      return;
    }
    if (cancelLevels_) return;
    reportLevelsOnce(cache, "cannot write the levels cache " + cache + " (" + why + "): " + path_ +
                                " is drawn from its full resolution, slowly when zoomed out");
  }

  /// Finds the georeference: the geotransform, else ground control points, with a spatial
  /// reference. A geotransform without one (a picture with a world file, whose world file
  /// holds no projection) is taken for WGS 84 longitude and latitude when all four corners fall
  /// within their ranges, the usual case of such files made for maps; otherwise the raster is
  /// not georeferenced.
  void placeOnGround(GDALDatasetH ds) {
    ErrorCapture quiet(false);
    OGRSpatialReferenceH source = nullptr;
    SrsHandle assumed;
    if (GDALGetGeoTransform(ds, geoTransform_) == CE_None && usableGeoTransform(geoTransform_)) {
      source = GDALGetSpatialRef(ds);
      if (source == nullptr && cornersLookLikeDegrees(geoTransform_, static_cast<double>(width_),
                                                      static_cast<double>(height_))) {
        assumed = wgs84();
        source = assumed.get();
      }
    } else if (GDALGetGCPCount(ds) >= kMinGcps && GDALGetGCPSpatialRef(ds) != nullptr) {
      gcpTransformer_.reset(
          GDALCreateGCPTransformer(GDALGetGCPCount(ds), GDALGetGCPs(ds), 0, FALSE));
      if (gcpTransformer_) source = GDALGetGCPSpatialRef(ds);
    }
    if (source == nullptr) return;
    SrsHandle from(OSRClone(source));
    SrsHandle to = wgs84();
    if (!from || !to) return;
    OSRSetAxisMappingStrategy(from.get(), OAMS_TRADITIONAL_GIS_ORDER);
    if (!OSRIsSame(from.get(), to.get())) {
      transform_.reset(OCTNewCoordinateTransformation(from.get(), to.get()));
      if (!transform_) return;
    }
    georeferenced_ = true;
  }

  /// The band `band` (1-based) of `ds`, or its overview `overview` (-1 for the band itself).
  static GDALRasterBandH levelBand(GDALDatasetH ds, int band, int overview) {
    GDALRasterBandH full = GDALGetRasterBand(ds, band);
    return overview < 0 || full == nullptr ? full : GDALGetOverview(full, overview);
  }

  /// The stretch of band slot `i`, found once from the file's statistics or an approximate
  /// minimum and maximum (nodata excluded); 0..255 when neither is known.
  const Stretch& stretchOf(size_t i, GDALDatasetH ds) const {
    std::call_once(stretchOnce_, [&] {
      ErrorCapture quiet(false);
      for (size_t k = 0; k < bands_.size(); ++k) {
        if (isByte_[k]) continue;
        GDALRasterBandH band = GDALGetRasterBand(ds, bands_[k]);
        double range[2] = {0, 0}, mean = 0, deviation = 0;
        if (GDALGetRasterStatistics(band, TRUE, FALSE, &range[0], &range[1], &mean, &deviation) !=
                CE_None &&
            GDALComputeRasterMinMax(band, TRUE, range) != CE_None) {
          continue;
        }
        if (std::isfinite(range[0]) && std::isfinite(range[1])) stretch_[k] = {range[0], range[1]};
      }
    });
    return stretch_[i];
  }

  /// Reads band slot `slot` of the window of `ds`'s overview `overview` (-1 for its full
  /// image) into byte `channel` of each RGBA pixel, and marks in `atNodata` the pixels that hold
  /// the band's nodata value (or NaN) - cleared where they do not.
  bool readBand(GDALDatasetH ds, size_t slot, int channel, int overview, int x, int y, int w, int h,
                std::vector<uint8_t>& rgba, std::vector<uint8_t>* atNodata,
                std::vector<double>& scratch, std::string& why) const {
    GDALRasterBandH band = levelBand(ds, bands_[slot], overview);
    if (band == nullptr) return fail(&why, "the raster has no such level");
    // GDAL decodes whole blocks: the bound on decoded pictures holds for them too, so a file
    // declaring one huge compressed block fails here rather than inside GDAL's allocation.
    int blockW = 0, blockH = 0;
    GDALGetBlockSize(band, &blockW, &blockH);
    if (mapPictureBytes(blockW, blockH, GDALGetDataTypeSizeBytes(GDALGetRasterDataType(band))) ==
        0) {
      return fail(&why, "raster block " + std::to_string(blockW) + " x " + std::to_string(blockH) +
                            " is above the map picture limit");
    }
    const size_t pixels = static_cast<size_t>(w) * h;
    const bool palette = layout_.kind == BandLayout::Kind::kPalette && channel == 0;
    const bool byteNodata = hasNodata_[slot] && nodata_[slot] >= 0 && nodata_[slot] <= kByteTop &&
                            nodata_[slot] == std::floor(nodata_[slot]);
    if (isByte_[slot] && !palette) {
      if (GDALRasterIO(band, GF_Read, x, y, w, h, rgba.data() + channel, w, h, GDT_Byte, kRgbaBytes,
                       kRgbaBytes * w) != CE_None) {
        return false;
      }
      if (atNodata != nullptr) {
        const int value = byteNodata ? static_cast<int>(nodata_[slot]) : -1;
        for (size_t i = 0; i < pixels; ++i) {
          if (rgba[i * kRgbaBytes + channel] != value) (*atNodata)[i] = 0;
        }
      }
      return true;
    }
    if (scratch.empty()) {
      if (mapPictureBytes(w, h, kScratchBytes) == 0) {
        return fail(&why, "raster tile " + std::to_string(w) + " x " + std::to_string(h) +
                              " is above the map picture limit");
      }
      scratch.resize(pixels);
    }
    if (GDALRasterIO(band, GF_Read, x, y, w, h, scratch.data(), w, h, GDT_Float64, 0, 0) !=
        CE_None) {
      return false;
    }
    const Stretch stretch = palette ? Stretch{} : stretchOf(slot, ds);
    for (size_t i = 0; i < pixels; ++i) {
      const double v = scratch[i];
      const bool missing = std::isnan(v) || (hasNodata_[slot] && v == nodata_[slot]);
      if (atNodata != nullptr && !missing) (*atNodata)[i] = 0;
      uint8_t* out = &rgba[i * kRgbaBytes];
      if (!palette) {
        out[channel] = stretchToByte(v, stretch);
      } else if (v >= 0 && v < static_cast<double>(layout_.palette.size())) {
        const auto& entry = layout_.palette[static_cast<size_t>(v)];
        std::copy(entry.begin(), entry.end(), out);
      } else {
        out[0] = out[1] = out[2] = out[3] = 0;
      }
    }
    return true;
  }

  std::string path_;
  std::vector<std::string> allowed_;
  int maxHandles_;
  int64_t width_ = 0;
  int64_t height_ = 0;
  BandLayout layout_;
  std::vector<int> bands_;  ///< Bands read: the distinct colour bands, then alpha.
  std::vector<bool> isByte_;
  bool anyStretched_ = false;  ///< Some band read is not bytes.
  std::vector<bool> hasNodata_;
  std::vector<double> nodata_;
  std::vector<RasterLevel> levels_;
  std::vector<int> overview_;  ///< Overview index of each level, -1 for level 0.

  bool georeferenced_ = false;
  double geoTransform_[6] = {0, 1, 0, 0, 0, 1};
  GcpTransformerHandle gcpTransformer_;
  TransformHandle transform_;  ///< Null when the raster is already in WGS 84 degrees.
  mutable std::mutex transformMutex_;

  mutable std::once_flag stretchOnce_;
  mutable std::vector<Stretch> stretch_;

  mutable HandlePool pool_;

  std::unique_ptr<CachedLevels> cached_;  ///< Set once, before levelsVersion_ grows.
  std::atomic<uint64_t> levelsVersion_{0};
  std::atomic<bool> cancelLevels_{false};
  std::atomic<bool> levelsPending_{false};
  std::thread levelsThread_;  ///< Makes the levels cache; joined by the destructor.
};

bool GdalRaster::readTile(int level, int64_t x, int64_t y, int w, int h, std::vector<uint8_t>& rgba,
                          std::string* error) const {
  rgba.clear();
  const CachedLevels* cached = cachedLevels();
  const std::vector<RasterLevel>& levels = cached != nullptr ? cached->levels : levels_;
  if (level < 0 || level >= static_cast<int>(levels.size())) {
    return fail(error, "no raster level " + std::to_string(level));
  }
  const RasterLevel& size = levels[level];
  if (w <= 0 || h <= 0 || x < 0 || y < 0 || x > size.width - w || y > size.height - h) {
    return fail(error, "raster window " + std::to_string(w) + " x " + std::to_string(h) + " at " +
                           std::to_string(x) + ", " + std::to_string(y) +
                           " is outside the level of " + std::to_string(size.width) + " x " +
                           std::to_string(size.height));
  }
  const size_t bytes = mapPictureBytes(w, h, kRgbaBytes);
  if (bytes == 0) {
    return fail(error, "raster tile " + std::to_string(w) + " x " + std::to_string(h) +
                           " is above the map picture limit");
  }
  // The cache's levels come after the file's: its main image, then its overviews.
  const int fileLevels = static_cast<int>(levels_.size());
  const bool fromCache = level >= fileLevels;
  const int overview = fromCache ? level - fileLevels - 1 : overview_[level];
  if (fromCache && anyStretched_) {
    // Bands that are not bytes are stretched by the raster's own range, not the cache's.
    Lease source(pool_, error);
    if (source.get() == nullptr) return false;
    stretchOf(0, source.get());
  }
  Lease lease(fromCache ? cached->pool : pool_, error);
  if (lease.get() == nullptr) return false;
  ErrorCapture capture;
  std::string why;
  auto failed = [&] {
    rgba.clear();
    return fail(error, why.empty() ? capture.text("cannot read " + path_) : why);
  };
  const int ix = static_cast<int>(x), iy = static_cast<int>(y);
  rgba.assign(bytes, kOpaque);
  const size_t pixels = static_cast<size_t>(w) * h;
  // A pixel is transparent when every colour band that has a nodata value holds it there.
  const size_t colourSlots = bands_.size() - (layout_.alpha != 0 ? 1 : 0);
  bool anyNodata = false;
  for (size_t slot = 0; slot < colourSlots; ++slot) anyNodata = anyNodata || hasNodata_[slot];
  std::vector<uint8_t> atNodata(anyNodata ? pixels : 0, 1);
  std::vector<double> scratch;
  for (size_t slot = 0; slot < colourSlots; ++slot) {
    std::vector<uint8_t>* marks = hasNodata_[slot] ? &atNodata : nullptr;
    if (!readBand(lease.get(), slot, static_cast<int>(slot), overview, ix, iy, w, h, rgba, marks,
                  scratch, why)) {
      return failed();
    }
  }
  if (layout_.kind == BandLayout::Kind::kGrey) {
    for (size_t i = 0; i < pixels; ++i) {
      rgba[i * kRgbaBytes + 1] = rgba[i * kRgbaBytes + 2] = rgba[i * kRgbaBytes];
    }
  }
  if (layout_.alpha != 0) {
    if (!readBand(lease.get(), colourSlots, 3, overview, ix, iy, w, h, rgba, nullptr, scratch,
                  why)) {
      return failed();
    }
  } else if (layout_.datasetMask) {
    GDALRasterBandH mask = GDALGetMaskBand(levelBand(lease.get(), layout_.colour[0], overview));
    if (mask == nullptr || GDALRasterIO(mask, GF_Read, ix, iy, w, h, rgba.data() + 3, w, h,
                                        GDT_Byte, kRgbaBytes, kRgbaBytes * w) != CE_None) {
      return failed();
    }
  }
  if (anyNodata) {
    for (size_t i = 0; i < pixels; ++i) {
      if (atNodata[i]) rgba[i * kRgbaBytes + 3] = 0;
    }
  }
  return true;
}

}  // namespace

bool rasterSupportBuilt() {
  return true;
}

std::unique_ptr<RasterSource> openRaster(const std::string& path, std::string* error,
                                         const RasterOpenOptions& options) {
  ensureGdal();
  GDALDatasetH ds = openDataset(path, options.allowedDrivers, error);
  if (ds == nullptr) return nullptr;
  const int64_t width = GDALGetRasterXSize(ds);
  const int64_t height = GDALGetRasterYSize(ds);
  if (width <= 0 || height <= 0 || width > kMaxRasterSide || height > kMaxRasterSide) {
    GDALClose(ds);
    fail(error, path + ": raster size " + std::to_string(width) + " x " + std::to_string(height) +
                    " is not usable");
    return nullptr;
  }
  if (GDALGetRasterCount(ds) < 1) {
    GDALClose(ds);
    fail(error, path + " has no raster bands");
    return nullptr;
  }
  auto raster = std::make_unique<GdalRaster>(path, options, ds);
  raster->startLevels(options);
  return raster;
}
