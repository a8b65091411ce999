// Feeds arbitrary text to the input/output definitions reader and the master file reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "halvex/config/io_definitions.h"
#include "halvex/config/master_config.h"
#include "tests/fuzz/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = memoryFile(data, size);
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
