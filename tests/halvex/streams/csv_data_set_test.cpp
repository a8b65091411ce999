#include "halvex/streams/csv_data_set.h"

#include <gtest/gtest.h>

#include <GeographicLib/MGRS.hpp>
#include <GeographicLib/UTMUPS.hpp>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/scratch_dir.h"

namespace {

/// The bundled field reports as the converter writes them: rows with an MGRS reference read
/// back at the position GeographicLib gives for it; rows without one have none.
TEST(CsvDataSet, ConverterRowsLieWhereTheirGridReferencesSay) {
  ScratchDir dir;
  const std::string csv = dir.path("reports.csv");
  const std::string command = std::string(DUNMORE_PATH) + " --csv " + csv + " " +
                              HALVEX_SOURCE_DIR "/demo/reports.cast > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  CsvDataSet set;
  std::string error;
  ASSERT_TRUE(readCsvDataSet(csv, set, &error)) << error;
  EXPECT_EQ(set.skipped, 0);
  const int zone = set.columnNamed("Zone");
  ASSERT_GE(zone, 0);
  int located = 0;
  for (const CsvDataRow& row : set.rows) {
    SCOPED_TRACE(row.line);
    if (row.fields[3].empty()) {
      EXPECT_FALSE(row.hasPosition);
      continue;
    }
    ASSERT_TRUE(row.hasPosition);
    ASSERT_TRUE(row.hasTime);
    // A report without a zone of its own is placed by the converter's default zone.
    if (row.fields[zone].empty() ||
        !std::isdigit(static_cast<unsigned char>(row.fields[zone][0]))) {
      continue;
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, "%05ld%05ld", std::atol(row.fields[4].c_str()),
                  std::atol(row.fields[5].c_str()));
    int utmZone = 0, precision = 0;
    bool north = true;
    double x = 0, y = 0, lat = 0, lon = 0, gamma = 0, k = 0;
    GeographicLib::MGRS::Reverse(row.fields[zone] + row.fields[3] + digits, utmZone, north, x, y,
                                 precision, false);
    GeographicLib::UTMUPS::Reverse(utmZone, north, x, y, lat, lon, gamma, k);
    // Within the metre a five-digit grid reference names.
    EXPECT_NEAR(row.latitude, lat, 1e-5);
    EXPECT_NEAR(row.longitude, lon, 1e-5);
    ++located;
  }
  EXPECT_GT(located, 0);
}

TEST(CsvDataSet, BadRowsAreCountedAndForeignFilesRefused) {
  const std::string header =
      "user,coordSys,user,user,user,field list\n"
      "index, ,lat,lon,time,Action\n";
  struct Case {
    const char* body;
    size_t rows;
    long skipped;
    int firstSkipped;
  } cases[] = {
      {"0,MB,33.5,44.25,1133958600,ambush\n", 1, 0, 0},
      {"0,MB,33.5,44.25,1133958600,\"ambush, then withdrew\"\n", 1, 0, 0},
      {"0,MB,33.5,44.25,1133958600,a,b\n1,MB,1,2,3,c\n", 1, 1, 3},
      {"0,MB,north,44.25,1133958600,a\n\n1,MB,nan,2,3,c\n2,MB,1,2,3,d\n", 1, 2, 3},
      {"0,MB,33.5,44.25,1133958600,\"never closed\n", 0, 1, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    CsvDataSet set;
    std::string error;
    ASSERT_TRUE(parseCsvDataSet(header + c.body, set, &error)) << error;
    EXPECT_EQ(set.rows.size(), c.rows);
    EXPECT_EQ(set.skipped, c.skipped);
    EXPECT_EQ(set.firstSkippedLine, c.firstSkipped);
  }
  CsvDataSet set;
  ASSERT_TRUE(parseCsvDataSet(header + "0,MB,33.5,44.25,1133958600,\"a \"\"b\"\", c\"\n" +
                                  "1,,0,0,1133958601,no grid\n" +
                                  "2,MB,0,0,1133958602,failed grid\n",
                              set, nullptr));
  EXPECT_EQ(set.rows[0].fields[5], "a \"b\", c");
  EXPECT_TRUE(set.rows[0].hasPosition);
  EXPECT_DOUBLE_EQ(set.rows[0].latitude, 33.5);
  EXPECT_FALSE(set.rows[1].hasPosition);  // the converter writes 0,0 where it has no grid
  EXPECT_FALSE(set.rows[2].hasPosition);  // ... and where its grid reference did not convert
  EXPECT_EQ(csvSkippedMessage("r.csv", set), "");

  std::string error;
  for (const char* foreign : {"", "a,b,c\n1,2,3\n", "user,user\nlat\n", "\x89PNG\r\n"}) {
    EXPECT_FALSE(parseCsvDataSet(foreign, set, &error)) << foreign;
    EXPECT_NE(error.find("not a CSV data set"), std::string::npos) << error;
  }
  EXPECT_FALSE(readCsvDataSet("/no/such/file.csv", set, &error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
  set.skipped = 3;
  set.firstSkippedLine = 7;
  EXPECT_EQ(csvSkippedMessage("r.csv", set), "r.csv: 3 rows skipped, the first at line 7");
}

}  // namespace
