// The CSV file saved under injected faults: it is replaced whole, so a write that fails half way
// or a converter killed in the middle leaves the old file or the new one, never a short one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "cast_test_support.h"
#include "dunmore/csv_writer.h"
#include "tests/support/fault_injection.h"

using casttest::Captured;

namespace {

/// `count` reports, parsed from a cast text.
dunmore::ReportSet reports(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += "071230Dec ZONE 38S ambush on convoy on Route Blue at GR MB 12345 67890.\n";
  }
  dunmore::ReportSet set;
  Captured c;
  EXPECT_EQ(casttest::parseText(text, set, c), dunmore::ParseResult::kParsed);
  return set;
}

TEST(CsvFaults, AFailedOrKilledWriteLeavesTheOldFileOrTheNewOne) {
  ScratchDir dir;
  const dunmore::ReportSet few = reports(2), many = reports(200);
  ASSERT_TRUE(dunmore::writeCsv(dir.path("few.csv"), few));
  ASSERT_TRUE(dunmore::writeCsv(dir.path("many.csv"), many));
  const std::string oldBytes = dir.read("few.csv"), newBytes = dir.read("many.csv");
  ASSERT_GT(newBytes.size(), 2 * oldBytes.size());

  const std::string path = dir.path("out.csv");
  ASSERT_TRUE(dunmore::writeCsv(path, few));
  EXPECT_EQ(faults::saveUnderFileSizeLimit(newBytes.size() / 2,
                                           [&] { return dunmore::writeCsv(path, many); }),
            faults::SaveOutcome::kFailed);
  const std::string after = dir.read("out.csv");
  EXPECT_TRUE(after == oldBytes) << after.size() << " bytes instead of " << oldBytes.size();
  EXPECT_EQ(dir.entryCount(), 3);  // no new file left behind

  for (useconds_t delay : {0u, 300u, 1000u, 3000u, 10000u}) {
    int turn = 0;
    faults::killDuringSaves([&] { dunmore::writeCsv(path, ++turn % 2 ? many : few); }, delay);
    const std::string now = dir.read("out.csv");
    EXPECT_TRUE(now == oldBytes || now == newBytes)
        << now.size() << " bytes after " << delay << " us";
  }
}

TEST(CsvFaults, ALinkToTheFileStaysAndTheFileKeepsItsMode) {
  ScratchDir dir;
  const std::string kept = dir.write("kept.csv", "old");
  ASSERT_EQ(chmod(kept.c_str(), 0604), 0);
  ASSERT_EQ(symlink("kept.csv", dir.path("link.csv").c_str()), 0);
  ASSERT_TRUE(dunmore::writeCsv(dir.path("link.csv"), reports(1)));
  EXPECT_TRUE(isSymlink(dir.path("link.csv")));
  EXPECT_EQ(dir.read("kept.csv").substr(0, 5), "user,");
  EXPECT_EQ(fileMode(kept), 0604u);
}

}  // namespace
