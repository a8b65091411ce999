#include "tools/fleet_routes.h"

#include <algorithm>
#include <cmath>

#include "common/angles.h"

namespace fleet_routes {

namespace {

constexpr int kRingSamples = 120;       ///< Polyline points of a ring route.
constexpr int kTourSamplesPerLeg = 24;  ///< Polyline points between two tour waypoints.

}  // namespace

double uniform(Random& rng, double low, double high) {
  return std::uniform_real_distribution<double>(low, high)(rng);
}

Point within(Point p, double radius) {
  const double r = std::hypot(p.x, p.y);
  if (r > radius) {
    p.x *= radius / r;
    p.y *= radius / r;
  }
  return p;
}

Route makeRing(Random& rng, double radius, int number) {
  const double centreAngle = uniform(rng, 0, 2 * kPi);
  const double centreDistance = uniform(rng, 0, 0.45 * radius);
  const Point centre{centreDistance * std::cos(centreAngle),
                     centreDistance * std::sin(centreAngle)};
  const double size = std::min(uniform(rng, 0.2, 0.5) * radius, 0.95 * radius - centreDistance);
  const double squash = uniform(rng, 0.6, 1.0);
  const double tilt = uniform(rng, 0, kPi);
  const double wavePhase = uniform(rng, 0, 2 * kPi);
  const bool clockwise = uniform(rng, 0, 1) < 0.5;
  std::vector<Point> points;
  for (int i = 0; i < kRingSamples; ++i) {
    const double t = 2 * kPi * i / kRingSamples * (clockwise ? -1 : 1);
    const double r = size * (1 + 0.08 * std::sin(3 * t + wavePhase));
    const double ex = r * std::cos(t);
    const double ey = r * squash * std::sin(t);
    points.push_back(within({centre.x + ex * std::cos(tilt) - ey * std::sin(tilt),
                             centre.y + ex * std::sin(tilt) + ey * std::cos(tilt)},
                            radius));
  }
  return Route(points, "ring " + std::to_string(number));
}

Route makeTour(Random& rng, double radius, int number) {
  const int count = std::uniform_int_distribution<int>(4, 6)(rng);
  const double start = uniform(rng, 0, 2 * kPi);
  std::vector<Point> waypoints;
  for (int i = 0; i < count; ++i) {
    const double angle = start + 2 * kPi * (i + uniform(rng, -0.3, 0.3)) / count;
    const double distance = uniform(rng, 0.25, 0.9) * radius;
    waypoints.push_back({distance * std::cos(angle), distance * std::sin(angle)});
  }
  if (uniform(rng, 0, 1) < 0.5) std::reverse(waypoints.begin(), waypoints.end());
  // Catmull-Rom through the waypoints, closed.
  std::vector<Point> points;
  for (int i = 0; i < count; ++i) {
    const Point& p0 = waypoints[static_cast<size_t>((i + count - 1) % count)];
    const Point& p1 = waypoints[static_cast<size_t>(i)];
    const Point& p2 = waypoints[static_cast<size_t>((i + 1) % count)];
    const Point& p3 = waypoints[static_cast<size_t>((i + 2) % count)];
    for (int k = 0; k < kTourSamplesPerLeg; ++k) {
      const double t = static_cast<double>(k) / kTourSamplesPerLeg;
      const double t2 = t * t, t3 = t2 * t;
      auto blend = [&](double a, double b, double c, double d) {
        return 0.5 * (2 * b + (c - a) * t + (2 * a - 5 * b + 4 * c - d) * t2 +
                      (3 * b - a - 3 * c + d) * t3);
      };
      points.push_back(
          within({blend(p0.x, p1.x, p2.x, p3.x), blend(p0.y, p1.y, p2.y, p3.y)}, radius));
    }
  }
  return Route(points, "route " + std::to_string(number));
}

}  // namespace fleet_routes
