#include "halvex/tracking/ring_marker.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::unique_ptr<RingMarker> parse(const std::string& line, int dimension) {
  return std::unique_ptr<RingMarker>(parseRingMarker(line.c_str(), dimension));
}

TEST(RingMarker, Reads2dRecord) {
  const auto m = parse("$-117.16,32.71,3,2,8,2,1,4,3,5,North post,second*\n", 2);
  ASSERT_NE(m, nullptr);
  EXPECT_DOUBLE_EQ(m->x(), -117.16);
  EXPECT_DOUBLE_EQ(m->y(), 32.71);
  EXPECT_EQ(m->colour(), 3);
  const RingSlot& root = m->root();
  EXPECT_TRUE(root.visible);
  EXPECT_EQ(root.entryCount, 2);
  ASSERT_EQ(root.childCount(), 8);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(root.children[i].index, i);
    EXPECT_EQ(root.children[i].visible, i == 0 || i == 2) << i;
  }
  EXPECT_EQ(root.children[2].colour, 5);
  ASSERT_EQ(m->labelCount(), 2);
  EXPECT_EQ(m->label(0), "North post");
  EXPECT_EQ(m->label(1), "second");
}

TEST(RingMarker, Reads3dRecordWithSubRings) {
  // Entry 2: colour 4, scale 1.5, two sub-entries in a ring of 6 (the second, index 9, lies
  // outside it); entry 3 lacks scale and counts at the end of the entries.
  const auto m = parse("$1,2,120.5,3,2,8,1,2,4,1.5,2,6,3,2,0.5,9,1,1,3,7,Mast*\n", 3);
  ASSERT_NE(m, nullptr);
  EXPECT_DOUBLE_EQ(m->z(), 120.5);
  const RingSlot& slot = m->root().children[1];
  EXPECT_TRUE(slot.visible && slot.colour == 4 && slot.scale == 1.5f && slot.entryCount == 2);
  ASSERT_EQ(slot.childCount(), 6);
  int shown = 0;
  for (const RingSlot& s : slot.children) shown += s.visible;
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(slot.children[2].visible && slot.children[2].scale == 0.5f);
  const RingSlot& bare = m->root().children[2];
  EXPECT_TRUE(bare.visible && bare.colour == 7 && bare.scale == 0.0f && bare.childCount() == 0);
  EXPECT_EQ(m->label(0), "Mast");
}

TEST(RingMarker, EntriesOutsideTheRingOrUnreadableChangeNothing) {
  const auto m = parse("$1,2,3,2,3,0,0,5,4,9*\n", 2);  // indices 0 and 4 of 3
  ASSERT_NE(m, nullptr);
  for (const RingSlot& s : m->root().children) EXPECT_FALSE(s.visible);
  const auto n = parse("$1,2,3,3,3,0,x,1,2,5*\n", 2);  // the first entry does not read
  ASSERT_NE(n, nullptr);
  EXPECT_FALSE(n->root().children[0].visible);
  EXPECT_TRUE(n->root().children[1].visible);
}

TEST(RingMarker, RejectsShortOrUnreadableHeaders) {
  EXPECT_EQ(parse("$1,2,3,0,0*\n", 2), nullptr);    // five separators and "*"
  EXPECT_EQ(parse("$1,2,3,0,0,0*\n", 3), nullptr);  // a 3D record needs seven
  EXPECT_EQ(parse("$1,2,x,0,0,0*\n", 2), nullptr);
  EXPECT_EQ(parse("1,2,3,0,0,0*\n", 2), nullptr);  // no "$"
  EXPECT_NE(parse("$1,2,3,0,0,0\n", 2), nullptr);  // no "*" needed
}

TEST(RingMarker, HostileCountsAreBounded) {
  for (const char* line : {"$1,2,3,0,-1,0*", "$1,2,3,-1,0,0*", "$1,2,3,0,0,-1*", "$1,2,3,0,1025,0*",
                           "$1,2,3,0,9223372036854775807,0*", "$1,2,3,0,0,2,only*"}) {
    EXPECT_EQ(parse(line, 2), nullptr) << line;
  }
  EXPECT_NE(parse("$1,2,3,0,1024,0*", 2), nullptr);
  // An entry count beyond the line reads the entries that are there.
  const auto many = parse("$1,2,3,99999999999,4,0,1,6*\n", 2);
  ASSERT_NE(many, nullptr);
  EXPECT_TRUE(many->root().children[0].visible);
  // Negative or oversized sub-slot counts skip the entry.
  const auto sub = parse("$1,2,0,3,2,4,0,1,5,1,0,-1,2,6,1,0,1025*\n", 3);
  ASSERT_NE(sub, nullptr);
  EXPECT_FALSE(sub->root().children[0].visible || sub->root().children[1].visible);
  // Six sub-rings of 1024 slots: those past the marker's budget are skipped.
  std::string line = "$1,2,0,3,6,6,0";
  for (int i = 1; i <= 6; ++i) line += "," + std::to_string(i) + ",1,1,0,1024";
  const auto big = parse(line + "*\n", 3);
  ASSERT_NE(big, nullptr);
  int total = big->root().childCount();
  for (const RingSlot& s : big->root().children) total += s.childCount();
  EXPECT_LE(total, RingMarker::kMaxTotalSlots);
  EXPECT_TRUE(big->root().children[2].visible);
  EXPECT_FALSE(big->root().children[3].visible);
}

TEST(RingMarker, LabelsWithoutClosingStarRunToTheLineEnd) {
  auto m = parse("$1,2,3,0,0,2,first,last\r\n", 2);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->label(1), "last");
  m = parse("$1,2,3,0,0,1,a*b*\r\n", 2);  // "*" before CR LF closes; one further in is text
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->label(0), "a*b");
}

}  // namespace
