// Military Grid Reference System texts to and from geodetic coordinates, through UTM between
// 80 S and 84 N and through UPS beyond.
#pragma once

namespace geodesy {

/// Error bits of the MGRS operations (each operation documents which it can return).
enum MgrsError : long {
  kMgrsNoError = 0,
  kMgrsLatitudeError = 0x1,
  kMgrsLongitudeError = 0x2,
  kMgrsStringError = 0x4,
  kMgrsPrecisionError = 0x8,
  kMgrsZoneError = 0x10,
  kMgrsEastingError = 0x40,
  kMgrsNorthingError = 0x80,
  kMgrsHemisphereError = 0x200,
};

/// Room for any MGRS text these functions write, with its terminating NUL (characters).
constexpr int kMgrsBufferSize = 16;
/// Finest precision: five digits each for easting and northing (one metre).
constexpr long kMgrsMaxPrecision = 5;

/// A grid coordinate as geodeticToMgrs sees it: UTM zone 1..60, or zone 0 for UPS.
struct GridPosition {
  long zone = 0;
  char hemisphere = 'N';
  double easting = 0;   ///< metres
  double northing = 0;  ///< metres
};

/// Geodetic (radians; latitude -pi/2..pi/2, longitude -pi..2pi) to an MGRS text of the
/// given precision (0..5) in `mgrs` (kMgrsBufferSize characters). Returns error bits.
long geodeticToMgrs(double lat, double lon, long precision, char* mgrs);

/// Geodetic (radians) to the UTM or UPS coordinate that geodeticToMgrs would letter.
long geodeticToGrid(double lat, double lon, GridPosition& grid);

/// UTM coordinate (metres) with its latitude (radians) for the band, to an MGRS text.
long utmToMgrs(long zone, double lat, double easting, double northing, long precision, char* mgrs);

/// UPS coordinate (metres) to an MGRS text without zone digits.
long upsToMgrs(char hemisphere, double easting, double northing, long precision, char* mgrs);

/// MGRS text to geodetic (radians) at the lower-left corner of its square. Returns error bits.
long mgrsToGeodetic(const char* mgrs, double& lat, double& lon);

/// MGRS text with zone digits to a UTM coordinate (metres).
long mgrsToUtm(const char* mgrs, long& zone, char& hemisphere, double& easting, double& northing);

/// MGRS text without zone digits to a UPS coordinate (metres).
long mgrsToUps(const char* mgrs, char& hemisphere, double& easting, double& northing);

}  // namespace geodesy
