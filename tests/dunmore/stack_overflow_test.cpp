// The parser's full stack: built against a parser with a stack of only 6 states, so that one
// report deep enough overflows it.
#include <gtest/gtest.h>

#include "cast_test_support.h"
#include "dunmore/cast_parser.h"

using casttest::Captured;
using dunmore::ParseResult;

TEST(CastParserStack, OverflowFailsTheFileAndKeepsEarlierReports) {
  static_assert(dunmore::kParserStackDepth == 6, "built with the small stack");
  dunmore::ReportSet set;
  Captured c;
  // Shallow reports fit; one with a zone and a phrase with words needs seven.
  EXPECT_EQ(
      casttest::parseText("071230Dec hit.\n071231Dec hit. x\n071232Dec ZONE 38S hit on a b.\n", set,
                          c, "deep.cast", true),
      ParseResult::kFailed);
  EXPECT_EQ(set.reports().size(), 2u);
  EXPECT_EQ(c.err.text(), "deep.cast: 2: Parser stack overflow\n");
  EXPECT_EQ(c.out.text(), "Problem in parce.  yyparse returned 1\n");
  EXPECT_EQ(c.listing.text().find("INFO"), std::string::npos);
}
