// Feeds arbitrary bytes to the cast scanner and parser as one file, twice: both runs must build
// the same reports, so nothing of one parse leaks into the next; every report must be whole, and
// the CSV writer and the listing run over what was built.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dunmore/converter.h"
#include "dunmore/csv_writer.h"

namespace {

/// Parses the bytes and returns the CSV text of the reports built.
std::string convert(const uint8_t* data, size_t size, dunmore::ReportSet& set) {
  static std::FILE* const sink = std::fopen("/dev/null", "w");
  set.clear();
  dunmore::ConvertOutput output;
  output.out = output.err = output.listing = sink;
  std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!stream) return std::string();
  dunmore::parseCastStream(stream, "fuzz.cast", set, output);

  char* text = nullptr;
  size_t length = 0;
  std::FILE* csv = open_memstream(&text, &length);
  if (!dunmore::writeCsv(csv, set)) std::abort();
  std::fclose(csv);
  std::string result(text, length);
  std::free(text);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static dunmore::ReportSet set;
  const std::string first = convert(data, size, set);
  for (const dunmore::Report& r : set.reports()) {
    if (!r.hasText(dunmore::kZoneText) || !r.hasText(dunmore::kActionText)) std::abort();
    if (r.hasText(dunmore::kNoText) || r.terms[dunmore::kNoText]) std::abort();
    for (int i = dunmore::kZoneText; i < dunmore::kReportTextCount; ++i)
      if (r.hasText(i) != (r.terms[static_cast<size_t>(i)] != nullptr)) std::abort();
    if (r.gridSquare.empty() && (r.latitude != 0 || r.longitude != 0)) std::abort();
    if (r.gridError && r.gridSquare.empty()) std::abort();
  }
  if (convert(data, size, set) != first) std::abort();
  return 0;
}
