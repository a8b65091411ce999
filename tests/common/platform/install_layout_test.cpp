// Where programs find their shared data and keep per-user files, and where a map's texture
// cache goes, with real folders and the XDG variables set for each case.
#include "common/platform/install_layout.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "tests/support/scratch_dir.h"

namespace {

/// Sets an environment variable for one scope (unset with null) and puts the old value back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old, had_ = true;
    value != nullptr ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedVariable() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(InstallLayout, PathsAreWorkedOutFromTheProgramsPath) {
  struct Case {
    const char* exe;
    const char* extension;
    const char* withExtension;
    const char* sharedData;
  };
  const Case cases[] = {
      {"/usr/bin/halvex", ".view", "/usr/bin/halvex.view", "/usr/share/halvex"},
      {"/opt/halvex/bin/halvex.exe", ".view", "/opt/halvex/bin/halvex.view",
       "/opt/halvex/share/halvex"},
      {"/opt/v1.2/bin//halvex", ".autoStart", "/opt/v1.2/bin//halvex.autoStart",
       "/opt/v1.2/share/halvex"},
      {"/home/u/.halvex", ".view", "/home/u/.halvex.view", "/home/share/halvex"},
      {"halvex.tar.gz", ".view", "halvex.tar.view", "./share/halvex"},
      {"/bin/halvex", ".view", "/bin/halvex.view", "/share/halvex"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exe);
    EXPECT_EQ(withExtension(c.exe, c.extension), c.withExtension);
    EXPECT_EQ(sharedDataDir(c.exe), c.sharedData);
  }
  EXPECT_EQ(perUserFilePath("", ".view"), "");
}

TEST(InstallLayout, InstalledProgramsKeepTheirFilesInTheXdgFolders) {
  ScratchDir dir;
  const std::string exe = dir.path("prefix/bin/halvex");
  ASSERT_TRUE(makeFolders(dir.path("prefix/bin")));
  ScopedVariable config("XDG_CONFIG_HOME", dir.path("config").c_str());
  ScopedVariable cache("XDG_CACHE_HOME", dir.path("cache").c_str());

  // Without shared data beside it the program is not installed: its files stay beside it.
  EXPECT_FALSE(runsInstalled(exe));
  EXPECT_EQ(perUserFilePath(exe, ".view"), dir.path("prefix/bin/halvex.view"));

  ASSERT_TRUE(makeFolders(dir.path("prefix/share/halvex")));
  EXPECT_TRUE(runsInstalled(exe));
  EXPECT_EQ(perUserFilePath(exe, ".view"), dir.path("config/halvex/halvex.view"));
  EXPECT_EQ(perUserFilePath(exe, ".autoStart"), dir.path("config/halvex/halvex.autoStart"));
  EXPECT_EQ(fileMode(dir.path("config/halvex")), 0700u);
  EXPECT_EQ(userCacheDir(), dir.path("cache/halvex"));

  // A build tree has the same layout and a CMake cache: files beside the program, as always.
  dir.write("prefix/CMakeCache.txt", "");
  EXPECT_FALSE(runsInstalled(exe));
  EXPECT_EQ(perUserFilePath(exe, ".autoStart"), dir.path("prefix/bin/halvex.autoStart"));
}

TEST(InstallLayout, XdgFoldersFallBackToTheHomeFolder) {
  ScopedVariable home("HOME", "/home/op");
  for (const char* value : {static_cast<const char*>(nullptr), "", "relative/config"}) {
    ScopedVariable config("XDG_CONFIG_HOME", value);
    ScopedVariable cache("XDG_CACHE_HOME", value);
    EXPECT_EQ(userConfigDir(), "/home/op/.config/halvex");
    EXPECT_EQ(userCacheDir(), "/home/op/.cache/halvex");
  }
  ScopedVariable config("XDG_CONFIG_HOME", "/srv/cfg");
  EXPECT_EQ(userConfigDir(), "/srv/cfg/halvex");
}

TEST(InstallLayout, MakeFoldersFailsOnAFileInTheWay) {
  ScratchDir dir;
  dir.write("file", "x");
  EXPECT_FALSE(makeFolders(dir.path("file/below")));
  EXPECT_FALSE(makeFolders(""));
  EXPECT_TRUE(makeFolders(dir.path("a/b/c/")));
}

}  // namespace
