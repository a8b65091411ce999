// Feeds arbitrary text to the line-field reader, with the default or a custom scan pattern, and
// checks the bounds every stored line must keep.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "halvex/config/field_file.h"

// Input layout: byte 0 gives N (low 5 bits) and whether a pattern follows (bit 5); a pattern runs
// up to the first line feed; the rest is the file text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int fieldCount = data[0] & 0x1f;
  const bool custom = (data[0] & 0x20) != 0;
  std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string pattern;
  if (custom) {
    const std::size_t end = rest.find('\n');
    if (end == std::string::npos) return 0;
    pattern = rest.substr(0, end);
    rest.erase(0, end + 1);
  }
  if (rest.empty()) return 0;  // fmemopen wants a buffer
  std::FILE* memory = fmemopen(rest.data(), rest.size(), "r");
  if (memory == nullptr) return 0;
  FieldFile file(memory, fieldCount, pattern);
  std::fclose(memory);

  const int limit = fieldCount < 1 ? 1 : (fieldCount > 16 ? 16 : fieldCount);
  for (int i = 0; i < file.lineCount(); ++i) {
    file.selectLine(i);
    if (file.selectedLine() != i) std::abort();
    const int count = file.fieldCount();
    if (count < 1 || count > limit) std::abort();
    for (int k = 0; k < count; ++k) {
      std::string word;
      double d = 0;
      long l = 0;
      if (!file.fieldText(k, word) || !file.fieldDouble(k, d) || !file.fieldLong(k, l)) {
        std::abort();
      }
      if (word.size() >= FieldFile::kMaxFieldLength) std::abort();
      if (d != d) std::abort();  // never NaN
      if (!custom && word.find_first_of(" \t\n\r\v\f") != std::string::npos) std::abort();
    }
    std::string word;
    if (file.fieldText(count, word)) std::abort();
  }
  file.selectLine(0);
  int steps = 0;
  while (file.nextLine()) ++steps;
  if (file.lineCount() > 0 && steps != file.lineCount() - 1) std::abort();
  return 0;
}
