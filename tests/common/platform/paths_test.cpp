#include "common/platform/paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/scratch_dir.h"

namespace {

/// splitPath(path) as "dir|name|ext", checking that the parts give the path back.
std::string split(const std::string& path) {
  const PathParts p = splitPath(path);
  EXPECT_EQ(p.drive + p.dir + p.name + p.ext, path);
  EXPECT_TRUE(p.drive.empty());
  return p.dir + "|" + p.name + "|" + p.ext;
}

TEST(SplitPathTest, SplitsDirectoryNameAndExtension) {
  EXPECT_EQ(split("/home/ops/maps/area.jpg"), "/home/ops/maps/|area|.jpg");
  EXPECT_EQ(split("state.txt"), "|state|.txt");
  EXPECT_EQ(split("archive.tar.gz"), "|archive.tar|.gz");
  EXPECT_EQ(split("/usr/bin/tracker"), "/usr/bin/|tracker|");
  EXPECT_EQ(split("dir.d/file"), "dir.d/|file|");
  EXPECT_EQ(split("maps/"), "maps/||");
  EXPECT_EQ(split(""), "||");
}

TEST(SplitPathTest, LeadingDotsStartNoExtension) {
  EXPECT_EQ(split(".bashrc"), "|.bashrc|");
  EXPECT_EQ(split("/home/.profile.bak"), "/home/|.profile|.bak");
  EXPECT_EQ(split("a/.."), "a/|..|");
}

TEST(FullPathTest, NormalisesAbsolutePaths) {
  EXPECT_EQ(fullPath("//"), "/");
  EXPECT_EQ(fullPath("/a/b/../../.."), "/");
  EXPECT_EQ(fullPath("/a/./b//c/.."), "/a/b");
  EXPECT_EQ(fullPath("/a/b/"), "/a/b/");
  EXPECT_EQ(fullPath("/a/..b/c.d"), "/a/..b/c.d");
}

TEST(FullPathTest, ResolvesRelativePathsAgainstTheCurrentDirectory) {
  const std::string saved = currentDirectory();
  ASSERT_FALSE(saved.empty());
  const ScratchDir scratch;
  const std::string temp = scratch.dir();
  ASSERT_TRUE(setCurrentDirectory(temp));
  EXPECT_EQ(currentDirectory(), temp);
  EXPECT_EQ(fullPath("./maps/../missing//area.jpg"), temp + "/missing/area.jpg");
  EXPECT_EQ(fullPath(""), temp);
  EXPECT_EQ(fullPath("../" + splitPath(temp).name + "/x"), temp + "/x");
  EXPECT_FALSE(setCurrentDirectory("does/not/exist"));
  EXPECT_FALSE(setCurrentDirectory(""));
  EXPECT_EQ(currentDirectory(), temp);
  EXPECT_TRUE(setCurrentDirectory(saved));
}

TEST(LinkTargetTest, ReadsTargetsOfAnyLengthWhole) {
  ScratchDir dir;
  // Targets need not exist; the longest a link can hold is PATH_MAX - 1 bytes.
  for (size_t length : {1u, 255u, 256u, 257u, 300u, 4000u, 4095u}) {
    const std::string target = "/" + std::string(length - 1, 'x');
    const std::string link = dir.path("link" + std::to_string(length));
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << length;
    EXPECT_EQ(linkTarget(link), target) << length;
  }
  EXPECT_EQ(linkTarget(dir.write("plain", "x")), "");
  EXPECT_EQ(linkTarget(dir.missing()), "");
  EXPECT_EQ(linkTarget(""), "");
}

/// Set in the copy of this program that ExecutablePathTest starts: where it writes its path.
constexpr char kReportEnv[] = "PATHS_TEST_EXECUTABLE_REPORT";

TEST(ExecutablePathTest, ALongProgramPathComesBackWhole) {
  if (const char* report = getenv(kReportEnv)) {
    // The copy: tells its own path and does nothing else.
    std::ofstream(report, std::ios::binary) << executablePath();
    return;
  }
  EXPECT_EQ(executablePath(), std::filesystem::read_symlink("/proc/self/exe").string());
  ASSERT_EQ(executablePath()[0], '/');

  // A copy of this program more than 1000 characters deep.
  ScratchDir dir;
  std::string folder = dir.dir();
  while (folder.size() < 1000) {
    folder += "/" + std::string(60, 'd');
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  }
  const std::string copy = folder + "/paths_copy";
  std::error_code error;
  std::filesystem::create_hard_link(executablePath(), copy, error);
  if (error) {
    ASSERT_TRUE(std::filesystem::copy_file(executablePath(), copy));
  }
  chmod(copy.c_str(), 0700);
  const std::string report = dir.path("report");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv(kReportEnv, report.c_str(), 1);
    execl(copy.c_str(), copy.c_str(), "--gtest_filter=ExecutablePathTest.*", nullptr);
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(dir.read("report"), copy);
}

}  // namespace
