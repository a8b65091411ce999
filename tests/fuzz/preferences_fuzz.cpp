// Feeds arbitrary text to the preferences reader; the settings must stay within their ranges.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "halvex/config/preferences.h"
#include "tests/fuzz/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TrackingSettings settings;
  if (!readPreferences(memoryFile(data, size), settings)) std::abort();
  if (settings.closeCount < 0 || settings.closeCount > TrackingSettings::kMaxCloseCount) {
    std::abort();
  }
  if (settings.navigationMode < 0 || settings.navigationMode > 2) std::abort();
  if (settings.displayMode < 0 || settings.displayMode > 1) std::abort();
  return 0;
}
