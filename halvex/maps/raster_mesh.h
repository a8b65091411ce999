// The mesh that lays a raster in any projection on the WGS 84 ground: a grid of vertices, each a
// raster point and its exactly transformed ground point, fine enough that interpolating between
// a cell's four corners stays within a tolerance of the exact transformation. A raster is drawn
// as one quad a cell, and a view is mapped back to raster pixels through the same cells.
#pragma once

#include <cstdint>
#include <vector>

#include "halvex/maps/raster_source.h"

/// A box on the ground, degrees: west <= east, south <= north.
struct GroundBox {
  double west = 0;
  double south = 0;
  double east = 0;
  double north = 0;
};

/// A rectangle of raster pixels of the full-resolution level: x, y of the top-left corner and
/// its size, pixels.
struct RasterWindow {
  int64_t x = 0;
  int64_t y = 0;
  int64_t width = 0;
  int64_t height = 0;
};

/// A grid vertex: the raster point and where it lies on the ground.
struct RasterMeshVertex {
  RasterPoint raster;
  GroundPoint ground;
};

/// `cols` x `rows` equal cells over the whole raster. Longitudes are kept continuous across the
/// mesh (within 180 degrees of the top-left vertex), so a raster over the antimeridian has some
/// above 180 or below -180.
struct RasterMesh {
  /// Raster size, pixels of level 0.
  double width = 0;
  double height = 0;
  int cols = 0;
  int rows = 0;
  /// (rows + 1) rows of (cols + 1) vertices, top row first, each left to right.
  std::vector<RasterMeshVertex> vertices;
  /// Every vertex could be placed; false leaves the mesh empty (no cells).
  bool placed = false;
  /// Every cell met the tolerance; false when the cell limit stopped the refinement first.
  bool withinTolerance = false;
  /// Largest distance found between an interpolated and an exactly transformed check point of
  /// the final grid, metres.
  double worstErrorMeters = 0;
  /// The ground the mesh covers (its cells' edges are straight in degrees, so the vertices
  /// bound it).
  GroundBox bounds;

  const RasterMeshVertex& vertex(int col, int row) const {
    return vertices[static_cast<size_t>(row) * (cols + 1) + col];
  }
};

/// Builds the mesh of `raster`: starting from one cell, columns and rows are doubled (each
/// direction only where it needs it) until, at every cell's centre and edge midpoints, the
/// bilinear interpolation of the cell's corners is within `toleranceMeters` of the exact ground
/// point, or until doubling would pass `maxCells` cells (withinTolerance then stays false). A
/// raster in WGS 84 degrees stays one cell.
RasterMesh buildRasterMesh(const RasterSource& raster, double toleranceMeters, int maxCells);

/// The ground point of raster point `p`, interpolated within its cell (points outside the
/// raster extend the nearest cell). `mesh` must be placed.
GroundPoint meshToGround(const RasterMesh& mesh, RasterPoint p);

/// The raster point whose interpolated ground point is `ground`, searched cell by cell; false
/// when no cell holds it.
bool meshToRaster(const RasterMesh& mesh, GroundPoint ground, RasterPoint& p);

/// The raster pixels (level 0) whose interpolated ground lies in `view`, as the smallest window
/// holding them, widened by a pixel against rounding; false when the view misses the raster.
bool meshRasterWindow(const RasterMesh& mesh, const GroundBox& view, RasterWindow& window);

/// Distance between two nearby ground points on the WGS 84 ellipsoid, metres, from the local
/// radii of curvature at their mean latitude (good to a part in a thousand over a few km).
double nearbyGroundDistance(GroundPoint a, GroundPoint b);
