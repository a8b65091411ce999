#include "halvex/engine/data_set_watch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "common/platform/atomic_file.h"
#include "tests/support/scratch_dir.h"

namespace {

/// Longest wait for the watch to answer, s: several of its looks at the file, on a busy machine.
constexpr double kAnswerSeconds = 10;
/// How long a watch that should stay quiet is given to speak, s: two and a half looks.
constexpr double kQuietSeconds = 2.5 * DataSetWatch::kCheckMs / 1000;

const char kHeader[] =
    "user,coordSys,user,user,user,field list\n"
    "index, ,lat,lon,time,Action\n";

/// What take() gave once it gave something.
struct Taken {
  bool came = false;
  std::shared_ptr<const CsvDataSet> set;
  std::vector<std::string> messages;
};

/// Polls take() until it gives something or `seconds` pass.
Taken next(DataSetWatch& watch, double seconds = kAnswerSeconds) {
  Taken taken;
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(static_cast<int>(seconds * 1000));
  while (!(taken.came = watch.take(taken.set, taken.messages)) &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return taken;
}

/// Replaces `path` whole, as the converter does, then moves its modification time `seconds` on
/// so the change shows without waiting for the clock.
void replace(const std::string& path, const std::string& text, int seconds) {
  ASSERT_TRUE(replaceFileAtomically(path, text.data(), text.size(), Durability::kSnapshot));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  timespec times[2] = {info.st_atim, info.st_mtim};
  times[1].tv_sec += seconds;
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(DataSetWatch, ReadsAtOnceAndAgainWhenTheFileChanges) {
  ScratchDir dir;
  const std::string path = dir.write("reports.csv", std::string(kHeader) +
                                                        "0,MB,33.5,44.25,1133958600,ambush\n"
                                                        "1,MB,north,44.25,1133958600,bad\n");
  DataSetWatch watch;
  watch.watch(path);
  EXPECT_EQ(watch.path(), path);
  Taken first = next(watch);
  ASSERT_TRUE(first.came);
  ASSERT_TRUE(first.set);
  EXPECT_EQ(first.set->rows.size(), 1u);
  EXPECT_EQ(first.messages,
            std::vector<std::string>{path + ": 1 row skipped, the first at line 4"});
  EXPECT_FALSE(next(watch, kQuietSeconds).came) << "an unchanged file is not read again";

  replace(path,
          std::string(kHeader) +
              "0,MB,33.5,44.25,1133958600,ambush\n"
              "1,MB,33.6,44.3,1133958700,raid\n",
          10);
  Taken second = next(watch);
  ASSERT_TRUE(second.came);
  ASSERT_TRUE(second.set);
  EXPECT_EQ(second.set->rows.size(), 2u);
  EXPECT_TRUE(second.messages.empty());
  EXPECT_NE(second.set, first.set);

  // Refused, it gives no set and says why; the file written again is read again.
  replace(path, "lat,lon\n1,2\n", 20);
  Taken refused = next(watch);
  ASSERT_TRUE(refused.came);
  EXPECT_FALSE(refused.set);
  EXPECT_EQ(refused.messages,
            std::vector<std::string>{path + ": not a CSV data set (no type line)"});
  replace(path, std::string(kHeader) + "0,MB,1,2,3,x\n", 30);
  Taken back = next(watch);
  ASSERT_TRUE(back.came && back.set);
  EXPECT_EQ(back.set->rows.size(), 1u);

  // Gone, the rows read before stay, said once; back, the file is read again.
  ASSERT_EQ(std::remove(path.c_str()), 0);
  Taken gone = next(watch);
  ASSERT_TRUE(gone.came);
  EXPECT_EQ(gone.set, back.set);
  ASSERT_EQ(gone.messages.size(), 1u);
  EXPECT_NE(gone.messages[0].find(path), std::string::npos);
  EXPECT_FALSE(next(watch, kQuietSeconds).came) << "a vanished file is reported once";
  const long reads = watch.reads();
  replace(path, std::string(kHeader) + "0,MB,1,2,3,x\n1,MB,1,2,3,y\n", 40);
  Taken returned = next(watch);
  ASSERT_TRUE(returned.came && returned.set);
  EXPECT_EQ(returned.set->rows.size(), 2u);
  EXPECT_EQ(watch.reads(), reads + 1);
}

TEST(DataSetWatch, NamingAnotherFileOrNoneAnswersAtOnce) {
  ScratchDir dir;
  const std::string path = dir.write("a.csv", std::string(kHeader) + "0,MB,1,2,3,x\n");
  DataSetWatch watch;
  watch.watch(dir.missing());
  Taken missing = next(watch);
  ASSERT_TRUE(missing.came);
  EXPECT_FALSE(missing.set);
  ASSERT_EQ(missing.messages.size(), 1u);
  EXPECT_EQ(missing.messages[0].rfind(dir.missing() + ": cannot open: ", 0), 0u);

  // The same file named again is read again (a project opened anew).
  for (int turn = 0; turn < 2; ++turn) {
    watch.watch(path);
    Taken read = next(watch);
    ASSERT_TRUE(read.came && read.set);
    EXPECT_EQ(read.set->rows.size(), 1u);
  }
  EXPECT_EQ(watch.reads(), 3);

  watch.watch("");
  EXPECT_EQ(watch.path(), "");
  Taken stopped = next(watch);
  ASSERT_TRUE(stopped.came);
  EXPECT_FALSE(stopped.set);
  EXPECT_TRUE(stopped.messages.empty());
  replace(path, std::string(kHeader), 10);
  EXPECT_FALSE(next(watch, kQuietSeconds).came) << "a file no longer watched is not read";
  EXPECT_EQ(watch.reads(), 3);
}

}  // namespace
