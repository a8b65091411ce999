// The files the operator keeps, saved under injected faults: the project, a map's setup file,
// the view and the auto-start file, and the state file other trackers read. Each is replaced whole,
// so a write that fails half way or a saver killed in the middle leaves the old file or the new
// one, never a short one; a link to the file stays a link, the file keeps its mode, and a device is
// written in place.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "halvex/gl/view_camera.h"
#include "halvex/maps/map_setup_file.h"
#include "halvex/project/auto_start.h"
#include "halvex/project/project_file.h"
#include "halvex/project/project_group.h"
#include "halvex/streams/state_output.h"
#include "halvex/tracking/node_table.h"
#include "tests/support/fault_injection.h"
#include "tests/support/scratch_dir.h"

namespace {

/// A group whose section is a given text.
class TextGroup : public ProjectGroup {
 public:
  explicit TextGroup(std::string text) : text_(std::move(text)) {}
  void writeSection(std::FILE* out) override { std::fputs(text_.c_str(), out); }

 private:
  std::string text_;
};

/// One kind of file: its name, and how to save version 0 or 1 of it at a path (the versions
/// differ in content and size).
struct Writer {
  const char* kind;
  const char* fileName;
  std::function<bool(const std::string& path, int version)> save;
};

bool saveProject(const std::string& path, int version) {
  // Several kilobytes, so that the size limit cuts it well inside.
  TextGroup local("BEGIN LOCAL_STATE_group\n" +
                  std::string(version == 0 ? 3000 : 5000, version == 0 ? 'a' : 'b') + "\nEND\n");
  TextGroup csv("BEGIN CSV_group\n\tv" + std::to_string(version) + ".csv\nEND\n");
  ProjectGroups groups{};
  groups[kLocalStateGroup] = &local;
  groups[kCsvGroup] = &csv;
  return writeProjectFile(path, groups) == ProjectWrite::kWritten;
}

bool saveMapSetup(const std::string& path, int version) {
  const double v = version == 0 ? 1.5 : -122.419416;
  const double corners[4][2] = {{v, 37.774929}, {v + 1, 37.7}, {v + 2, 38.5}, {v + 3, 40}};
  return writeMapSetupFile(path, corners);
}

bool saveView(const std::string& path, int version) {
  ViewCamera camera;
  camera.setCenter(version == 0 ? 7.25 : -122.419416, version == 0 ? 51.5 : -37.774929);
  camera.setExtent(version == 0 ? 0.75 : 12.5);
  return camera.saveView(path);
}

bool saveAutoStart(const std::string& path, int version) {
  // The auto-start file lies beside the program: "<dir>/halvex" owns "<dir>/halvex.autoStart".
  const std::string exe = path.substr(0, path.size() - std::string(".autoStart").size());
  const AutoStartFile file(exe);
  if (file.path() != path) return false;
  return version == 0 ? file.set("/home/op/projects/field.mpr")
                      : file.set("/home/op/projects/" + std::string(200, 'p') + ".mpr");
}

bool saveStateFile(const std::string& path, int version) {
  // Forty nodes whose comments differ between the versions, written as relayed, so that the
  // bytes do not depend on the clock.
  static ScratchDir nodes;
  static NodeTable table;
  static const bool read = [] {
    std::string list;
    for (int id = 1; id <= 40; ++id)
      list += std::to_string(id) + " truck " + std::to_string(id) + "\n";
    return table.readNodeFile(nodes.write("nodes.txt", list).c_str());
  }();
  for (NodeRecord* node = table.chainHead(); node != nullptr; node = node->next) {
    node->setComments(version == 0 ? "idle" : "moving north along the ridge road", "");
  }
  return read && writeStateFile(table, path.c_str(), true);
}

const Writer kWriters[] = {
    {"project", "field.mpr", saveProject},      {"map setup", "area.mapSetUp", saveMapSetup},
    {"view", "halvex.view", saveView},          {"auto-start", "halvex.autoStart", saveAutoStart},
    {"state file", "state.txt", saveStateFile},
};

/// The bytes version `version` of a writer's file has, saved once without faults.
std::string reference(const Writer& writer, int version) {
  ScratchDir dir;
  EXPECT_TRUE(writer.save(dir.path(writer.fileName), version)) << writer.kind;
  return dir.read(writer.fileName);
}

TEST(FileWriterFaults, AWriteThatFailsHalfWayLeavesTheOldBytes) {
  for (const Writer& w : kWriters) {
    const std::string oldBytes = reference(w, 0);
    const std::string newBytes = reference(w, 1);
    ASSERT_GT(newBytes.size(), 8u) << w.kind;
    ASSERT_NE(oldBytes, newBytes) << w.kind;
    ScratchDir dir;
    const std::string path = dir.path(w.fileName);
    ASSERT_TRUE(w.save(path, 0)) << w.kind;
    // The new version gets half way: the limit lies inside it.
    const rlim_t limit = newBytes.size() / 2;
    EXPECT_EQ(faults::saveUnderFileSizeLimit(limit, [&] { return w.save(path, 1); }),
              faults::SaveOutcome::kFailed)
        << w.kind;
    const std::string after = dir.read(w.fileName);
    EXPECT_TRUE(after == oldBytes)
        << w.kind << ": " << after.size() << " bytes instead of " << oldBytes.size();
    EXPECT_EQ(dir.entryCount(), 1) << w.kind << ": the new file is removed";
    // Without the limit the same save goes through.
    EXPECT_EQ(faults::saveUnderFileSizeLimit(RLIM_INFINITY, [&] { return w.save(path, 1); }),
              faults::SaveOutcome::kSucceeded)
        << w.kind;
    EXPECT_TRUE(dir.read(w.fileName) == newBytes) << w.kind;
  }
}

TEST(FileWriterFaults, ASaverKilledInTheMiddleLeavesTheOldOrTheNewFile) {
  for (const Writer& w : kWriters) {
    const std::string versions[2] = {reference(w, 0), reference(w, 1)};
    ScratchDir dir;
    const std::string path = dir.path(w.fileName);
    ASSERT_TRUE(w.save(path, 0)) << w.kind;
    for (useconds_t delay : {0u, 200u, 700u, 2000u, 5000u, 15000u}) {
      int turn = 0;
      faults::killDuringSaves([&] { w.save(path, ++turn % 2); }, delay);
      const std::string now = dir.read(w.fileName);
      EXPECT_TRUE(now == versions[0] || now == versions[1])
          << w.kind << ": " << now.size() << " bytes after " << delay << " us";
    }
  }
}

TEST(FileWriterFaults, ALinkStaysALinkAndTheFileKeepsItsMode) {
  for (const Writer& w : kWriters) {
    ScratchDir dir;
    const std::string kept = dir.write("kept", "old");
    ASSERT_EQ(chmod(kept.c_str(), 0640), 0);
    const std::string path = dir.path(w.fileName);
    ASSERT_EQ(symlink("kept", path.c_str()), 0);
    ASSERT_TRUE(w.save(path, 1)) << w.kind;
    EXPECT_TRUE(isSymlink(path)) << w.kind;
    EXPECT_TRUE(dir.read("kept") == reference(w, 1)) << w.kind;
    EXPECT_EQ(fileMode(kept), 0640u) << w.kind;
    EXPECT_EQ(dir.entryCount(), 2) << w.kind;
  }
}

TEST(FileWriterFaults, AFileThatCannotBeWrittenIsReportedAndADeviceIsWrittenInPlace) {
  for (const Writer& w : kWriters) {
    ScratchDir dir;
    EXPECT_FALSE(w.save(dir.path("no such folder/") + w.fileName, 0)) << w.kind;
    // A device has no old bytes to keep and cannot be renamed over: it is written in place, and
    // a full one fails the save. The node lies in the scratch folder, so that a save renaming a
    // file over it would harm nothing.
    const std::string path = dir.path(w.fileName);
    if (mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 7)) != 0) continue;  // /dev/full
    EXPECT_FALSE(w.save(path, 0)) << w.kind;
    struct stat info {};
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode)) << w.kind;
    EXPECT_EQ(dir.entryCount(), 1) << w.kind;
  }
}

}  // namespace
