#include "halvex/maps/map_layer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "halvex/gl/draw_context.h"
#include "halvex/gl/view_camera.h"
#include "halvex/maps/corner_geometry.h"
#include "halvex/maps/map_texture.h"

namespace {

/// Layer draws skipped after each lazy load before the next unloaded layer may load.
constexpr int kLoadSkips = 10;
/// Rotation B is in hundredths of a degree.
constexpr double kRotationUnit = 0.01;
/// Degrees of a full turn.
/// View-local origin without a camera.
constexpr double kNoCameraLeft = 0.0;
constexpr double kNoCameraBottom = 1.0;
/// Highlight outline: width in pixels and colour.
constexpr float kOutlineWidth = 5.0f;
constexpr float kOutlineColor[4] = {0.8f, 0.0f, 0.0f, 1.0f};
/// Texture coordinates of the corners lower-left, lower-right, upper-right, upper-left.
constexpr float kCornerTexture[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
/// Order in which the polygon visits the corners: upper-right, upper-left, lower-left,
/// lower-right.
constexpr int kPolygonOrder[4] = {2, 3, 0, 1};

}  // namespace

MapLayer::ViewFrame MapLayer::frameOf(const DrawContext& context) {
  const ViewCamera* camera = context.camera;
  if (camera == nullptr) return {1.0, kNoCameraLeft, kNoCameraBottom};
  return {camera->extent(), camera->left(), camera->bottom()};
}

MapLayer::MapLayer(const char* path, double westX, double eastX, double southY, double northY,
                   double minExtent, double maxExtent)
    : path_(path ? path : ""),
      hasPath_(path != nullptr),
      westX_(westX),
      eastX_(eastX),
      southY_(southY),
      northY_(northY),
      minExtent_(minExtent),
      maxExtent_(maxExtent) {}

MapLayer::~MapLayer() = default;

void MapLayer::load() {
  if (hasPath_) textureId_ = loadMapImage(path_.c_str());
}

bool MapLayer::readyToDraw() {
  if (textureId_ != -1) return true;
  if (gMapLoadCountdown != 0) {
    --gMapLoadCountdown;
    return false;
  }
  // The loading screen comes up from the decode, once it has run for a second.
  load();
  gMapLoadCountdown = kLoadSkips;
  return textureId_ != -1;
}

void MapLayer::resizeCorners(Corners corners, double heightDelta, double widthDelta) {
  resizeAboutCentre(corners, heightDelta, widthDelta, &xScale_, &yScale_);
}

bool MapLayer::cornersToDraw(const ViewFrame& frame, const Corners corners, Corners drawn) {
  for (int i = 0; i < 4; ++i) {
    drawn[i][0] = corners[i][0];
    drawn[i][1] = corners[i][1];
  }
  if (heightDelta_ != 0 || widthDelta_ != 0) resizeCorners(drawn, heightDelta_, widthDelta_);
  if (rotationA_ != 0 || rotationB_ != 0) {
    rotateAboutCentre(drawn, rotationB_ * kRotationUnit);
  }
  const double s = std::max(std::fabs(xScale_), std::fabs(yScale_));
  return !(s * minExtent_ > frame.extent || frame.extent >= s * maxExtent_);
}

double MapLayer::beginOpacity(double opacity) {
  double a = opacity;
  if (a < 0) {
    a = 0;
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
  }
  if (a > 1) a = 1;
  if (a < 1) {
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
  }
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  return a;
}

void MapLayer::endOpacity(double a) {
  glDisable(GL_TEXTURE_2D);
  if (a < 1) {
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_BLEND);
  }
}

void MapLayer::drawOutline(const double v[4][2]) {
  glEnable(GL_LINE_SMOOTH);
  glLineWidth(kOutlineWidth);
  glColor4fv(kOutlineColor);
  glBegin(GL_LINE_LOOP);
  for (int i : kPolygonOrder) glVertex3d(v[i][0], v[i][1], 0);
  glEnd();
  glDisable(GL_LINE_SMOOTH);
}

void MapLayer::draw(const DrawContext& context, const Corners corners, double opacity,
                    int outline) {
  const ViewFrame frame = frameOf(context);
  Corners c;
  if (!cornersToDraw(frame, corners, c)) return;
  if (!readyToDraw()) return;
  bindMapTexture(textureId_);
  const double a = beginOpacity(opacity);
  double v[4][2];
  for (int i = 0; i < 4; ++i) {
    v[i][0] = c[i][0] - frame.left + xOffset_;
    v[i][1] = c[i][1] - frame.bottom + yOffset_;
  }
  glColor4d(1, 1, 1, a);
  glBegin(GL_POLYGON);
  for (int i : kPolygonOrder) {
    glTexCoord2fv(kCornerTexture[i]);
    glVertex3d(v[i][0], v[i][1], 0);
  }
  glEnd();
  endOpacity(a);
  if (outline != 0) drawOutline(v);
}

void MapLayer::drawRect(const DrawContext& context) {
  const ViewFrame frame = frameOf(context);
  if (!(minExtent_ <= frame.extent && frame.extent < maxExtent_)) return;
  if (!readyToDraw()) return;
  bindMapTexture(textureId_);
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  const double left = westX_ - frame.left;
  const double right = eastX_ - frame.left;
  const double bottom = southY_ - frame.bottom;
  const double top = northY_ - frame.bottom;
  glColor3d(1, 1, 1);
  glBegin(GL_POLYGON);
  glTexCoord2f(1, 1);
  glVertex3d(right, top, 0);
  glTexCoord2f(0, 1);
  glVertex3d(left, top, 0);
  glTexCoord2f(0, 0);
  glVertex3d(left, bottom, 0);
  glTexCoord2f(1, 0);
  glVertex3d(right, bottom, 0);
  glEnd();
  glDisable(GL_TEXTURE_2D);
}

void MapLayer::setOffset(double y, double x) {
  yOffset_ = y;
  xOffset_ = x;
}

void MapLayer::setSizeDelta(double heightDelta, double widthDelta) {
  heightDelta_ = heightDelta;
  widthDelta_ = widthDelta;
}

void MapLayer::setRotation(int a, int b) {
  rotationA_ = a;
  rotationB_ = b;
}

void MapLayer::setVisibleRange(double minimum, double maximum) {
  minExtent_ = minimum;
  maxExtent_ = maximum;
}
