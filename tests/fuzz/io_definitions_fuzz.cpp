// Feeds arbitrary text to the input/output definitions reader and the master file reader.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "halvex/config/io_definitions.h"
#include "halvex/config/master_config.h"

namespace {

// The readers take a path; an in-memory file reached through /proc keeps the disk out of it.
std::string fileWith(const uint8_t* data, size_t size) {
  static const int fd = memfd_create("io_definitions_fuzz", 0);
  if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
  if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fileWith(data, size);
  IoDefinitions defs;
  if (!readIoDefinitions(path, defs)) std::abort();
  if (defs.inputMode < 0 || defs.inputMode > 5) std::abort();
  if (defs.outputCount < 0 || defs.outputCount > IoDefinitions::kMaxOutputs) std::abort();
  for (int i = 0; i < defs.outputCount; ++i) {
    const int mode = defs.outputs[i];
    if (mode != 2 && mode != 4 && mode != 5) std::abort();
  }
  selectedInputButton(defs);
  outputButtonsToSet(defs);

  for (const MasterEntry& entry : readMasterFile(path)) {
    MasterKey key;
    if (entry.value.empty() || !parseMasterKey(masterKeyName(entry.key), key)) std::abort();
  }
  return 0;
}
