// Feeds arbitrary bytes to the auto-start file reader. The project it names must be the file's
// first word exactly as a scan by hand finds it (white space skipped, up to the next white space,
// cut at a NUL), or nothing when that word is longer than the reader keeps; and a word it gives
// must read back the same from a file holding only that word, as set() writes it.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "halvex/project/auto_start.h"

namespace {

/// AutoStartFile::firstWord over the bytes (at least one) as a stream.
std::string readWord(const void* data, size_t size, bool* tooLong) {
  std::FILE* in = fmemopen(const_cast<void*>(data), size, "rb");
  if (in == nullptr) std::abort();
  const std::string word = AutoStartFile::firstWord(in, tooLong);
  std::fclose(in);
  return word;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // fmemopen refuses an empty buffer; an empty file has no word.
  if (size == 0) return 0;
  bool tooLong = false;
  const std::string word = readWord(data, size, &tooLong);

  // The first run of bytes that are no white space, as the C locale tells it.
  size_t start = 0;
  while (start < size && std::isspace(data[start])) ++start;
  size_t end = start;
  while (end < size && !std::isspace(data[end])) ++end;
  const size_t runLength = end - start;
  std::string expected;
  if (runLength > 0 && runLength <= static_cast<size_t>(AutoStartFile::kMaxWord)) {
    expected.assign(reinterpret_cast<const char*>(data) + start, runLength);
    expected.resize(expected.find('\0') == std::string::npos ? expected.size()
                                                             : expected.find('\0'));
  }
  if (word != expected) std::abort();
  if (tooLong != (runLength > static_cast<size_t>(AutoStartFile::kMaxWord))) std::abort();
  if (word.size() > static_cast<size_t>(AutoStartFile::kMaxWord)) std::abort();

  if (!word.empty()) {
    const std::string line = word + "\n";
    bool again = false;
    if (readWord(line.data(), line.size(), &again) != word || again) std::abort();
  }
  return 0;
}
