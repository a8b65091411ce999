#include "halvex/view/trail_line.h"

#include <algorithm>
#include <cmath>

namespace {

/// z of the cross product: positive when (bx, by) lies counter-clockwise of (ax, ay).
double cross(double ax, double ay, double bx, double by) {
  return ax * by - ay * bx;
}

/// Vertices of the line before the first at or after `ms`.
std::vector<TrailLine::Vertex>::const_iterator firstFrom(const std::vector<TrailLine::Vertex>& v,
                                                         int64_t ms) {
  return std::lower_bound(v.begin(), v.end(), ms,
                          [](const TrailLine::Vertex& x, int64_t t) { return x.ms < t; });
}

}  // namespace

void TrailLine::clear() {
  vertices_.clear();
  tail_ = 0;
  taken_ = false;
  pendingMoved_ = false;
  narrowed_ = false;
}

void TrailLine::update(const TrailPoints& points, double tolerance, double timeTolerance,
                       int64_t oldestMs) {
  vertices_.resize(vertices_.size() - static_cast<size_t>(tail_));
  tail_ = 0;
  if (tolerance != tolerance_ || timeTolerance != timeTolerance_ || points.empty() ||
      (taken_ && points.back().ms < lastMs_)) {
    clear();
    tolerance_ = tolerance;
    timeTolerance_ = timeTolerance;
  }
  if (points.empty()) return;

  const TrailPoint* from =
      taken_ ? std::upper_bound(points.begin(), points.end(), lastMs_,
                                [](int64_t t, const TrailPoint& p) { return t < p.ms; })
             : points.begin();
  for (const TrailPoint* p = from; p + 1 < points.end(); ++p) {
    take({p->longitude, p->latitude, p->ms});
  }

  // Fixed vertices before the span (or before the trail, whichever is later) go, but the one
  // where the line enters it.
  const auto inSpan = firstFrom(vertices_, std::max(oldestMs, points.front().ms));
  if (inSpan - vertices_.begin() > 1) vertices_.erase(vertices_.begin(), inSpan - 1);

  const TrailPoint& newest = points.back();
  if (pendingMoved_) {
    vertices_.push_back(pending_);
    ++tail_;
  }
  vertices_.push_back({newest.longitude, newest.latitude, newest.ms});
  ++tail_;
}

void TrailLine::take(const Vertex& point) {
  taken_ = true;
  lastMs_ = point.ms;
  if (vertices_.empty()) {
    fix(point);
    return;
  }
  for (;;) {
    const Vertex& anchor = vertices_.back();
    const double dx = point.longitude - anchor.longitude;
    const double dy = point.latitude - anchor.latitude;
    const double squared = dx * dx + dy * dy;
    const auto since = static_cast<double>(point.ms - anchor.ms);
    if (squared <= tolerance_ * tolerance_) {
      // Near the anchor any direction, and any time, is close enough.
      pending_ = point;
      pendingMoved_ = true;
      return;
    }
    // Further away, the point must lie within the directions and the pace (time per distance)
    // that pass near every point since the anchor.
    const double distance = std::sqrt(squared);
    const double pace = since / distance;
    if (!narrowed_ || (cross(lowX_, lowY_, dx, dy) >= 0 && cross(dx, dy, highX_, highY_) >= 0 &&
                       pace >= slowest_ && pace <= fastest_)) {
      narrow(dx, dy, distance, since);
      pending_ = point;
      pendingMoved_ = true;
      return;
    }
    if (!pendingMoved_) {
      fix(point);
      return;
    }
    fix(pending_);
  }
}

void TrailLine::fix(const Vertex& vertex) {
  vertices_.push_back(vertex);
  pendingMoved_ = false;
  narrowed_ = false;
}

void TrailLine::narrow(double dx, double dy, double distance, double since) {
  // The directions that pass within the tolerance of the point: its own turned either way by
  // the angle whose sine is the tolerance over its distance.
  const double s = tolerance_ / distance;
  const double c = std::sqrt(1 - s * s);
  const double lowX = dx * c + dy * s, lowY = dy * c - dx * s;
  const double highX = dx * c - dy * s, highY = dy * c + dx * s;
  // The paces at which a segment's time, linear along it, passes the point within the time
  // tolerance.
  const double slowest = (since - timeTolerance_) / distance;
  const double fastest = (since + timeTolerance_) / distance;
  if (!narrowed_) {
    lowX_ = lowX, lowY_ = lowY, highX_ = highX, highY_ = highY;
    slowest_ = slowest, fastest_ = fastest;
    narrowed_ = true;
    return;
  }
  if (cross(lowX_, lowY_, lowX, lowY) > 0) lowX_ = lowX, lowY_ = lowY;
  if (cross(highX, highY, highX_, highY_) > 0) highX_ = highX, highY_ = highY;
  slowest_ = std::max(slowest_, slowest);
  fastest_ = std::min(fastest_, fastest);
}
