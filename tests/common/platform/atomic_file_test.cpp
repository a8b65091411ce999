#include "common/platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/support/fault_injection.h"
#include "tests/support/scratch_dir.h"

namespace {

bool save(const std::string& path, const std::string& text, Durability durability) {
  return replaceFileAtomically(path, text.data(), text.size(), durability);
}

TEST(AtomicFile, ReplacesWholeKeepsModeAndLeavesNoTemporaryFile) {
  for (Durability durability : {Durability::kSnapshot, Durability::kKeep}) {
    ScratchDir dir;
    const std::string path = dir.write("view", "old");
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(save(path, "new bytes", durability));
    EXPECT_EQ(dir.read("view"), "new bytes");
    EXPECT_EQ(fileMode(path), 0640u);
    EXPECT_EQ(dir.entryCount(), 1);
    ASSERT_TRUE(save(dir.path("fresh"), "x", durability));
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(fileMode(dir.path("fresh")), 0666u & ~mask);
  }
}

TEST(AtomicFile, FollowsAUsersLinkButNeverWritesThroughACacheLink) {
  ScratchDir dir;
  const std::string victim = dir.write("victim", "keep me");
  ASSERT_EQ(symlink("victim", dir.path("project").c_str()), 0);
  ASSERT_TRUE(save(dir.path("project"), "project v2", Durability::kKeep));
  EXPECT_TRUE(isSymlink(dir.path("project")));
  EXPECT_EQ(dir.read("victim"), "project v2");

  ASSERT_EQ(symlink("victim", dir.path("map.qtex").c_str()), 0);
  ASSERT_TRUE(replaceFileAtomically(dir.path("map.qtex"), "cache", 5, Durability::kKeep,
                                    LinkPolicy::kReplaceLink));
  EXPECT_FALSE(isSymlink(dir.path("map.qtex")));
  EXPECT_EQ(dir.read("map.qtex"), "cache");
  EXPECT_EQ(dir.read("victim"), "project v2");
}

TEST(AtomicFile, AFailedOrAbandonedSaveLeavesTheOldBytes) {
  ScratchDir dir;
  const std::string path = dir.write("project.mpr", "old project");
  const std::string big(64 * 1024, 'n');
  EXPECT_EQ(
      faults::saveUnderFileSizeLimit(4096, [&] { return save(path, big, Durability::kKeep); }),
      faults::SaveOutcome::kFailed);
  EXPECT_EQ(dir.read("project.mpr"), "old project");
  EXPECT_EQ(dir.entryCount(), 1);
  {
    AtomicFile abandoned(path, Durability::kKeep);
    ASSERT_TRUE(abandoned.open());
    std::fputs("half", abandoned.stream());
  }
  EXPECT_EQ(dir.read("project.mpr"), "old project");
  EXPECT_EQ(dir.entryCount(), 1);
  EXPECT_FALSE(save(dir.path("no folder/file"), "x", Durability::kKeep));
  EXPECT_FALSE(save(dir.dir(), "x", Durability::kKeep));
  // A device is written in place, never renamed over.
  ASSERT_TRUE(save("/dev/null", "discarded", Durability::kKeep));
  struct stat device {};
  ASSERT_EQ(::stat("/dev/null", &device), 0);
  EXPECT_TRUE(S_ISCHR(device.st_mode));
}

TEST(AtomicFile, AKilledSaverLeavesTheOldOrTheNewFileNeverAShortOne) {
  ScratchDir dir;
  const std::string a(200 * 1024, 'a'), b(300 * 1024, 'b');
  const std::string path = dir.write("data.csv", a);
  for (useconds_t delay : {0u, 300u, 1000u, 3000u, 10000u}) {
    int turn = 0;
    faults::killDuringSaves([&] { save(path, ++turn % 2 ? b : a, Durability::kSnapshot); }, delay);
    const std::string now = dir.read("data.csv");
    EXPECT_TRUE(now == a || now == b) << "size " << now.size() << " after " << delay << " us";
  }
}

}  // namespace
