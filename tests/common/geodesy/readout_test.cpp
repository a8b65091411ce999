#include "common/geodesy/readout.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace geodesy;

TEST(Readout, DegreesMinutesSeconds) {
  EXPECT_EQ(latitudeText(32.5), "Lat:   32 30' 00.0000\"");
  EXPECT_EQ(latitudeText(-32.5), "Lat:  -32 30' 00.0000\"");
  EXPECT_EQ(longitudeText(-122.25625), "Lon: -122 15' 22.5000\"");
  EXPECT_EQ(longitudeText(0.0), "Lon:    0 00' 00.0000\"");
  // Between -1 and 0 the degrees carry no sign of their own; the line still shows it.
  EXPECT_EQ(longitudeText(-0.5), "Lon:   -0 30' 00.0000\"");
  const Dms d = splitDms(-10.75);
  EXPECT_EQ(d.degrees, -10);
  EXPECT_EQ(d.minutes, -45);
  EXPECT_NEAR(d.seconds, 0.0, 1e-9);
}

TEST(Readout, MgrsLineForms) {
  EXPECT_EQ(mgrsText(48.2, 16.35), "MGRS: 33U XP 00313 39411");
  // The poles and the 180 meridian read as their nearest squares.
  EXPECT_EQ(mgrsText(90.0, 0.0), "MGRS: Z AG 00000 99889");
  EXPECT_EQ(mgrsText(-90.0, 0.0), "MGRS: B AN 00000 00111");
  EXPECT_EQ(mgrsText(0.0, 180.0), mgrsText(0.0, 179.999));
  EXPECT_EQ(mgrsText(0.0, -180.0), mgrsText(0.0, -179.999));
  EXPECT_EQ(mgrsText(91.0, 0.0), "MGRS: bad value");
}

TEST(Readout, ClampsToTheGlobe) {
  const Readout r = makeReadout(200.0, 95.0);
  EXPECT_DOUBLE_EQ(r.lon, 180.0);
  EXPECT_DOUBLE_EQ(r.lat, 90.0);
  EXPECT_EQ(r.latitude, "Lat:   90 00' 00.0000\"");
  EXPECT_EQ(r.longitude, "Lon:  180 00' 00.0000\"");
  EXPECT_EQ(r.mgrs.substr(0, 8), "MGRS: Z ");
  const Readout s = makeReadout(-500.0, -100.0);
  EXPECT_EQ(s.latitude, "Lat:  -90 00' 00.0000\"");
  EXPECT_EQ(s.mgrs.substr(0, 8), "MGRS: B ");
  const Readout n = makeReadout(NAN, NAN);
  EXPECT_EQ(n.latitude, "Lat:    0 00' 00.0000\"");
}
