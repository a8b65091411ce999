// The view's camera: which ground the view shows and from where, its navigation by mouse and
// keys, the per-frame OpenGL matrices, and the placement kept between runs.
#pragma once

#include <string>

#include "common/matrix4.h"

/// Centre, extent, pitch and heading of the view, driven by mouse drags and keys. Ground
/// positions are world units: longitude as x, latitude as y, in degrees.
class ViewCamera {
 public:
  static constexpr int kEventPush = 1;             ///< Toolkit event number of a button press.
  static constexpr int kEventRelease = 2;          ///< Of a button release.
  static constexpr int kEventDrag = 5;             ///< Of a drag.
  static constexpr double kFrustumFactor = 1.0;    ///< Near plane distance per unit of extent.
  static constexpr double kFarFactor = 20.0;       ///< Far plane distance per unit of extent.
  static constexpr double kDistanceFactor = -5.0;  ///< Eye offset along z per unit of extent.
  static constexpr double kNearTangent = 0.1;    ///< Half the frustum width at the near plane / n.
  static constexpr double kMinPitch = -89.0;     ///< Lowest pitch (degrees).
  static constexpr double kMaxPitch = 0.0;       ///< Highest pitch: looking straight down.
  static constexpr double kFullTurn = 360.0;     ///< Heading wraps beyond plus or minus this.
  static constexpr double kTurnPerPixel = 0.01;  ///< Degrees per pixel of offset, per frame.
  static constexpr double kZoomBase = 4.0;       ///< Extent factor for a drag of one window width.
  static constexpr int kPickRegion = 10;         ///< Width and height of the pick region (pixels).
  static constexpr double kFallbackExtent = 250.0;  ///< Extent when the .view file is damaged.

  ViewCamera();
  virtual ~ViewCamera() = default;

  /// Feeds one pointer event: type 1 push, 2 release, 5 drag; position in window pixels.
  void mouseEvent(int type, int x, int y, bool button1, bool button2, bool button3, bool control,
                  bool shift);
  /// The last pointer position (window pixels), used by picking.
  void setPickPosition(int x, int y);
  /// Sets the centre (world units) and the centre at press.
  void setCenter(double x, double y);
  /// Sets the extent (world units) and the extent at press.
  void setExtent(double extent);
  /// Arrow keys: Left/Down multiply the extent by 0.75, Up/Right by 1.5.
  void zoomIn() { setExtent(extent_ * 0.75); }
  void zoomOut() { setExtent(extent_ * 1.5); }
  /// Per-frame viewport, projection (with a 10x10 pick region when pick) and model-view, then
  /// the eye and the view, up and right vectors. Needs a current context.
  void apply(double width, double height, bool pick);
  /// As apply, but computes the matrices OpenGL would form instead of calling it (no pick
  /// region); for code and tests without a context.
  void applyComputed(double width, double height);
  /// The projection and model-view matrices OpenGL forms for the current extent, aspect, pitch
  /// and heading (no pick region).
  void computeMatrices(float projection[Matrix4::kSize], float modelView[Matrix4::kSize]) const;

  /// Reads the .view file at path: centre and extent, then pitch and heading. A missing file
  /// changes nothing; an unreadable first line gives centre (0, 0) and extent 250.
  void loadView(const std::string& path);
  /// Writes the .view file at path. Returns false when it cannot be written.
  bool saveView(const std::string& path) const;

  double centerX() const { return centerX_; }
  double centerY() const { return centerY_; }
  /// Width of ground visible at the view centre (world units).
  double extent() const { return extent_; }
  /// Window height divided by width.
  double aspect() const { return aspect_; }
  double windowWidth() const { return width_; }
  double windowHeight() const { return height_; }
  double pitch() const { return pitch_; }
  double heading() const { return heading_; }
  void setPitch(double degrees) { pitch_ = degrees; }
  void setHeading(double degrees) { heading_ = degrees; }
  /// Factor by which ring markers are enlarged.
  double iconScale() const { return iconScale_; }
  int pickX() const { return pickX_; }
  int pickY() const { return pickY_; }
  /// World x and y of the view's lower-left corner, the origin of view-local coordinates.
  double left() const { return centerX_ - extent_ / 2; }
  double bottom() const { return centerY_ - extent_ * aspect_ / 2; }
  /// Inverse of the pitch and heading rotation (turns offsets to stay upright on screen).
  const float* inverseRotation() const { return inverseRotation_; }
  /// The inverse rotation turned once more about x by the pitch.
  const float* inversePitchRotation() const { return inversePitchRotation_; }
  /// Matrices read back from OpenGL by the last apply, and the inverse model-view.
  const float* projection() const { return projection_; }
  const float* modelView() const { return modelView_; }
  const float* inverseModelView() const { return inverseModelView_; }
  /// Eye position (x, y world units, z the height) and unit vectors from the last apply.
  const float* eye() const { return eye_; }
  /// The eye in view-local coordinates (relative to left(), bottom()), full precision.
  const double* eyeLocal() const { return eyeLocal_; }
  const float* viewDirection() const { return viewDirection_; }
  const float* upVector() const { return up_; }
  const float* rightVector() const { return right_; }
  /// Tangents of half the view angle, horizontal and vertical.
  double tanHalfWidth() const { return tanHalfWidth_; }
  double tanHalfHeight() const { return tanHalfHeight_; }

 private:
  /// Per-frame steps before the matrices: window size, the running drag and the rotations.
  void beginFrame(double width, double height);
  /// Per-frame steps after the matrices: tangents, inverse model-view, eye and vectors.
  void finishFrame();

  double pitch_ = 0;    ///< Degrees, -89 to 0.
  double heading_ = 0;  ///< Degrees, -360 to 360.
  int lastEvent_ = -1;
  int pressX_ = 0, pressY_ = 0;
  int currentX_ = 0, currentY_ = 0;
  int dragX_ = 0, dragY_ = 0;
  int pickX_ = 0, pickY_ = 0;
  double centerX_ = 0, centerY_ = 0;
  double extent_ = 1;
  double iconScale_ = 1, iconScaleAtPress_ = 1;
  double centerAtPressX_ = 0, centerAtPressY_ = 0;
  double extentAtPress_ = 1;
  double width_ = 100, height_ = 100;  ///< Window size (pixels).
  double aspect_ = 1;
  double widthAtPress_ = 0, heightAtPress_ = 0;
  bool pan_ = false, rotate_ = false, zoom_ = false, control_ = false, shift_ = false;
  float rotation_[Matrix4::kSize] = {};
  float inverseRotation_[Matrix4::kSize] = {};
  float inversePitchRotation_[Matrix4::kSize] = {};
  float projection_[Matrix4::kSize] = {};
  float modelView_[Matrix4::kSize] = {};
  float inverseModelView_[Matrix4::kSize] = {};
  float eye_[3] = {0, 0, 0};
  double eyeLocal_[3] = {0, 0, 0};
  float viewDirection_[3] = {0, 0, -1};
  float up_[3] = {0, 1, 0};
  float right_[3] = {1, 0, 0};
  double tanHalfWidth_ = 0.7, tanHalfHeight_ = 0.7;
};

/// The program's .view file: beside it (exePath with its extension replaced by ".view") when run
/// from a build tree, in the per-user configuration folder when installed.
std::string viewFilePath(const std::string& exePath);
