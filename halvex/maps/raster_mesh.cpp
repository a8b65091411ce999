// The raster's ground mesh: refinement against the exact transformation, interpolation in a
// cell and its inverse.
#include "halvex/maps/raster_mesh.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/geodesy/ellipsoid.h"

namespace {

/// Longest a Newton inversion of a cell runs: a cell close to a parallelogram converges in two
/// or three steps.
constexpr int kInverseSteps = 24;
/// Step, in cell units, at which the inversion has converged.
constexpr double kInverseConverged = 1e-12;
/// Slack, in cell units, that lets a point on a cell's edge belong to it despite rounding.
constexpr double kCellSlack = 1e-9;
/// Points sampled along each side of a view box when mapping it back to the raster: between
/// them a side's raster image is taken for straight.
constexpr int kViewSideSamples = 16;
/// Pixels a window is widened by on each side against rounding.
constexpr int64_t kWindowMargin = 1;

/// `lon` moved by whole turns to within 180 degrees of `reference` (in one step: a hostile
/// file may place points at any finite longitude).
double continuousLongitude(double lon, double reference) {
  return reference + std::remainder(lon - reference, 360.0);
}

/// The bilinear interpolation of four corners (top-left, top-right, bottom-left, bottom-right)
/// at cell coordinates u (right) and v (down), each 0..1 over the cell.
GroundPoint bilinear(const GroundPoint& a, const GroundPoint& b, const GroundPoint& c,
                     const GroundPoint& d, double u, double v) {
  const double wa = (1 - u) * (1 - v), wb = u * (1 - v), wc = (1 - u) * v, wd = u * v;
  return {wa * a.longitude + wb * b.longitude + wc * c.longitude + wd * d.longitude,
          wa * a.latitude + wb * b.latitude + wc * c.latitude + wd * d.latitude};
}

struct Cell {
  const GroundPoint* corner[4];  // top-left, top-right, bottom-left, bottom-right
};

Cell cellAt(const RasterMesh& mesh, int col, int row) {
  return {{&mesh.vertex(col, row).ground, &mesh.vertex(col + 1, row).ground,
           &mesh.vertex(col, row + 1).ground, &mesh.vertex(col + 1, row + 1).ground}};
}

/// Raster x of column line `col` (and y of row line `row`) of a cols x rows grid.
double lineX(const RasterMesh& mesh, int col) {
  return mesh.width * col / mesh.cols;
}
double lineY(const RasterMesh& mesh, int row) {
  return mesh.height * row / mesh.rows;
}

/// Fills the vertices of a cols x rows grid; false when a vertex cannot be placed.
bool placeVertices(const RasterSource& raster, RasterMesh& mesh, int cols, int rows) {
  mesh.cols = cols;
  mesh.rows = rows;
  mesh.vertices.assign(static_cast<size_t>(cols + 1) * (rows + 1), {});
  for (int r = 0; r <= rows; ++r) {
    for (int c = 0; c <= cols; ++c) {
      RasterMeshVertex& v = mesh.vertices[static_cast<size_t>(r) * (cols + 1) + c];
      v.raster = {lineX(mesh, c), lineY(mesh, r)};
      if (!raster.toGround(v.raster, v.ground)) return false;
      if (r > 0 || c > 0) {
        v.ground.longitude =
            continuousLongitude(v.ground.longitude, mesh.vertices[0].ground.longitude);
      }
    }
  }
  return true;
}

/// How far interpolation strays from the exact transformation, metres: along rows (the
/// midpoints of horizontal edges: more columns help), along columns (vertical edges: more rows)
/// and at the cells' centres (both). A check point that cannot be placed counts as infinitely
/// far.
struct Deviation {
  double alongRows = 0;
  double alongColumns = 0;
  double centre = 0;
  double worst() const { return std::max({alongRows, alongColumns, centre}); }
};

double strayAt(const RasterSource& raster, const RasterMesh& mesh, RasterPoint p,
               GroundPoint interpolated) {
  GroundPoint exact;
  if (!raster.toGround(p, exact)) return std::numeric_limits<double>::infinity();
  exact.longitude = continuousLongitude(exact.longitude, mesh.vertices[0].ground.longitude);
  return nearbyGroundDistance(exact, interpolated);
}

GroundPoint midpoint(const GroundPoint& a, const GroundPoint& b) {
  return {(a.longitude + b.longitude) / 2, (a.latitude + b.latitude) / 2};
}

Deviation measure(const RasterSource& raster, const RasterMesh& mesh) {
  Deviation d;
  for (int r = 0; r <= mesh.rows; ++r) {
    for (int c = 0; c <= mesh.cols; ++c) {
      const RasterMeshVertex& v = mesh.vertex(c, r);
      if (c < mesh.cols) {
        const RasterMeshVertex& right = mesh.vertex(c + 1, r);
        const RasterPoint p{(v.raster.x + right.raster.x) / 2, v.raster.y};
        d.alongRows =
            std::max(d.alongRows, strayAt(raster, mesh, p, midpoint(v.ground, right.ground)));
      }
      if (r < mesh.rows) {
        const RasterMeshVertex& below = mesh.vertex(c, r + 1);
        const RasterPoint p{v.raster.x, (v.raster.y + below.raster.y) / 2};
        d.alongColumns =
            std::max(d.alongColumns, strayAt(raster, mesh, p, midpoint(v.ground, below.ground)));
      }
      if (c < mesh.cols && r < mesh.rows) {
        const Cell cell = cellAt(mesh, c, r);
        const RasterPoint p{(lineX(mesh, c) + lineX(mesh, c + 1)) / 2,
                            (lineY(mesh, r) + lineY(mesh, r + 1)) / 2};
        d.centre =
            std::max(d.centre, strayAt(raster, mesh, p,
                                       bilinear(*cell.corner[0], *cell.corner[1], *cell.corner[2],
                                                *cell.corner[3], 0.5, 0.5)));
      }
    }
  }
  return d;
}

/// Solves the cell's bilinear map for `g`; false when the point is not in the cell.
bool invertCell(const Cell& cell, GroundPoint g, double& u, double& v) {
  const GroundPoint &a = *cell.corner[0], &b = *cell.corner[1], &c = *cell.corner[2],
                    &d = *cell.corner[3];
  const double west = std::min({a.longitude, b.longitude, c.longitude, d.longitude});
  const double east = std::max({a.longitude, b.longitude, c.longitude, d.longitude});
  const double south = std::min({a.latitude, b.latitude, c.latitude, d.latitude});
  const double north = std::max({a.latitude, b.latitude, c.latitude, d.latitude});
  const double padX = (east - west) * kCellSlack, padY = (north - south) * kCellSlack;
  if (g.longitude < west - padX || g.longitude > east + padX || g.latitude < south - padY ||
      g.latitude > north + padY) {
    return false;
  }
  u = 0.5;
  v = 0.5;
  for (int step = 0; step < kInverseSteps; ++step) {
    const GroundPoint f = bilinear(a, b, c, d, u, v);
    const double fx = f.longitude - g.longitude, fy = f.latitude - g.latitude;
    const double xu = (1 - v) * (b.longitude - a.longitude) + v * (d.longitude - c.longitude);
    const double yu = (1 - v) * (b.latitude - a.latitude) + v * (d.latitude - c.latitude);
    const double xv = (1 - u) * (c.longitude - a.longitude) + u * (d.longitude - b.longitude);
    const double yv = (1 - u) * (c.latitude - a.latitude) + u * (d.latitude - b.latitude);
    const double det = xu * yv - xv * yu;
    if (det == 0 || !std::isfinite(det)) return false;
    const double du = (fx * yv - fy * xv) / det, dv = (fy * xu - fx * yu) / det;
    u -= du;
    v -= dv;
    if (std::abs(du) < kInverseConverged && std::abs(dv) < kInverseConverged) break;
  }
  return u >= -kCellSlack && u <= 1 + kCellSlack && v >= -kCellSlack && v <= 1 + kCellSlack;
}

bool inBox(const GroundBox& box, GroundPoint g) {
  return g.longitude >= box.west && g.longitude <= box.east && g.latitude >= box.south &&
         g.latitude <= box.north;
}

}  // namespace

double nearbyGroundDistance(GroundPoint a, GroundPoint b) {
  const double e2 = geodesy::kWgs84F * (2 - geodesy::kWgs84F);
  const double phi = (a.latitude + b.latitude) / 2 * kDegToRad;
  const double w = 1 - e2 * std::sin(phi) * std::sin(phi);
  const double meridian = geodesy::kWgs84A * (1 - e2) / (w * std::sqrt(w));
  const double primeVertical = geodesy::kWgs84A / std::sqrt(w);
  const double north = (b.latitude - a.latitude) * kDegToRad * meridian;
  const double east =
      continuousLongitude(b.longitude - a.longitude, 0) * kDegToRad * primeVertical * std::cos(phi);
  return std::hypot(north, east);
}

RasterMesh buildRasterMesh(const RasterSource& raster, double toleranceMeters, int maxCells) {
  RasterMesh mesh;
  mesh.width = static_cast<double>(raster.width());
  mesh.height = static_cast<double>(raster.height());
  const int64_t limit = std::max(1, maxCells);
  int cols = 1, rows = 1;
  for (;;) {
    if (!placeVertices(raster, mesh, cols, rows)) {
      mesh.vertices.clear();
      mesh.cols = mesh.rows = 0;
      return mesh;
    }
    const Deviation d = measure(raster, mesh);
    mesh.worstErrorMeters = d.worst();
    const bool moreCols = d.alongRows > toleranceMeters || d.centre > toleranceMeters;
    const bool moreRows = d.alongColumns > toleranceMeters || d.centre > toleranceMeters;
    if (!moreCols && !moreRows) {
      mesh.withinTolerance = true;
      break;
    }
    const int64_t cells = int64_t{cols} * rows;
    const bool roomForOne = cells * 2 <= limit, roomForBoth = cells * 4 <= limit;
    if (moreCols && moreRows && roomForBoth) {
      cols *= 2;
      rows *= 2;
    } else if (moreCols && roomForOne && (!moreRows || d.alongRows >= d.alongColumns)) {
      cols *= 2;
    } else if (moreRows && roomForOne) {
      rows *= 2;
    } else {
      break;
    }
  }
  mesh.placed = true;
  GroundBox& box = mesh.bounds;
  box = {mesh.vertices[0].ground.longitude, mesh.vertices[0].ground.latitude,
         mesh.vertices[0].ground.longitude, mesh.vertices[0].ground.latitude};
  for (const RasterMeshVertex& v : mesh.vertices) {
    box.west = std::min(box.west, v.ground.longitude);
    box.east = std::max(box.east, v.ground.longitude);
    box.south = std::min(box.south, v.ground.latitude);
    box.north = std::max(box.north, v.ground.latitude);
  }
  return mesh;
}

GroundPoint meshToGround(const RasterMesh& mesh, RasterPoint p) {
  const double gx = p.x / mesh.width * mesh.cols, gy = p.y / mesh.height * mesh.rows;
  const int col = std::clamp(static_cast<int>(std::floor(gx)), 0, mesh.cols - 1);
  const int row = std::clamp(static_cast<int>(std::floor(gy)), 0, mesh.rows - 1);
  const Cell cell = cellAt(mesh, col, row);
  return bilinear(*cell.corner[0], *cell.corner[1], *cell.corner[2], *cell.corner[3], gx - col,
                  gy - row);
}

bool meshToRaster(const RasterMesh& mesh, GroundPoint ground, RasterPoint& p) {
  if (!mesh.placed) return false;
  for (int row = 0; row < mesh.rows; ++row) {
    for (int col = 0; col < mesh.cols; ++col) {
      double u = 0, v = 0;
      if (!invertCell(cellAt(mesh, col, row), ground, u, v)) continue;
      p = {lineX(mesh, col) + u * (lineX(mesh, col + 1) - lineX(mesh, col)),
           lineY(mesh, row) + v * (lineY(mesh, row + 1) - lineY(mesh, row))};
      return true;
    }
  }
  return false;
}

bool meshRasterWindow(const RasterMesh& mesh, const GroundBox& view, RasterWindow& window) {
  if (!mesh.placed || view.east < mesh.bounds.west || view.west > mesh.bounds.east ||
      view.north < mesh.bounds.south || view.south > mesh.bounds.north) {
    return false;
  }
  double left = std::numeric_limits<double>::infinity(), top = left;
  double right = -left, bottom = -left;
  auto take = [&](RasterPoint p) {
    left = std::min(left, p.x);
    right = std::max(right, p.x);
    top = std::min(top, p.y);
    bottom = std::max(bottom, p.y);
  };
  // Vertices inside the view, then where the view's sides run over the raster, then where the
  // grid lines cross the view's sides: the extremes of the covered part lie among them.
  for (const RasterMeshVertex& v : mesh.vertices) {
    if (inBox(view, v.ground)) take(v.raster);
  }
  const GroundPoint corners[4] = {{view.west, view.north},
                                  {view.east, view.north},
                                  {view.east, view.south},
                                  {view.west, view.south}};
  for (int side = 0; side < 4; ++side) {
    const GroundPoint& a = corners[side];
    const GroundPoint& b = corners[(side + 1) % 4];
    for (int i = 0; i <= kViewSideSamples; ++i) {
      const double t = static_cast<double>(i) / kViewSideSamples;
      RasterPoint p;
      if (meshToRaster(mesh,
                       {a.longitude + t * (b.longitude - a.longitude),
                        a.latitude + t * (b.latitude - a.latitude)},
                       p)) {
        take(p);
      }
    }
  }
  auto crossings = [&](const RasterMeshVertex& a, const RasterMeshVertex& b) {
    // The grid edge a-b is straight in degrees: clip it against the view box.
    double t0 = 0, t1 = 1;
    const double dx = b.ground.longitude - a.ground.longitude;
    const double dy = b.ground.latitude - a.ground.latitude;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.ground.longitude - view.west, view.east - a.ground.longitude,
                         a.ground.latitude - view.south, view.north - a.ground.latitude};
    for (int i = 0; i < 4; ++i) {
      if (p[i] == 0) {
        if (q[i] < 0) return;
      } else if (p[i] < 0) {
        t0 = std::max(t0, q[i] / p[i]);
      } else {
        t1 = std::min(t1, q[i] / p[i]);
      }
    }
    if (t0 > t1) return;
    for (double t : {t0, t1}) {
      take(
          {a.raster.x + t * (b.raster.x - a.raster.x), a.raster.y + t * (b.raster.y - a.raster.y)});
    }
  };
  for (int r = 0; r <= mesh.rows; ++r) {
    for (int c = 0; c <= mesh.cols; ++c) {
      if (c < mesh.cols) crossings(mesh.vertex(c, r), mesh.vertex(c + 1, r));
      if (r < mesh.rows) crossings(mesh.vertex(c, r), mesh.vertex(c, r + 1));
    }
  }
  if (!(left <= right && top <= bottom)) return false;
  const int64_t w = static_cast<int64_t>(mesh.width), h = static_cast<int64_t>(mesh.height);
  const int64_t x0 =
      std::clamp<int64_t>(static_cast<int64_t>(std::floor(left)) - kWindowMargin, 0, w);
  const int64_t y0 =
      std::clamp<int64_t>(static_cast<int64_t>(std::floor(top)) - kWindowMargin, 0, h);
  const int64_t x1 =
      std::clamp<int64_t>(static_cast<int64_t>(std::ceil(right)) + kWindowMargin, 0, w);
  const int64_t y1 =
      std::clamp<int64_t>(static_cast<int64_t>(std::ceil(bottom)) + kWindowMargin, 0, h);
  if (x1 <= x0 || y1 <= y0) return false;
  window = {x0, y0, x1 - x0, y1 - y0};
  return true;
}
