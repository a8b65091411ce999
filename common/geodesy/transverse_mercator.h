// Transverse Mercator projection by the classic series in powers of the longitude difference
// (forward) and of the easting (inverse), good to well under a millimetre within a UTM zone.
#pragma once

namespace geodesy {

/// Error bits of the transverse Mercator layer.
enum TmError : long {
  kTmNoError = 0,
  kTmLatitudeError = 0x1,
  kTmLongitudeError = 0x2,
  kTmEastingError = 0x4,
  kTmNorthingError = 0x8,
  kTmOriginLatitudeError = 0x10,
  kTmCentralMeridianError = 0x20,
  kTmAError = 0x40,
  kTmInvFError = 0x80,
  kTmScaleFactorError = 0x100,
  kTmLongitudeWarning = 0x200,
};

/// Projection parameters with the ellipsoid values derived from them.
class TransverseMercator {
 public:
  /// Sets every parameter; returns TmError bits and keeps the old values on error.
  /// a in metres, originLat and centralMeridian in radians, false easting/northing in metres.
  long setParameters(double a, double f, double originLat, double centralMeridian,
                     double falseEasting, double falseNorthing, double scale);

  /// Moves the central meridian and false northing only (radians, metres); the ellipsoid,
  /// origin and scale stay. Used by UTM, which changes zones far more often than ellipsoids.
  void setZone(double centralMeridian, double falseNorthing) {
    lon0_ = centralMeridian;
    fn_ = falseNorthing;
  }

  /// Geodetic (radians) to easting and northing (metres); returns TmError bits.
  long forward(double lat, double lon, double& easting, double& northing) const;

  /// Easting and northing (metres) to geodetic (radians); returns TmError bits.
  long inverse(double easting, double northing, double& lat, double& lon) const;

  double a() const { return a_; }
  double f() const { return f_; }

 private:
  /// Meridional arc from the equator to latitude phi (metres).
  double meridianArc(double phi) const;
  /// Meridional arc from its sine and cosine (metres).
  double meridianArc(double phi, double s, double c) const;

  double a_ = 0, f_ = 0;
  double lat0_ = 0, lon0_ = 0, fe_ = 0, fn_ = 0, k0_ = 1;
  double es_ = 0;                                      // first eccentricity squared
  double ebs_ = 0;                                     // second eccentricity squared
  double ap_ = 0, bp_ = 0, cp_ = 0, dp_ = 0, ep_ = 0;  // meridional arc coefficients (metres)
  double m0_ = 0;  // meridional arc of the origin latitude (metres)
  bool set_ = false;
};

}  // namespace geodesy
