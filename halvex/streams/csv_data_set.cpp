#include "halvex/streams/csv_data_set.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

/// The converter's column types.
constexpr const char* kTypes[] = {"user",   "coordSys", "xval",        "yval",
                                  "year",   "month",    "day",         "hour",
                                  "minute", "second",   "millisecond", "field list"};

bool isKnownType(const std::string& type) {
  for (const char* known : kTypes) {
    if (type == known) return true;
  }
  return false;
}

/// Whether a column of `type` holds numbers.
bool isNumeric(const std::string& type) {
  return type != "coordSys" && type != "field list";
}

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

/// Splits one line into fields; false when a quoted field is not closed or there are too many.
bool splitFields(const std::string& line, std::vector<std::string>& fields) {
  fields.clear();
  std::string field;
  bool quoted = false;
  for (size_t k = 0; k < line.size(); ++k) {
    const char c = line[k];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (k + 1 < line.size() && line[k + 1] == '"') {
        field += '"';
        ++k;
      } else {
        quoted = false;
      }
    } else if (c == '"' && trimmed(field).empty()) {
      field.clear();
      quoted = true;
    } else if (c == ',') {
      fields.push_back(field);
      field.clear();
      if (fields.size() >= static_cast<size_t>(kCsvMaxColumns)) return false;
    } else if (c != '\r') {
      field += c;
    }
  }
  fields.push_back(field);
  return !quoted;
}

/// A number that fills the field (blanks around it allowed, nothing else); false otherwise.
bool readNumber(const std::string& field, double& value) {
  const std::string text = trimmed(field);
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && errno != ERANGE && std::isfinite(value);
}

}  // namespace

int CsvDataSet::columnNamed(const std::string& name) const {
  for (size_t k = 0; k < names.size(); ++k) {
    if (trimmed(names[k]) == name) return static_cast<int>(k);
  }
  return -1;
}

std::string CsvDataSet::columnTitle(int column) const {
  if (column < 0 || static_cast<size_t>(column) >= names.size()) return std::string();
  std::string title = trimmed(names[static_cast<size_t>(column)]);
  if (title.empty() && static_cast<size_t>(column) < types.size()) title = types[column];
  return title;
}

bool parseCsvDataSet(const std::string& text, CsvDataSet& set, std::string* error) {
  set = CsvDataSet();
  std::istringstream in(text);
  std::string line;
  std::vector<std::string> fields;
  if (!std::getline(in, line) || line.size() > kCsvMaxLineBytes || !splitFields(line, fields)) {
    if (error) *error = "not a CSV data set (no type line)";
    return false;
  }
  for (const std::string& type : fields) {
    if (!isKnownType(trimmed(type))) {
      if (error) *error = "not a CSV data set (no type line)";
      return false;
    }
    set.types.push_back(trimmed(type));
  }
  if (!std::getline(in, line) || line.size() > kCsvMaxLineBytes || !splitFields(line, fields) ||
      fields.size() != set.types.size()) {
    set = CsvDataSet();
    if (error) *error = "not a CSV data set (no name line matching the type line)";
    return false;
  }
  set.names = fields;
  const int latColumn = set.columnNamed("lat");
  const int lonColumn = set.columnNamed("lon");
  const int timeColumn = set.columnNamed("time");
  int coordColumn = -1;
  for (size_t k = 0; k < set.types.size(); ++k) {
    if (set.types[k] == "coordSys") {
      coordColumn = static_cast<int>(k);
      break;
    }
  }
  int lineNumber = 2;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (trimmed(line).empty()) continue;
    CsvDataRow row;
    row.line = lineNumber;
    bool good = line.size() <= kCsvMaxLineBytes && splitFields(line, row.fields) &&
                row.fields.size() == set.types.size();
    for (size_t k = 0; good && k < row.fields.size(); ++k) {
      double ignored = 0;
      if (isNumeric(set.types[k]) && !readNumber(row.fields[k], ignored)) good = false;
    }
    if (!good || static_cast<long>(set.rows.size()) >= kCsvMaxRows) {
      if (set.skipped++ == 0) set.firstSkippedLine = lineNumber;
      continue;
    }
    if (latColumn >= 0 && lonColumn >= 0) {
      const bool located = coordColumn < 0 || !trimmed(row.fields[coordColumn]).empty();
      row.hasPosition = located && readNumber(row.fields[latColumn], row.latitude) &&
                        readNumber(row.fields[lonColumn], row.longitude) &&
                        std::fabs(row.latitude) <= 90 && std::fabs(row.longitude) <= 180;
      // The converter writes 0,0 for a grid reference it could not convert, square kept.
      if (coordColumn >= 0 && row.latitude == 0 && row.longitude == 0) row.hasPosition = false;
    }
    if (timeColumn >= 0) row.hasTime = readNumber(row.fields[timeColumn], row.time);
    set.rows.push_back(std::move(row));
  }
  return true;
}

bool readCsvDataSet(const std::string& path, CsvDataSet& set, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (error) *error = path + ": cannot open: " + std::strerror(errno);
    set = CsvDataSet();
    return false;
  }
  // Refused before reading: a file past the limit would be held whole in memory.
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size < 0 || static_cast<unsigned long long>(size) > kCsvMaxFileBytes) {
    if (error) *error = path + ": too large for a CSV data set (over 512 MiB)";
    set = CsvDataSet();
    return false;
  }
  file.seekg(0, std::ios::beg);
  std::string text(static_cast<size_t>(size), '\0');
  file.read(&text[0], size);
  text.resize(static_cast<size_t>(file.gcount()));
  std::string problem;
  if (!parseCsvDataSet(text, set, &problem)) {
    if (error) *error = path + ": " + problem;
    return false;
  }
  return true;
}

std::string csvSkippedMessage(const std::string& path, const CsvDataSet& set) {
  if (set.skipped == 0) return std::string();
  return path + ": " + std::to_string(set.skipped) + (set.skipped == 1 ? " row" : " rows") +
         " skipped, the first at line " + std::to_string(set.firstSkippedLine);
}
