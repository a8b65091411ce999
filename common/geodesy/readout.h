// The three position readout lines shown under the mouse pointer: latitude and longitude in
// degrees, minutes and seconds, and the MGRS reference.
#pragma once

#include <string>

namespace geodesy {

/// Degrees, minutes and seconds of a value in degrees; the sign rides on the degrees.
struct Dms {
  int degrees;     ///< truncated toward zero, signed
  int minutes;     ///< truncated toward zero, signed like the value
  double seconds;  ///< signed like the value
};

/// Splits decimal degrees into degrees, minutes and seconds.
Dms splitDms(double degrees);

/// The readout of one ground position.
struct Readout {
  std::string latitude;   ///< "Lat: ..." line
  std::string longitude;  ///< "Lon: ..." line
  std::string mgrs;       ///< "MGRS: ..." line
  double lat = 0;         ///< clamped latitude (degrees), kept by the caller
  double lon = 0;         ///< clamped longitude (degrees), kept by the caller
};

/// "Lat: %4d %02d' %07.4f\"" for a latitude in degrees (clamped to -90..90).
std::string latitudeText(double lat);
/// "Lon: %4d %02d' %07.4f\"" for a longitude in degrees (clamped to -180..180).
std::string longitudeText(double lon);
/// "MGRS: ..." at one-metre precision, or "MGRS: bad value".
std::string mgrsText(double lat, double lon);

/// All three lines for the pointer at (lon, lat) in degrees, clamped to the globe first.
Readout makeReadout(double lon, double lat);

}  // namespace geodesy
