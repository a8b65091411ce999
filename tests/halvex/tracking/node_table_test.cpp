// Node list reading, lookups, thresholds, the proximity list and node roles.
#include "halvex/tracking/node_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "halvex/tracking/node_role.h"

namespace {

class NodeTableTest : public ::testing::Test {
 protected:
  std::string writeFile(const std::string& text) {
    char name[] = "/tmp/nodelistXXXXXX";
    const int fd = mkstemp(name);
    close(fd);
    std::ofstream(name, std::ios::binary) << text;
    paths_.push_back(name);
    return name;
  }
  void TearDown() override {
    for (auto& p : paths_) std::remove(p.c_str());
  }
  std::vector<std::string> paths_;
  NodeTable table_;
};

TEST_F(NodeTableTest, ReadsIdsNamesAndSkipsWhatItMust) {
  const std::string path = writeFile(
      "# comment\n"
      "7\n"
      "\n"
      "   \t\n"
      "1001 too high\n"
      "-1 negative\n"
      "1000\t Last one\r\n"
      "5 first five\n"
      "5 second five\n"
      "abc not a number\n"
      "12x digits first\n");
  ASSERT_TRUE(table_.readNodeFile(path.c_str()));
  ASSERT_EQ(table_.count(), 5);
  EXPECT_STREQ(table_.nodeById(7)->name, "");
  EXPECT_STREQ(table_.nodeById(1000)->name, "Last one");
  EXPECT_STREQ(table_.nodeById(5)->name, "first five");
  EXPECT_STREQ(table_.nodeById(0)->name, "not a number");
  EXPECT_STREQ(table_.nodeById(12)->name, "digits first");
  EXPECT_EQ(table_.nodeById(0)->position, 3);  // positions stay consecutive after a duplicate
  EXPECT_EQ(table_.nodeAt(4)->id, 12);
  EXPECT_EQ(table_.nodeAt(5), nullptr);
  EXPECT_EQ(table_.maxId(), 1000);
  EXPECT_EQ(table_.nodeById(1001), nullptr);
  EXPECT_EQ(table_.nodeById(-1), nullptr);
  EXPECT_EQ(table_.nodeById(6), nullptr);
  EXPECT_EQ(table_.chainHead()->next->id, 1000);
  EXPECT_EQ(table_.nodeAt(4)->next, nullptr);
}

TEST_F(NodeTableTest, LongLineIsCutNotSplitIntoAnotherNode) {
  const std::string path = writeFile("3 " + std::string(5000, 'x') + "\n4 four\n");
  ASSERT_TRUE(table_.readNodeFile(path.c_str()));
  ASSERT_EQ(table_.count(), 2);
  EXPECT_EQ(std::string(table_.nodeById(3)->name), std::string(127, 'x'));
  EXPECT_STREQ(table_.nodeById(4)->name, "four");
}

TEST_F(NodeTableTest, NulByteEndsItsLineOnly) {
  // The name ends at the NUL; the following line is still a node of its own.
  const std::string text("3 ab\0cd\n4 four\n5", 17);
  ASSERT_TRUE(table_.readNodeFile(writeFile(text).c_str()));
  ASSERT_EQ(table_.count(), 3);
  EXPECT_STREQ(table_.nodeById(3)->name, "ab");
  EXPECT_STREQ(table_.nodeById(4)->name, "four");
  EXPECT_NE(table_.nodeById(5), nullptr);
}

TEST_F(NodeTableTest, MissingFileEmptiesTheTable) {
  ASSERT_TRUE(table_.readNodeFile(writeFile("1 a\n2 b\n").c_str()));
  EXPECT_FALSE(table_.readNodeFile("/nonexistent/nodes.txt"));
  EXPECT_EQ(table_.count(), 0);
  EXPECT_EQ(table_.nodeById(1), nullptr);
  EXPECT_FALSE(table_.readNodeFile(""));
}

TEST_F(NodeTableTest, IdleThresholdsReachEveryRecord) {
  ASSERT_TRUE(table_.readNodeFile(writeFile("1 a\n2 b\n").c_str()));
  table_.setIdleThresholds(-2.5, 1e30);
  EXPECT_EQ(table_.mediumIdleMs(), 2500);
  EXPECT_EQ(table_.nodeAt(1)->mediumIdleMs, 2500);
  EXPECT_EQ(table_.nodeAt(1)->badIdleMs, 2147483647);  // held within int
  table_.setIdleThresholds(0.0019, 4);
  EXPECT_EQ(table_.nodeAt(0)->mediumIdleMs, 1);
  EXPECT_EQ(table_.nodeAt(0)->badIdleMs, 4000);
}

class NearestTest : public NodeTableTest {
 protected:
  /// Nodes 1..n; node i sits at latitude `lat[i-1]`.
  void place(const std::vector<double>& lat) {
    std::string text;
    for (size_t i = 0; i < lat.size(); ++i) text += std::to_string(i + 1) + " n\n";
    ASSERT_TRUE(table_.readNodeFile(writeFile(text).c_str()));
    for (size_t i = 0; i < lat.size(); ++i) {
      table_.nodeAt(static_cast<int>(i))->applyStateRecord(lat[i], 0, 0, "", "", 0, "n");
    }
  }
  std::vector<int> ids() {
    std::vector<int> out;
    for (int k = 0; k < NodeTable::kNearestCount; ++k) {
      out.push_back(table_.nearestAt(k) ? table_.nearestAt(k)->id : 0);
    }
    return out;
  }
};

TEST_F(NearestTest, NearestFirstTiesInTableOrderChaseExcluded) {
  place({0.0, 0.1, 3.0, -2.0, 2.0, 1.0});
  table_.buildNearest(1, 2);  // node 2 is nearest but is the chase
  EXPECT_EQ(ids(), (std::vector<int>{6, 4, 5, 3, 0, 0, 0, 0, 0, 0}));
  table_.buildNearest(1, -1);
  EXPECT_EQ(ids(), (std::vector<int>{2, 6, 4, 5, 3, 0, 0, 0, 0, 0}));
}

TEST_F(NearestTest, KeepsTheTenNearestOfMany) {
  std::vector<double> lat{0.0};
  for (int i = 20; i >= 1; --i) lat.push_back(i);  // node 2 farthest, node 21 nearest
  place(lat);
  table_.buildNearest(1, -1);
  EXPECT_EQ(ids(), (std::vector<int>{21, 20, 19, 18, 17, 16, 15, 14, 13, 12}));
  EXPECT_EQ(table_.nearestAt(10), nullptr);
  EXPECT_EQ(table_.nearestAt(-1), nullptr);
}

TEST_F(NearestTest, UnknownOrNegativeTargetLeavesTheListEmpty) {
  place({0.0, 1.0, 2.0});
  table_.buildNearest(1, 2);
  EXPECT_NE(table_.nearestAt(0), nullptr);
  table_.buildNearest(99, 2);
  EXPECT_EQ(table_.nearestAt(0), nullptr);
  table_.buildNearest(-1, 2);
  EXPECT_EQ(table_.nearestAt(0), nullptr);
}

TEST_F(NearestTest, RolesFollowTargetChaseAndCloseCount) {
  place({0.0, 5.0, 1.0, 2.0, 3.0});
  TrackingSettings s;  // target 1, chase 2, closeCount 5
  s.closeIcon = true;
  s.targetIcon = true;
  table_.buildNearest(s.targetId, s.chaseId);
  EXPECT_EQ(roleOf(*table_.nodeById(1), s, table_, 14).role, NodeRole::kTarget);
  EXPECT_EQ(roleOf(*table_.nodeById(1), s, table_, 14).roleIcon, kTargetRoleIcon);
  EXPECT_EQ(roleOf(*table_.nodeById(2), s, table_, 14).roleIcon, -1);  // chase icon off
  const RoleChoice second = roleOf(*table_.nodeById(4), s, table_, 14);
  EXPECT_EQ(second.role, NodeRole::kClose);
  EXPECT_EQ(second.roleIcon, kFirstCloseRoleIcon + 1);
  EXPECT_EQ(roleOf(*table_.nodeById(4), s, table_, 4).roleIcon, -1);  // too few role icons
  s.closeCount = 0;
  EXPECT_EQ(roleOf(*table_.nodeById(3), s, table_, 14).role, NodeRole::kNone);
  EXPECT_NE(table_.nearestAt(0), nullptr);
  s.displayMode = 1;
  EXPECT_FALSE(isDisplayed(roleOf(*table_.nodeById(3), s, table_, 14), s));
  EXPECT_TRUE(isDisplayed(roleOf(*table_.nodeById(2), s, table_, 14), s));
}

}  // namespace
