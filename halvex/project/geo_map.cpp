#include "halvex/project/geo_map.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Group.H>
#include <FL/filename.H>
#include <FL/fl_ask.H>

#include <algorithm>
#include <climits>

#include "common/platform/paths.h"
#include "halvex/gl/view_camera.h"
#include "halvex/maps/map_setup_file.h"

namespace {

constexpr char kAlphaPattern[] = "*.jpg\t*.jpeg\t*.sgi\t*.rgb";
constexpr char kAlphaTitle[] = "Load alpha image";
constexpr double kRotationUnit = 0.01;  ///< Rotations are hundredths of a degree.
/// Hundredths of a degree in a full turn: committed rotations are kept below it.
constexpr long long kTurnUnits = 36000;
constexpr double kMillisecond = 0.001;

/// a + b kept within int.
int saturatingAdd(int a, int b) {
  const long long sum = static_cast<long long>(a) + b;
  return static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}

}  // namespace

TopLevelScope::TopLevelScope() : saved_(Fl_Group::current()) {
  Fl_Group::current(nullptr);
}

TopLevelScope::~TopLevelScope() {
  Fl_Group::current(saved_);
}

void showMapMessage(const std::string& text) {
  fl_message("%s", text.c_str());
}

GeoMap::GeoMap(const char* path, ViewCamera* camera)
    : DlinkString(path), camera_(camera), setupPath_(mapSetupPath(path)) {}

GeoMap::~GeoMap() = default;

void GeoMap::setOpacity(double opacity) {
  settings_.opacity = opacity > 1 ? 1 : opacity >= 0 ? opacity : 0;
}

void GeoMap::setPlacement(const PlacementSettings& settings) {
  settings_ = settings;
  setOpacity(settings.opacity);
}

void GeoMap::place() {
  if (path() == nullptr) return;
  if (readSetupFile()) {
    rebuildLayer();
    settings_.opacity = 1;
    settings_.useAlpha = 1;
    settings_.loadAlpha = 0;
  } else if (placeByGeoreference()) {
    rebuildLayer();
    settings_.opacity = 1;
    settings_.useAlpha = 1;
    settings_.loadAlpha = 0;
    if (placed_) placed_();
  } else {
    showPlacementDialog();
  }
}

void GeoMap::openRaster() {
  if (raster_ || path() == nullptr) return;
  const std::string file = path();
  if (!readsAsRaster(file) && !hasWorldFile(file)) return;
  raster_ = std::make_unique<RasterPlacement>(placeRaster(file));
  if (!raster_->raster)
    std::fprintf(stderr, "halvex: map %s: %s\n", path(), raster_->error.c_str());
}

bool GeoMap::placeByGeoreference() {
  openRaster();
  if (!raster_ || !raster_->georeferenced()) return false;
  for (int i = 0; i < 4; ++i) setCorner(i, raster_->corners[i][0], raster_->corners[i][1]);
  return true;
}

void GeoMap::showPlacementDialog() {
  if (!dialog_) {
    dialog_ = std::make_unique<PlacementDialog>(path());
    dialog_->setActions(
        [this] {
          setPlacement(dialog_->settings());
          applyPlacement();
        },
        [this] { setPlacement(dialog_->settings()); });
  }
  dialog_->show();
}

std::string GeoMap::chooseAlphaImage() {
  if (!alphaChooser_) {
    const TopLevelScope scope;
    alphaChooser_ =
        std::make_unique<Fl_File_Chooser>(".", kAlphaPattern, Fl_File_Chooser::SINGLE, kAlphaTitle);
  }
  // The chooser keeps the title's pointer, so the text lives in the map.
  alphaTitle_ = std::string("Load alpha image for map ") + path();
  alphaChooser_->label(alphaTitle_.c_str());
  alphaChooser_->show();
  while (alphaChooser_->shown()) Fl::wait();
  const char* chosen = alphaChooser_->value();
  return chosen != nullptr && *chosen != '\0' ? relativeToCurrentDirectory(std::string(chosen))
                                              : std::string();
}

void GeoMap::applyPlacement() {
  if (path() == nullptr) return;
  if (settings_.loadAlpha) {
    std::string chosen = chooseAlphaImage();
    if (!chosen.empty()) alphaPath_ = std::move(chosen);
  }
  if (settings_.mode == 0 && camera_ != nullptr) {
    const double cx = camera_->centerX();
    const double cy = camera_->centerY();
    const double e = camera_->extent();
    const double half = 0.5 * std::min(e, camera_->aspect() * e);
    // A square whatever the picture's own proportions.
    setCorner(0, cx - half, cy - half);
    setCorner(1, cx + half, cy - half);
    setCorner(2, cx + half, cy + half);
    setCorner(3, cx - half, cy + half);
  }
  rebuildLayer();
  if (placed_) placed_();
}

void GeoMap::rebuildLayer() {
  const double width = this->width();
  const Corners& c = corners();
  openRaster();
  // A JPEG with a world file keeps its own reader once placed.
  const RasterPlacement* raster = raster_ && readsAsRaster(path()) ? raster_.get() : nullptr;
  layer_ = makeMapLayer(path(), c, raster, kMinExtentFactor * width, kMaxExtentFactor * width);
}

void GeoMap::updateVisibleRange() {
  if (!layer_) return;
  const double width = this->width();
  layer_->setVisibleRange(kMinExtentFactor * width, kMaxExtentFactor * width);
}

bool GeoMap::readSetupFile() {
  return readMapSetupFile(setupPath_, geo_.corners());
}

bool GeoMap::writeSetupFile() {
  std::printf("The setup file name is %s\n", setupPath_.c_str());
  const std::string problem = "Problem writing map image setup file " + setupPath_ + "\n";
  // The edits are committed only once the file is open: a file that cannot be opened keeps
  // them pending.
  MapSetupWriter writer(setupPath_);
  if (!writer.isOpen()) {
    if (message_) message_(problem);
    return false;
  }
  commitEdits();
  commitRotation();
  if (!writer.write(corners())) {
    if (message_) message_(problem);
    return false;
  }
  return true;
}

void GeoMap::draw(const DrawContext& context) {
  if (!layer_) return;
  layer_->setOffset(moveDy_, moveDx_);
  layer_->setSizeDelta(heightDelta_, widthDelta_);
  layer_->setRotation(saturatingAdd(committedRotationA_, rotationA_),
                      saturatingAdd(committedRotation_, rotation_));
  const int outline = outline_ != 0 ? 1 : 0;
  if (flash_ == 0) {
    layer_->draw(context, corners(), opacity(), outline);
    return;
  }
  const WallTime now = clock_();
  layer_->draw(context, corners(), now.milliseconds * kMillisecond, outline);
  if (flash_ < 0 && now.seconds - flashStart_ > kFlashSeconds) flash_ = 0;
}

void GeoMap::setMoveDelta(double dy, double dx) {
  moveDy_ = dy;
  moveDx_ = dx;
}

void GeoMap::setSizeDelta(double heightGrowth, double widthDelta) {
  heightDelta_ = -heightGrowth;
  widthDelta_ = widthDelta;
}

void GeoMap::setRotationDelta(int a, int b) {
  rotationA_ = a;
  rotation_ = b;
}

int GeoMap::dragCorner(double y, double x, int index) {
  dragY_ = y;
  dragX_ = x;
  if (index < 0 || index > 3) {
    commitRotation();
    index = nearestCorner(y, x);
  }
  geo_.setCorner(index, x, y);
  dragIndex_ = index;
  return index;
}

void GeoMap::commitEdits() {
  if (moveDy_ != 0 || moveDx_ != 0) {
    geo_.move(moveDy_, moveDx_);
    moveDy_ = moveDx_ = 0;
  }
  if (heightDelta_ != 0 || widthDelta_ != 0) {
    geo_.resize(heightDelta_, widthDelta_);
    heightDelta_ = widthDelta_ = 0;
    if (layer_) {
      // The preview's scale is now part of the corners: reset it to 1 so that the layer's
      // visible range is not scaled a second time.
      Corners scratch = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
      layer_->resizeCorners(scratch, 0, 0);
      layer_->setSizeDelta(0, 0);
    }
    updateVisibleRange();
  }
  if (rotation_ != 0 || rotationA_ != 0) {
    committedRotation_ =
        static_cast<int>((static_cast<long long>(committedRotation_) + rotation_) % kTurnUnits);
    committedRotationA_ = saturatingAdd(committedRotationA_, rotationA_);
    rotation_ = rotationA_ = 0;
  }
}

bool GeoMap::hasPendingEdits() const {
  return moveDy_ != 0 || moveDx_ != 0 || heightDelta_ != 0 || widthDelta_ != 0 || rotation_ != 0 ||
         rotationA_ != 0;
}

void GeoMap::commitRotation() {
  const long long total = (static_cast<long long>(committedRotation_) + rotation_) % kTurnUnits;
  rotation_ = rotationA_ = 0;
  geo_.turn(static_cast<double>(total) * kRotationUnit);
  committedRotation_ = committedRotationA_ = 0;
  updateVisibleRange();
}

void GeoMap::startFlash() {
  flash_ = kTimedFlash;
  flashStart_ = clock_().seconds;
}

void GeoMap::writeGroupLine(std::FILE* out) {
  // A map without a path could not be read back: its line would name no image.
  if (out == nullptr || path() == nullptr || *path() == '\0') return;
  std::fprintf(out, "\t%s %f\n", path(), opacity());
  writeSetupFile();
}
