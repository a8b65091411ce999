#include "common/platform/paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

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

}  // namespace
