// Feeds arbitrary bytes to the MGRS reader; whatever it accepts must convert back into a square.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/geodesy/mgrs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // NUL-terminated copy
  double lat = 0, lon = 0;
  if (geodesy::mgrsToGeodetic(text.c_str(), lat, lon) != geodesy::kMgrsNoError) return 0;
  if (!(lat >= -1.5707963267948966 && lat <= 1.5707963267948966)) std::abort();
  if (!(lon >= -3.2 && lon <= 3.2)) std::abort();
  char back[geodesy::kMgrsBufferSize];
  geodesy::geodeticToMgrs(lat, lon, 5, back);
  long zone = 0;
  char hemi = 0;
  double e = 0, n = 0;
  geodesy::mgrsToUtm(text.c_str(), zone, hemi, e, n);
  geodesy::mgrsToUps(text.c_str(), hemi, e, n);
  return 0;
}
