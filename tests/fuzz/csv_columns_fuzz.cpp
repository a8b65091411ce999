// Column attribute lines and the data set they describe: lines up to one of "--" are read as
// project lines ("column N ATTRIBUTES"), the rest as a CSV data set. Every attribute read writes
// a line that reads back the same, every word decoded encodes to one that decodes back, and the
// style and the model built from both stay inside the set's columns and rows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "halvex/engine/data_set_model.h"
#include "halvex/streams/csv_columns.h"
#include "halvex/streams/csv_data_set.h"

namespace {

/// Rows whose label and fields are asked for: enough to reach every branch, not every row.
constexpr size_t kRowsLookedAt = 16;

void checkLine(const std::string& line) {
  ColumnAttribute attribute;
  if (!parseColumnLine(line, attribute)) return;
  if (attribute.row < 1 || attribute.row > 99) std::abort();
  ColumnAttribute again;
  if (!parseColumnLine(columnLine(attribute), again) || again.row != attribute.row ||
      again.use != attribute.use || again.name != attribute.name ||
      again.defaultValue != attribute.defaultValue || again.useDefault != attribute.useDefault) {
    std::abort();
  }
}

void checkWord(const std::string& word) {
  std::string text;
  if (!percentDecode(percentEncode(word), text) || text != word) std::abort();
  if (!percentDecode(word, text)) return;
  std::string back;
  if (!percentDecode(percentEncode(text), back) || back != text) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find("\n--\n");
  const std::string lines = input.substr(0, split);
  const std::string csv = split == std::string::npos ? std::string() : input.substr(split + 4);

  std::vector<ColumnAttribute> attributes;
  std::istringstream in(lines);
  std::string line;
  while (std::getline(in, line)) {
    checkLine(line);
    checkWord(line);
    ColumnAttribute attribute;
    if (parseColumnLine(line, attribute)) attributes.push_back(attribute);
  }

  auto set = std::make_shared<CsvDataSet>();
  if (!parseCsvDataSet(csv, *set, nullptr)) return 0;
  const DataSetStyle style = resolveStyle(attributes, *set);
  const int columns = static_cast<int>(set->names.size());
  if (style.defaults.size() != set->names.size() || style.filterColumn >= columns) std::abort();
  for (int column : style.labelColumns) {
    if (column < 0 || column >= columns) std::abort();
  }

  DataSetModel model;
  model.setAttributes(attributes);
  model.setDataSet(set);
  model.setReportHours(static_cast<int>(size % 5));
  for (const DataSetMarker& marker : model.markers()) {
    if (marker.row < 0 || static_cast<size_t>(marker.row) >= set->rows.size()) std::abort();
  }
  for (size_t row = 0; row < set->rows.size() && row < kRowsLookedAt; ++row) {
    model.labelOf(static_cast<int>(row));
    if (model.fieldLines(static_cast<int>(row)).size() != set->names.size()) std::abort();
  }
  return 0;
}
