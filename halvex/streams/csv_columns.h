// What the operator says of a CSV data set's columns in the column attributes dialog, as a
// project keeps it ("column N ATTRIBUTES"), and what the rows of the dialog make of the columns
// of a data set read: the label columns, the filter key, the default values.
//   column 1 filter%20key:Action::0
//   column 2 user:Zone:unknown:1
#pragma once

#include <string>
#include <vector>

struct CsvDataSet;

/// A dialog row's column type: "none", "user", "filter key".
enum class ColumnUse { kNone, kUser, kFilterKey };

/// One row of the column attributes dialog.
struct ColumnAttribute {
  int row = 0;  ///< Dialog row, 1 to 12.
  ColumnUse use = ColumnUse::kNone;
  std::string name;          ///< The column it applies to (matched without surrounding blanks).
  std::string defaultValue;  ///< Stands for an empty field when useDefault is set.
  bool useDefault = false;
};

/// The dialog's word for `use` ("none", "user", "filter key").
const char* columnUseWord(ColumnUse use);

/// Percent-encodes `text` into one word of a project line: '%', ':', blanks, control bytes and
/// bytes of 127 and above become %XX.
std::string percentEncode(const std::string& text);
/// Undoes percentEncode; false for a '%' not followed by two hex digits.
bool percentDecode(const std::string& word, std::string& text);

/// The project line of `attribute`, without the leading tab: "column N USE:NAME:DEFAULT:FLAG",
/// each part percent-encoded, FLAG 1 or 0.
std::string columnLine(const ColumnAttribute& attribute);
/// Reads a line columnLine() wrote (words separated by blanks or tabs); false, leaving
/// `attribute` unchanged, for anything else (unknown use word, row outside 1..99, bad escape,
/// wrong part count).
bool parseColumnLine(const std::string& line, ColumnAttribute& attribute);

/// What the attributes make of one data set's columns.
struct DataSetStyle {
  std::vector<int> labelColumns;      ///< Columns shown in a row's label, in dialog row order.
  int filterColumn = -1;              ///< The filter key's column, -1 for none.
  std::vector<std::string> defaults;  ///< Per column: the text an empty field stands for.
};

/// The column whose label a row shows and whose values are filtered when no dialog row says.
constexpr const char* kDefaultReportColumn = "Action";

/// Applies `attributes` to `set`'s column names. Label columns: those of the "user" rows, in
/// row order; with none, the "Action" column unless a "none" row names it. Filter key: the first
/// "filter key" row's column; with none, the "Action" column unless a "none" row names it.
/// Defaults: every row with useDefault set gives its column's default. Rows naming no column of
/// the set are ignored.
DataSetStyle resolveStyle(const std::vector<ColumnAttribute>& attributes, const CsvDataSet& set);
