// Universal Transverse Mercator: zones, hemispheres and the module's UTM ellipsoid.
#pragma once

#include "common/geodesy/ellipsoid.h"

namespace geodesy {

/// Error bits of the UTM operations.
enum UtmError : long {
  kUtmNoError = 0,
  kUtmLatitudeError = 0x1,
  kUtmLongitudeError = 0x2,
  kUtmEastingError = 0x4,
  kUtmNorthingError = 0x8,
  kUtmZoneError = 0x10,
  kUtmHemisphereError = 0x20,
  kUtmZoneOverrideError = 0x40,
  kUtmAError = 0x80,
  kUtmInvFError = 0x100,
};

/// Lowest and highest latitude that UTM covers (radians: -80.5 and 84.5 degrees).
constexpr double kUtmMinLat = -80.5 * kDegToRad;
constexpr double kUtmMaxLat = 84.5 * kDegToRad;
/// Easting and northing limits of a UTM coordinate (metres).
constexpr double kUtmMinEasting = 100000.0;
constexpr double kUtmMaxEasting = 900000.0;
constexpr double kUtmMinNorthing = 0.0;
constexpr double kUtmMaxNorthing = 10000000.0;
/// False northing of the southern hemisphere (metres).
constexpr double kUtmSouthFalseNorthing = 10000000.0;

/// Sets the module's UTM ellipsoid (a in metres) and zone override (0 = none, else 1..60).
long setUtmParameters(double a, double f, long override);

/// Geodetic (radians) to zone, hemisphere ('N'/'S'), easting and northing (metres).
long geodeticToUtm(double lat, double lon, long& zone, char& hemisphere, double& easting,
                   double& northing);

/// Zone, hemisphere, easting and northing (metres) to geodetic (radians, longitude -pi..pi).
long utmToGeodetic(long zone, char hemisphere, double easting, double northing, double& lat,
                   double& lon);

}  // namespace geodesy
