#include "halvex/streams/csv_columns.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "halvex/streams/csv_data_set.h"

namespace {

/// Awkward names and defaults come back from their project line as they went in, and the line
/// stays three words of printable ASCII.
TEST(CsvColumns, AttributesSurviveTheirProjectLine) {
  EXPECT_EQ(columnLine({1, ColumnUse::kFilterKey, "Action", "", false}),
            "column 1 filter%20key:Action::0");
  const ColumnAttribute cases[] = {
      {2, ColumnUse::kUser, "Zone", "unknown", true},
      {3, ColumnUse::kNone, " start Ln ", "  ", true},
      {4, ColumnUse::kUser, "a:b", ":", false},
      {5, ColumnUse::kFilterKey, "100%", "%41", true},
      {6, ColumnUse::kUser, "tab\there\r\n", "line\nbreak", true},
      {7, ColumnUse::kUser, "Z\xC3\xBCrich \xE2\x80\x94 north", "\x7F\xFF", true},
      {12, ColumnUse::kNone, "", "", false},
  };
  for (const ColumnAttribute& attribute : cases) {
    const std::string line = columnLine(attribute);
    SCOPED_TRACE(line);
    std::istringstream words(line);
    std::string word;
    int count = 0;
    while (words >> word) ++count;
    EXPECT_EQ(count, 3);
    for (char c : line) EXPECT_TRUE(c >= ' ' && c < 127) << static_cast<int>(c);
    ColumnAttribute read;
    ASSERT_TRUE(parseColumnLine("\t" + line + " \r", read));
    EXPECT_EQ(read.row, attribute.row);
    EXPECT_EQ(read.use, attribute.use);
    EXPECT_EQ(read.name, attribute.name);
    EXPECT_EQ(read.defaultValue, attribute.defaultValue);
    EXPECT_EQ(read.useDefault, attribute.useDefault);
  }
}

TEST(CsvColumns, MalformedLinesAreRejectedWithoutTouchingTheAttribute) {
  const char* lines[] = {
      "",
      "column",
      "column 1",
      "columns 1 user:A::0",
      "column 0 user:A::0",
      "column 100 user:A::0",
      "column -1 user:A::0",
      "column x user:A::0",
      "column 1 owner:A::0",
      "column 1 user:A::2",
      "column 1 user:A::",
      "column 1 user:A:0",
      "column 1 user:A::0:1",
      "column 1 user:A::0 extra",
      "column 1 user:A%::0",
      "column 1 user:A%4::0",
      "column 1 user:A%G1::0",
      "column 1 filter key:A::0",
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    ColumnAttribute attribute{9, ColumnUse::kUser, "kept", "as is", true};
    EXPECT_FALSE(parseColumnLine(line, attribute));
    EXPECT_EQ(attribute.row, 9);
    EXPECT_EQ(attribute.name, "kept");
    EXPECT_EQ(attribute.defaultValue, "as is");
  }
}

/// The dialog's rows against the converter's columns, blank names included.
TEST(CsvColumns, StyleFollowsTheRowsWithTheActionColumnAsFallback) {
  CsvDataSet set;
  set.names = {"index", " ", "lat", "lon", "time", "Zone", "Action"};
  constexpr int kIndex = 0, kZone = 5, kAction = 6;
  using U = ColumnUse;
  struct Case {
    const char* what;
    std::vector<ColumnAttribute> rows;
    std::vector<int> labels;
    int filter;
  } cases[] = {
      {"no rows", {}, {kAction}, kAction},
      {"a user row", {{1, U::kUser, "Zone", "", false}}, {kZone}, kAction},
      {"user rows in row order, blanks around names",
       {{3, U::kUser, "Zone", "", false}, {1, U::kUser, " index\t", "", false}},
       {kIndex, kZone},
       kAction},
      {"a filter key", {{1, U::kFilterKey, "Zone", "", false}}, {kAction}, kZone},
      {"the first filter key",
       {{4, U::kFilterKey, "index", "", false}, {2, U::kFilterKey, "Zone", "", false}},
       {kAction},
       kZone},
      {"a none row for Action", {{1, U::kNone, "Action", "", false}}, {}, -1},
      {"none for Action, user Zone",
       {{1, U::kNone, "Action", "", false}, {2, U::kUser, "Zone", "", false}},
       {kZone},
       -1},
      {"a none row for another column", {{1, U::kNone, "Zone", "", false}}, {kAction}, kAction},
      {"rows naming no column",
       {{1, U::kUser, "Missing", "", false}, {2, U::kFilterKey, "", "", false}},
       {kAction},
       kAction},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const DataSetStyle style = resolveStyle(c.rows, set);
    EXPECT_EQ(style.labelColumns, c.labels);
    EXPECT_EQ(style.filterColumn, c.filter);
    EXPECT_EQ(style.defaults, std::vector<std::string>(set.names.size()));
  }

  const DataSetStyle withDefaults = resolveStyle({{1, U::kUser, "Zone", "unknown", true},
                                                  {2, U::kNone, " Action ", "n/a", true},
                                                  {3, U::kUser, "index", "never", false}},
                                                 set);
  EXPECT_EQ(withDefaults.defaults,
            (std::vector<std::string>{"", "", "", "", "", "unknown", "n/a"}));

  CsvDataSet foreign;
  foreign.names = {"a", "b"};
  const DataSetStyle none = resolveStyle({}, foreign);
  EXPECT_TRUE(none.labelColumns.empty());
  EXPECT_EQ(none.filterColumn, -1);
}

}  // namespace
