// Grid reference positions against an independent geodesy library: every reference is read in
// grid zone 38S and placed at the lower-left corner of its square.
#include <gtest/gtest.h>

#include <GeographicLib/MGRS.hpp>
#include <GeographicLib/UTMUPS.hpp>
#include <random>
#include <string>

#include "cast_test_support.h"

namespace gl = GeographicLib;

namespace {

constexpr double kToleranceDeg = 1e-8;
/// The shared geodesy's way back from UTM lands this far east of the reference (degrees).
constexpr double kMeridianNudgeDeg = 5e-8 * 57.29577951308232;

/// Latitude and longitude (degrees) of an MGRS text's lower-left corner by the reference.
void reference(const std::string& mgrs, double& lat, double& lon) {
  int zone, precision;
  bool north;
  double x, y;
  gl::MGRS::Reverse(mgrs, zone, north, x, y, precision, false);
  gl::UTMUPS::Reverse(zone, north, x, y, lat, lon);
}

}  // namespace

TEST(GridReference, PositionsMatchTheReference) {
  // Points all over grid zone 38S (32..40 N, 42..48 E), written as "GR <square> <e> <n>" with
  // the digits as a writer would give them: five, or fewer when leading zeros are left out.
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> lat(32.0, 40.0), lon(42.0, 48.0);
  std::string text;
  std::vector<std::string> mgrs;
  for (int i = 0; i < 300; ++i) {
    int zone;
    bool north;
    double x, y;
    const double la = lat(rng), lo = lon(rng);
    gl::UTMUPS::Forward(la, lo, zone, north, x, y);
    std::string m;
    gl::MGRS::Forward(zone, north, x, y, la, 5, m);
    if (m.compare(0, 3, "38S") != 0) continue;
    mgrs.push_back(m);
    const long e = std::stol(m.substr(5, 5)), n = std::stol(m.substr(10, 5));
    text += "071230Dec hit at GR " + m.substr(3, 2) + " " + std::to_string(e) + " " +
            std::to_string(n) + ".\n";
  }
  ASSERT_GT(mgrs.size(), 200u);

  dunmore::ReportSet set;
  casttest::Captured c;
  ASSERT_EQ(casttest::parseText(text, set, c), dunmore::ParseResult::kParsed);
  ASSERT_EQ(set.reports().size(), mgrs.size());
  for (std::size_t i = 0; i < mgrs.size(); ++i) {
    const dunmore::Report& r = set.reports()[i];
    double la, lo;
    reference(mgrs[i], la, lo);
    ASSERT_EQ(r.gridError, 0) << mgrs[i];
    EXPECT_NEAR(r.latitude, la, kToleranceDeg) << mgrs[i];
    EXPECT_NEAR(r.longitude - kMeridianNudgeDeg, lo, kToleranceDeg) << mgrs[i];
  }
}
