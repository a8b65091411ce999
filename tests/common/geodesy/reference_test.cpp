// The geodesy checked point by point against an independent library: UTM/UPS coordinates within
// a millimetre, the same zone, band and square letters, and MGRS back to geodetic within 1e-8
// degrees of that library's reverse at the lower-left corner.
#include <gtest/gtest.h>

#include <GeographicLib/MGRS.hpp>
#include <GeographicLib/UTMUPS.hpp>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "common/geodesy/ellipsoid.h"
#include "common/geodesy/mgrs.h"

using namespace geodesy;
namespace gl = GeographicLib;

namespace {

constexpr double kGridTolerance = 1e-3;    ///< metres
constexpr double kDegreeTolerance = 1e-8;  ///< degrees
/// Our way back from UTM lands this far east of the central meridian (degrees).
constexpr double kMeridianNudgeDeg = 5e-8 * kRadToDeg;

struct Point {
  double lat, lon;  // degrees
};

/// Failure counts over a point set, reported with the first few offenders.
struct Tally {
  int points = 0, failures = 0;
  double worstGrid = 0, worstDeg = 0;
  std::string examples;
  void fail(const Point& p, const std::string& why) {
    if (++failures <= 5)
      examples += std::to_string(p.lat) + " " + std::to_string(p.lon) + ": " + why + "\n";
  }
};

/// The zone the MGRS rules choose; they keep exactly 84 N in UTM band X.
int expectedZone(double lat, double lon) {
  if (lat == 84.0) return gl::UTMUPS::StandardZone(83.999999, lon);
  return gl::UTMUPS::StandardZone(lat, lon);
}

bool nearHalfMetre(double v) {
  return std::fabs(v - std::floor(v) - 0.5) < kGridTolerance;
}

void check(const Point& p, Tally& t) {
  ++t.points;
  const double lat = p.lat * kDegToRad, lon = p.lon * kDegToRad;
  GridPosition g;
  if (long err = geodeticToGrid(lat, lon, g)) return t.fail(p, "grid error " + std::to_string(err));
  const int zone = expectedZone(p.lat, p.lon);
  if (g.zone != zone) return t.fail(p, "zone " + std::to_string(g.zone));
  if ((g.hemisphere == 'N') != (p.lat >= 0)) return t.fail(p, "hemisphere");

  int z = 0;
  bool northp = false;
  double x = 0, y = 0, gamma = 0, k = 0;
  gl::UTMUPS::Forward(p.lat, p.lon, z, northp, x, y, gamma, k, zone);
  const double d = std::hypot(x - g.easting, y - g.northing);
  t.worstGrid = std::max(t.worstGrid, d);
  if (!(d <= kGridTolerance)) return t.fail(p, "grid off by " + std::to_string(d) + " m");

  char ours[kMgrsBufferSize];
  if (long err = geodeticToMgrs(lat, lon, 5, ours))
    return t.fail(p, "mgrs error " + std::to_string(err));
  // 31V ends at its central meridian: easting 500000 letters as the column west of it.
  double ex = std::nearbyint(x);
  if (zone == 31 && ours[2] == 'V' && ex == 500000.0) ex -= 1.0;
  std::string theirs;
  gl::MGRS::Forward(z, northp, ex, std::nearbyint(y), p.lat, 5, theirs);
  const size_t letters = zone ? 5 : 3;
  if (theirs.compare(0, letters, ours, letters) != 0)
    return t.fail(p, "letters " + theirs + " " + ours);
  if (theirs != ours && !nearHalfMetre(x) && !nearHalfMetre(y))
    return t.fail(p, "digits " + theirs + " " + ours);

  double rlat = 0, rlon = 0;
  if (long err = mgrsToGeodetic(ours, rlat, rlon))
    return t.fail(p, std::string("reverse error ") + std::to_string(err) + " " + ours);
  int rz = 0, prec = 0;
  bool rn = false;
  double rx = 0, ry = 0, glat = 0, glon = 0;
  gl::MGRS::Reverse(ours, rz, rn, rx, ry, prec, false);
  gl::UTMUPS::Reverse(rz, rn, rx, ry, glat, glon);
  const double dlat = std::fabs(rlat * kRadToDeg - glat);
  const double dlon =
      std::fabs(std::remainder(rlon * kRadToDeg - (rz ? kMeridianNudgeDeg : 0.0) - glon, 360.0));
  const bool pole = std::fabs(glat) == 90.0;  // longitude is arbitrary there
  const double worst = pole ? dlat : std::max(dlat, dlon);
  t.worstDeg = std::max(t.worstDeg, worst);
  if (!(worst <= kDegreeTolerance))
    return t.fail(p, std::string("reverse off by ") + std::to_string(worst) + " deg " + ours);
}

void checkAll(const std::vector<Point>& points, const char* name) {
  Tally t;
  for (const Point& p : points) check(p, t);
  EXPECT_EQ(t.failures, 0) << name << ": " << t.failures << " of " << t.points << "\n"
                           << t.examples;
  std::printf("%s: %d points, worst grid %.4f mm, worst reverse %.2e deg\n", name, t.points,
              t.worstGrid * 1000, t.worstDeg);
}

/// Values just either side of an edge, and the edge itself.
std::vector<double> around(double edge) {
  return {edge - 1e-7, edge - 1e-9, edge, edge + 1e-9, edge + 1e-7};
}

}  // namespace

TEST(Reference, RandomPointsOverTheGlobe) {
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> ulat(-90.0, 90.0), ulon(-180.0, 180.0);
  std::vector<Point> points(120000);
  for (Point& p : points) p = {ulat(rng), ulon(rng)};
  checkAll(points, "random");
}

TEST(Reference, BandAndZoneEdges) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> ulon(-180.0, 180.0), ulat(-80.0, 84.0);
  std::vector<Point> points;
  for (int band = 0; band <= 20; ++band)
    for (double lat : around(-80.0 + 8.0 * band))
      if (lat >= -80.0 && lat <= 84.0)
        for (int i = 0; i < 40; ++i) points.push_back({lat, ulon(rng)});
  for (int zone = 0; zone < 60; ++zone)
    for (double lon : around(-180.0 + 6.0 * zone))
      for (int i = 0; i < 20; ++i) points.push_back({ulat(rng), lon < -180.0 ? lon + 360 : lon});
  checkAll(points, "edges");
}

TEST(Reference, NorwayAndSvalbard) {
  std::vector<Point> points;
  // Grids from whole steps, so that 0 E is exactly zero.
  for (int i = 0; i <= 180; ++i)
    for (int j = 0; j <= 260; ++j) points.push_back({55.5 + i * 0.05, -0.5 + j * 0.05});
  for (int i = 0; i <= 250; ++i)
    for (int j = 0; j <= 860; ++j) points.push_back({71.5 + i * 0.05, -0.5 + j * 0.05});
  for (double lon : {0.0, 3.0, 9.0, 12.0, 21.0, 33.0, 42.0})
    for (double l : around(lon))
      for (double lat : {56.0, 60.0, 63.999, 72.0, 78.0, 83.999}) points.push_back({lat, l});
  checkAll(points, "norway-svalbard");
}

TEST(Reference, PolarSwitchPolesMeridianAndEquator) {
  std::vector<Point> points;
  for (double lon = -180.0; lon < 180.0; lon += 0.25) {
    for (double lat : {-80.0, -80.0 - 1e-9, -80.0 + 1e-9, -80.5, 84.0, 84.0 - 1e-9, 84.0 + 1e-9,
                       84.5, 89.9999, -89.9999, 0.0, 1e-9, -1e-9})
      points.push_back({lat, lon});
  }
  for (double lat = -90.0; lat <= 90.0; lat += 0.01)
    for (double lon : {180.0, -180.0, 179.9999999, -179.9999999, 0.0}) points.push_back({lat, lon});
  checkAll(points, "switch-poles-meridian-equator");
}
