// Ellipsoidal polar stereographic projection about either pole, as used by UPS.
#pragma once

namespace geodesy {

/// Error bits of the polar stereographic layer.
enum PsError : long {
  kPsNoError = 0,
  kPsLatitudeError = 0x1,
  kPsLongitudeError = 0x2,
  kPsEastingError = 0x4,
  kPsNorthingError = 0x8,
  kPsAError = 0x20,
  kPsInvFError = 0x40,
};

class PolarStereographic {
 public:
  /// Sets the ellipsoid (a in metres), the hemisphere ('N' or 'S'), the scale factor at the
  /// pole and the false easting and northing (metres); returns PsError bits.
  long setParameters(double a, double f, char hemisphere, double poleScale, double falseEasting,
                     double falseNorthing);

  /// Geodetic (radians) to easting and northing (metres); returns PsError bits.
  long forward(double lat, double lon, double& easting, double& northing) const;

  /// Easting and northing (metres) to geodetic (radians); returns PsError bits.
  long inverse(double easting, double northing, double& lat, double& lon) const;

 private:
  double a_ = 0, f_ = 0, k0_ = 0;
  double e_ = 0;         // first eccentricity
  double rhoScale_ = 0;  // distance from the pole per unit of the isometric t (metres)
  double c2_ = 0, c4_ = 0, c6_ = 0, c8_ = 0;  // conformal to geodetic latitude series
  bool south_ = false;
  double fe_ = 0, fn_ = 0;
  bool set_ = false;
};

}  // namespace geodesy
