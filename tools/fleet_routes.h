// The closed routes of the simulated fleet: ring roads and waypoint tours laid at random in a
// circular region, each a polyline driven by distance along it.
#pragma once

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace fleet_routes {

/// A point on the local plane around the region centre: metres east and north.
struct Point {
  double x = 0;
  double y = 0;
};

/// A closed route: a polyline driven by distance along it.
class Route {
 public:
  Route(std::vector<Point> points, std::string label)
      : points_(std::move(points)), label_(std::move(label)) {
    lengths_.push_back(0);
    for (size_t i = 0; i < points_.size(); ++i) {
      const Point& a = points_[i];
      const Point& b = points_[(i + 1) % points_.size()];
      lengths_.push_back(lengths_.back() + std::hypot(b.x - a.x, b.y - a.y));
    }
  }

  /// The point `s` metres along the route from its start (any s, the route being closed).
  Point at(double s) const {
    const double total = lengths_.back();
    if (total <= 0) return points_.front();
    s = std::fmod(s, total);
    if (s < 0) s += total;
    const size_t i = static_cast<size_t>(std::upper_bound(lengths_.begin(), lengths_.end(), s) -
                                         lengths_.begin() - 1);
    const size_t k = std::min(i, points_.size() - 1);
    const Point& a = points_[k];
    const Point& b = points_[(k + 1) % points_.size()];
    const double span = lengths_[k + 1] - lengths_[k];
    const double f = span > 0 ? (s - lengths_[k]) / span : 0;
    return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f};
  }

  double length() const { return lengths_.back(); }
  const std::string& label() const { return label_; }

 private:
  std::vector<Point> points_;
  std::vector<double> lengths_;  ///< Distance from the start to each point, and the total.
  std::string label_;
};

using Random = std::mt19937_64;

/// A value drawn evenly from [low, high).
double uniform(Random& rng, double low, double high);

/// Brings a point inside the region's circle of `radius` metres.
Point within(Point p, double radius);

/// A ring road: a wavy ellipse somewhere in the region of `radius` metres, labelled
/// "ring <number>".
Route makeRing(Random& rng, double radius, int number);

/// A waypoint tour: a smooth closed curve through four to six points around the region of
/// `radius` metres, labelled "route <number>".
Route makeTour(Random& rng, double radius, int number);

}  // namespace fleet_routes
