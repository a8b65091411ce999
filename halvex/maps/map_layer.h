// One map image drawn as a flat textured quadrilateral on the ground of the view.
#pragma once

#include <string>

struct DrawContext;

/// A map image on the ground: its texture (loaded lazily while drawing), the rectangle it was
/// made for, the extent range in which it is visible and the previews of a pending edit.
class MapLayer {
 public:
  /// Corners: four (x, y) points, lower-left, lower-right, upper-right, upper-left.
  using Corners = double[4][2];
  /// Draws while minExtent <= view extent < maxExtent; a null path never loads.
  MapLayer(const char* path, double westX, double eastX, double southY, double northY,
           double minExtent, double maxExtent);
  virtual ~MapLayer();
  MapLayer(const MapLayer&) = delete;
  MapLayer& operator=(const MapLayer&) = delete;

  /// Loads the image into a texture and keeps its identifier (-1 on failure).
  virtual void load();
  /// Draws the quadrilateral through corners with the given opacity; a non-zero outline adds a
  /// red border.
  virtual void draw(const DrawContext& context, const Corners corners, double opacity, int outline);
  /// Draws the constructor's rectangle, opaque.
  virtual void drawRect(const DrawContext& context);
  /// Scales corners in place about their bounding-box centre by the size deltas.
  virtual void resizeCorners(Corners corners, double heightDelta, double widthDelta);
  virtual void setOffset(double y, double x);
  virtual void setSizeDelta(double heightDelta, double widthDelta);
  /// a takes part only in deciding whether to rotate; b is hundredths of a degree.
  virtual void setRotation(int a, int b);
  virtual void setVisibleRange(double minimum, double maximum);

  const std::string& path() const { return path_; }
  int textureId() const { return textureId_; }
  /// Replaces the texture identifier (-1 loads again at the next draw, 0 or below draws white).
  void setTextureId(int id) { textureId_ = id; }
  double westX() const { return westX_; }
  double eastX() const { return eastX_; }
  double southY() const { return southY_; }
  double northY() const { return northY_; }
  double minExtent() const { return minExtent_; }
  double maxExtent() const { return maxExtent_; }
  double xOffset() const { return xOffset_; }
  double yOffset() const { return yOffset_; }
  double heightDelta() const { return heightDelta_; }
  double widthDelta() const { return widthDelta_; }
  int rotationA() const { return rotationA_; }
  int rotationB() const { return rotationB_; }
  /// Factors of the last size preview.
  double xScale() const { return xScale_; }
  double yScale() const { return yScale_; }

 protected:
  /// The camera values a layer draws with: the view extent and the view's lower-left corner.
  struct ViewFrame {
    double extent;
    double left;
    double bottom;
  };
  static ViewFrame frameOf(const DrawContext& context);
  /// The corners as drawn this frame (the size and rotation previews applied) into `drawn`;
  /// false when the view extent is outside the layer's visible range.
  bool cornersToDraw(const ViewFrame& frame, const Corners corners, Corners drawn);
  /// Sets the depth and blend state for `opacity` and returns the alpha to draw with (0 to 1).
  static double beginOpacity(double opacity);
  /// Restores the blend state after drawing with alpha `a`.
  static void endOpacity(double a);
  /// Draws the highlight outline through the four view-local corners.
  static void drawOutline(const double v[4][2]);
  /// Loads the texture when its turn has come; false when the layer is not drawn this frame.
  bool readyToDraw();

 private:
  std::string path_;  ///< Empty when absent.
  bool hasPath_ = false;
  double westX_, eastX_, southY_, northY_;
  double minExtent_, maxExtent_;
  int textureId_ = -1;
  double yOffset_ = 0, xOffset_ = 0;
  double heightDelta_ = 0, widthDelta_ = 0;
  int rotationA_ = 0, rotationB_ = 0;
  double xScale_ = 1.0, yScale_ = 1.0;
};
