// Recordings cut at any byte, with a byte changed, files that are no recording, and a writer
// killed while it records.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "tests/halvex/history/recording_fixtures.h"
#include "tests/support/scratch_dir.h"

namespace {

const int64_t kT0 = 1'796'647'519'000;

/// Three nodes every 10 s for 150 s, a block for each fix: many blocks and three keyframes.
std::string smallRecording(const ScratchDir& dir, std::vector<TestFix>* fixes) {
  for (int i = 0; i < 45; ++i) {
    TestFix f{i % 3 * 500,
              FixKind(i % 2),
              kT0 + i * 3333,
              kT0 + i * 3333 + 9,
              10.0 + i * 1e-4,
              -20.0 - i * 1e-3,
              i % 3,
              i % 4 ? "" : "c" + std::to_string(i),
              "",
              "n"};
    fixes->push_back(f);
  }
  RecordingWriter writer;
  std::string error;
  EXPECT_TRUE(writer.open(dir.path("small.hxr"), 0, &error)) << error;
  writeFixes(writer, *fixes, 1);
  return dir.read("small.hxr");
}

/// Where the header ends, and the end of each block after it with the fixes up to there.
std::vector<std::pair<size_t, size_t>> blockEnds(const std::string& bytes) {
  size_t at = bytes.find("\n\n") + 2, fixes = 0;
  std::vector<std::pair<size_t, size_t>> ends = {{at, 0}};
  while (at + 36 <= bytes.size()) {
    uint32_t payload, entries;
    std::memcpy(&payload, &bytes[at + 8], 4);
    std::memcpy(&entries, &bytes[at + 12], 4);
    if (bytes[at + 4] == 'D') fixes += entries;
    at += 36 + payload;
    ends.push_back({at, fixes});
  }
  return ends;
}

TEST(RecordingDamage, ACutRecordingReadsEveryWholeBlockBeforeTheCut) {
  ScratchDir dir;
  std::vector<TestFix> fixes;
  const std::string bytes = smallRecording(dir, &fixes);
  const std::vector<std::string> all = expectedEntries(fixes);
  const auto ends = blockEnds(bytes);
  ASSERT_EQ(ends.back().first, bytes.size());
  ASSERT_EQ(ends.back().second, fixes.size());

  const std::string path = dir.path("cut.hxr");
  size_t block = 0;  // the first block not whole at this length
  for (size_t length = 0; length <= bytes.size(); ++length) {
    dir.write("cut.hxr", bytes.substr(0, length));
    RecordingReader reader;
    std::string error;
    const bool opened = reader.open(path, &error);
    if (length < ends[0].first) {
      EXPECT_FALSE(opened);
      EXPECT_EQ(error, path + ": not a track recording");
      continue;
    }
    ASSERT_TRUE(opened) << length << ": " << error;
    while (block + 1 < ends.size() && ends[block + 1].first <= length) ++block;
    const std::vector<std::string> got = readAll(reader);
    ASSERT_EQ(got, std::vector<std::string>(all.begin(), all.begin() + ends[block].second))
        << "cut at " << length;
    if (length == ends[block].first) {
      EXPECT_EQ(reader.damage(), "") << length;
    } else {
      EXPECT_EQ(reader.damage().rfind(
                    path + ": damaged at byte " + std::to_string(ends[block].first) + ", ", 0),
                0u)
          << length << ": " << reader.damage();
    }
  }
}

TEST(RecordingDamage, AnyChangedByteIsFoundAndNothingAfterItIsRead) {
  ScratchDir dir;
  std::vector<TestFix> fixes;
  const std::string bytes = smallRecording(dir, &fixes);
  const std::vector<std::string> all = expectedEntries(fixes);
  for (size_t at = blockEnds(bytes)[0].first; at < bytes.size(); ++at) {
    std::string changed = bytes;
    changed[at] ^= static_cast<char>(1 << (at % 8));
    RecordingReader reader;
    std::string error;
    ASSERT_TRUE(reader.open(dir.write("flip.hxr", changed), &error)) << error;
    const std::vector<std::string> got = readAll(reader);
    EXPECT_NE(reader.damage(), "") << "byte " << at;
    ASSERT_LT(got.size(), all.size() + 1);
    EXPECT_EQ(got, std::vector<std::string>(all.begin(), all.begin() + got.size())) << at;
  }
}

TEST(RecordingDamage, FilesThatAreNoRecordingAreRefused) {
  ScratchDir dir;
  std::vector<TestFix> fixes;
  const std::string real = smallRecording(dir, &fixes);
  const std::string id = "recording: 0123456789abcdef\npart: 0\n\n";
  const struct {
    const char* name;
    std::string content;
    const char* message;
  } cases[] = {
      {"empty", "", "not a track recording"},
      {"state file", "<dgc>\n$007,32.7,-117.1,1126531205,250,0,0.1,a,b,T*\n</dgc>\n",
       "not a track recording"},
      {"newer", "HALVEX TRACK RECORDING 2\n" + id,
       "recording version 2 is newer than this "
       "program reads"},
      {"no version", "HALVEX TRACK RECORDING one\n" + id, "not a track recording"},
      {"header cut", real.substr(0, real.find("\n\n") + 1), "not a track recording"},
      {"no id", "HALVEX TRACK RECORDING 1\npart: 0\n\n", "not a track recording"},
      {"endless header", "HALVEX TRACK RECORDING 1\n" + id.substr(0, 36) + std::string(5000, 'x'),
       "not a track recording"},
  };
  for (const auto& c : cases) {
    RecordingReader reader;
    std::string error;
    const std::string path = dir.write(c.name, c.content);
    EXPECT_FALSE(reader.open(path, &error)) << c.name;
    EXPECT_EQ(error, path + ": " + c.message) << c.name;
  }
  RecordingReader reader;
  std::string error;
  EXPECT_FALSE(reader.open(dir.missing(), &error));
  EXPECT_EQ(error, dir.missing() + ": cannot open: No such file or directory");
  EXPECT_FALSE(reader.open(dir.dir(), &error));
  EXPECT_EQ(error, dir.dir() + ": cannot open: Is a directory");
}

TEST(RecordingDamage, WhatAKilledWriterFlushedIsRead) {
  ScratchDir dir;
  const std::string path = dir.path("killed.hxr");
  const std::vector<TestFix> fixes = fleetFixes(50, 200, kT0, 5);
  const size_t chunk = fixes.size() / 10;
  int counts[2];
  ASSERT_EQ(::pipe(counts), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Flushes chunk after chunk and says how many fixes are in the file; the last chunk stays
    // in memory until the parent kills it.
    RecordingWriter writer;
    if (!writer.open(path, 0, nullptr)) ::_exit(1);
    for (size_t at = 0; at < fixes.size(); at += chunk) {
      for (size_t i = at; i < std::min(fixes.size(), at + chunk); ++i)
        writer.append(fixes[i].event());
      if (at + chunk >= fixes.size()) break;
      const uint64_t flushed = at + chunk;
      if (!writer.flush() ||
          ::write(counts[1], &flushed, sizeof flushed) != static_cast<ssize_t>(sizeof flushed)) {
        ::_exit(1);
      }
    }
    for (;;) ::pause();
  }
  ::close(counts[1]);
  RecordingReader reader;
  uint64_t flushed = 0;
  while (flushed < fixes.size() - chunk &&
         ::read(counts[0], &flushed, sizeof flushed) == static_cast<ssize_t>(sizeof flushed)) {
    // Another process appends: a reader takes up what it flushed.
    if (reader.entryCount() == 0) {
      std::string error;
      ASSERT_TRUE(reader.open(path, &error)) << error;
    }
    reader.refresh();
    EXPECT_GE(reader.entryCount(), flushed);
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(counts[0]);

  std::string error;
  ASSERT_TRUE(reader.open(path, &error)) << error;
  EXPECT_EQ(reader.damage(), "");
  const std::vector<std::string> all = expectedEntries(fixes);
  EXPECT_EQ(readAll(reader), std::vector<std::string>(all.begin(), all.begin() + flushed));
}

TEST(RecordingDamage, AFullDiskStopsTheWriterWithAMessageAndKeepsWhatWasWritten) {
  ScratchDir dir;
  const std::string path = dir.path("full.hxr");
  const std::vector<TestFix> fixes = fleetFixes(100, 100, kT0, 6);
  const rlim_t kFileLimit = 100'000;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Files may not grow past the limit: the write that would gets EFBIG.
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kFileLimit, kFileLimit};
    RecordingWriter writer;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || !writer.open(path, 0, nullptr)) ::_exit(2);
    for (size_t i = 0; i < fixes.size(); ++i) {
      if (!writer.append(fixes[i].event()) || (i % 50 == 49 && !writer.flush())) {
        const bool told = writer.error() == path + ": cannot write: File too large";
        ::_exit(told && !writer.append(fixes[i].event()) && !writer.close() ? 0 : 3);
      }
    }
    ::_exit(4);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  RecordingReader reader;
  std::string error;
  ASSERT_TRUE(reader.open(path, &error)) << error;
  const std::vector<std::string> got = readAll(reader);
  const std::vector<std::string> all = expectedEntries(fixes);
  EXPECT_GT(got.size(), 1000u);
  ASSERT_LT(got.size(), all.size());
  EXPECT_EQ(got, std::vector<std::string>(all.begin(), all.begin() + got.size()));
}

}  // namespace
