// One node's trail reduced to the vertices its line needs at the view's scale, kept from frame to
// frame and brought up to date as the trail grows.
#pragma once

#include <cstdint>
#include <vector>

#include "halvex/tracking/node_trail.h"

/// The line drawn for one node's trail: the trail's points reduced so that the line passes
/// within a tolerance of every point left out, and its time, taken as linear along each segment,
/// within a time tolerance of each point's beyond the tolerance from the segment's start (the
/// opacity follows time). The reduction runs as points come, one pass over each (the sleeve
/// method: the directions and paces from the last vertex that pass near every point since,
/// narrowed point by point; a point outside them ends the segment at the point before). Ground
/// units are degrees, longitude as x, latitude as y, as the view draws them.
class TrailLine {
 public:
  /// One vertex of the line.
  struct Vertex {
    double longitude, latitude;  ///< Degrees.
    int64_t ms;                  ///< The trail point's time, UTC ms.
  };

  /// Brings the line up to date with `points`, the node's trail, oldest first: takes the points
  /// that came since the last call but the newest (which the store may still move), and ends
  /// the line at the newest. A new tolerance (degrees) or time tolerance (ms) starts the line
  /// afresh, as does a trail that ends before the line. Vertices before `oldestMs` or the
  /// trail's first point, whichever is later, are dropped, but the last of them, where the line
  /// enters the span.
  void update(const TrailPoints& points, double tolerance, double timeTolerance, int64_t oldestMs);
  /// Forgets the line.
  void clear();

  /// The line's vertices, oldest first.
  const std::vector<Vertex>& vertices() const { return vertices_; }

 private:
  /// Adds one point of the trail to the reduction.
  void take(const Vertex& point);
  /// Ends a segment at `vertex`: the next one starts there.
  void fix(const Vertex& vertex);
  /// Narrows the directions and paces from the anchor by the point at offset (dx, dy) of it,
  /// `distance` away and `since` ms later.
  void narrow(double dx, double dy, double distance, double since);

  std::vector<Vertex> vertices_;  ///< The fixed vertices, then tail_ more that end the line.
  int tail_ = 0;
  double tolerance_ = 0;
  double timeTolerance_ = 0;
  bool taken_ = false;          ///< A point was taken since the line started.
  int64_t lastMs_ = 0;          ///< Time of the last point taken.
  Vertex pending_{};            ///< The last point taken, where the segment being built would end.
  bool pendingMoved_ = false;   ///< pending_ lies past the anchor (the last fixed vertex).
  bool narrowed_ = false;       ///< The directions and paces below are narrowed by some point.
  double lowX_ = 0, lowY_ = 0;  ///< Clockwise bound of the directions from the anchor.
  double highX_ = 0, highY_ = 0;      ///< Counter-clockwise bound.
  double slowest_ = 0, fastest_ = 0;  ///< Bounds of the pace, ms per degree.
};
