// Packet order, idle status, comments and the text limits of a node record.
#include "halvex/tracking/node_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TimeStamp stamp(int64_t seconds, int ms) {
  TimeStamp t;
  t.seconds = seconds;
  t.milliseconds = ms;
  return t;
}

bool apply(NodeRecord& r, double lat, int64_t seconds, int ms) {
  std::tm calendar{};
  return r.applyPacket(lat, -117.0, calendar, stamp(seconds, ms), "2026/12/07,12:35:19.500");
}

TEST(NodeRecordPacket, EqualTimeAcceptedOlderRefused) {
  NodeRecord r(7, "Truck 7", 0, 2000, 4000);
  EXPECT_TRUE(apply(r, 32.0, 1'800'000'000, 250));
  EXPECT_TRUE(apply(r, 32.5, 1'800'000'000, 250));  // same millisecond
  EXPECT_FALSE(apply(r, 33.0, 1'800'000'000, 249));
  EXPECT_FALSE(apply(r, 33.0, 1'799'999'999, 999));
  EXPECT_EQ(r.latitude, 32.5);
  EXPECT_EQ(r.hasData, 1);
  EXPECT_STREQ(r.gpsDateText, "2026/12/07,12:35:19.500");
}

TEST(NodeRecordPacket, FarFuturePacketAppliedWithoutAdvancingLastTime) {
  NodeRecord r(7, "", 0, 2000, 4000);
  EXPECT_TRUE(apply(r, 1.0, 1'800'000'000, 0));  // first packet: last time 0 is below 5000
  EXPECT_EQ(r.lastPacketTime.seconds, 1'800'000'000);
  EXPECT_TRUE(apply(r, 2.0, 1'800'000'000 + 28800, 0));
  EXPECT_EQ(r.latitude, 2.0);
  EXPECT_EQ(r.packetTime.seconds, 1'800'000'000 + 28800);
  EXPECT_EQ(r.lastPacketTime.seconds, 1'800'000'000);
  EXPECT_TRUE(apply(r, 3.0, 1'800'000'000 + 28799, 999));
  EXPECT_EQ(r.lastPacketTime.seconds, 1'800'000'000 + 28799);
}

TEST(NodeRecordPacket, ChangeFlagsFollowWhatChanged) {
  NodeRecord r(1, "", 0, 2000, 4000);
  std::memset(r.changed, 0, sizeof r.changed);
  apply(r, 0.0, 6000, 0);  // latitude unchanged (0), longitude changed
  EXPECT_EQ(r.changed[NodeRecord::kLatitudeChanged], 0);
  EXPECT_EQ(r.changed[NodeRecord::kLongitudeChanged], 1);
  EXPECT_EQ(r.changed[3] + r.changed[4] + r.changed[5], 3);
  EXPECT_EQ(r.changed[0], 0);
}

TEST(NodeRecordStatus, ThresholdsAndCoarseSecondTest) {
  NodeRecord r(1, "", 0, 2000, 4000);
  r.receivedAt = stamp(1000, 500);
  EXPECT_EQ(r.computeStatus(WallTime{1002, 499}), NodeRecord::kAlive);  // 1.999 s
  EXPECT_EQ(r.seenAlive, 1);
  EXPECT_EQ(r.computeStatus(WallTime{1002, 500}), NodeRecord::kIdle);  // 2.000 s
  EXPECT_EQ(r.computeStatus(WallTime{1004, 500}), NodeRecord::kLost);  // 4.000 s
  // 4000 / 999 is 4: five whole seconds are lost whatever the milliseconds say.
  EXPECT_EQ(r.computeStatus(WallTime{1005, 0}), NodeRecord::kLost);
  EXPECT_DOUBLE_EQ(r.computeAge(WallTime{1003, 250}), 2.75);
}

TEST(NodeRecordStatus, CoarseTestActsAcrossASecondBelow999Ms) {
  // 500 / 999 is 0: crossing a whole second means lost, however few milliseconds passed.
  NodeRecord r(1, "", 0, 200, 500);
  r.receivedAt = stamp(100, 900);
  EXPECT_EQ(r.computeStatus(WallTime{100, 999}), NodeRecord::kAlive);
  EXPECT_EQ(r.computeStatus(WallTime{101, 0}), NodeRecord::kLost);
}

TEST(NodeRecordState, StateRecordSetsFieldsAndSeenAlive) {
  NodeRecord r(3, "old", 0, 2000, 4000);
  std::memset(r.changed, 0, sizeof r.changed);
  r.applyStateRecord(32.7, -117.1, 2, "gate", "moving", 0.125, "Truck 3");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.seenAlive, 0);
  EXPECT_STREQ(r.name, "Truck 3");
  EXPECT_EQ(r.changed[NodeRecord::kComment1Changed], 1);
  r.applyStateRecord(32.7, -117.1, 1, "gate", "moving", 0.5, "Truck 3");
  EXPECT_EQ(r.seenAlive, 1);
  // An unknown status is held as lost, so drawing never meets a fourth look.
  r.applyStateRecord(0, 0, 7, nullptr, nullptr, 0, "x");
  EXPECT_EQ(r.status, NodeRecord::kLost);
  r.applyStateRecord(0, 0, -1, nullptr, nullptr, 0, "x");
  EXPECT_EQ(r.status, NodeRecord::kLost);
}

TEST(NodeRecordText, CommentsAndNamesCutTo127Bytes) {
  NodeRecord r(1, std::string(300, 'n').c_str(), 0, 2000, 4000);
  EXPECT_EQ(std::strlen(r.name), 127u);
  std::memset(r.changed, 0, sizeof r.changed);
  const std::string longText(200, 'c');
  r.setComments(longText.c_str(), nullptr);
  EXPECT_EQ(std::strlen(r.comment1), 127u);
  EXPECT_EQ(r.changed[NodeRecord::kComment1Changed], 1);
  EXPECT_EQ(r.changed[NodeRecord::kComment2Changed], 0);
  r.changed[NodeRecord::kComment1Changed] = 0;
  // Differing only beyond the kept bytes is no change.
  r.setComments((std::string(127, 'c') + "zzz").c_str(), "");
  EXPECT_EQ(r.changed[NodeRecord::kComment1Changed], 0);
  EXPECT_EQ(r.changed[NodeRecord::kComment2Changed], 0);  // empty equals empty
}

TEST(NodeRecordText, ResetTimesClearsTimesAndTexts) {
  NodeRecord r(1, "", 0, 2000, 4000);
  apply(r, 1.0, 1'800'000'000, 5);
  r.setComments("a", "b");
  std::memset(r.changed, 0, sizeof r.changed);
  r.resetTimes();
  EXPECT_EQ(r.lastPacketTime.seconds, 0);
  EXPECT_EQ(r.receivedAt.seconds, 0);
  EXPECT_STREQ(r.comment1, "");
  EXPECT_STREQ(r.gpsDateText, "");
  for (unsigned char flag : r.changed) EXPECT_EQ(flag, 1);
  EXPECT_TRUE(apply(r, 1.0, 6000, 0));  // an older packet is accepted again
}

}  // namespace
