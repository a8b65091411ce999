#include "halvex/gl/view_camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdio>

#include "common/angles.h"
#include "common/platform/atomic_file.h"
#include "common/platform/install_layout.h"

namespace {

/// Longest .view line kept; the rest of a longer line is skipped.
constexpr size_t kMaxViewLine = 256;

/// Blanks on the third line of a .view file.
constexpr int kViewPadding = 22;

/// Reads one line of `file` without its newline, keeping at most kMaxViewLine characters.
/// Returns false at the end of the file when nothing was read.
bool readLine(std::FILE* file, std::string& line) {
  line.clear();
  int c = 0;
  bool any = false;
  while ((c = std::fgetc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() < kMaxViewLine) line.push_back(static_cast<char>(c));
  }
  return any;
}

/// `heading` brought into -360 .. 360 by whole turns.
double wrappedHeading(double heading) {
  if (heading < -ViewCamera::kFullTurn || heading > ViewCamera::kFullTurn) {
    heading = std::fmod(heading, ViewCamera::kFullTurn);
  }
  return heading;
}

}  // namespace

ViewCamera::ViewCamera() {
  Matrix4::identity(rotation_);
  Matrix4::identity(inverseRotation_);
  Matrix4::identity(inversePitchRotation_);
  Matrix4::identity(projection_);
  Matrix4::identity(modelView_);
  Matrix4::identity(inverseModelView_);
}

void ViewCamera::mouseEvent(int type, int x, int y, bool button1, bool button2, bool button3,
                            bool control, bool shift) {
  pan_ = button1;
  rotate_ = button2;
  zoom_ = button3;
  control_ = control;
  shift_ = shift;
  lastEvent_ = type;
  currentX_ = x;
  currentY_ = y;
  if (type == kEventPush) {
    pressX_ = x;
    pressY_ = y;
    widthAtPress_ = width_ < 0 ? 0 : width_;
    heightAtPress_ = height_ < 0 ? 0 : height_;
    centerAtPressX_ = centerX_;
    centerAtPressY_ = centerY_;
    extentAtPress_ = extent_;
    iconScaleAtPress_ = iconScale_;
  } else if (type == kEventDrag) {
    dragX_ = x - pressX_;
    dragY_ = y - pressY_;
  }
}

void ViewCamera::setPickPosition(int x, int y) {
  pickX_ = x;
  pickY_ = y;
}

void ViewCamera::setCenter(double x, double y) {
  centerX_ = centerAtPressX_ = x;
  centerY_ = centerAtPressY_ = y;
}

void ViewCamera::setExtent(double extent) {
  extent_ = extentAtPress_ = extent;
}

void ViewCamera::beginFrame(double width, double height) {
  // A window without area still gets a valid frustum.
  width_ = width > 0 ? width : 1;
  height_ = height > 0 ? height : 1;
  aspect_ = height_ / width_;

  if (lastEvent_ == kEventDrag) {
    if (zoom_) {
      if (control_ || shift_) {
        iconScale_ = iconScaleAtPress_ * std::pow(kZoomBase, -dragX_ / width_);
      }
      if (!control_) extent_ = extentAtPress_ * std::pow(kZoomBase, dragX_ / width_);
    }
    if (rotate_) {
      pitch_ += (currentY_ - pressY_) * kTurnPerPixel;
      if (pitch_ < kMinPitch) pitch_ = kMinPitch;
      if (pitch_ > kMaxPitch) pitch_ = kMaxPitch;
      heading_ += (currentX_ - pressX_) * kTurnPerPixel;
      if (heading_ < -kFullTurn) heading_ += kFullTurn;
      if (heading_ > kFullTurn) heading_ -= kFullTurn;
      heading_ = wrappedHeading(heading_);  // a turn of more than a full circle in one frame
    }
    if (pan_) {
      // Moves the centre so that the ground point under the pointer at press stays under it.
      const double h = heading_ * DEG2RAD;
      const double p = pitch_ * DEG2RAD;
      const double w0 = widthAtPress_ > 0 ? widthAtPress_ : width_;
      const double h0 = heightAtPress_;
      const double t =
          (currentY_ - height_ / 2) * extent_ / width_ - (pressY_ - h0 / 2) * extentAtPress_ / w0;
      const double m =
          extentAtPress_ * (pressX_ - w0 / 2) / w0 - extent_ * (currentX_ - width_ / 2) / width_;
      centerX_ = centerAtPressX_ + t * std::sin(h) / std::cos(p) + std::cos(h) * m;
      centerY_ = centerAtPressY_ - m * std::sin(h) + std::cos(h) * t / std::cos(p);
    }
  }

  Matrix4::identity(rotation_);
  Matrix4::rotateX(rotation_, static_cast<float>(pitch_));
  Matrix4::rotateZ(rotation_, static_cast<float>(heading_));
  if (Matrix4::invert(rotation_, inverseRotation_) != 0) {
    Matrix4::copy(inverseRotation_, inversePitchRotation_);
    Matrix4::rotateX(inversePitchRotation_, static_cast<float>(pitch_));
  }
}

void ViewCamera::computeMatrices(float projection[Matrix4::kSize],
                                 float modelView[Matrix4::kSize]) const {
  // glFrustum(l, r, b, t, n, f) with l = -r and b = -t.
  const double n = extent_ * kFrustumFactor;
  const double f = kFarFactor * extent_;
  const double right = kNearTangent * n;
  const double top = kNearTangent * n * aspect_;
  for (int i = 0; i < Matrix4::kSize; ++i) projection[i] = 0.0f;
  projection[0] = static_cast<float>(n / right);
  projection[5] = static_cast<float>(n / top);
  projection[10] = static_cast<float>(-(f + n) / (f - n));
  projection[11] = -1.0f;
  projection[14] = static_cast<float>(-2 * f * n / (f - n));

  Matrix4::identity(modelView);
  Matrix4::translate(modelView, 0, 0, static_cast<float>(kDistanceFactor * extent_));
  Matrix4::rotateX(modelView, static_cast<float>(pitch_));
  Matrix4::rotateZ(modelView, static_cast<float>(heading_));
  Matrix4::translate(modelView, static_cast<float>(-extent_ / 2),
                     static_cast<float>(-extent_ * aspect_ / 2), 0);
}

void ViewCamera::apply(double width, double height, bool pick) {
  beginFrame(width, height);

  GLint viewport[4] = {0, 0, static_cast<GLint>(width_), static_cast<GLint>(height_)};
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  if (pick) {
    gluPickMatrix(pickX_, height_ - pickY_, kPickRegion, kPickRegion, viewport);
  }
  const double n = extent_ * kFrustumFactor;
  glFrustum(-kNearTangent * n, kNearTangent * n, -kNearTangent * n * aspect_,
            kNearTangent * n * aspect_, n, kFarFactor * extent_);

  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslated(0, 0, kDistanceFactor * extent_);
  glRotated(pitch_, 1, 0, 0);
  glRotated(heading_, 0, 0, 1);
  glTranslated(-extent_ / 2, -extent_ * aspect_ / 2, 0);

  glGetFloatv(GL_PROJECTION_MATRIX, projection_);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView_);
  finishFrame();
}

void ViewCamera::applyComputed(double width, double height) {
  beginFrame(width, height);
  computeMatrices(projection_, modelView_);
  finishFrame();
}

void ViewCamera::finishFrame() {
  tanHalfWidth_ = kNearTangent;
  tanHalfHeight_ = kNearTangent * aspect_;

  // A singular model-view (extent 0) keeps the previous inverse and eye.
  if (Matrix4::invert(modelView_, inverseModelView_) == 0) return;
  const float origin[3] = {0, 0, 0};
  float local[3];
  Matrix4::transformPointAffine(origin, inverseModelView_, local);
  eye_[0] = static_cast<float>(left() + local[0]);
  eye_[1] = static_cast<float>(bottom() + local[1]);
  eye_[2] = local[2];
  for (int k = 0; k < 3; ++k) eyeLocal_[k] = local[k];

  // From the eye to the view centre, taken in view-local units to keep the precision that world
  // coordinates in single precision would lose.
  const double dx = extent_ / 2 - local[0];
  const double dy = extent_ * aspect_ / 2 - local[1];
  const double dz = -local[2];
  const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
  if (length != 0) {
    viewDirection_[0] = static_cast<float>(dx / length);
    viewDirection_[1] = static_cast<float>(dy / length);
    viewDirection_[2] = static_cast<float>(dz / length);
  } else {
    viewDirection_[0] = static_cast<float>(dx);
    viewDirection_[1] = static_cast<float>(dy);
    viewDirection_[2] = static_cast<float>(dz);
  }

  const float down[3] = {0, -1, 0};
  const float across[3] = {1, 0, 0};
  Matrix4::transformPointAffine(down, inverseRotation_, up_);
  Matrix4::transformPointAffine(across, inverseRotation_, right_);
}

// Sample:
// 7.250000,51.500000,0.750000
// -30.000000,45.000000
void ViewCamera::loadView(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return;
  std::string line;
  float x = 0, y = 0, e = 0;
  const bool placed = readLine(file, line) &&
                      std::sscanf(line.c_str(), "%f,%f,%f", &x, &y, &e) == 3 && std::isfinite(x) &&
                      std::isfinite(y);
  if (placed) {
    // An extent too small for six decimals was written as 0: keep the place, not the zoom.
    setCenter(x, y);
    setExtent(std::isfinite(e) && e > 0 ? e : kFallbackExtent);
  } else {
    setCenter(0, 0);
    setExtent(kFallbackExtent);
  }
  double pitch = 0, heading = 0;
  if (readLine(file, line) && std::sscanf(line.c_str(), "%lf,%lf", &pitch, &heading) == 2 &&
      std::isfinite(pitch) && std::isfinite(heading)) {
    pitch_ = pitch < kMinPitch ? kMinPitch : (pitch > kMaxPitch ? kMaxPitch : pitch);
    heading_ = wrappedHeading(heading);
  }
  std::fclose(file);
}

bool ViewCamera::saveView(const std::string& path) const {
  const auto writeLines = [this](std::FILE* file) {
    std::fprintf(file, "%f,%f,%f\n", centerX_, centerY_, extent_);
    std::fprintf(file, "%lf,%lf\n", pitch_, heading_);
    std::fprintf(file, "%*s\n", kViewPadding, "");
    return std::ferror(file) == 0;
  };
  // A new file renamed over the old one once whole and synced: a full disk or a crash leaves
  // the old view. A link to the view file is followed and kept.
  AtomicFile file(path, Durability::kKeep, LinkPolicy::kFollow);
  return file.open() && writeLines(file.stream()) && file.commit();
}

std::string viewFilePath(const std::string& exePath) {
  return perUserFilePath(exePath, ".view");
}
