// Feeds arbitrary lines to the project's "MAP_group" section reader and checks that it stops on
// its END line or at the end of the file, with every opacity between 0 and 1.
#include <strings.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "halvex/config/field_file.h"
#include "tests/fuzz/geomap_headless.h"
#include "tests/fuzz/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text =
      "BEGIN MAP_group\n" + std::string(reinterpret_cast<const char*>(data), size);
  FieldFile file(memoryFile(text.data(), text.size()), 3);
  file.selectLine(0);
  HeadlessGroup group;
  group.readSection(file);

  int maps = 0;
  for (GeoMap* m = group.head(); m != nullptr; m = static_cast<GeoMap*>(m->next())) {
    if (!(m->opacity() >= 0 && m->opacity() <= 1)) std::abort();
    if (m->path() == nullptr || *m->path() == '\0') std::abort();
    ++maps;
  }
  if (maps != group.mapCount() || maps >= file.lineCount() + 1) std::abort();
  // The reader ends on an END line unless it ran out of lines.
  std::string word;
  const bool atEnd = file.fieldText(0, word) && strcasecmp(word.c_str(), "END") == 0;
  if (!atEnd && file.selectedLine() != file.lineCount() - 1) std::abort();
  return 0;
}
