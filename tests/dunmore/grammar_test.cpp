// The cast grammar and the reports built from it: what each phrase becomes, grid references,
// and how files that do not parse end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "cast_test_support.h"
#include "dunmore/report_builder.h"

using casttest::Captured;
using casttest::parseText;
using dunmore::ParseResult;
using dunmore::Report;
using dunmore::ReportSet;

namespace {

/// The one report of `text`, which must parse.
Report only(const std::string& text) {
  ReportSet set;
  Captured c;
  EXPECT_EQ(parseText(text, set, c), ParseResult::kParsed) << c.err.text();
  EXPECT_EQ(set.reports().size(), 1u);
  return set.reports().empty() ? Report() : set.reports()[0];
}

/// texts[1..5] joined by "|".
std::string texts(const Report& r) {
  return r.texts[1] + "|" + r.texts[2] + "|" + r.texts[3] + "|" + r.texts[4] + "|" + r.texts[5];
}

}  // namespace

TEST(CastGrammar, FullReport) {
  const Report r = only(
      "071230Dec ZONE 38S ambush on convoy on Route Blue at GR MB 12345 67890. Two vehicles "
      "hit.\n");
  EXPECT_EQ(texts(r), "38S|ambush|convoy|Route Blue|NONE GIVEN");
  EXPECT_EQ(r.texts[0], "");
  EXPECT_EQ(r.gridSquare, "MB");
  EXPECT_EQ(r.easting, 12345);
  EXPECT_EQ(r.northing, 67890);
  EXPECT_EQ(r.gridError, 0);
  EXPECT_NEAR(r.latitude, 33.146218, 1e-6);
  EXPECT_NEAR(r.longitude, 44.060135, 1e-6);
  EXPECT_EQ(r.time, 1133958600);
}

TEST(CastGrammar, OnPhrasesGoToEntityAndRoute) {
  EXPECT_EQ(texts(only("071230Dec ambush on Route 5 on bridge 4\n")),
            "NONE GIVEN|ambush|bridge 4|Route 5|NONE GIVEN");
  EXPECT_EQ(texts(only("071230Dec ambush on bridge 4 on ROUTE 5\n")),
            "NONE GIVEN|ambush|bridge 4|ROUTE 5|NONE GIVEN");
  EXPECT_EQ(texts(only("071230Dec ambush on routes.")),
            "NONE GIVEN|ambush|NONE GIVEN|routes|NONE GIVEN");
  EXPECT_EQ(texts(only("071230Dec ambush on convoy.")),
            "NONE GIVEN|ambush|convoy|NONE GIVEN|NONE GIVEN");
  // A keyword without words leaves its phrase empty.
  EXPECT_EQ(texts(only("071230Dec ambush on  at hill.")),
            "NONE GIVEN|ambush|NONE GIVEN|NONE GIVEN|hill");
}

TEST(CastGrammar, AtPhrasesGiveLocationOrPosition) {
  // A name in the second phrase replaces one in the first.
  EXPECT_EQ(only("071230Dec hit at A at B.").texts[5], "B");
  EXPECT_EQ(only("071230Dec hit at A.").texts[5], "A");
  // Both grid references: no location name, the second gives the position.
  const Report both = only("071230Dec hit at GR MB 1 2 at gr NC 12345 67890.");
  EXPECT_FALSE(both.hasText(dunmore::kLocationText));
  EXPECT_EQ(both.gridSquare, "NC");
  EXPECT_EQ(both.easting, 12345);
  EXPECT_EQ(both.northing, 67890);
  const Report second = only("071230Dec hit at GR NC 12345 67890.");
  EXPECT_EQ(both.latitude, second.latitude);
  EXPECT_EQ(both.longitude, second.longitude);
  EXPECT_EQ(second.texts[5], "NONE GIVEN");
  // Grid first and a name second; a name first and a grid second.
  EXPECT_EQ(only("071230Dec hit at GR MB 1 2 at hill.").texts[5], "hill");
  const Report nameFirst = only("071230Dec hit at hill at GR MB 1 2.");
  EXPECT_EQ(nameFirst.texts[5], "hill");
  EXPECT_EQ(nameFirst.gridSquare, "MB");
}

TEST(CastGrammar, TextsThatStartLikeAGridReferenceButAreNotOne) {
  for (const char* at : {"Green Hill", "GR MB 12", "GR", "grove 5"}) {
    const Report r = only(std::string("071230Dec hit at ") + at + ".");
    EXPECT_EQ(r.texts[5], at);
    EXPECT_EQ(r.gridSquare, "");
    EXPECT_EQ(r.latitude, 0);
  }
}

TEST(CastGrammar, GridReferenceThatDoesNotConvert) {
  const Report r = only("071230Dec hit at GR MB 123456 1.");
  EXPECT_EQ(r.gridSquare, "MB");
  EXPECT_EQ(r.easting, 123456);
  EXPECT_NE(r.gridError, 0);
  EXPECT_EQ(r.latitude, 0);
  EXPECT_EQ(r.longitude, 0);
  EXPECT_EQ(r.texts[5], "NONE GIVEN");
  // The error of a failed first reference stays when the second converts.
  const Report later = only("071230Dec hit at GR ZZ 1 2 at GR MB 1 2.");
  EXPECT_NE(later.gridError, 0);
  EXPECT_NE(later.latitude, 0);
}

TEST(CastGrammar, GridReferencesTakeTheReportsZone) {
  const struct {
    const char* zone;
    const char* designator;
  } zones[] = {{"11S", "11S"},  {" 11s ", "11S"},     {"4Q", "4Q"},   {"", "38S"},
               {"NONE", "38S"}, {"61S", "38S"},       {"0S", "38S"},  {"38I", "38S"},
               {"11", "38S"},   {"Kestrel 4", "38S"}, {"111S", "38S"}};
  for (const auto& z : zones) EXPECT_EQ(dunmore::gridZoneOf(z.zone), z.designator) << z.zone;
  // GeoConvert: 11SNS0560110018 is 32.6277177 -116.9402864 (cell centre, half a metre off).
  const Report r = only("120623Mar ZONE 11S checkpoint at GR NS 05601 10018. Quiet.");
  EXPECT_EQ(r.gridError, 0);
  EXPECT_NEAR(r.latitude, 32.6277177, 1e-5);
  EXPECT_NEAR(r.longitude, -116.9402864, 1e-5);
}

TEST(CastGrammar, ReadsGridReferenceFields) {
  dunmore::GridReference g;
  ASSERT_TRUE(dunmore::readGridReference("GR MB 1234 56789 extra", g));
  EXPECT_EQ(dunmore::gridReferenceMgrs(g), "38SMB0123456789");
  EXPECT_FALSE(dunmore::readGridReference("GR MB 1234", g));
  // Easting and northing are 32-bit fields: numbers beyond them are clamped, as a 32-bit "%ld"
  // read clamps them.
  ASSERT_TRUE(dunmore::readGridReference("GR MB 99999999999 -99999999999", g));
  EXPECT_EQ(g.easting, INT32_MAX);
  EXPECT_EQ(g.northing, INT32_MIN);
  const Report r = only("071230Dec hit at GR MB 4294967297 2147483648.");
  EXPECT_EQ(r.easting, INT32_MAX);
  EXPECT_EQ(r.northing, INT32_MAX);
  EXPECT_NE(r.gridError, 0);
}

TEST(CastGrammar, ZoneAndDateFields) {
  const Report none = only("071230Dec hit.");
  EXPECT_EQ(none.texts[1], "NONE GIVEN");
  // Line feeds may separate the zone clause and its word; "ZONE" needs a blank after it.
  EXPECT_EQ(only("071230Dec ZONE \n38T\nhit.").texts[1], "38T");
  EXPECT_EQ(texts(only("071230Dec ZONE\n38T hit.")),
            "NONE GIVEN|ZONE|NONE GIVEN|NONE GIVEN|NONE GIVEN");
  // Unknown month: January.
  EXPECT_EQ(only("071230xyz hit.").time, 1105101000);  // 2005-01-07 12:30 UTC
}

TEST(CastGrammar, CommentJoinsPeriodsAndCommas) {
  ReportSet set;
  Captured c;
  ASSERT_EQ(parseText("071230Dec hit. hit . done , then\n", set, c, "t.cast", true),
            ParseResult::kParsed);
  EXPECT_NE(c.listing.text().find("\tComment:\thit. done, then\n"), std::string::npos);
}

TEST(CastGrammar, FilesThatDoNotParse) {
  struct Case {
    const char* text;
    std::size_t reportsKept;
    const char* error;
  };
  const Case cases[] = {
      {"", 0, "Syntax error\n"},
      {"no reports here\n", 0, "t.cast: 1: Syntax error\n"},
      // The last report's action part is not closed before the end of the file.
      {"071230Dec hit.\n071231Dec hit", 1, "t.cast: 1: Syntax error\n"},
      // Two date-time lines in a row; the line is that of the token that did not fit.
      {"071230Dec hit.\n071231Dec\n071232Dec x.\n", 1, "t.cast: 2: Syntax error\n"},
      // A zone word without action words.
      {"071230Dec ZONE 38S.\n", 0, "t.cast: 1: Syntax error\n"},
  };
  for (const Case& k : cases) {
    ReportSet set;
    Captured c;
    EXPECT_EQ(parseText(k.text, set, c, "t.cast", true), ParseResult::kFailed) << k.text;
    EXPECT_EQ(set.reports().size(), k.reportsKept) << k.text;
    EXPECT_EQ(c.err.text(), k.error) << k.text;
    EXPECT_EQ(c.out.text().find("Problem in parce.  yyparse returned 1\n") != std::string::npos,
              true);
    EXPECT_EQ(c.listing.text().find("INFO"), std::string::npos) << "no summary after a failure";
  }
}

TEST(CastGrammar, ManyReportsInOneFile) {
  // Far more reports than the parser's stack has states: each is built as it ends.
  std::string text;
  const int kReports = 100000;
  for (int i = 0; i < kReports; ++i)
    text += "071230Dec ZONE 38S hit " + std::to_string(i) + " on a b on c d at e f at g h. x\n";
  ReportSet set;
  Captured c;
  ASSERT_EQ(parseText(text, set, c), ParseResult::kParsed) << c.err.text();
  ASSERT_EQ(set.reports().size(), static_cast<std::size_t>(kReports));
  EXPECT_EQ(set.reports().back().texts[2], "hit 99999");
  EXPECT_EQ(set.statistics().dictionary(2).distinct(), kReports);
}

TEST(CastGrammar, FilesParseTheSameWhateverCameBefore) {
  // The first file ends inside a comment; the second starts with words before its first report.
  const std::string second = "stray words\n071230Dec hit.\n";
  ReportSet fresh, after;
  Captured c1, c2;
  ASSERT_EQ(parseText(second, fresh, c1), ParseResult::kParsed);
  ASSERT_EQ(parseText("071230Dec a. comment words", after, c2), ParseResult::kParsed);
  ASSERT_EQ(parseText(second, after, c2), ParseResult::kParsed);
  EXPECT_EQ(after.reports().size(), 2u);
  EXPECT_EQ(c2.out.text(), c1.out.text());
}
