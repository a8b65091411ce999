#include "halvex/streams/csv_columns.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "halvex/streams/csv_data_set.h"

namespace {

constexpr const char kHexDigits[] = "0123456789ABCDEF";
/// Dialog rows a project line may name: the dialog has 12, the number has room for two digits.
constexpr int kMaxColumnRow = 99;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// `text` split at every `separator`, empty parts kept.
std::vector<std::string> splitAt(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

std::string withoutBlanksAround(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

/// The use a dialog word names; false for an unknown word.
bool useOfWord(const std::string& word, ColumnUse& use) {
  for (ColumnUse candidate : {ColumnUse::kNone, ColumnUse::kUser, ColumnUse::kFilterKey}) {
    if (word == columnUseWord(candidate)) {
      use = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace

const char* columnUseWord(ColumnUse use) {
  switch (use) {
    case ColumnUse::kUser:
      return "user";
    case ColumnUse::kFilterKey:
      return "filter key";
    case ColumnUse::kNone:
      break;
  }
  return "none";
}

std::string percentEncode(const std::string& text) {
  std::string word;
  word.reserve(text.size());
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte == '%' || byte == ':' || byte <= ' ' || byte >= 127) {
      word += '%';
      word += kHexDigits[byte >> 4];
      word += kHexDigits[byte & 15];
    } else {
      word += c;
    }
  }
  return word;
}

bool percentDecode(const std::string& word, std::string& text) {
  std::string decoded;
  decoded.reserve(word.size());
  for (size_t k = 0; k < word.size(); ++k) {
    if (word[k] != '%') {
      decoded += word[k];
      continue;
    }
    if (k + 2 >= word.size()) return false;
    const int high = hexValue(word[k + 1]);
    const int low = hexValue(word[k + 2]);
    if (high < 0 || low < 0) return false;
    decoded += static_cast<char>(high * 16 + low);
    k += 2;
  }
  text = std::move(decoded);
  return true;
}

std::string columnLine(const ColumnAttribute& attribute) {
  return "column " + std::to_string(attribute.row) + " " +
         percentEncode(columnUseWord(attribute.use)) + ":" + percentEncode(attribute.name) + ":" +
         percentEncode(attribute.defaultValue) + ":" + (attribute.useDefault ? "1" : "0");
}

bool parseColumnLine(const std::string& line, ColumnAttribute& attribute) {
  std::istringstream in(line);
  std::string keyword, number, attributes, extra;
  if (!(in >> keyword >> number >> attributes) || (in >> extra) || keyword != "column") {
    return false;
  }
  if (number.size() > 2 ||
      !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  ColumnAttribute read;
  read.row = std::atoi(number.c_str());
  if (read.row < 1 || read.row > kMaxColumnRow) return false;
  const std::vector<std::string> parts = splitAt(attributes, ':');
  std::string useWord;
  if (parts.size() != 4 || !percentDecode(parts[0], useWord) || !useOfWord(useWord, read.use) ||
      !percentDecode(parts[1], read.name) || !percentDecode(parts[2], read.defaultValue) ||
      (parts[3] != "0" && parts[3] != "1")) {
    return false;
  }
  read.useDefault = parts[3] == "1";
  attribute = std::move(read);
  return true;
}

DataSetStyle resolveStyle(const std::vector<ColumnAttribute>& attributes, const CsvDataSet& set) {
  std::vector<const ColumnAttribute*> rows;
  for (const ColumnAttribute& attribute : attributes) rows.push_back(&attribute);
  std::stable_sort(
      rows.begin(), rows.end(),
      [](const ColumnAttribute* a, const ColumnAttribute* b) { return a->row < b->row; });
  DataSetStyle style;
  style.defaults.assign(set.names.size(), std::string());
  bool reportColumnNamedNone = false;
  for (const ColumnAttribute* attribute : rows) {
    const std::string name = withoutBlanksAround(attribute->name);
    // A row without a name describes nothing, even where the set has blank column names.
    const int column = name.empty() ? -1 : set.columnNamed(name);
    if (column < 0) continue;
    if (attribute->use == ColumnUse::kUser &&
        std::find(style.labelColumns.begin(), style.labelColumns.end(), column) ==
            style.labelColumns.end()) {
      style.labelColumns.push_back(column);
    }
    if (attribute->use == ColumnUse::kFilterKey && style.filterColumn < 0) {
      style.filterColumn = column;
    }
    if (attribute->use == ColumnUse::kNone && name == kDefaultReportColumn) {
      reportColumnNamedNone = true;
    }
    if (attribute->useDefault) style.defaults[column] = attribute->defaultValue;
  }
  const int reportColumn = set.columnNamed(kDefaultReportColumn);
  if (!reportColumnNamedNone && reportColumn >= 0) {
    if (style.labelColumns.empty()) style.labelColumns.push_back(reportColumn);
    if (style.filterColumn < 0) style.filterColumn = reportColumn;
  }
  return style;
}
