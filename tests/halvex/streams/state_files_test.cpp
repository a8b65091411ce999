// Writing state files from a node table and reading them back, with their ring markers.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "halvex/streams/local_state_file.h"
#include "halvex/streams/node_updates.h"
#include "halvex/streams/state_file_element.h"
#include "halvex/streams/state_output.h"
#include "halvex/tracking/node_table.h"
#include "halvex/tracking/ring_marker.h"
#include "tests/support/scratch_dir.h"

namespace {

/// A node list with ids first..last, each named "n<id>".
std::string nodeList(int first, int last) {
  std::string text;
  for (int id = first; id <= last; ++id)
    text += std::to_string(id) + " n" + std::to_string(id) + "\n";
  return text;
}

int markerCount(const NodeTable& table) {
  int n = 0;
  for (RingMarker* m = table.firstMarker(); m != nullptr; m = m->nextMarker()) ++n;
  return n;
}

class StateFiles : public ::testing::Test {
 protected:
  void load(NodeTable& table, int first, int last) {
    ASSERT_TRUE(table.readNodeFile(dir_.write("nodes.txt", nodeList(first, last)).c_str()));
  }
  ScratchDir dir_;
  NodeTable table_;
};

TEST_F(StateFiles, RoundTripOf1001Nodes) {
  load(table_, 0, 1000);
  for (int id = 0; id <= 1000; ++id) {
    const std::string name = "Unit " + std::to_string(id) + ", squad, " + std::to_string(id % 7);
    // Six decimals survive the text form exactly.
    table_.nodeById(id)->applyStateRecord(-89.5 + id * 0.123457, 179.0 - id * 0.333333, id % 3, "",
                                          "", id * 0.125, name.c_str());
  }
  const std::string path = dir_.path("state.txt");
  ASSERT_TRUE(writeStateFile(table_, path.c_str(), true));
  NodeTable copy;
  load(copy, 0, 1000);
  ASSERT_TRUE(readLocalStateFile(copy, path.c_str()));
  for (int id = 0; id <= 1000; ++id) {
    const NodeRecord& a = *table_.nodeById(id);
    const NodeRecord& b = *copy.nodeById(id);
    EXPECT_NEAR(a.latitude, b.latitude, 5e-7) << id;
    EXPECT_NEAR(a.longitude, b.longitude, 5e-7) << id;
    EXPECT_EQ(a.status, b.status) << id;
    EXPECT_DOUBLE_EQ(a.age, b.age) << id;
    EXPECT_STREQ(a.name, b.name) << id;
    EXPECT_STREQ(b.comment1, "");
    EXPECT_STREQ(b.comment2, "");
  }
}

TEST_F(StateFiles, RecordTextsAsWritten) {
  load(table_, 7, 7);
  NodeRecord& node = *table_.nodeById(7);
  node.applyStateRecord(32.712345, -117.16, 0, "north gate", "moving", 0.125, "Truck 7");
  node.lastPacketTime.seconds = 1126531205;
  node.lastPacketTime.milliseconds = 250;
  ASSERT_TRUE(writeStateFile(table_, dir_.path("s.txt").c_str(), true));
  EXPECT_EQ(dir_.read("s.txt"),
            "<dgc>\n$007,32.712345,-117.160000,1126531205,250,0,0.125,north gate,moving,Truck 7*\n"
            "</dgc>\n");
  node.setComments("line\r\nbreak", "two\nlines");
  ASSERT_TRUE(writeStateFile(table_, dir_.path("s.txt").c_str(), true));
  EXPECT_NE(dir_.read("s.txt").find(",0.125,line  break,two lines,Truck 7*\n</dgc>\n"),
            std::string::npos);
  node.applyStateRecord(0, 0, 1, nullptr, nullptr, 12.5, "x");
  ASSERT_TRUE(writeStateFile(table_, dir_.path("s.txt").c_str(), true));
  EXPECT_NE(dir_.read("s.txt").find(",1,12.500,"), std::string::npos);
}

TEST_F(StateFiles, SeparatorsInTextsAreBlankedSoEveryReaderGetsTheTextsBack) {
  // A "*" or "," in a comment, or a "*" in a name, would move the record's fields for every
  // reader; the name, last and read whole, keeps its commas.
  struct Row {
    const char *c1, *c2, *name, *readC1, *readC2, *readName;
  } rows[] = {
      {"mov*FAKE NAME", "", "Truck 7", "mov FAKE NAME", "", "Truck 7"},
      {"", "mov*FAKE NAME", "Truck 7", "", "mov FAKE NAME", "Truck 7"},
      {"a,b", "c,d,e", "Name, with, commas", "a b", "c d e", "Name, with, commas"},
      {"line\r\nbreak", "x*", "star*name\n", "line  break", "x ", "star name "},
      {"*", ",", "*,*", " ", " ", " , "},
  };
  load(table_, 1, 2);
  for (const Row& row : rows) {
    table_.nodeById(1)->applyStateRecord(1.5, 2.5, 0, row.c1, row.c2, 0.5, row.name);
    table_.nodeById(2)->applyStateRecord(3.5, 4.5, 1, "c1", "c2", 1.5, "Next");
    ASSERT_TRUE(writeStateFile(table_, dir_.path("s.txt").c_str(), true));
    NodeTable copy;
    load(copy, 1, 2);
    ASSERT_TRUE(readLocalStateFile(copy, dir_.path("s.txt").c_str()));
    const NodeRecord& one = *copy.nodeById(1);
    EXPECT_STREQ(one.comment1, row.readC1) << row.c1;
    EXPECT_STREQ(one.comment2, row.readC2) << row.c2;
    EXPECT_STREQ(one.name, row.readName) << row.name;
    EXPECT_EQ(one.age, 0.5) << row.name;
    const NodeRecord& two = *copy.nodeById(2);
    EXPECT_STREQ(two.name, "Next");
    EXPECT_EQ(two.latitude, 3.5);
  }
}

TEST_F(StateFiles, UnrelayedStatusAndAgeAreComputedNow) {
  load(table_, 1, 1);
  table_.nodeById(1)->applyStateRecord(1, 2, 0, "", "", 0.5, "n1");  // never received locally
  ASSERT_TRUE(writeStateFile(table_, dir_.path("s.txt").c_str(), false));
  EXPECT_EQ(table_.nodeById(1)->status, NodeRecord::kLost);
  EXPECT_GT(table_.nodeById(1)->age, 1e9);
  EXPECT_NE(dir_.read("s.txt").find(",0,0,2,"), std::string::npos);
}

TEST_F(StateFiles, FailedWriteKeepsThePreviousFileAndCounter) {
  load(table_, 1, 2);
  EXPECT_FALSE(writeStateFile(table_, "", true));
  EXPECT_FALSE(writeStateFile(table_, dir_.path("no/such/dir/s.txt").c_str(), true));
  // A directory in the way: the rename fails and no temporary file is left behind.
  std::filesystem::create_directory(dir_.path("busy"));
  dir_.write("busy/keep", "old");
  const int entries = dir_.entryCount();
  StateOutput output;
  output.setFileName(dir_.path("busy").c_str());
  EXPECT_FALSE(output.writeFrame(table_, true));
  EXPECT_EQ(output.frameCount(), 0);
  EXPECT_EQ(output.counterLabel(), "Frames set: 00000000");
  EXPECT_EQ(dir_.entryCount(), entries);
  EXPECT_EQ(dir_.read("busy/keep"), "old");
}

TEST_F(StateFiles, SnapshotFlagCounterAndLabels) {
  load(table_, 1, 2);
  StateOutput output;
  EXPECT_EQ(output.fileName(), "state.txt");
  EXPECT_TRUE(output.snapshotOn());
  EXPECT_EQ(output.toggleLabel(), "Snapshot is OFF");
  output.setFileName(dir_.path("out.txt").c_str());
  output.setSnapshot(false);
  EXPECT_EQ(output.toggleLabel(), "Snapshot is OFF");
  EXPECT_FALSE(output.writeFrame(table_, false));
  EXPECT_EQ(dir_.read("out.txt"), "");
  output.setSnapshot(true);
  EXPECT_EQ(output.toggleLabel(), "Snapshot is ON");
  EXPECT_TRUE(output.writeFrame(table_, false));
  EXPECT_TRUE(output.writeFrame(table_, false));
  EXPECT_EQ(output.frameCount(), 2);
  EXPECT_EQ(output.counterLabel(), "Frames set: 00000002");
  output.resetFromConfiguration(nullptr);
  EXPECT_EQ(output.fileName(), dir_.path("out.txt"));
  EXPECT_EQ(output.toggleLabel(), "State File Generation is Off");
  EXPECT_EQ(output.counterLabel(), "Counter 00000000000000");
}

TEST_F(StateFiles, ReaderPollingTheFileNeverSeesAPartlyWrittenOne) {
  load(table_, 0, 1000);
  const std::string path = dir_.path("live.txt");
  ASSERT_TRUE(writeStateFile(table_, path.c_str(), true));
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done) {
      const std::string text = dir_.read("live.txt");
      if (text.rfind("<dgc>\n", 0) != 0 || text.size() < 8 ||
          text.compare(text.size() - 7, 7, "</dgc>\n") != 0) {
        ++torn;
      }
    }
  });
  for (int i = 0; i < 100; ++i) writeStateFile(table_, path.c_str(), true);
  done = true;
  reader.join();
  EXPECT_EQ(torn, 0);
}

TEST_F(StateFiles, ReadingAppliesKnownIdsOnly) {
  load(table_, 1, 3);
  const std::string path = dir_.write("in.txt",
                                      "junk before\n<dgc>\n"
                                      "$002,10.5,20.25,0,0,1,3.5,c1,c2,Two*\n"
                                      "$009,1,1,0,0,0,0,a,b,Nine*\n"
                                      "$003,bad record\n"
                                      "</dgc>\n"
                                      "$001,1,1,0,0,0,0,a,b,One*\n");
  ASSERT_TRUE(readLocalStateFile(table_, path.c_str()));
  EXPECT_EQ(table_.nodeById(2)->latitude, 10.5);
  EXPECT_EQ(table_.nodeById(2)->status, 1);
  EXPECT_STREQ(table_.nodeById(2)->name, "Two");
  EXPECT_STREQ(table_.nodeById(3)->name, "n3");  // malformed line skipped
  EXPECT_STREQ(table_.nodeById(1)->name, "n1");  // after the closing tag: not read
  EXPECT_FALSE(readLocalStateFile(table_, dir_.path("missing.txt").c_str()));
  EXPECT_FALSE(readLocalStateFile(table_, ""));
}

TEST_F(StateFiles, MarkerSetIsRebuiltOnlyWhenItsIndexChanges) {
  const std::string twoMarkers =
      "<irq1>\n<INDEX id=\"5\">\n$1.0,2.0,3,1,4,0,1,3*\n$1.5,2.5,4,0,2,0*\n</irq1>\n";
  const std::string path = dir_.write("m.txt", twoMarkers);
  ASSERT_TRUE(readLocalStateFile(table_, path.c_str()));
  ASSERT_EQ(markerCount(table_), 2);
  RingMarker* first = table_.firstMarker();
  // Same index: the markers stay, and nothing after the index line is read.
  dir_.write("m.txt", "<irq1>\n<INDEX id=\"5\">\n$9,9,1,0,1,0*\n</irq1>\n");
  ASSERT_TRUE(readLocalStateFile(table_, path.c_str()));
  EXPECT_EQ(markerCount(table_), 2);
  EXPECT_EQ(table_.firstMarker(), first);
  // A new index rebuilds the set.
  dir_.write("m.txt", "<irq2>\n<INDEX id=\"6\">\n$9,9,0,1,0,1,0*\n</irq2>\n");
  ASSERT_TRUE(readLocalStateFile(table_, path.c_str()));
  EXPECT_EQ(markerCount(table_), 1);
  EXPECT_EQ(table_.firstMarker()->dimension(), 3);
  // An unparsable index line reuses the index parsed last (6): kept.
  dir_.write("m.txt", "<irq2>\nno index here\n$1,1,0,1,0,1,0*\n</irq2>\n");
  ASSERT_TRUE(readLocalStateFile(table_, path.c_str()));
  EXPECT_EQ(markerCount(table_), 1);
  table_.clearMarkers();
  EXPECT_EQ(table_.firstMarker(), nullptr);
}

TEST_F(StateFiles, ElementRebuildsItsMarkersAndLeavesNodesAlone) {
  load(table_, 1, 1);
  const std::string path =
      dir_.write("e.txt", "<irq1>\n<INDEX id=\"5\">\n$1.0,2.0,3,0,2,0*\n</irq1>\n");
  StateFileElement element(path.c_str());
  EXPECT_EQ(element.projectLine(), "\t" + path + "\n");
  ASSERT_TRUE(element.read());
  RingMarker* first = element.firstMarker();
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(element.read());  // same index: rebuilt all the same
  ASSERT_NE(element.firstMarker(), nullptr);
  EXPECT_EQ(element.firstMarker()->nextMarker(), nullptr);
  StateFileElement states(
      dir_.write("d.txt", "<dgc>\n$001,5,5,0,0,0,0,a,b,Moved*\n</dgc>\n").c_str());
  ASSERT_TRUE(states.read());
  EXPECT_EQ(states.firstMarker(), nullptr);
  EXPECT_EQ(table_.nodeById(1)->latitude, 0.0);
  StateFileElement missing("");
  EXPECT_FALSE(missing.read());
}

TEST(NodeUpdates, PacketsReachTheirNodeInTimeOrder) {
  ScratchDir dir;
  NodeTable table;
  ASSERT_TRUE(table.readNodeFile(dir.write("n.txt", "7 seven\n").c_str()));
  char packet[] =
      "7,north gate,moving,$GPZDA,123519.50,07,12,2026,00,00*6C$GPGLL,3242.5000,N,11709.6000,W,"
      "123519.50,A,A*79";
  char older[] =
      "7,old,old,$GPZDA,123519.49,07,12,2026,00,00*6C$GPGLL,1000.0000,N,01000.0000,E,"
      "123519.49,A,A*79";
  char unknown[] =
      "8,x,y,$GPZDA,123519.50,07,12,2026,00,00*6C$GPGLL,3242.5000,N,11709.6000,W,123519.50,A,A*79";
  EXPECT_TRUE(applyPositionPacket(table, packet));
  const NodeRecord& node = *table.nodeById(7);
  EXPECT_NEAR(node.latitude, 32.708333, 1e-6);
  EXPECT_NEAR(node.longitude, -117.16, 1e-9);
  EXPECT_STREQ(node.comment1, "north gate");
  EXPECT_STREQ(node.comment2, "moving");
  EXPECT_STREQ(node.gpsDateText, "2026/12/07,12:35:19.500");
  EXPECT_EQ(node.lastPacketTime.milliseconds, 500);
  EXPECT_FALSE(applyPositionPacket(table, older));
  EXPECT_STREQ(node.comment1, "north gate");  // a refused packet leaves the comments too
  EXPECT_FALSE(applyPositionPacket(table, unknown));
}

}  // namespace
