// The map raster view: the windowed tracker's frame rate while it pans and zooms over a
// 40,000 x 40,000 pixel raster in UTM whose tiles load as it goes, beside the same camera path
// over the same map with every tile of the path already loaded; and the time from a jump of the
// camera to a far place at full detail until the view is sharp (every tile of the view at the
// level whose texel is at most one screen pixel, as the layer says at each frame). The display
// runs at "30 fps"; frames are counted as the view hands them to the buffer swap. Runs itself
// under a private virtual X server.
//
// The raster is a VRT that repeats one 512 x 512 JPEG tile, with overviews halving down to about
// 300 pixels (each a VRT repeating the same tile, listed in the full raster's bands), made once
// into the data folder with gdal_translate and reused. It is opened as a project's map, which
// places it by its georeference through the raster's mesh. The texture budget is set large
// enough that no tile is released in a run, so that the second pass loads nothing and the bytes
// held tell how much was read. Each run has a fresh window and layer; the first run in the
// process, whose textures take fresh memory, is judged on its own, the best rates of the others
// together.
//
//   raster_bench [--check] [data folder]   prints the figures; --check fails when a goal is missed
#include <FL/Fl.H>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/frame_times.h"
#include "bench/private_display.h"
#include "common/platform/paths.h"
#include "halvex/app/kt_map_window.h"
#include "halvex/maps/map_raster.h"
#include "halvex/maps/map_texture.h"
#include "halvex/maps/raster_layer.h"
#include "halvex/maps/raster_mesh.h"
#include "halvex/project/map_group_handler.h"
#include "halvex/view/gl_draw_surface.h"
#include "tests/support/child_process.h"

namespace {

using bench::Clock;

// The goals.
constexpr double kGoalRateRatio = 0.9;     ///< fps while tiles load / fps over the loaded map.
constexpr double kGoalSharpSeconds = 1.0;  ///< From a jump to the first sharp frame, at most.

// The raster.
/// Raise when the files made change, so that kept ones are made again.
constexpr int kDataVersion = 1;
constexpr int kRasterSide = 40000;  ///< Pixels, both ways.
constexpr int kTileSide = 512;      ///< The repeated JPEG tile, pixels.
/// The full raster and its overviews repeat a block of 8 x 8 tiles rather than the tile itself,
/// so that each VRT lists at most about a hundred sources per band.
constexpr int kBlockSide = 8 * kTileSide;
constexpr int kCoarsestSide = 300;  ///< Overviews halve down to no fewer pixels than this.
constexpr int kBands = 3;
const char* const kBandColours[kBands] = {"Red", "Green", "Blue"};
constexpr const char* kSpatialReference = "EPSG:32611";  ///< UTM zone 11 north.
constexpr double kPixelMetres = 0.5;
/// The raster's top-left corner, m: a square of 20 km around 33 N 117 W.
constexpr double kWestEasting = 490000;
constexpr double kNorthNorthing = 3660000;
constexpr int kJpegQuality = 90;
constexpr double kCentralMeridian = -117.0;  ///< Of the zone; the raster's centre lies on it.
constexpr double kCentreLatitude = 32.9884;  ///< Of the raster's centre, degrees.
/// How near the layer must put the raster's centre to those, degrees (about 10 m).
constexpr double kPlacedDegrees = 1e-4;
constexpr int kSquare = 64;  ///< The pattern's squares, pixels.

// The view.
constexpr int kRateChoice = 1;  ///< Display rate entry "30 fps".
constexpr const char* kRateName = "30 fps";
constexpr double kSettleSeconds = 0.5;  ///< The first view sharp this long before the passes.
/// Texture budget of the runs: above every tile a run reads, so that none is released.
constexpr size_t kBudgetBytes = size_t(8) << 30;
constexpr double kMiB = 1024.0 * 1024.0;
/// Rounds after the first, each with a fresh window and layer; their best rates count. The first
/// round, the process's first texture memory, is judged on its own: where the renderer keeps
/// textures in the process's memory, its fresh pages make the first tiles dearer to draw.
constexpr int kRounds = 2;
constexpr double kGiveUpSeconds = 180.0;  ///< A round not done by then fails.

/// What the camera shows: the centre in full-resolution raster pixels (x right, y down from the
/// top-left corner) and the raster pixels under one screen pixel across.
struct View {
  double x = 0;
  double y = 0;
  double zoom = 1;
};

/// A point of the camera path at `seconds` from its start.
struct PathKey {
  double seconds;
  View view;
};

/// The camera path: from the whole raster down to full detail, a pan there, out to a middle
/// level and in near full detail again elsewhere. Between keys the centre moves and the zoom
/// changes geometrically, easing in and out.
constexpr PathKey kPath[] = {{0.0, {20000, 20000, 56}},
                             {2.5, {12000, 14000, 1}},
                             {4.5, {12800, 14400, 1}},
                             {6.0, {20000, 22000, 12}},
                             {8.0, {26000, 27000, 1.5}}};
constexpr double kPathSeconds = 8.0;
/// The second pass is prepared by stepping along the path this often (path time) and waiting at
/// each step until the view is sharp: the frame interval at "30 fps".
constexpr double kFillStepSeconds = 1.0 / 30;
constexpr int kFillSplit = 4;          ///< Places between two steps whose levels differ.
constexpr double kBelowFactor = 1e-9;  ///< A zoom this share below a level's factor is finer.

/// Far places the camera jumps to at full detail, away from the path and from each other.
constexpr View kJumps[] = {
    {4000, 4000, 1}, {36000, 5000, 1}, {5000, 36000, 1}, {35000, 35000, 1}, {20000, 35500, 1}};
constexpr double kJumpGiveUpSeconds = 5.0;  ///< A jump not sharp by then counts this long.
constexpr double kJumpPauseSeconds = 0.3;   ///< After a sharp frame, before the next jump.

// ---------------------------------------------------------------------------------------------
// The raster, made once.

/// The tile's colour at (x, y): squares of two tints shading across the tile, one-pixel dark
/// lines between them and a light frame around the tile, so that a tile's place and the size of
/// a texel show on the screen.
std::array<uint8_t, 3> patternAt(int x, int y) {
  if (x == 0 || y == 0 || x == kTileSide - 1 || y == kTileSide - 1) return {240, 240, 240};
  if (x % kSquare == 0 || y % kSquare == 0) return {20, 20, 20};
  const bool dark = ((x / kSquare) + (y / kSquare)) % 2 == 0;
  const auto shade = static_cast<uint8_t>(60 + 160 * x / kTileSide);
  const auto depth = static_cast<uint8_t>(60 + 160 * y / kTileSide);
  return dark ? std::array<uint8_t, 3>{shade, 90, depth} : std::array<uint8_t, 3>{200, shade, 110};
}

bool writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  return static_cast<bool>(out);
}

/// The pattern tile as a binary PPM.
std::string patternPpm() {
  std::string bytes =
      "P6\n" + std::to_string(kTileSide) + " " + std::to_string(kTileSide) + "\n255\n";
  for (int y = 0; y < kTileSide; ++y) {
    for (int x = 0; x < kTileSide; ++x) {
      for (uint8_t c : patternAt(x, y)) bytes += static_cast<char>(c);
    }
  }
  return bytes;
}

/// A VRT of `side` x `side` RGB pixels that repeats the square raster `source` (a file beside
/// it, `sourceSide` pixels, its blocks `blockW` x `blockH`) from the top-left corner, cut at the
/// right and bottom edges. `head` goes before the bands (the georeference); `overviews` (files
/// beside it) are listed in each band as its overviews.
std::string repeatingVrt(int side, const std::string& source, int sourceSide, int blockW,
                         int blockH, const std::string& head,
                         const std::vector<std::string>& overviews) {
  const std::string size = std::to_string(side);
  std::string xml = "<VRTDataset rasterXSize=\"" + size + "\" rasterYSize=\"" + size + "\">\n";
  xml += head;
  const int count = (side + sourceSide - 1) / sourceSide;
  for (int band = 1; band <= kBands; ++band) {
    const std::string b = std::to_string(band);
    xml += "  <VRTRasterBand dataType=\"Byte\" band=\"" + b + "\">\n    <ColorInterp>" +
           kBandColours[band - 1] + "</ColorInterp>\n";
    for (const std::string& overview : overviews) {
      xml += "    <Overview><SourceFilename relativeToVRT=\"1\">" + overview +
             "</SourceFilename><SourceBand>" + b + "</SourceBand></Overview>\n";
    }
    for (int row = 0; row < count; ++row) {
      for (int col = 0; col < count; ++col) {
        const int x = col * sourceSide, y = row * sourceSide;
        const int w = std::min(sourceSide, side - x), h = std::min(sourceSide, side - y);
        char line[640];
        std::snprintf(line, sizeof line,
                      "    <SimpleSource><SourceFilename relativeToVRT=\"1\">%s</SourceFilename>"
                      "<SourceBand>%d</SourceBand><SourceProperties RasterXSize=\"%d\" "
                      "RasterYSize=\"%d\" DataType=\"Byte\" BlockXSize=\"%d\" BlockYSize=\"%d\"/>"
                      "<SrcRect xOff=\"0\" yOff=\"0\" xSize=\"%d\" ySize=\"%d\"/><DstRect "
                      "xOff=\"%d\" yOff=\"%d\" xSize=\"%d\" ySize=\"%d\"/></SimpleSource>\n",
                      source.c_str(), band, sourceSide, sourceSide, blockW, blockH, w, h, x, y, w,
                      h);
        xml += line;
      }
    }
    xml += "  </VRTRasterBand>\n";
  }
  return xml + "</VRTDataset>\n";
}

/// The sides of the overviews, pixels: halving down to kCoarsestSide.
std::vector<int> overviewSides() {
  std::vector<int> sides;
  for (int side = (kRasterSide + 1) / 2; side >= kCoarsestSide; side = (side + 1) / 2) {
    sides.push_back(side);
  }
  return sides;
}

/// Levels of the raster made: the full one and its overviews.
int levelsMade() {
  return 1 + static_cast<int>(overviewSides().size());
}

/// Writes the raster's files into `folder`: the tile, the block, the overviews and the full
/// raster, "raster.vrt". False (after a message) when one cannot be made.
bool makeRaster(const std::string& folder) {
  const std::string ppm = folder + "/tile.ppm";
  if (!writeText(ppm, patternPpm())) return false;
  testsupport::ChildProcess translate(
      {"gdal_translate", "-q", "-of", "JPEG", "-co", "QUALITY=" + std::to_string(kJpegQuality), ppm,
       folder + "/tile.jpg"},
      testsupport::ChildOutput::kFiles);
  if (translate.wait() != 0) {
    std::printf("raster view: gdal_translate failed: %s\n", translate.errors.c_str());
    return false;
  }
  std::filesystem::remove(ppm);
  // A JPEG's blocks are its rows; a VRT's are 128 x 128 pixels.
  constexpr int kVrtBlock = 128;
  if (!writeText(folder + "/block.vrt",
                 repeatingVrt(kBlockSide, "tile.jpg", kTileSide, kTileSide, 1, "", {}))) {
    return false;
  }
  std::vector<std::string> overviews;
  for (int side : overviewSides()) {
    const std::string name = "overview-" + std::to_string(side) + ".vrt";
    if (!writeText(folder + "/" + name,
                   repeatingVrt(side, "block.vrt", kBlockSide, kVrtBlock, kVrtBlock, "", {}))) {
      return false;
    }
    overviews.push_back(name);
  }
  char head[256];
  std::snprintf(head, sizeof head,
                "  <SRS>%s</SRS>\n  <GeoTransform>%.1f, %.2f, 0, %.1f, 0, %.2f"
                "</GeoTransform>\n",
                kSpatialReference, kWestEasting, kPixelMetres, kNorthNorthing, -kPixelMetres);
  return writeText(folder + "/raster.vrt", repeatingVrt(kRasterSide, "block.vrt", kBlockSide,
                                                        kVrtBlock, kVrtBlock, head, overviews));
}

/// The full raster in `data`, made when missing (in a folder of another name first, renamed
/// when whole, so that an interrupted run never leaves a part to be reused); empty when it
/// cannot be made.
std::string keptRaster(const std::string& data) {
  const std::string folder = data + "/raster-v" + std::to_string(kDataVersion);
  const std::string path = folder + "/raster.vrt";
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return path;
  const std::string part = folder + ".part";
  std::error_code ignored;
  std::filesystem::remove_all(part, ignored);
  std::filesystem::remove_all(folder, ignored);
  if (!std::filesystem::create_directories(part, ignored) || !makeRaster(part) ||
      std::rename(part.c_str(), folder.c_str()) != 0) {
    std::filesystem::remove_all(part, ignored);
    return "";
  }
  return path;
}

// ---------------------------------------------------------------------------------------------
// The runs.

double smoothStep(double t) {
  return t * t * (3 - 2 * t);
}

/// The camera path's view at `seconds` from its start (its ends before and after it).
View pathAt(double seconds) {
  const size_t last = std::size(kPath) - 1;
  if (seconds <= kPath[0].seconds) return kPath[0].view;
  if (seconds >= kPath[last].seconds) return kPath[last].view;
  size_t k = 0;
  while (kPath[k + 1].seconds < seconds) ++k;
  const PathKey& a = kPath[k];
  const PathKey& b = kPath[k + 1];
  const double s = smoothStep((seconds - a.seconds) / (b.seconds - a.seconds));
  return {a.view.x + s * (b.view.x - a.view.x), a.view.y + s * (b.view.y - a.view.y),
          a.view.zoom * std::pow(b.view.zoom / a.view.zoom, s)};
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

/// What one round saw.
struct Round {
  bool setupTaken = false;  ///< Display rate, texture budget and the raster's levels as meant.
  bool placed = false;      ///< The raster's georeference placed it.
  bool finished = false;    ///< Every phase ran to its end.
  int levels = 0;
  double loadingFps = 0;
  double loadedFps = 0;
  std::vector<double> jumpSeconds;
  size_t loadingBytes = 0;  ///< Texture bytes made during the loading pass.
  size_t loadedBytes = 0;   ///< ... during the loaded pass (nothing, when it was loaded).
  size_t jumpBytes = 0;     ///< ... for the jumps.
  size_t heldBytes = 0;     ///< Held at the end.
  /// The drawing thread's processor time per frame of each pass, ms.
  double loadingThreadMs = 0;
  double loadedThreadMs = 0;
};

/// The phases of a round, in order.
enum class Phase { kFirstView, kLoading, kFill, kBackToStart, kLoaded, kJumps, kDone };

/// One round: the window, its raster layer, and the phase the frames drive.
class RoundDriver {
 public:
  RoundDriver(KT_mapWindow& window, Round& round) : window_(window), round_(round) {}

  KT_mapWindow& window() { return window_; }

  /// Called at each frame, as the view hands it to the swap: notes it and moves the camera for
  /// the next one.
  void frameDrawn() {
    const Clock::time_point now = Clock::now();
    frames_.add();
    if (!layer_ && !findLayer()) return;
    switch (phase_) {
      case Phase::kFirstView:
        waitSharp(now, Phase::kLoading);
        break;
      case Phase::kLoading:
      case Phase::kLoaded:
        followPath(now);
        break;
      case Phase::kFill:
        if (!layer_->sharp()) break;
        if (++fillStep_ == fillViews_.size()) {
          enter(Phase::kBackToStart, now);
          show(pathAt(0));
        } else {
          show(fillViews_[fillStep_]);
        }
        break;
      case Phase::kBackToStart:
        waitSharp(now, Phase::kLoaded);
        break;
      case Phase::kJumps:
        jumpFrame(now);
        break;
      case Phase::kDone:
        break;
    }
  }

  /// Ends the round: drops the project (its map was placed by its georeference, which counts as
  /// a change not to be saved) and leaves the loop.
  void finish() {
    if (layer_) round_.heldBytes = layer_->textureBytes();
    layer_ = nullptr;
    window_.projects().closeProject();
    window_.close_();
  }

 private:
  /// Takes the project's map layer once it is made; false until then.
  bool findLayer() {
    auto* maps = dynamic_cast<KT_mapGroupHandler*>(window_.projects().group(kMapGroup));
    GeoMap* map = maps ? maps->head() : nullptr;
    layer_ = map ? dynamic_cast<RasterLayer*>(map->layer()) : nullptr;
    if (!layer_) return false;
    const RasterMesh& mesh = layer_->mesh();
    degreesPerPixel_ = (mesh.bounds.east - mesh.bounds.west) / std::max(1.0, mesh.width);
    round_.levels = layer_->pyramid().levelCount();
    // The raster's centre lies on the zone's central meridian.
    const GroundPoint centre = meshToGround(mesh, {mesh.width / 2, mesh.height / 2});
    round_.placed = mesh.placed && std::abs(centre.longitude - kCentralMeridian) < kPlacedDegrees &&
                    std::abs(centre.latitude - kCentreLatitude) < kPlacedDegrees;
    show(pathAt(0));
    return true;
  }

  /// Points the camera at `view`.
  void show(const View& view) {
    const GroundPoint centre = meshToGround(layer_->mesh(), {view.x, view.y});
    window_.camera().setCenter(centre.longitude, centre.latitude);
    window_.camera().setExtent(view.zoom * window_.surface()->w() * degreesPerPixel_);
  }

  void enter(Phase phase, Clock::time_point now) {
    phase_ = phase;
    phaseStart_ = now;
    sharpSince_ = Clock::time_point();
    bytesAtStart_ = layer_->textureBytes();
    threadAtStart_ = threadSeconds();
  }

  /// Goes on to `next` once the view has been sharp for kSettleSeconds.
  void waitSharp(Clock::time_point now, Phase next) {
    if (!layer_->sharp()) {
      sharpSince_ = Clock::time_point();
      return;
    }
    if (sharpSince_ == Clock::time_point()) sharpSince_ = now;
    if (seconds(sharpSince_, now) >= kSettleSeconds) enter(next, now);
  }

  /// A frame of a pass along the path: counts the pass when it is over, else shows the next
  /// point.
  void followPath(Clock::time_point now) {
    const double t = seconds(phaseStart_, now);
    if (t < kPathSeconds) {
      show(pathAt(t));
      return;
    }
    const double fps = frames_.rateBetween(phaseStart_, now);
    const size_t bytes = layer_->textureBytes() - bytesAtStart_;
    const double frames = fps * seconds(phaseStart_, now);
    const double drawing = frames > 0 ? 1000 * (threadSeconds() - threadAtStart_) / frames : 0;
    if (phase_ == Phase::kLoading) {
      round_.loadingFps = fps;
      round_.loadingBytes = bytes;
      round_.loadingThreadMs = drawing;
      enter(Phase::kFill, now);
      planFill();
      show(fillViews_[0]);
    } else {
      round_.loadedFps = fps;
      round_.loadedBytes = bytes;
      round_.loadedThreadMs = drawing;
      enter(Phase::kJumps, now);
      jump_ = 0;
      jumpAt_ = Clock::time_point();
    }
  }

  /// The views the fill steps through: the path every kFillStepSeconds. Where the level
  /// changes between two steps, a frame between them may show either level at any place between
  /// them, the finer one zoomed out almost to the coarser one's factor: there the fill also
  /// steps through kFillSplit places between them, each at its own zoom and just on either side
  /// of the factor.
  void planFill() {
    fillViews_.clear();
    fillStep_ = 0;
    const TilePyramid& pyramid = layer_->pyramid();
    fillViews_.push_back(pathAt(0));
    for (int step = 1; step * kFillStepSeconds < kPathSeconds + kFillStepSeconds; ++step) {
      const double t = step * kFillStepSeconds;
      const int from = pyramid.levelFor(pathAt(t - kFillStepSeconds).zoom);
      const int to = pyramid.levelFor(pathAt(t).zoom);
      if (from != to) {
        const double factor = pyramid.factor(std::max(from, to));
        for (int k = 0; k <= kFillSplit; ++k) {
          const View v = pathAt(t - kFillStepSeconds * (1 - double(k) / kFillSplit));
          fillViews_.push_back(v);
          fillViews_.push_back({v.x, v.y, factor});
          fillViews_.push_back({v.x, v.y, factor * (1 - kBelowFactor)});
        }
      }
      fillViews_.push_back(pathAt(t));
    }
  }

  /// A frame of the jumps: times the one under way, and after a pause makes the next.
  void jumpFrame(Clock::time_point now) {
    if (jumpAt_ != Clock::time_point()) {
      const double waited = seconds(jumpAt_, now);
      if (!layer_->sharp() && waited < kJumpGiveUpSeconds) return;
      round_.jumpSeconds.push_back(layer_->sharp() ? waited : kJumpGiveUpSeconds);
      jumpAt_ = Clock::time_point();
      pauseFrom_ = now;
      return;
    }
    if (jump_ > 0 && seconds(pauseFrom_, now) < kJumpPauseSeconds) return;
    if (jump_ == static_cast<int>(std::size(kJumps))) {
      round_.jumpBytes = layer_->textureBytes() - bytesAtStart_;
      round_.finished = true;
      phase_ = Phase::kDone;
      finish();
      return;
    }
    show(kJumps[jump_++]);
    jumpAt_ = now;
  }

  static double seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
  }

  /// Processor time of the calling thread (the drawing thread) so far, s.
  static double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }

  KT_mapWindow& window_;
  Round& round_;
  RasterLayer* layer_ = nullptr;
  double degreesPerPixel_ = 0;  ///< Of longitude, per full-resolution raster pixel across.
  bench::FrameTimes frames_;
  Phase phase_ = Phase::kFirstView;
  Clock::time_point phaseStart_;
  Clock::time_point sharpSince_;  ///< The view sharp since then; zero while it is not.
  size_t bytesAtStart_ = 0;       ///< Texture bytes held when the phase began.
  double threadAtStart_ = 0;      ///< The drawing thread's processor time then, s.
  std::vector<View> fillViews_;
  size_t fillStep_ = 0;
  int jump_ = 0;                 ///< Jumps made.
  Clock::time_point jumpAt_;     ///< The jump under way was made then; zero between jumps.
  Clock::time_point pauseFrom_;  ///< The last jump was sharp then.
};

/// A round past kGiveUpSeconds ends where it is; the layer's textures go with the view's
/// context current.
void giveUp(void* data) {
  auto* driver = static_cast<RoundDriver*>(data);
  driver->window().surface()->make_current();
  driver->finish();
}

/// Runs one round over the raster at `rasterPath` in the scratch folder `folder`.
Round runRound(const std::string& folder, const std::string& rasterPath) {
  setCurrentDirectory(folder);
  // The lazy loads' countdown outlives a window; a fresh process starts it at zero.
  gMapLoadCountdown = 0;
  Round round;
  std::ofstream("raster.mpr") << "BEGIN MAP_group\n\t" << rasterPath << " 1.000000\nEND\n# end\n";
  auto window = std::make_unique<KT_mapWindow>("", "");
  RoundDriver driver(*window, round);
  // Replaces the view's own frame hook, which restarts the engine's display slot.
  window->surface()->setFrameDrawn([&] {
    window->engine().frameDrawn();
    driver.frameDrawn();
  });
  Fl_Choice* rateChoice = window->toolWindow().frameRateChoice;
  rateChoice->value(kRateChoice);
  window->updateRates();
  // The layer takes the budget when it is made, as the project opens.
  setRasterTextureBudget(kBudgetBytes);
  window->projects().openPath(folder + "/raster.mpr");
  round.setupTaken = rasterTextureBudget() == kBudgetBytes && rateChoice->text() != nullptr &&
                     std::strcmp(rateChoice->text(), kRateName) == 0;
  Fl::add_timeout(kGiveUpSeconds, giveUp, &driver);
  window->runLoop();
  Fl::remove_timeout(giveUp, &driver);
  window.reset();
  round.setupTaken = round.setupTaken && round.placed && round.levels == levelsMade();
  return round;
}

}  // namespace

int main(int argc, char** argv) {
  bench::runUnder("RASTER_BENCH_INSIDE", {XVFB_RUN}, argc, argv);
  const auto begun = Clock::now();
  bool check = false;
  std::string data = RASTER_BENCH_DATA;
  for (int k = 1; k < argc; ++k) {
    if (std::strcmp(argv[k], "--check") == 0) {
      check = true;
    } else {
      data = argv[k];
    }
  }
  std::error_code ignored;
  std::filesystem::create_directories(data, ignored);
  const std::string raster = keptRaster(std::filesystem::absolute(data).string());
  if (raster.empty()) {
    std::printf("FAILED: the raster could not be made in %s\n", data.c_str());
    return 1;
  }
  char pattern[] = "/tmp/raster_bench_XXXXXX";
  const std::string folder = mkdtemp(pattern);
  setenv("XDG_CACHE_HOME", (folder + "/cache").c_str(), 1);

  const Round first = runRound(folder, raster);
  bool setupTaken = first.setupTaken, finished = first.finished;
  std::vector<double> jumps = first.jumpSeconds;
  std::vector<Round> rounds;
  double loadingFps = 0, loadedFps = 0;
  size_t loadedBytes = first.loadedBytes;
  for (int k = 0; k < kRounds; ++k) {
    rounds.push_back(runRound(folder, raster));
    const Round& round = rounds.back();
    setupTaken = setupTaken && round.setupTaken;
    finished = finished && round.finished;
    jumps.insert(jumps.end(), round.jumpSeconds.begin(), round.jumpSeconds.end());
    loadingFps = std::max(loadingFps, round.loadingFps);
    loadedFps = std::max(loadedFps, round.loadedFps);
    loadedBytes = std::max(loadedBytes, round.loadedBytes);
  }
  std::filesystem::remove_all(folder, ignored);

  const Round& last = rounds.back();
  const double ratio = loadedFps > 0 ? loadingFps / loadedFps : 0;
  const double firstRatio = first.loadedFps > 0 ? first.loadingFps / first.loadedFps : 0;
  const double worst = jumps.empty() ? 0 : *std::max_element(jumps.begin(), jumps.end());
  const bool rateMet = ratio >= kGoalRateRatio && firstRatio >= kGoalRateRatio;
  const bool sharpMet = !jumps.empty() && worst <= kGoalSharpSeconds;
  std::printf(
      "raster view (%d x %d px, %s, %d levels; an %.0f s path, best of %d runs after a first): "
      "frames/s at \"%s\" while loading %.1f, loaded %.1f, ratio %.3f (first run %.1f, %.1f, "
      "%.3f; goal >= %.2f) %s; sharp after a jump: median %.3f s, worst %.3f s of %zu (goal <= "
      "%.1f s) %s\n",
      kRasterSide, kRasterSide, kSpatialReference, last.levels, kPathSeconds, kRounds, kRateName,
      loadingFps, loadedFps, ratio, first.loadingFps, first.loadedFps, firstRatio, kGoalRateRatio,
      rateMet ? "met" : "MISSED", median(jumps), worst, jumps.size(), kGoalSharpSeconds,
      sharpMet ? "met" : "MISSED");
  std::printf(
      "raster view, last run: tiles read (MiB of texture made, a full tile 1 MiB) while loading "
      "%.0f, over the loaded map %.0f (most of any run), for %zu jumps %.0f; texture held at the "
      "end %.0f MiB; drawing thread %.1f ms a frame while loading, %.1f loaded (first run %.1f, "
      "%.1f); run time %.1f s\n",
      last.loadingBytes / kMiB, loadedBytes / kMiB, std::size(kJumps), last.jumpBytes / kMiB,
      last.heldBytes / kMiB, last.loadingThreadMs, last.loadedThreadMs, first.loadingThreadMs,
      first.loadedThreadMs, std::chrono::duration<double>(Clock::now() - begun).count());
  if (!setupTaken || !finished) {
    std::printf("FAILED: %s\n", !setupTaken ? "the setup was not taken as written (display rate, "
                                              "texture budget, the raster's place or its levels)"
                                            : "a run did not reach its end");
    return check ? 1 : 0;
  }
  if (!rateMet || !sharpMet) {
    std::printf("FAILED: the raster view missed its goal\n");
    return check ? 1 : 0;
  }
  return 0;
}
