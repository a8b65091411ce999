// A CSV data set as the report converter and trackexport write it: a line of column types, a
// line of column names, then one row per report or fix:
//   user,user,user,coordSys,xval,yval,user,user,user,user,year,...,field list,field list
//   index,start Ln,end Ln, , , ,zval,lat,lon,time, , ...,Zone,Action
//   0,1,1,MB,12345,67890,0,33.146218,44.060135,1133958600,2005,...,38S,ambush
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// One row: its fields as written, and what the tracker takes from them.
struct CsvDataRow {
  std::vector<std::string> fields;  ///< One text per column, quotes removed.
  int line = 0;                     ///< Line number in the file (1-based).
  /// lat and lon read, and a coordSys column (if any) set; in a file with a coordSys column,
  /// 0,0 (the converter's mark of a reference it could not convert) is no position either.
  bool hasPosition = false;
  double latitude = 0;   ///< Degrees, south negative.
  double longitude = 0;  ///< Degrees, west negative.
  bool hasTime = false;  ///< A "time" column read.
  double time = 0;       ///< Seconds since 1970 (UTC).
};

/// A data set read whole.
struct CsvDataSet {
  std::vector<std::string> types;  ///< Column types (line 1).
  std::vector<std::string> names;  ///< Column names (line 2), as many as the types.
  std::vector<CsvDataRow> rows;    ///< Rows that read, in file order.
  long skipped = 0;          ///< Rows left out: wrong field count or a number that does not read.
  int firstSkippedLine = 0;  ///< Line of the first row left out, 0 for none.

  /// Index of the first column named `name` (blanks around names ignored), or -1.
  int columnNamed(const std::string& name) const;
  /// What to call column `column`: its name without surrounding blanks, or its type where the
  /// name is blank (the converter leaves its coordinate columns unnamed).
  std::string columnTitle(int column) const;
};

/// Limits that keep a hostile file from taking unbounded memory.
constexpr int kCsvMaxColumns = 256;
constexpr size_t kCsvMaxLineBytes = 65536;
constexpr long kCsvMaxRows = 2000000;
constexpr unsigned long long kCsvMaxFileBytes = 512ull << 20;  ///< Bigger files are refused.

/// Reads a data set from `text` (a whole file). Line 1 must be a type line (every word one of
/// the converter's column types: user, coordSys, xval, yval, year, month, day, hour, minute,
/// second, millisecond, field list) and line 2 give as many names; otherwise the text is refused
/// with a message in `error`. Fields are separated by commas; a field in double quotes may hold
/// commas and doubled quotes. A row is left out (and counted) when its field count differs from
/// the header's, a line is longer than kCsvMaxLineBytes, or a column of a numeric type (every
/// type but coordSys and field list) holds text that is no number.
bool parseCsvDataSet(const std::string& text, CsvDataSet& set, std::string* error);

/// Reads the file `path` as parseCsvDataSet does. Messages name the file: "FILE: cannot open:
/// REASON", "FILE: not a CSV data set (no type line)", "FILE: too large for a CSV data set (over
/// 512 MiB)".
bool readCsvDataSet(const std::string& path, CsvDataSet& set, std::string* error);

/// The one line said after a read that left rows out ("FILE: 3 rows skipped, the first at line
/// 7"), empty when none was.
std::string csvSkippedMessage(const std::string& path, const CsvDataSet& set);
