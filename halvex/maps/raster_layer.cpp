#include "halvex/maps/raster_layer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "halvex/gl/draw_context.h"
#include "halvex/gl/view_camera.h"
#include "halvex/maps/map_texture.h"

namespace {

/// GL_CLAMP_TO_EDGE (OpenGL 1.2): a tile's edge texels are not blended with the opposite edge.
constexpr GLint kClampToEdge = 0x812F;
/// The view's ground box is widened by this share of its size on each side, so that a tilted
/// camera or a pan does not show missing tiles at the edges at once.
constexpr double kViewMargin = 0.25;
/// Raster corners in the order of MapLayer::Corners (lower-left, lower-right, upper-right,
/// upper-left) as fractions of the raster's width and height, y down.
constexpr double kCornerFractions[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};

/// The bilinear blend at raster fractions (u, v) (y down) of the four corners' values `at`.
void blend(const double at[4][2], double u, double v, double& x, double& y) {
  const double w[4] = {(1 - u) * v, u * v, u * (1 - v), (1 - u) * (1 - v)};
  x = y = 0;
  for (int i = 0; i < 4; ++i) {
    x += w[i] * at[i][0];
    y += w[i] * at[i][1];
  }
}

}  // namespace

RasterLayer::RasterLayer(std::shared_ptr<const RasterSource> raster, RasterMesh mesh,
                         const char* path, const Corners corners, double minExtent,
                         double maxExtent, size_t budgetBytes)
    : MapLayer(path, corners[0][0], corners[2][0], corners[0][1], corners[2][1], minExtent,
               maxExtent),
      raster_(std::move(raster)),
      mesh_(std::move(mesh)),
      levelsVersion_(raster_ ? raster_->levelsVersion() : 0),
      pyramid_(raster_ ? raster_->levels() : std::vector<RasterLevel>()),
      budget_(budgetBytes) {
  for (int i = 0; i < 4; ++i) {
    placed_[i][0] = corners[i][0];
    placed_[i][1] = corners[i][1];
  }
}

RasterLayer::~RasterLayer() {
  loader_.reset();  // no read runs past here
  for (const auto& entry : textures_) glDeleteTextures(1, &entry.second.id);
}

RasterMesh RasterLayer::cornerMesh(double width, double height, const Corners corners) {
  RasterMesh mesh;
  mesh.width = width;
  mesh.height = height;
  mesh.cols = mesh.rows = 1;
  // Top row first: upper-left, upper-right, then lower-left, lower-right.
  const int order[4] = {3, 2, 0, 1};
  for (int i : order) {
    RasterMeshVertex vertex;
    vertex.raster = {kCornerFractions[i][0] * width, kCornerFractions[i][1] * height};
    vertex.ground = {corners[i][0], corners[i][1]};
    mesh.vertices.push_back(vertex);
  }
  mesh.bounds = {corners[0][0], corners[0][1], corners[0][0], corners[0][1]};
  for (int i = 0; i < 4; ++i) {
    mesh.bounds.west = std::min(mesh.bounds.west, corners[i][0]);
    mesh.bounds.east = std::max(mesh.bounds.east, corners[i][0]);
    mesh.bounds.south = std::min(mesh.bounds.south, corners[i][1]);
    mesh.bounds.north = std::max(mesh.bounds.north, corners[i][1]);
  }
  mesh.placed = width > 0 && height > 0;
  mesh.withinTolerance = mesh.placed;
  return mesh;
}

void RasterLayer::load() {
  if (!raster_ || !mesh_.placed || pyramid_.levelCount() == 0) {
    setTextureId(0);  // drawn nowhere: nothing to read
    return;
  }
  std::shared_ptr<const RasterSource> raster = raster_;
  const TilePyramid* pyramid = &pyramid_;
  loader_ = std::make_unique<TileLoader>(
      kLoaderThreads, [raster, pyramid](const TileKey& key, TileImage& image, std::string* error) {
        const TileWindow window = pyramid->windowOf(key);
        image.width = window.w;
        image.height = window.h;
        return raster->readTile(key.level, window.x, window.y, window.w, window.h, image.rgba,
                                error);
      });
  setTextureId(1);  // loaded: the tiles come while drawing
}

void RasterLayer::takeNewLevels() {
  loader_.reset();  // its threads read the old pyramid
  for (const auto& entry : textures_) glDeleteTextures(1, &entry.second.id);
  textures_.clear();
  budget_.clear();
  levelsVersion_ = raster_->levelsVersion();
  pyramid_ = TilePyramid(raster_->levels());
  RasterLayer::load();
}

void RasterLayer::takeTiles() {
  arrived_.clear();
  loader_->takeFinished(arrived_, kUploadsPerFrame);
  for (auto& [key, image] : arrived_) {
    const size_t bytes = static_cast<size_t>(image.width) * image.height * 4;
    if (image.rgba.size() < bytes || bytes == 0) continue;
    Texture texture;
    texture.rect = pyramid_.level0RectOf(key);
    // Names come from the process-wide counter, as every texture's do: names made by
    // glGenTextures could be ones the counter hands out later.
    texture.id = static_cast<unsigned>(takeTextureId());
    glBindTexture(GL_TEXTURE_2D, texture.id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, kClampToEdge);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, kClampToEdge);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.width, image.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 image.rgba.data());
    const auto old = textures_.find(key);
    if (old != textures_.end()) glDeleteTextures(1, &old->second.id);
    textures_[key] = texture;
    budget_.add(key, bytes, frame_);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
}

void RasterLayer::draw(const DrawContext& context, const Corners corners, double opacity,
                       int outline) {
  const ViewFrame frame = frameOf(context);
  Corners c;
  if (!cornersToDraw(frame, corners, c)) return;
  if (!readyToDraw() || !loader_) return;
  if (raster_->levelsVersion() != levelsVersion_) {
    takeNewLevels();
    if (!loader_) return;
  }
  ++frame_;
  takeTiles();

  // How far each raster corner moved from where the mesh placed it: every point moves by the
  // blend of those moves at its place in the raster.
  double shift[4][2];
  for (int i = 0; i < 4; ++i) {
    shift[i][0] = c[i][0] - placed_[i][0] + xOffset();
    shift[i][1] = c[i][1] - placed_[i][1] + yOffset();
  }
  // The view's ground box, in the mesh's own frame (before the moves), widened.
  const double aspect = context.width > 0 ? context.height / context.width : 1;
  const double height = frame.extent * aspect;
  GroundBox view{frame.left - kViewMargin * frame.extent, frame.bottom - kViewMargin * height,
                 frame.left + (1 + kViewMargin) * frame.extent,
                 frame.bottom + (1 + kViewMargin) * height};
  double sx = 0, sy = 0;
  blend(shift, 0.5, 0.5, sx, sy);
  view.west -= sx;
  view.east -= sx;
  view.south -= sy;
  view.north -= sy;
  RasterWindow window;
  plan_.draw.clear();
  plan_.request.clear();
  if (meshRasterWindow(mesh_, view, window)) {
    // Level-0 pixels under one screen pixel: the raster's pixels per degree across times the
    // degrees per screen pixel.
    const double degrees = std::max(1e-12, mesh_.bounds.east - mesh_.bounds.west);
    const double perScreenPixel =
        mesh_.width / degrees * frame.extent / std::max(1.0, context.width);
    const double x0 = double(window.x), y0 = double(window.y);
    const double x1 = x0 + double(window.width), y1 = y0 + double(window.height);
    pyramid_.planFrame(
        x0, y0, x1, y1, perScreenPixel,
        [this](const TileKey& key) { return textures_.count(key) != 0; }, plan_);
    requests_ = plan_.request;
    // The coarsest level's few tiles of the view come too, after the wanted ones, so that a
    // stand-in is there wherever the view goes next.
    const int coarsest = pyramid_.levelCount() - 1;
    if (coarsest > plan_.level) {
      pyramid_.tilesCovering(coarsest, x0, y0, x1, y1, coarse_);
      for (const TileKey& key : coarse_) {
        if (textures_.count(key) == 0) requests_.push_back(key);
      }
    }
  } else {
    requests_.clear();
  }
  loader_->setWanted(requests_);
  sharp_ = plan_.request.empty();

  const double a = beginOpacity(opacity);
  glColor4d(1, 1, 1, a);
  glEnable(GL_TEXTURE_2D);
  for (const TileKey& key : plan_.draw) {
    const auto found = textures_.find(key);
    if (found == textures_.end()) continue;
    budget_.touch(key, frame_);
    glBindTexture(GL_TEXTURE_2D, found->second.id);
    drawTile(found->second, shift, frame.left, frame.bottom);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  endOpacity(a);
  for (const TileKey& key : budget_.evict(frame_)) {
    const auto found = textures_.find(key);
    if (found == textures_.end()) continue;
    glDeleteTextures(1, &found->second.id);
    textures_.erase(found);
  }
  if (outline != 0) {
    double v[4][2];
    for (int i = 0; i < 4; ++i) {
      v[i][0] = c[i][0] - frame.left + xOffset();
      v[i][1] = c[i][1] - frame.bottom + yOffset();
    }
    drawOutline(v);
  }
}

void RasterLayer::drawTile(const Texture& texture, const double shift[4][2], double left,
                           double bottom) const {
  const PixelRect& r = texture.rect;
  const double cellW = mesh_.width / mesh_.cols;
  const double cellH = mesh_.height / mesh_.rows;
  const int c0 = std::max(0, static_cast<int>(std::floor(r.x0 / cellW)));
  const int c1 = std::min(mesh_.cols, static_cast<int>(std::ceil(r.x1 / cellW)));
  const int r0 = std::max(0, static_cast<int>(std::floor(r.y0 / cellH)));
  const int r1 = std::min(mesh_.rows, static_cast<int>(std::ceil(r.y1 / cellH)));
  // Each cell's share of the tile is one quad; its corners are interpolated in the cell and
  // moved by the edit blend.
  const auto vertexAt = [&](double x, double y) {
    const GroundPoint g = meshToGround(mesh_, {x, y});
    double dx = 0, dy = 0;
    blend(shift, x / mesh_.width, y / mesh_.height, dx, dy);
    glTexCoord2d((x - r.x0) / (r.x1 - r.x0), (y - r.y0) / (r.y1 - r.y0));
    glVertex3d(g.longitude + dx - left, g.latitude + dy - bottom, 0);
  };
  glBegin(GL_QUADS);
  for (int row = r0; row < r1; ++row) {
    const double y0 = std::max(r.y0, row * cellH);
    const double y1 = std::min(r.y1, (row + 1) * cellH);
    for (int col = c0; col < c1; ++col) {
      const double x0 = std::max(r.x0, col * cellW);
      const double x1 = std::min(r.x1, (col + 1) * cellW);
      if (x1 <= x0 || y1 <= y0) continue;
      vertexAt(x0, y1);
      vertexAt(x1, y1);
      vertexAt(x1, y0);
      vertexAt(x0, y0);
    }
  }
  glEnd();
}

void RasterLayer::drawRect(const DrawContext& context) {
  Corners corners;
  for (int i = 0; i < 4; ++i) {
    corners[i][0] = placed_[i][0];
    corners[i][1] = placed_[i][1];
  }
  draw(context, corners, 1, 0);
}
