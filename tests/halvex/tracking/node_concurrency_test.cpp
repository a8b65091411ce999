// Receive-side updates and state file writing meeting on the same records (run under TSAN too).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "halvex/engine/tracker_model.h"
#include "halvex/streams/local_state_file.h"
#include "halvex/streams/node_updates.h"
#include "halvex/streams/state_output.h"
#include "halvex/tracking/node_table.h"
#include "tests/support/scratch_dir.h"

namespace {

TEST(NodeConcurrency, UpdatersAndWriterShareRecordsThroughTheirLocks) {
  ScratchDir dir;
  std::string list;
  for (int id = 0; id < 50; ++id) list += std::to_string(id) + " n\n";
  NodeTable table;
  ASSERT_TRUE(table.readNodeFile(dir.write("nodes.txt", list).c_str()));
  constexpr int kRounds = 200;
  std::atomic<int> applied{0};
  std::atomic<bool> recordsDone{false};
  std::thread packets([&] {
    for (int round = 0; round < kRounds; ++round) {
      for (int id = 0; id < 50; ++id) {
        char packet[200];
        std::snprintf(packet, sizeof packet,
                      "%d,c%d,d,$GPZDA,1200%02d.00,07,12,2026,00,00*00$GPGLL,3242.%04d,N,11709.6,W,"
                      "120000.00,A,A*00",
                      id, round, round % 60, round);
        if (applyPositionPacket(table, packet)) ++applied;
      }
    }
  });
  std::thread records([&] {
    for (int round = 0; round < kRounds; ++round) {
      for (int id = 0; id < 50; ++id) {
        char line[200];
        std::snprintf(line, sizeof line, "$%03d,%d.5,-1.25,0,0,%d,0.5,x%d,y,Name %d*\n", id, round,
                      round % 3, round, id);
        applyStateRecordLine(table, line);
      }
    }
    recordsDone = true;
  });
  // At least 50 files while the updaters run; the last one begins after every record went in,
  // so that it holds the names the records gave.
  std::thread writer([&] {
    bool last = false;
    for (int round = 0; !last; ++round) {
      last = round >= 49 && recordsDone;
      EXPECT_TRUE(writeStateFile(table, dir.path("state.txt").c_str(), round % 2 == 0));
    }
  });
  packets.join();
  records.join();
  writer.join();
  EXPECT_GT(applied, 0);
  NodeTable copy;
  ASSERT_TRUE(copy.readNodeFile(dir.path("nodes.txt").c_str()));
  ASSERT_TRUE(readLocalStateFile(copy, dir.path("state.txt").c_str()));
  EXPECT_STREQ(copy.nodeById(49)->name, "Name 49");
}

TEST(NodeConcurrency, AttachingGraphicsWaitsForTheRecordLock) {
  ScratchDir dir;
  TrackerModel model;
  model.readNodeList(dir.write("nodes.txt", "1 a\n7 b\n"));
  model.readNodeGraphics(dir.write("icons.txt", "I07 seven.jpg\n"));
  NodeRecord& node = *model.nodes().nodeById(7);
  node.lock();  // as a receive-side update would hold it
  std::atomic<bool> done{false};
  std::thread attach([&] {
    model.attachNodeGraphics();
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(done);
  node.unlock();
  attach.join();
  ASSERT_NE(node.icon, nullptr);
  EXPECT_EQ(node.icon->imagePath, "seven.jpg");
}

}  // namespace
