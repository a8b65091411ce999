// Feeds arbitrary text to the preferences reader; the settings must stay within their ranges.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "halvex/config/preferences.h"

namespace {

// The reader takes a path; an in-memory file reached through /proc keeps the disk out of it.
std::string fileWith(const uint8_t* data, size_t size) {
  static const int fd = memfd_create("preferences_fuzz", 0);
  if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
  if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TrackingSettings settings;
  if (!readPreferences(fileWith(data, size), settings)) std::abort();
  if (settings.closeCount < 0 || settings.closeCount > TrackingSettings::kMaxCloseCount) {
    std::abort();
  }
  if (settings.navigationMode < 0 || settings.navigationMode > 2) std::abort();
  if (settings.displayMode < 0 || settings.displayMode > 1) std::abort();
  return 0;
}
