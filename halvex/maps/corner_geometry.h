// The geometry of a map's four corners shared by the previews of a map layer and the commits of
// a geo-referenced map, so that a committed edit lands exactly where its preview was drawn.
#pragma once

/// Corners of a map.
constexpr int kCornerCount = 4;

/// Four (x, y) corners: lower-left, lower-right, upper-right, upper-left.
using CornerPoints = double[kCornerCount][2];

/// Bounding box of four corners.
struct CornerBox {
  double minX, maxX, minY, maxY;
  double width() const { return maxX - minX; }
  double height() const { return maxY - minY; }
  double centerX() const { return (minX + maxX) / 2; }
  double centerY() const { return (minY + maxY) / 2; }
};

/// The bounding box of corners.
CornerBox boxOf(const CornerPoints corners);

/// Scales corners about their bounding-box centre so that the box grows by the deltas (world
/// units); a side of no length keeps its scale. Stores the factors in sx and sy when given.
void resizeAboutCentre(CornerPoints corners, double heightDelta, double widthDelta,
                       double* sx = nullptr, double* sy = nullptr);

/// Turns corners counter-clockwise about their bounding-box centre by degrees, first brought
/// into -360..360, with the matrix helpers (on offsets from the centre, so that single
/// precision keeps the corners' precision).
void rotateAboutCentre(CornerPoints corners, double degrees);
