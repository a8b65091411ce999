// Names relative to a directory: how the choosers of both programs keep the files they list.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "common/platform/paths.h"
#include "tests/support/scratch_dir.h"

TEST(RelativeName, FilesBesideBelowAndElsewhere) {
  EXPECT_EQ(relativeName("/w/run/a.cast", "/w/run"), "a.cast");
  EXPECT_EQ(relativeName("/w/run/sub/a.cast", "/w/run"), "sub/a.cast");
  EXPECT_EQ(relativeName("/w/reports/day1.cast", "/w/run"), "../reports/day1.cast");
  EXPECT_EQ(relativeName("/a.cast", "/w/run"), "../../a.cast");
  EXPECT_EQ(relativeName("/etc/a.cast", "/"), "etc/a.cast");
}

TEST(RelativeName, ComponentsAreComparedWholeNotAsTextPrefixes) {
  EXPECT_EQ(relativeName("/w/runs/a.cast", "/w/run"), "../runs/a.cast");
  EXPECT_EQ(relativeName("/w/run/a.cast", "/w/runs"), "../run/a.cast");
}

TEST(RelativeName, DotsAndRepeatedSeparatorsAreResolved) {
  EXPECT_EQ(relativeName("/w/run/./sub//../a.cast", "/w/run/"), "a.cast");
  EXPECT_EQ(relativeName("/w/run/../reports/day1.cast", "/w//run/."), "../reports/day1.cast");
  EXPECT_EQ(relativeName("/../../x.cast", "/"), "x.cast");
  // Relative names are taken from the directory.
  EXPECT_EQ(relativeName("sub/../b.cast", "/w/run"), "b.cast");
  EXPECT_EQ(relativeName("../run/b.cast", "/w/run"), "b.cast");
}

TEST(RelativeName, DirectoriesThemselves) {
  EXPECT_EQ(relativeName("/w/run", "/w/run"), ".");
  EXPECT_EQ(relativeName("/w/run/", "/w/run"), ".");
  EXPECT_EQ(relativeName("/w", "/w/run"), "..");
  EXPECT_EQ(relativeName("/", "/w/run"), "../..");
}

TEST(RelativeName, UnusableInputsComeBackUnchanged) {
  EXPECT_EQ(relativeName("", "/w/run"), "");
  EXPECT_EQ(relativeName("/w/a.cast", ""), "/w/a.cast");
  EXPECT_EQ(relativeName("/w/a.cast", "w/run"), "/w/a.cast");
}

TEST(RelativeName, LongNamesAreKeptWhole) {
  // A cut name would name another file.
  const std::string deep = "/w/" + std::string(200, 'd') + "/" + std::string(200, 'f') + ".cast";
  EXPECT_EQ(relativeName(deep, "/w"), deep.substr(3));
  EXPECT_EQ(relativeName(deep, "/w/run"), ".." + deep.substr(2));
}

TEST(RelativeName, FromTheCurrentDirectory) {
  const std::string here = currentDirectory();
  const ScratchDir scratch;
  const std::string dir = scratch.dir();
  ASSERT_TRUE(setCurrentDirectory(dir));
  // The current directory as the system gives it, which may differ from the created name.
  const std::string cwd = currentDirectory();
  EXPECT_EQ(relativeToCurrentDirectory(cwd + "/a.cast"), "a.cast");
  EXPECT_EQ(relativeToCurrentDirectory(cwd + "/../x/b.cast"), "../x/b.cast");
  EXPECT_EQ(relativeToCurrentDirectory("c.cast"), "c.cast");
  ASSERT_TRUE(setCurrentDirectory(here));
}

// The settings dialogs' choosers keep a name below the directory without it, character for
// character, and any other name as given.
TEST(RelativeName, BelowOnlyStripsTheDirectoryAsWrittenAndKeepsTheRest) {
  const struct {
    const char* path;
    const char* directory;
    const char* expected;
  } cases[] = {
      {"/w/run/a.txt", "/w/run", "a.txt"},
      {"/w/run/sub/a.txt", "/w/run", "sub/a.txt"},
      {"/w/run/./a.txt", "/w/run", "./a.txt"},
      {"/w/runs/a.txt", "/w/run", "/w/runs/a.txt"},
      {"/w/reports/a.txt", "/w/run", "/w/reports/a.txt"},
      {"/w/run", "/w/run", "/w/run"},
      {"a.txt", "/w/run", "a.txt"},
      {"/a.txt", "/", "/a.txt"},
      {"", "/w/run", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(relativeName(c.path, c.directory, RelativeSteps::kBelowOnly), c.expected) << c.path;
  }
}
