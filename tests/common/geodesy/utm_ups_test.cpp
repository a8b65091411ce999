#include <gtest/gtest.h>

#include <cmath>

#include "common/geodesy/ellipsoid.h"
#include "common/geodesy/ups.h"
#include "common/geodesy/utm.h"

using namespace geodesy;

namespace {
/// Puts the module's ellipsoids back to WGS 84 without a zone override.
struct Wgs84Reset {
  ~Wgs84Reset() {
    setUtmParameters(kWgs84A, kWgs84F, 0);
    setUpsParameters(kWgs84A, kWgs84F);
  }
};
}  // namespace

TEST(UtmParameters, RefusedValuesKeepTheOldOnes) {
  Wgs84Reset reset;
  EXPECT_EQ(setUtmParameters(0.0, kWgs84F, 0), kUtmAError);
  EXPECT_EQ(setUtmParameters(kWgs84A, 1.0 / 200.0, 0), kUtmInvFError);
  EXPECT_EQ(setUtmParameters(kWgs84A, 1.0 / 351.0, 0), kUtmInvFError);
  EXPECT_EQ(setUtmParameters(kWgs84A, kWgs84F, 61), kUtmZoneOverrideError);
  EXPECT_EQ(setUtmParameters(kWgs84A, kWgs84F, -1), kUtmZoneOverrideError);
  EXPECT_EQ(setUtmParameters(-1.0, 0.5, 99), kUtmAError | kUtmInvFError | kUtmZoneOverrideError);
  long zone = 0;
  char hemi = 0;
  double e = 0, n = 0;
  ASSERT_EQ(geodeticToUtm(0.0, 3.0 * kDegToRad, zone, hemi, e, n), kUtmNoError);
  EXPECT_NEAR(e, 500000.0, 1e-6);
}

TEST(UtmParameters, ZoneOverrideTakesOnlyNeighbours) {
  Wgs84Reset reset;
  long zone = 0;
  char hemi = 0;
  double e = 0, n = 0;
  ASSERT_EQ(setUtmParameters(kWgs84A, kWgs84F, 32), kUtmNoError);
  ASSERT_EQ(geodeticToUtm(60.0 * kDegToRad, 15.5 * kDegToRad, zone, hemi, e, n), kUtmNoError);
  EXPECT_EQ(zone, 32);
  EXPECT_GT(e, 800000.0);
  EXPECT_EQ(geodeticToUtm(45.0 * kDegToRad, 28.0 * kDegToRad, zone, hemi, e, n),
            kUtmZoneOverrideError);
  // Zones 60 and 1 are neighbours across the 180 meridian.
  ASSERT_EQ(setUtmParameters(kWgs84A, kWgs84F, 60), kUtmNoError);
  ASSERT_EQ(geodeticToUtm(60.0 * kDegToRad, -179.0 * kDegToRad, zone, hemi, e, n), kUtmNoError);
  EXPECT_EQ(zone, 60);
}

TEST(GeodeticToUtm, RangeChecksAndHemispheres) {
  long zone = 0;
  char hemi = 0;
  double e = 0, n = 0;
  EXPECT_EQ(geodeticToUtm(84.6 * kDegToRad, 0.0, zone, hemi, e, n), kUtmLatitudeError);
  EXPECT_EQ(geodeticToUtm(-80.6 * kDegToRad, 0.0, zone, hemi, e, n), kUtmLatitudeError);
  EXPECT_EQ(geodeticToUtm(0.0, 7.0, zone, hemi, e, n), kUtmLongitudeError);
  EXPECT_EQ(geodeticToUtm(NAN, NAN, zone, hemi, e, n), kUtmLatitudeError | kUtmLongitudeError);
  ASSERT_EQ(geodeticToUtm(-1e-12, 0.0, zone, hemi, e, n), kUtmNoError);
  EXPECT_EQ(hemi, 'S');
  EXPECT_NEAR(n, 10000000.0, 1e-3);
  ASSERT_EQ(geodeticToUtm(0.0, 0.0, zone, hemi, e, n), kUtmNoError);
  EXPECT_EQ(hemi, 'N');
  EXPECT_EQ(zone, 31);
  EXPECT_NEAR(n, 0.0, 1e-9);
}

TEST(UtmToGeodetic, RangeChecksAndTheMeridianNudge) {
  double lat = 0, lon = 0;
  EXPECT_EQ(utmToGeodetic(0, 'N', 500000.0, 0.0, lat, lon), kUtmZoneError);
  EXPECT_EQ(utmToGeodetic(61, 'N', 500000.0, 0.0, lat, lon), kUtmZoneError);
  EXPECT_EQ(utmToGeodetic(31, 'X', 500000.0, 0.0, lat, lon), kUtmHemisphereError);
  EXPECT_EQ(utmToGeodetic(31, 'N', 99999.0, 0.0, lat, lon), kUtmEastingError);
  EXPECT_EQ(utmToGeodetic(31, 'N', 500000.0, -1.0, lat, lon), kUtmNorthingError);
  EXPECT_EQ(utmToGeodetic(31, 'N', 500000.0, 9990000.0, lat, lon), kUtmNorthingError);
  // On the central meridian the way back lands 5e-8 rad east of it.
  ASSERT_EQ(utmToGeodetic(31, 'N', 500000.0, 0.0, lat, lon), kUtmNoError);
  EXPECT_NEAR(lat, 0.0, 1e-15);
  EXPECT_NEAR(lon, 3.0 * kDegToRad + 5e-8, 1e-15);
  // Zone 1's meridian lies west of 180; the result comes back in -pi..pi.
  ASSERT_EQ(utmToGeodetic(1, 'S', 500000.0, 5000000.0, lat, lon), kUtmNoError);
  EXPECT_NEAR(lon * kRadToDeg, -177.0, 1e-5);
}

TEST(TransverseMercator, ForwardAndInverseAgreeAcrossAWideZone) {
  // Up to six degrees from the meridian (the widest zones) the two series agree to a millimetre.
  for (double latDeg = -80.0; latDeg <= 84.0; latDeg += 4.0) {
    for (double dlon = -6.0; dlon <= 6.0; dlon += 1.0) {
      const double lon = (15.0 + dlon) * kDegToRad;
      long zone = 0;
      char hemi = 0;
      double e = 0, n = 0;
      ASSERT_EQ(setUtmParameters(kWgs84A, kWgs84F, 33), kUtmNoError);
      const long err = geodeticToUtm(latDeg * kDegToRad, lon, zone, hemi, e, n);
      if (err) continue;  // beyond the easting limits near the equator
      double lat = 0, back = 0;
      ASSERT_EQ(utmToGeodetic(zone, hemi, e, n, lat, back), kUtmNoError);
      const double metresPerRad = kWgs84A;
      EXPECT_LT(std::fabs(lat - latDeg * kDegToRad) * metresPerRad, 1e-3) << latDeg << " " << dlon;
      EXPECT_LT(std::fabs(back - 5e-8 - lon) * std::cos(lat) * metresPerRad, 1e-3)
          << latDeg << " " << dlon;
    }
  }
  setUtmParameters(kWgs84A, kWgs84F, 0);
}

TEST(Ups, ParametersRangesAndCaps) {
  Wgs84Reset reset;
  EXPECT_EQ(setUpsParameters(0.0, kWgs84F), kUpsAError);
  EXPECT_EQ(setUpsParameters(kWgs84A, 0.1), kUpsInvFError);
  char hemi = 0;
  double e = 0, n = 0, lat = 0, lon = 0;
  EXPECT_EQ(geodeticToUps(80.0 * kDegToRad, 0.0, hemi, e, n), kUpsLatitudeError);
  EXPECT_EQ(geodeticToUps(-79.0 * kDegToRad, 0.0, hemi, e, n), kUpsLatitudeError);
  EXPECT_EQ(geodeticToUps(2.0, 0.0, hemi, e, n), kUpsLatitudeError);
  EXPECT_EQ(geodeticToUps(89.0 * kDegToRad, -4.0, hemi, e, n), kUpsLongitudeError);
  ASSERT_EQ(geodeticToUps(83.6 * kDegToRad, 0.0, hemi, e, n), kUpsNoError);
  ASSERT_EQ(geodeticToUps(-79.6 * kDegToRad, 0.0, hemi, e, n), kUpsNoError);
  EXPECT_EQ(hemi, 'S');
  // At the pole the grid's origin; the scale there is 0.994.
  ASSERT_EQ(geodeticToUps(kHalfPi, 0.0, hemi, e, n), kUpsNoError);
  EXPECT_EQ(hemi, 'N');
  EXPECT_DOUBLE_EQ(e, 2000000.0);
  EXPECT_DOUBLE_EQ(n, 2000000.0);
  double e1 = 0, n1 = 0;
  const double dlat = 1e-6;
  ASSERT_EQ(geodeticToUps(kHalfPi - dlat, 0.0, hemi, e1, n1), kUpsNoError);
  const double polarRadius = kWgs84A * kWgs84A / (kWgs84A * (1.0 - kWgs84F));
  EXPECT_NEAR((n - n1) / (polarRadius * dlat), kUpsPoleScale, 1e-6);

  EXPECT_EQ(upsToGeodetic('Q', 2e6, 2e6, lat, lon), kUpsHemisphereError);
  EXPECT_EQ(upsToGeodetic('N', -1.0, 2e6, lat, lon), kUpsEastingError);
  EXPECT_EQ(upsToGeodetic('N', 2e6, 4000001.0, lat, lon), kUpsNorthingError);
  EXPECT_EQ(upsToGeodetic('N', 2e6, 100000.0, lat, lon), kUpsLatitudeError);
  EXPECT_EQ(upsToGeodetic('S', 2e6, 3900000.0, lat, lon), kUpsLatitudeError);
  ASSERT_EQ(upsToGeodetic('S', 2e6, 2e6, lat, lon), kUpsNoError);
  EXPECT_DOUBLE_EQ(lat, -kHalfPi);
}
