// Where a map image lies on the ground: its four corners and the geometry of editing them.
#pragma once

#include "halvex/maps/corner_geometry.h"

/// Four corners of a map image, (x = longitude, y = latitude) in degrees: lower-left,
/// lower-right, upper-right, upper-left. All zero until the map is placed. Positions given to
/// the queries follow the map edits' order: latitude (y) first, then longitude (x).
class GeoReference {
 public:
  using Corners = CornerPoints;

  const Corners& corners() const { return corners_; }
  /// The corners for filling in place, as the setup file reader does.
  Corners& corners() { return corners_; }
  /// Sets one corner (degrees); an index outside 0..3 is ignored.
  void setCorner(int index, double x, double y);

  /// East-west size of the corners' bounding box (degrees). Once the corners are turned,
  /// corner 2 may lie west of corner 0, so their difference would not do.
  double width() const { return boxOf(corners_).width(); }

  /// Moves every corner by dy north and dx east (degrees).
  void move(double dy, double dx);
  /// Grows the bounding box by heightDelta and widthDelta (degrees) about its centre.
  void resize(double heightDelta, double widthDelta);
  /// Turns the corners counter-clockwise about their bounding-box centre (degrees).
  void turn(double degrees);

  /// Whether (x, y) lies inside the corners' quadrilateral; edges count as inside, a position
  /// that is not a number never does.
  bool contains(double y, double x) const;
  /// The corner nearest to (x, y), 0 to 3. Distances are compared in single precision, and
  /// the lower index wins a tie.
  int nearestCorner(double y, double x) const;

 private:
  Corners corners_ = {{0, 0}, {0, 0}, {0, 0}, {0, 0}};
};
