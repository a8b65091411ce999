// Universal Polar Stereographic: the polar caps beyond the UTM latitudes.
#pragma once

#include "common/geodesy/ellipsoid.h"

namespace geodesy {

/// Error bits of the UPS operations.
enum UpsError : long {
  kUpsNoError = 0,
  kUpsLatitudeError = 0x1,
  kUpsLongitudeError = 0x2,
  kUpsHemisphereError = 0x4,
  kUpsEastingError = 0x8,
  kUpsNorthingError = 0x10,
  kUpsAError = 0x20,
  kUpsInvFError = 0x40,
};

/// UPS scale factor at the pole.
constexpr double kUpsPoleScale = 0.994;
/// False easting and northing of both UPS grids (metres).
constexpr double kUpsFalseOrigin = 2000000.0;
/// Largest UPS easting or northing (metres).
constexpr double kUpsMaxCoordinate = 4000000.0;
/// UPS reaches down to these latitudes (radians: 83.5 N and 79.5 S).
constexpr double kUpsMinNorthLat = 83.5 * kDegToRad;
constexpr double kUpsMaxSouthLat = -79.5 * kDegToRad;

/// Sets the module's UPS ellipsoid (a in metres).
long setUpsParameters(double a, double f);

/// Geodetic (radians) to hemisphere ('N'/'S'), easting and northing (metres).
long geodeticToUps(double lat, double lon, char& hemisphere, double& easting, double& northing);

/// Hemisphere, easting and northing (metres) to geodetic (radians).
long upsToGeodetic(char hemisphere, double easting, double northing, double& lat, double& lon);

}  // namespace geodesy
