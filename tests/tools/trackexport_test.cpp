// trackexport as a program on recordings written by RecordingWriter: every format read back by
// independent readers, the selection by node and fix time, damaged and foreign inputs, usage
// errors, and the CSV export attached as a project's data set.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

#include "halvex/history/recording_writer.h"
#include "halvex/project/csv_group.h"
#include "tests/halvex/project/scripted_prompts.h"
#include "tests/support/scratch_dir.h"
#include "tests/tools/export_readers.h"

namespace {

using exportreaders::ReadPoint;

constexpr int64_t kT0 = 1796647519500;  // 2026-12-07T12:45:19.500Z
/// Fixes arrive this long after their fix time, so that a selection by arrival time differs.
constexpr int64_t kArrivalLagMs = 2000;
constexpr int kRounds = 10;   ///< Reports of each truck.
constexpr int kPhaseOne = 6;  ///< Rounds in the first data block.

struct Fix {
  int id;
  int64_t fixMs;
  double latitude;
  double longitude;
  int status;
  std::string name;
};
using Keep = std::function<bool(const Fix&)>;

/// The recording's fixes in recorded order: two trucks reporting every second with changing
/// comments (node 1 once idle by a state record), node 4 renamed after the first data block,
/// and node 12, without a name, once.
std::vector<Fix> recordedFixes() {
  std::vector<Fix> fixes;
  for (int i = 0; i < kRounds; ++i) {
    fixes.push_back({1, kT0 + i * 1000, 32.7 + i * 0.001234567, -117.16 - i * 0.000987654,
                     i == 3 ? 1 : 0, "Truck 1"});
    fixes.push_back({4, kT0 + i * 1000 + 250, -33.9 - i * 0.0001, 151.2 + i * 0.0002, 0,
                     i < kPhaseOne ? "Truck 4" : "Truck 4, lead"});
    if (i == 2) fixes.push_back({12, kT0 + 2600, 0.000000001, -0.5, 0, ""});
  }
  return fixes;
}

/// What export_names.py prints for the fixes `keep` selects: per node (ascending ids) the name
/// at its last fix and the count; for CSV per fix its name, id, seconds and status.
std::vector<std::string> expectedLines(const std::vector<Fix>& fixes, bool csv, const Keep& keep) {
  std::vector<std::string> lines;
  std::map<int, std::pair<std::string, int>> tracks;
  for (const Fix& f : fixes) {
    if (!keep(f)) continue;
    char row[128];
    std::snprintf(row, sizeof row, "\"%s\" %d %lld.%03d %d", f.name.c_str(), f.id,
                  static_cast<long long>(f.fixMs / 1000), static_cast<int>(f.fixMs % 1000),
                  f.status);
    if (csv) lines.push_back(row);
    tracks[f.id] = {f.name.empty() ? "node " + std::to_string(f.id) : f.name,
                    tracks[f.id].second + 1};
  }
  for (const auto& [id, track] : tracks)
    if (!csv) lines.push_back("\"" + track.first + "\" " + std::to_string(track.second));
  return lines;
}

struct ExportRun {
  int status = -1;
  std::string output;
  std::string errors;
};

ExportRun runTrackexport(const std::vector<std::string>& args) {
  std::vector<std::string> argv{TRACKEXPORT_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  testsupport::ChildProcess child(argv, testsupport::ChildOutput::kFiles);
  const int status = child.wait();
  return {status, child.output, child.errors};
}

class TrackexportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordingWriter writer;
    std::string error;
    ASSERT_TRUE(writer.open(recording_, 0, &error)) << error;
    for (size_t i = 0; i < fixes_.size(); ++i) {
      const Fix& f = fixes_[i];
      if (f.fixMs == kT0 + kPhaseOne * 1000) {  // the second data block starts here
        ASSERT_TRUE(writer.flush());
        firstBlockEnd_ = std::filesystem::file_size(recording_);
      }
      FixEvent event;
      event.id = f.id;
      event.kind = f.status != 0 ? FixKind::kStateRecord : FixKind::kPacket;
      event.fixMs = f.fixMs;
      event.arrivalMs = f.fixMs + kArrivalLagMs;
      event.latitude = f.latitude;
      event.longitude = f.longitude;
      event.status = f.status;
      event.comment1 = i % 3 ? "north gate" : "south gate";
      event.name = f.name.c_str();
      ASSERT_TRUE(writer.append(event));
    }
    ASSERT_TRUE(writer.flush());
    secondBlockEnd_ = std::filesystem::file_size(recording_);
    ASSERT_TRUE(writer.close());
  }

  ScratchDir dir_;
  const std::string recording_ = dir_.path("track.hxr");
  const std::vector<Fix> fixes_ = recordedFixes();
  uint64_t firstBlockEnd_ = 0;
  uint64_t secondBlockEnd_ = 0;
};

const Keep kAll = [](const Fix&) { return true; };

TEST_F(TrackexportTest, EveryFormatReadsBackAsRecorded) {
  std::map<int, std::vector<ReadPoint>> byNode;
  for (const Fix& f : fixes_) byNode[f.id].push_back({f.latitude, f.longitude, ""});
  std::vector<ReadPoint> flat;
  for (const auto& [id, points] : byNode) flat.insert(flat.end(), points.begin(), points.end());
  for (const std::string format : {"gpx", "kml", "geojson", "csv"}) {
    SCOPED_TRACE(format);
    const std::string out = dir_.path("all." + format);
    const ExportRun toFile = runTrackexport({recording_, "--format", format, "-o", out});
    EXPECT_EQ(toFile.status, 0);
    EXPECT_EQ(toFile.output + toFile.errors, "");
    const ExportRun toStdout = runTrackexport({"--format", format, recording_});
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_EQ(toStdout.output, dir_.read("all." + format));

    EXPECT_EQ(exportreaders::pythonTracks(format, out),
              expectedLines(fixes_, format == "csv", kAll));
    if (format == "gpx" || format == "kml") {
      const std::vector<ReadPoint> read = exportreaders::gpsbabelPoints(format, out);
      exportreaders::expectPoints(read, flat, "gpsbabel");
      EXPECT_EQ(read.empty() ? "" : read.back().time, "2026/12/07 12:45:22.100");  // node 12
    }
    if (format == "kml" || format == "geojson") {
      const auto features = exportreaders::ogrFeatures(out);
      ASSERT_EQ(features.size(), byNode.size());
      auto want = byNode.begin();
      for (const auto& feature : features)
        exportreaders::expectPoints(feature, (want++)->second, "ogrinfo");
    }
  }
}

// Times are fix times, both ends inclusive (12:45:21.750 is node 4's third fix, 1796647522.500
// node 1's fourth); a track is named as its node was at its last exported fix.
TEST_F(TrackexportTest, SelectsNodesAndFixTimes) {
  const struct {
    const char* format;
    std::vector<std::string> args;
    Keep keep;
  } cases[] = {
      {"csv", {"--nodes", "4,10-20"}, [](const Fix& f) { return f.id != 1; }},
      {"csv",
       {"--from", "2026-12-07 12:45:21.750"},
       [](const Fix& f) { return f.fixMs >= kT0 + 2250; }},
      {"csv", {"--to", "1796647522.500"}, [](const Fix& f) { return f.fixMs <= kT0 + 3000; }},
      {"csv",
       {"--nodes", "1", "--from", "2026-12-07T12:45:21Z", "--to", "2026-12-07T12:45:24.5Z"},
       [](const Fix& f) { return f.id == 1 && f.fixMs >= kT0 + 1500 && f.fixMs <= kT0 + 5000; }},
      {"gpx", {"--to", "1796647525"}, [](const Fix& f) { return f.fixMs <= kT0 + 5500; }},
      {"kml",
       {"--nodes", "4", "--from", "1796647526"},
       [](const Fix& f) { return f.id == 4 && f.fixMs >= kT0 + 6500; }},
      {"geojson", {"--nodes", "2,3"}, [](const Fix&) { return false; }},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{recording_, "--format", c.format, "-o", dir_.path("part")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(args[5] + " " + args[6]);
    EXPECT_EQ(runTrackexport(args).status, 0);
    EXPECT_EQ(exportreaders::pythonTracks(c.format, dir_.path("part")),
              expectedLines(fixes_, std::string(c.format) == "csv", c.keep));
  }
}

// Failures leave OUT as it was, with one line on standard error; a damaged recording exports
// what was read before the damage and still fails.
TEST_F(TrackexportTest, DamagedForeignAndWrongInputsAndUsageErrors) {
  const std::string cut = dir_.path("cut.hxr"), flipped = dir_.path("flipped.hxr");
  const uint64_t inSecondBlock = (firstBlockEnd_ + secondBlockEnd_) / 2;
  std::filesystem::copy_file(recording_, cut);
  std::filesystem::resize_file(cut, inSecondBlock);
  // A closed recording with a byte of the second data block changed: found by its checksum.
  std::string bytes = dir_.read("track.hxr");
  bytes[inSecondBlock] ^= 0x55;
  dir_.write("flipped.hxr", bytes);
  const std::string foreign = dir_.write("notes.hxr", "HALVEX TRACK NOTES\nnothing here\n");
  const std::string out = dir_.path("out.csv");
  const struct {
    std::vector<std::string> args;
    int status;
    const char* message;  // in the one line on standard error
  } cases[] = {
      {{cut, "--format", "csv", "-o", out}, 1, "damaged"},
      {{flipped, "--format", "csv", "-o", out}, 1, "damaged"},
      {{foreign, "--format", "csv", "-o", out}, 1, "not a track recording"},
      {{dir_.missing(), "--format", "csv", "-o", out}, 1, "cannot open"},
      {{recording_, "--format", "csv", "-o", dir_.path("no folder/out.csv")}, 1, "cannot write"},
      {{}, 2, "no recording"},
      {{recording_}, 2, "--format"},
      {{recording_, "--format", "svg"}, 2, "svg"},
      {{recording_, "--format", "csv", "--nodes", "1001"}, 2, "--nodes"},
      {{recording_, "--format", "csv", "--from", "2026-02-30T00:00:00"}, 2, "--from"},
      {{recording_, "--format", "csv", "--from", "1796647526", "--to", "1796647525"}, 2, "later"},
      {{recording_, cut, "--format", "csv"}, 2, "more than one"},
      {{recording_, "--format", "csv", "--bogus"}, 2, "--bogus"},
      {{recording_, "--format", "csv", "-o"}, 2, "-o"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front() + " " + c.args.back());
    dir_.write("out.csv", "old\n");
    const ExportRun r = runTrackexport(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.errors.find(c.message), std::string::npos) << r.errors;
    EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1) << r.errors;
    EXPECT_EQ(r.output, "");
    if (c.message == std::string("damaged")) {  // the first data block's fixes are all there
      EXPECT_EQ(exportreaders::pythonTracks("csv", out),
                expectedLines(fixes_, true,
                              [](const Fix& f) { return f.fixMs < kT0 + kPhaseOne * 1000; }));
    } else {
      EXPECT_EQ(dir_.read("out.csv"), "old\n");
    }
  }
}

TEST_F(TrackexportTest, CsvExportIsAttachedAsTheProjectsDataSet) {
  const std::string out = dir_.path("fixes.csv");
  ASSERT_EQ(runTrackexport({recording_, "--format", "csv", "-o", out}).status, 0);
  ScriptedPrompts prompts;
  CsvGroup group(prompts);
  prompts.files = {out};
  group.attachDataSet();
  EXPECT_EQ(group.dataSetName(), "fixes.csv");
  EXPECT_EQ(group.dialogCount(), 0) << "an existing file needs no column attributes";
  EXPECT_EQ(prompts.log.size(), 1u) << "nothing asked but the file";
}

}  // namespace
