// The CSV file and the listing, byte for byte, for small hand-written cast files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "cast_test_support.h"
#include "dunmore/csv_writer.h"

using casttest::Captured;

namespace {

const char kHeader[] =
    "user,user,user,coordSys,xval,yval,user,user,user,user,year,month,day,hour,minute,second,"
    "millisecond,field list,field list,field list,field list,field list,field list\n"
    "index,start Ln,end Ln, , , ,zval,lat,lon,time, , , , , , , ,None given,Zone,Action,"
    "Attacked Entitie,Attacked Route,Attacked Location\n";

// The example report; one without a grid reference, with a route and a bridge; one with two
// grid references (the second lower case) and a comment with periods and commas.
const char kReports[] =
    "071230Dec ZONE 38S ambush on convoy on Route Blue at GR MB 12345 67890. Two vehicles hit.\n"
    "080615Jan patrol on Route 5 on bridge 4\n"
    "091000Feb contact at GR MB 1 2 at gr NC 12345 67890, moved . then , left\n";

const char kRows[] =
    "0,1,1,MB,12345,67890,0,33.146218,44.060135,1133958600,2005,12,7,12,30,0,0,,38S,ambush,"
    "convoy,Route Blue,NONE GIVEN\n"
    "1,1,1,,0,0,0,0.000000,0.000000,1105164900,2005,1,8,6,15,0,0,,NONE GIVEN,patrol,bridge 4,"
    "Route 5,NONE GIVEN\n"
    "2,1,1,NC,12345,67890,0,34.051642,45.133763,1107943200,2005,2,9,10,0,0,0,,NONE GIVEN,"
    "contact,NONE GIVEN,NONE GIVEN,\n";

}  // namespace

TEST(CsvWriter, HeaderOnlyWithoutReports) {
  ScratchDir dir;
  const std::string csv = dir.path("empty.csv");
  ASSERT_TRUE(dunmore::writeCsv(csv, dunmore::ReportSet()));
  EXPECT_EQ(casttest::readFile(csv), kHeader);
}

TEST(CsvWriter, RowsByteForByte) {
  dunmore::ReportSet set;
  Captured c;
  ASSERT_EQ(casttest::parseText(kReports, set, c), dunmore::ParseResult::kParsed);
  ScratchDir dir;
  const std::string csv = dir.path("out.csv");
  ASSERT_TRUE(dunmore::writeCsv(csv, set));
  EXPECT_EQ(casttest::readFile(csv), std::string(kHeader) + kRows);
}

TEST(CsvWriter, ReportsAFileThatCannotBeWritten) {
  ScratchDir dir;
  EXPECT_FALSE(dunmore::writeCsv(dir.dir() + "/no/such/folder.csv", dunmore::ReportSet()));
  // Opens, but every write fails.
  if (access("/dev/full", W_OK) == 0) {
    EXPECT_FALSE(dunmore::writeCsv("/dev/full", dunmore::ReportSet()));
  }
}

TEST(Listing, ReportLinesAndSummary) {
  dunmore::ReportSet set;
  Captured c;
  ASSERT_EQ(casttest::parseText(kReports, set, c, "t.cast", true), dunmore::ParseResult::kParsed);
  EXPECT_EQ(c.listing.text(),
            "LINE:\n\tDate:\t071230Dec\n\tZone:\t38S\n\tAction:\tambush\n\tOn1:\t\tconvoy\n"
            "\tOn2:\t\tRoute Blue\n\tAt Cords:\tGR MB 12345 67890\n\tAt : MGRS 38SMB1234567890\n"
            "\tAt : Geodetic lat 33.146218 lon 44.060135\n\tAt Name2:\t\tNONE GIVEN\n"
            "\tComment:\tTwo vehicles hit.\n"
            "LINE:\n\tDate:\t080615Jan\n\tZone:\tNone\n\tAction:\tpatrol\n\tOn1:\t\tRoute 5\n"
            "\tOn2:\t\tbridge 4\n"
            "LINE:\n\tDate:\t091000Feb\n\tZone:\tNone\n\tAction:\tcontact\n"
            "\tAt Cords:\tGR MB 1 2\n\tAt : MGRS 38SMB0000100002\n"
            "\tAt : Geodetic lat 32.532865 lon 43.935133\n"
            "\tAt Cords:\tgr NC 12345 67890\n\tAt : MGRS 38SNC1234567890\n"
            "\tAt : Geodetic lat 34.051642 lon 45.133763\n\tComment:\tmoved. then, left\n"
            "\n\n\nINFO\n||38S||ambush||\n||NONE GIVEN||patrol||\n||NONE GIVEN||contact||\n"
            "\n\nThere are 2 Zones defined\n"
            "Zone index 1 is \"38S\" and it is used 1 time(s)\n"
            "Zone index 2 is \"NONE GIVEN\" and it is used 2 time(s)\n"
            "Printed 2 of 2 Zones.  Total entries = 3\n"
            "\n\nThere are 3 Actions defined\n"
            "Action index 1 is \"ambush\" and it is used 1 time(s)\n"
            "Action index 2 is \"contact\" and it is used 1 time(s)\n"
            "Action index 3 is \"patrol\" and it is used 1 time(s)\n"
            "Printed 3 of 3 Actions.  Total entries = 3\n"
            "\n\nThere are 3 Attacked Entities defined\n"
            "Attacked Entitie index 1 is \"NONE GIVEN\" and it is used 1 time(s)\n"
            "Attacked Entitie index 2 is \"bridge 4\" and it is used 1 time(s)\n"
            "Attacked Entitie index 3 is \"convoy\" and it is used 1 time(s)\n"
            "Printed 3 of 3 Attacked Entities.  Total entries = 3\n"
            "\n\nThere are 3 Attacked Routes defined\n"
            "Attacked Route index 1 is \"NONE GIVEN\" and it is used 1 time(s)\n"
            "Attacked Route index 2 is \"Route 5\" and it is used 1 time(s)\n"
            "Attacked Route index 3 is \"Route Blue\" and it is used 1 time(s)\n"
            "Printed 3 of 3 Attacked Routes.  Total entries = 3\n"
            "\n\nThere are 1 Attacked Locations defined\n"
            "Attacked Location index 1 is \"NONE GIVEN\" and it is used 2 time(s)\n"
            "Printed 1 of 1 Attacked Locations.  Total entries = 2\n"
            "The min time is 080615Jan\nThe max time is 071230Dec\n");
}
