#include "halvex/streams/state_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

/// Parses a copy of text; the record's texts stay valid while the returned line lives.
struct Parsed {
  std::vector<char> line;
  StateRecord record;
  bool ok = false;
};

Parsed parse(const std::string& text) {
  Parsed p;
  p.line.assign(text.c_str(), text.c_str() + text.size() + 1);
  p.ok = parseStateRecord(p.line.data(), p.record);
  return p;
}

TEST(StateRecordReader, ReadsTheDocumentedExample) {
  const Parsed p =
      parse("$007,32.712345,-117.160000,1126531205,250,0,0.125,north gate,moving,Truck 7*\n");
  ASSERT_TRUE(p.ok);
  const StateRecord& r = p.record;
  EXPECT_EQ(r.id, 7);
  EXPECT_DOUBLE_EQ(r.latitude, 32.712345);
  EXPECT_DOUBLE_EQ(r.longitude, -117.16);
  EXPECT_EQ(r.time, 1126531205);
  EXPECT_EQ(r.milliseconds, 250);
  EXPECT_EQ(r.status, 0);
  EXPECT_DOUBLE_EQ(r.age, 0.125);
  EXPECT_STREQ(r.comment1, "north gate");
  EXPECT_STREQ(r.comment2, "moving");
  EXPECT_STREQ(r.name, "Truck 7");
}

TEST(StateRecordReader, IdsReadUpToTheirComma) {
  EXPECT_EQ(parse("$1000,1,2,3,4,2,5,a,b,c*").record.id, 1000);
  EXPECT_EQ(parse("$999,1,2,3,4,2,5,a,b,c*").record.id, 999);
  EXPECT_EQ(parse("$ 42x,1,2,3,4,2,5,a,b,c*").record.id, 42);
  EXPECT_FALSE(parse("$abc,1,2,3,4,2,5,a,b,c*").ok);
}

TEST(StateRecordReader, SeparatorRules) {
  // Eight commas and "*": the name is what follows the "*", empty at the line's end.
  Parsed p = parse("$001,1,2,3,4,1,5,c1,c2*\n");
  ASSERT_TRUE(p.ok);
  EXPECT_STREQ(p.record.comment2, "c2");
  EXPECT_STREQ(p.record.name, "");
  p = parse("$001,1,2,3,4,1,5,c1,c2*after, star\r\n");
  EXPECT_STREQ(p.record.name, "after, star");
  // Nine commas without "*": the rest of the line without its line break; commas stay in it.
  p = parse("$001,1,2,3,4,1,5,c1,c2,Name, with, commas\r\n");
  EXPECT_STREQ(p.record.name, "Name, with, commas");
  // Text before the "$" is ignored, a later "$" is text, a "*" before the eighth comma is text.
  p = parse("junk,*$002,1,2,3,4,1,5,c*1,$c2,n*\n");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.record.id, 2);
  EXPECT_STREQ(p.record.comment1, "c*1");
  EXPECT_STREQ(p.record.comment2, "$c2");
  EXPECT_STREQ(p.record.name, "n");
}

TEST(StateRecordReader, RejectsIncompleteRecordsAndLeavesThemAlone) {
  for (const char* text : {"007,1,2,3,4,1,5,a,b,c*",   // no "$"
                           "$007,1,2,3,4,1,5,a,b\n",   // eight commas, no "*"
                           "$007,1,2,3,4,1*,a,b\n",    // a "*" before the eighth comma is text
                           "$007,1,x,3,4,1,5,a,b,c*",  // longitude does not read
                           "$007,1,2,3,,1,5,a,b,c*",   // milliseconds empty
                           ""}) {
    const Parsed p = parse(text);
    EXPECT_FALSE(p.ok) << text;
    EXPECT_EQ(std::string(p.line.data()), text);
  }
}

TEST(StateRecordReader, RefusesNonFiniteNumbers) {
  // What no position or age can be; "1e999" reads as infinity.
  for (const char* text : {"$007,nan,2,3,4,1,5,a,b,c*", "$007,1,-inf,3,4,1,5,a,b,c*",
                           "$007,1,2,3,4,1,INFINITY,a,b,c*", "$007,NAN(12),2,3,4,1,5,a,b,c*",
                           "$007,1e999,2,3,4,1,5,a,b,c*", "$007,1,2,3,4,1,-1e400,a,b,c*"}) {
    const Parsed p = parse(text);
    EXPECT_FALSE(p.ok) << text;
    EXPECT_EQ(std::string(p.line.data()), text);
  }
}

std::string written(size_t size, int id, double lat, double lon, long time, int ms, int status,
                    double age, const char* c1, const char* c2, const char* name) {
  std::vector<char> text(size + 8, '#');
  const int n =
      formatStateRecord(text.data(), size, id, lat, lon, time, ms, status, age, c1, c2, name);
  for (size_t k = size; k < text.size(); ++k) EXPECT_EQ(text[k], '#') << "overrun at " << k;
  return size == 0 ? std::to_string(n) : std::string(text.data()) + "|" + std::to_string(n);
}

std::string printed(size_t size, int id, double lat, double lon, long time, int ms, int status,
                    double age, const char* c1, const char* c2, const char* name) {
  std::vector<char> text(size + 8, '#');
  const int n = std::snprintf(text.data(), size, "$%03d,%f,%f,%ld,%d,%d,%05.3lf,%s,%s,%s*\n", id,
                              lat, lon, time, ms, status, age, c1, c2, name);
  return size == 0 ? std::to_string(n) : std::string(text.data()) + "|" + std::to_string(n);
}

TEST(StateRecordWriter, WritesAsThePatternDoes) {
  EXPECT_EQ(written(200, 7, 32.712345, -117.16, 1126531205, 250, 0, 0.125, "north gate", "moving",
                    "Truck 7"),
            "$007,32.712345,-117.160000,1126531205,250,0,0.125,north gate,moving,Truck 7*\n|77");
  EXPECT_EQ(written(200, 1000, 0, 0, 0, 0, 2, 12.5, "", "", "n"),
            "$1000,0.000000,0.000000,0,0,2,12.500,,,n*\n|42");
  // A text never set is written empty, not as "(null)".
  EXPECT_EQ(written(200, 3, 1, 2, 3, 4, 0, 5, nullptr, nullptr, nullptr),
            "$003,1.000000,2.000000,3,4,0,5.000,,,*\n|39");
  // Odd values, and every buffer size from none to more than enough.
  for (size_t size = 0; size < 400; size += (size < 60 ? 1 : 97)) {
    EXPECT_EQ(written(size, -5, -0.0, 1e300, -1, -1, -1, -0.0005, "a", "b", "c"),
              printed(size, -5, -0.0, 1e300, -1, -1, -1, -0.0005, "a", "b", "c"));
    EXPECT_EQ(written(size, 1, NAN, INFINITY, 0, 0, 0, -INFINITY, "a", "b", "c"),
              printed(size, 1, NAN, INFINITY, 0, 0, 0, -INFINITY, "a", "b", "c"));
  }
}

}  // namespace
