#include "common/geodesy/mgrs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "common/geodesy/ellipsoid.h"

using namespace geodesy;

namespace {

/// MGRS of a point in degrees, or "error N".
std::string mgrsOf(double latDeg, double lonDeg, long precision = 5) {
  char m[kMgrsBufferSize];
  const long err = geodeticToMgrs(latDeg * kDegToRad, lonDeg * kDegToRad, precision, m);
  return err ? "error " + std::to_string(err) : std::string(m);
}

long reverseError(const char* text) {
  double lat = 0, lon = 0;
  return mgrsToGeodetic(text, lat, lon);
}

}  // namespace

TEST(GeodeticToMgrs, UpsTakesOverJustAbove84North) {
  const std::string at84 = mgrsOf(84.0, 10.0);
  EXPECT_EQ(at84.size(), 15u);
  EXPECT_EQ(at84[2], 'X');
  const std::string above = mgrsOf(84.0000001, 10.0);
  EXPECT_EQ(above.size(), 13u);
  EXPECT_EQ(above[0], 'Z');
  // And at the southern switch: -80 is still band C, below it UPS.
  EXPECT_EQ(mgrsOf(-80.0, 10.0).substr(2, 1), "C");
  EXPECT_EQ(mgrsOf(-80.0000001, 10.0).substr(0, 1), "B");
  EXPECT_EQ(mgrsOf(-80.0000001, -10.0).substr(0, 1), "A");
}

TEST(GeodeticToMgrs, NorwayAndSvalbardZones) {
  EXPECT_EQ(mgrsOf(60.0, 5.0).substr(0, 3), "32V");
  EXPECT_EQ(mgrsOf(60.0, 2.9).substr(0, 3), "31V");
  EXPECT_EQ(mgrsOf(78.0, 10.0).substr(0, 3), "33X");
  EXPECT_EQ(mgrsOf(78.0, 8.9).substr(0, 3), "31X");
  EXPECT_EQ(mgrsOf(78.0, 21.0).substr(0, 3), "35X");
  EXPECT_EQ(mgrsOf(78.0, 33.0).substr(0, 3), "37X");
  EXPECT_EQ(mgrsOf(78.0, 42.0).substr(0, 3), "38X");
  // Outside the exceptions the regular six-degree zones apply.
  EXPECT_EQ(mgrsOf(55.9, 5.0).substr(0, 3), "31U");
  EXPECT_EQ(mgrsOf(71.9, 10.0).substr(0, 3), "32W");
}

TEST(GeodeticToMgrs, ZoneAndRowLettersFollowTheStandardPattern) {
  // Odd zones start their rows at A on the equator, even zones at F.
  EXPECT_EQ(mgrsOf(0.0001, -177.0), "01NEA0000000011");
  EXPECT_EQ(mgrsOf(0.0001, -171.0), "02NNF0000000011");
  EXPECT_EQ(mgrsOf(40.0, -171.0), "02TNK0000027757");
  // Both ends of the longitude range, and the 180 meridian in zone 1.
  EXPECT_EQ(mgrsOf(0.0, 180.0).substr(0, 3), "01N");
  EXPECT_EQ(mgrsOf(0.0, 359.0), mgrsOf(0.0, -1.0));
}

TEST(GeodeticToMgrs, PrecisionSetsTheDigitCount) {
  EXPECT_EQ(mgrsOf(48.2, 16.35, 0), "33UXP");
  const std::string five = mgrsOf(48.2, 16.35, 5);
  ASSERT_EQ(five.size(), 15u);
  for (long p = 1; p < 5; ++p) {
    const std::string s = mgrsOf(48.2, 16.35, p);
    ASSERT_EQ(s.size(), 5u + 2 * p) << p;
  }
  EXPECT_EQ(mgrsOf(48.2, 16.35, 6), "error 8");
  EXPECT_EQ(mgrsOf(48.2, 16.35, -1), "error 8");
  EXPECT_EQ(mgrsOf(90.1, 0.0), "error 1");
  EXPECT_EQ(mgrsOf(0.0, 360.1), "error 2");
  EXPECT_EQ(mgrsOf(0.0, -180.1), "error 2");
  char m[kMgrsBufferSize];
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(geodeticToMgrs(nan, 0.0, 5, m), kMgrsLatitudeError);
  EXPECT_EQ(geodeticToMgrs(0.0, nan, 5, m), kMgrsLongitudeError);
}

TEST(UtmToMgrs, RoundsHalvesToEvenAndHandlesTheSpecialRows) {
  char m[kMgrsBufferSize];
  const double lat = 45.0 * kDegToRad;
  ASSERT_EQ(utmToMgrs(33, lat, 500000.5, 4983000.5, 5, m), kMgrsNoError);
  EXPECT_STREQ(m, "33TWK0000083000");
  ASSERT_EQ(utmToMgrs(33, lat, 500001.5, 4983001.5, 5, m), kMgrsNoError);
  EXPECT_STREQ(m, "33TWK0000283002");
  // Rounding to the precision can carry into the next square.
  ASSERT_EQ(utmToMgrs(33, lat, 599999.6, 4983000.0, 5, m), kMgrsNoError);
  EXPECT_STREQ(m, "33TXK0000083000");
  // At precision 0 the text names the nearest square corner.
  ASSERT_EQ(utmToMgrs(33, lat, 549999.0, 4983000.0, 0, m), kMgrsNoError);
  EXPECT_STREQ(m, "33TWL");

  // A northing of exactly 10000000 (the equator from the south) reads as 9999999.
  ASSERT_EQ(utmToMgrs(33, -0.0000001, 500000.0, 10000000.0, 5, m), kMgrsNoError);
  char below[kMgrsBufferSize];
  ASSERT_EQ(utmToMgrs(33, -0.0000001, 500000.0, 9999999.0, 5, below), kMgrsNoError);
  EXPECT_STREQ(m, below);
  EXPECT_STREQ(m + 10, "99999");

  // 31V at easting 500000 is the zone's east edge and letters as the square to its west.
  ASSERT_EQ(utmToMgrs(31, 60.0 * kDegToRad, 500000.0, 6650000.0, 5, m), kMgrsNoError);
  EXPECT_STREQ(m, "31VDG9999950000");

  EXPECT_EQ(utmToMgrs(33, 85.0 * kDegToRad, 500000.0, 0.0, 5, m), kMgrsLatitudeError);
  EXPECT_EQ(utmToMgrs(33, -81.0 * kDegToRad, 500000.0, 0.0, 5, m), kMgrsLatitudeError);
  EXPECT_NE(utmToMgrs(0, 0.0, 500000.0, 0.0, 5, m), kMgrsNoError);
  EXPECT_NE(utmToMgrs(61, 0.0, 500000.0, 0.0, 5, m), kMgrsNoError);
  EXPECT_NE(utmToMgrs(33, 0.0, -1.0e9, 0.0, 5, m), kMgrsNoError);
}

TEST(UpsToMgrs, CheckedInputsAndLetters) {
  char m[kMgrsBufferSize];
  ASSERT_EQ(upsToMgrs('N', 2000000.0, 2000000.0, 5, m), kMgrsNoError);
  EXPECT_STREQ(m, "ZAH0000000000");
  ASSERT_EQ(upsToMgrs('S', 1999999.0, 2000000.0, 5, m), kMgrsNoError);
  EXPECT_STREQ(m, "AZN9999900000");
  EXPECT_EQ(upsToMgrs('X', 2000000.0, 2000000.0, 5, m), kMgrsHemisphereError);
  EXPECT_EQ(upsToMgrs('N', -1.0, 2000000.0, 5, m), kMgrsEastingError);
  EXPECT_EQ(upsToMgrs('N', 2000000.0, 4000001.0, 5, m), kMgrsNorthingError);
  EXPECT_EQ(upsToMgrs('N', 2000000.0, 2000000.0, 9, m), kMgrsPrecisionError);
}

TEST(MgrsToGeodetic, MalformedTextsAreRefused) {
  for (const char* bad : {"", "   ", "123UXP", "33UX", "33UXPQ", "33UXP123", "33UXP12345678901",
                          "33UXP123456789012", "33IXP", "33UOP", "33UXO", "00UXP", "61UXP",
                          "33UXP12a4", "33UXP12 34", "33U XP", "3-3UXP", "33UXP\x80"}) {
    EXPECT_EQ(reverseError(bad) & kMgrsStringError, kMgrsStringError) << '"' << bad << '"';
  }
  // Letters that no grid has.
  EXPECT_EQ(reverseError("33AXP"), kMgrsStringError);  // A is no UTM band
  EXPECT_EQ(reverseError("32XNP"), kMgrsStringError);  // zone 32 has no band X
  EXPECT_EQ(reverseError("33UAP"), kMgrsStringError);  // column outside zone 33's S..Z
  EXPECT_EQ(reverseError("33UXW"), kMgrsStringError);  // rows end at V
  EXPECT_EQ(reverseError("CAH"), kMgrsStringError);    // C is no polar letter
  EXPECT_EQ(reverseError("ZDH"), kMgrsStringError);    // D is never a polar column
  EXPECT_EQ(reverseError("YZQ"), kMgrsStringError);    // Y rows end at P
  EXPECT_EQ(reverseError("ZKH"), kMgrsStringError);    // Z columns end at J
}

TEST(MgrsToGeodetic, AcceptedForms) {
  double lat = 0, lon = 0;
  ASSERT_EQ(mgrsToGeodetic("  33uxp003394\r\n", lat, lon), kMgrsNoError);
  double lat2 = 0, lon2 = 0;
  ASSERT_EQ(mgrsToGeodetic("33UXP0030039400", lat2, lon2), kMgrsNoError);
  EXPECT_DOUBLE_EQ(lat, lat2);
  EXPECT_DOUBLE_EQ(lon, lon2);
  // One zone digit, and no digits at all (the square's corner).
  ASSERT_EQ(mgrsToGeodetic("4QFJ1234567890", lat, lon), kMgrsNoError);
  EXPECT_NEAR(lat * kRadToDeg, 21.409, 0.001);
  EXPECT_NEAR(lon * kRadToDeg, -157.916, 0.001);
  ASSERT_EQ(mgrsToGeodetic("ZAH", lat, lon), kMgrsNoError);
  EXPECT_DOUBLE_EQ(lat, kHalfPi);
  ASSERT_EQ(mgrsToGeodetic("BAN", lat, lon), kMgrsNoError);
  EXPECT_DOUBLE_EQ(lat, -kHalfPi);
  // A square lying across a band edge is refused where its corner leaves the band.
  EXPECT_EQ(reverseError("33UXP0400"), kMgrsLatitudeError);
}

TEST(MgrsToUtmAndUps, ZoneDigitsDecideThePath) {
  long zone = 0;
  char hemi = 0;
  double e = 0, n = 0;
  ASSERT_EQ(mgrsToUtm("33UXP0031339411", zone, hemi, e, n), kMgrsNoError);
  EXPECT_EQ(zone, 33);
  EXPECT_EQ(hemi, 'N');
  EXPECT_DOUBLE_EQ(e, 600313.0);
  EXPECT_DOUBLE_EQ(n, 5339411.0);
  ASSERT_EQ(mgrsToUtm("33HXA2167615209", zone, hemi, e, n), kMgrsNoError);
  EXPECT_EQ(hemi, 'S');
  EXPECT_DOUBLE_EQ(e, 621676.0);
  EXPECT_DOUBLE_EQ(n, 6015209.0);
  EXPECT_EQ(mgrsToUtm("ZAH", zone, hemi, e, n), kMgrsStringError);
  EXPECT_EQ(mgrsToUps("33UXP", hemi, e, n), kMgrsStringError);
  ASSERT_EQ(mgrsToUps("ZAH1234567890", hemi, e, n), kMgrsNoError);
  EXPECT_EQ(hemi, 'N');
  EXPECT_DOUBLE_EQ(e, 2012345.0);
  EXPECT_DOUBLE_EQ(n, 2067890.0);
}

TEST(MgrsRoundTrip, CornerConvertsBackToTheSameText) {
  // The corner of a square converts back into the same square at every precision.
  const double points[][2] = {{0.5, 0.5},    {-33.9, 151.2}, {64.1, -21.9}, {78.2, 15.6},
                              {83.4, -40.0}, {-79.4, 166.7}, {88.0, 120.0}, {-85.0, -60.0}};
  for (const auto& p : points) {
    for (long precision = 0; precision <= kMgrsMaxPrecision; ++precision) {
      const std::string text = mgrsOf(p[0], p[1], precision);
      double lat = 0, lon = 0;
      ASSERT_EQ(mgrsToGeodetic(text.c_str(), lat, lon), kMgrsNoError) << text;
      char back[kMgrsBufferSize];
      ASSERT_EQ(geodeticToMgrs(lat, lon, precision, back), kMgrsNoError) << text;
      EXPECT_EQ(text, back);
    }
  }
}
