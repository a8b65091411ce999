#include "halvex/maps/geo_map.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Group.H>
#include <FL/filename.H>
#include <FL/fl_ask.H>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "common/platform/paths.h"
#include "halvex/maps/corner_geometry.h"
#include "halvex/view/view_camera.h"

namespace {

constexpr char kSetupExtension[] = ".mapSetUp";
constexpr char kAlphaPattern[] = "*.jpg\t*.jpeg\t*.sgi\t*.rgb";
constexpr char kAlphaTitle[] = "Load alpha image";
/// Setup file lines are short; longer ones are read in full and only their start is scanned.
constexpr int kSetupLineSize = 256;
constexpr double kRotationUnit = 0.01;  ///< Rotations are hundredths of a degree.
/// Hundredths of a degree in a full turn: committed rotations are kept below it.
constexpr long long kTurnUnits = 36000;
constexpr double kMillisecond = 0.001;

/// a + b kept within int.
int saturatingAdd(int a, int b) {
  const long long sum = static_cast<long long>(a) + b;
  return static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}

/// Reads one line into `line` (NUL-terminated, cut to its size); the rest of a longer line is
/// skipped. False at the end of the file.
bool readLine(std::FILE* in, char (&line)[kSetupLineSize]) {
  if (std::fgets(line, sizeof line, in) == nullptr) return false;
  if (std::strchr(line, '\n') == nullptr) {
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
    }
  }
  return true;
}

/// The setup file beside an image: its directory and base name with ".mapSetUp".
std::string setupPathFor(const char* imagePath) {
  if (imagePath == nullptr) return std::string();
  const PathParts parts = splitPath(imagePath);
  return parts.drive + parts.dir + parts.name + kSetupExtension;
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
    : DlinkString(path), camera_(camera), setupPath_(setupPathFor(path)) {}

GeoMap::~GeoMap() = default;

void GeoMap::setCorner(int index, double x, double y) {
  if (index < 0 || index > 3) return;
  corners_[index][0] = x;
  corners_[index][1] = y;
}

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
  } else {
    showPlacementDialog();
  }
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

double GeoMap::width() const {
  // The width of the corners' bounding box: once a rotation is committed, corner 2 may lie
  // west of corner 0, and their difference would hide the map for good.
  return boxOf(corners_).width();
}

void GeoMap::rebuildLayer() {
  const double width = this->width();
  layer_ = std::make_unique<MapLayer>(path(), corners_[0][0], corners_[2][0], corners_[0][1],
                                      corners_[2][1], kMinExtentFactor * width,
                                      kMaxExtentFactor * width);
}

void GeoMap::updateVisibleRange() {
  if (!layer_) return;
  const double width = this->width();
  layer_->setVisibleRange(kMinExtentFactor * width, kMaxExtentFactor * width);
}

// Sample line: "-122.419416 37.774929" (longitude, latitude of one corner)
bool GeoMap::readSetupFile() {
  if (setupPath_.empty()) return false;
  std::FILE* in = std::fopen(setupPath_.c_str(), "r");
  if (in == nullptr) return false;
  bool complete = true;
  for (int i = 0; i < 4; ++i) {
    char line[kSetupLineSize];
    if (!readLine(in, line)) {
      complete = false;
      break;
    }
    if (std::sscanf(line, "%lf %lf", &corners_[i][0], &corners_[i][1]) != 2 ||
        !std::isfinite(corners_[i][0]) || !std::isfinite(corners_[i][1])) {
      complete = false;
    }
  }
  std::fclose(in);
  return complete;
}

bool GeoMap::writeSetupFile() {
  std::printf("The setup file name is %s\n", setupPath_.c_str());
  const std::string problem = "Problem writing map image setup file " + setupPath_ + "\n";
  std::FILE* out = setupPath_.empty() ? nullptr : std::fopen(setupPath_.c_str(), "w");
  if (out == nullptr) {
    if (message_) message_(problem);
    return false;
  }
  commitEdits();
  commitRotation();
  for (int i = 0; i < 4; ++i) std::fprintf(out, "%f %lf\n", corners_[i][0], corners_[i][1]);
  const bool written = std::ferror(out) == 0;
  // A full disk shows only when the buffered lines are flushed.
  const bool closed = std::fclose(out) == 0;
  if (!(written && closed)) {
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
    layer_->draw(context, corners_, opacity(), outline);
    return;
  }
  const WallTime now = clock_();
  layer_->draw(context, corners_, now.milliseconds * kMillisecond, outline);
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
  corners_[index][0] = x;
  corners_[index][1] = y;
  dragIndex_ = index;
  return index;
}

void GeoMap::commitEdits() {
  if (moveDy_ != 0 || moveDx_ != 0) {
    for (auto& corner : corners_) {
      corner[0] += moveDx_;
      corner[1] += moveDy_;
    }
    moveDy_ = moveDx_ = 0;
  }
  if (heightDelta_ != 0 || widthDelta_ != 0) {
    resizeAboutCentre(corners_, heightDelta_, widthDelta_);
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
  rotateAboutCentre(corners_, static_cast<double>(total) * kRotationUnit);
  committedRotation_ = committedRotationA_ = 0;
  updateVisibleRange();
}

bool GeoMap::contains(double y, double x) const {
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    const double ax = corners_[i][0] - x, ay = corners_[i][1] - y;
    const double bx = corners_[j][0] - x, by = corners_[j][1] - y;
    if (!(ax * by - ay * bx >= 0)) return false;
  }
  return true;
}

int GeoMap::nearestCorner(double y, double x) const {
  int best = 0;
  float bestDistance = 0;
  for (int i = 0; i < 4; ++i) {
    const double dx = corners_[i][0] - x, dy = corners_[i][1] - y;
    const float distance = static_cast<float>(std::sqrt(dx * dx + dy * dy));
    if (i == 0 || distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
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
