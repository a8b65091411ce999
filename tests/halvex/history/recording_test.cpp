// Recordings written and read back: every field of every entry, seeks, walks in steps, numbered
// parts, and a reader following a recording as it is written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "tests/halvex/history/recording_fixtures.h"
#include "tests/support/scratch_dir.h"

namespace {

const int64_t kT0 = 1'796'647'519'000;  // 2026-12-07

/// Odd fixes first (ids 0 and 1000, poles and the date line, huge jumps and time offsets, text
/// changes, a clock stepping back), then a small fleet over three keyframe intervals.
std::vector<TestFix> mixedFixes() {
  const std::string longText(200, 'x');
  std::vector<TestFix> fixes = {
      {0, FixKind::kPacket, kT0, kT0, 32.712345678, -117.16, 0, "", "", "Truck 0"},
      {1000, FixKind::kStateRecord, kT0 - 5000, kT0 + 1, -90, 180, 2, "north gate", "moving", "A"},
      {0, FixKind::kPacket, kT0 + 86'400'000, kT0 + 2, 90, -180, 0, "", "", "Truck 0"},
      {1000, FixKind::kStateRecord, 0, kT0 + 3, 1e-9, -1e-9, 1, "", "moving", "A"},
      {1000, FixKind::kStateRecord, INT64_MAX, kT0 + 4, -89.9999999995, 179.9999999995, 1, longText,
       longText, longText},
      {7, FixKind::kPacket, INT64_MIN, kT0 + 5, 0.0000000004, -0.0000000006, 0, "", "", ""},
      {7, FixKind::kPacket, kT0, kT0 - 60'000, 45, 45, 0, "c1", "", ""},  // clock stepped back
      {0, FixKind::kPacket, kT0 + 6, kT0 + 6, -33.5, 151.2, 0, "", "", ""},
  };
  const std::vector<TestFix> fleet = fleetFixes(5, 190, kT0 + 1000, 1);
  fixes.insert(fixes.end(), fleet.begin(), fleet.end());
  return fixes;
}

/// The state every node must have at `atMs` after `fixes`, described.
std::map<int, std::string> modelAt(const std::vector<TestFix>& fixes, int64_t atMs) {
  std::map<int, std::string> states;
  std::vector<TrackState> last(1001);
  int64_t arrival = INT64_MIN;
  for (const TestFix& f : fixes) {
    arrival = std::max(arrival, f.arrivalMs);
    if (arrival > atMs) break;
    TrackState& s = last[f.id];
    s = TrackState{f.id,
                   f.kind,
                   f.fixMs,
                   arrival,
                   std::llround(f.lat * 1e9) / 1e9,
                   std::llround(f.lon * 1e9) / 1e9,
                   f.status,
                   f.comment1.substr(0, 127),
                   f.comment2.substr(0, 127),
                   f.name.substr(0, 127)};
    states[f.id] = describe(s, 0);
  }
  return states;
}

class Recording : public ::testing::Test {
 protected:
  std::string write(const std::vector<TestFix>& fixes, int64_t flushMs, uint64_t maxBytes = 0) {
    const std::string path = dir_.path("track.hxr");
    std::string error;
    RecordingWriter writer;
    EXPECT_TRUE(writer.open(path, maxBytes, &error)) << error;
    writeFixes(writer, fixes, flushMs);
    EXPECT_EQ(writer.fixCount(), fixes.size());
    return path;
  }
  ScratchDir dir_;
};

TEST_F(Recording, EveryEntryReadsBackExactly) {
  const std::vector<TestFix> fixes = mixedFixes();
  RecordingReader reader;
  std::string error;
  ASSERT_TRUE(reader.open(write(fixes, 250), &error)) << error;
  EXPECT_EQ(reader.entryCount(), fixes.size());
  EXPECT_EQ(reader.damage(), "");
  EXPECT_EQ(reader.firstMs(), kT0);
  EXPECT_EQ(readAll(reader), expectedEntries(fixes));
}

TEST_F(Recording, StateAtAnyTimeMatchesTheFixesBeforeIt) {
  const std::vector<TestFix> fixes = mixedFixes();
  RecordingReader reader;
  std::string error;
  ASSERT_TRUE(reader.open(write(fixes, 250), &error)) << error;
  const int64_t last = reader.lastMs();
  std::vector<int64_t> times = {kT0 - 1, kT0, kT0 + 5, last - 1, last, last + 100'000};
  for (int64_t t = kT0 + 7; t < last; t += 3'917) times.push_back(t);
  // Around every keyframe interval's edge, where a seek changes its starting block.
  for (int64_t t = kT0 + 59'990; t < last; t += 60'000) {
    for (int d = 0; d < 30; d += 3) times.push_back(t + d);
  }
  std::vector<TrackState> byId;
  for (int64_t t : times) {
    const uint64_t readBefore = reader.blocksRead();
    ASSERT_TRUE(reader.stateAt(t, byId));
    // One keyframe interval at 4 blocks a second, and the keyframe, at most.
    EXPECT_LE(reader.blocksRead() - readBefore, 60u * 4 + 2) << t;
    std::map<int, std::string> got;
    for (const TrackState& s : byId) {
      if (s.known()) got[s.id] = describe(s, 0);
    }
    EXPECT_EQ(got, modelAt(fixes, t)) << "at " << t;
    EXPECT_TRUE(byId.empty() || byId.back().known());
  }
}

TEST_F(Recording, WalksInStepsGoOnWhereTheLastEnded) {
  const std::vector<TestFix> fixes = mixedFixes();
  RecordingReader reader;
  std::string error;
  ASSERT_TRUE(reader.open(write(fixes, 250), &error)) << error;
  RecordingReader whole;
  ASSERT_TRUE(whole.open(dir_.path("track.hxr"), &error));
  readAll(whole);
  const uint64_t blocks = whole.blocksRead();

  // Frames of a replay: each walk starts where the last ended, some empty, some mid-block.
  std::vector<std::string> got;
  const auto keep = [&got](const TrackState& s, unsigned changes) {
    got.push_back(describe(s, changes));
    return true;
  };
  int64_t from = kT0 - 100;
  for (int step = 1; from < reader.lastMs(); step = step * 7 % 997 + 1) {
    ASSERT_TRUE(reader.forEach(from, from + step, keep));
    from += step;
  }
  EXPECT_EQ(got, expectedEntries(fixes));
  EXPECT_LE(reader.blocksRead(), blocks) << "a walk went back to a keyframe";

  // A walk elsewhere seeks afresh; one stopped by its visitor too.
  int visited = 0;
  EXPECT_FALSE(reader.forEach(kT0 + 30'000, kT0 + 90'000,
                              [&](const TrackState&, unsigned) { return ++visited < 3; }));
  got.clear();
  ASSERT_TRUE(reader.forEach(kT0 + 5, kT0 + 6, keep));
  EXPECT_EQ(got, std::vector<std::string>{expectedEntries(fixes)[7]});
}

TEST_F(Recording, RollsOverIntoNumberedPartsEachCompleteInItself) {
  const uint64_t limit = 1 << 20;
  const std::vector<TestFix> fixes = fleetFixes(500, 500, kT0, 2);
  const std::string path = write(fixes, 250, limit);
  std::vector<std::string> parts;
  std::vector<uint64_t> sizes;
  for (int k = 0; ::access(recordingPartPath(path, k).c_str(), F_OK) == 0; ++k) {
    parts.push_back(recordingPartPath(path, k));
    struct stat info {};
    ASSERT_EQ(::stat(parts.back().c_str(), &info), 0);
    sizes.push_back(static_cast<uint64_t>(info.st_size));
  }
  ASSERT_GE(parts.size(), 3u);
  for (size_t k = 0; k < sizes.size(); ++k) {
    EXPECT_LE(sizes[k], limit) << "part " << k;
    if (k + 1 < sizes.size()) {
      EXPECT_GT(sizes[k], limit * 9 / 10) << "part " << k << " short";
    }
  }
  EXPECT_EQ(recordingPartPath(path, 2), dir_.path("track.2.hxr"));

  RecordingReader reader;
  std::string error;
  ASSERT_TRUE(reader.open(path, &error)) << error;
  EXPECT_EQ(readAll(reader), expectedEntries(fixes));
  // A part alone: every node is known from its first keyframe on.
  RecordingReader second;
  ASSERT_TRUE(second.open(parts[1], &error)) << error;
  std::vector<TrackState> byId;
  ASSERT_TRUE(second.stateAt(second.firstMs(), byId));
  std::map<int, std::string> got;
  for (const TrackState& s : byId) {
    if (s.known()) got[s.id] = describe(s, 0);
  }
  EXPECT_EQ(got, modelAt(fixes, second.firstMs()));

  // A new recording of the same name leaves none of the old parts behind.
  write(fleetFixes(2, 5, kT0, 3), 250, limit);
  EXPECT_NE(::access(parts[1].c_str(), F_OK), 0);
  ASSERT_TRUE(reader.open(path, &error));
  EXPECT_EQ(reader.entryCount(), 10u);
}

TEST_F(Recording, ReaderFollowsAWriterAcrossParts) {
  const std::vector<TestFix> fixes = fleetFixes(300, 300, kT0, 4);
  const std::string path = dir_.path("live.hxr");
  RecordingWriter writer;
  std::string error;
  ASSERT_TRUE(writer.open(path, 1 << 20, &error)) << error;
  RecordingReader reader;
  ASSERT_TRUE(reader.open(path, &error)) << error;
  EXPECT_EQ(reader.entryCount(), 0u);
  EXPECT_FALSE(reader.refresh());

  std::vector<std::string> got;
  const auto keep = [&got](const TrackState& s, unsigned changes) {
    got.push_back(describe(s, changes));
    return true;
  };
  int64_t walked = INT64_MIN;
  const size_t chunk = fixes.size() / 37;
  for (size_t at = 0; at < fixes.size(); at += chunk) {
    const std::vector<TestFix> part(fixes.begin() + at,
                                    fixes.begin() + std::min(fixes.size(), at + chunk));
    writeFixes(writer, part, 250, false);
    ASSERT_TRUE(writer.flush());
    EXPECT_TRUE(reader.refresh());
    EXPECT_EQ(reader.entryCount(), std::min(fixes.size(), at + chunk));
    EXPECT_EQ(reader.damage(), "");
    ASSERT_TRUE(reader.forEach(walked, reader.lastMs(), keep));
    walked = reader.lastMs();
  }
  EXPECT_NE(writer.currentPath(), path);
  ASSERT_TRUE(writer.close());
  reader.refresh();
  const std::vector<std::string> want = expectedEntries(fixes);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << i;
}

}  // namespace
