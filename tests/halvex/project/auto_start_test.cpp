// The auto-start file: its path beside the program, what setting and clearing it records, and
// the project it opens at start-up.
#include "halvex/project/auto_start.h"

#include <gtest/gtest.h>

#include <string>

#include "common/name_registry.h"
#include "tests/halvex/project/projects_fixture.h"

namespace {

class AutoStart : public Projects {
 protected:
  AutoStartFile file_{dir_.path("halvex")};
};

TEST(AutoStartPath, TheProgramsPathWithItsExtensionReplaced) {
  EXPECT_EQ(AutoStartFile("/opt/track/halvex").path(), "/opt/track/halvex.autoStart");
  EXPECT_EQ(AutoStartFile("/opt/track/halvex.exe").path(), "/opt/track/halvex.autoStart");
  EXPECT_EQ(AutoStartFile("/opt/v1.2/halvex").path(), "/opt/v1.2/halvex.autoStart");
  EXPECT_EQ(AutoStartFile("").path(), "");
  EXPECT_FALSE(AutoStartFile("").set("x.mpr"));
  EXPECT_EQ(AutoStartFile("").read(), "");

  char exe[] = "/opt/no-such-prefix/bin/halvex";
  NameRegistry::instance().add("full exe name", exe);
  EXPECT_EQ(AutoStartFile().path(), "/opt/no-such-prefix/bin/halvex.autoStart");
  NameRegistry::instance().remove("full exe name", exe);
}

TEST_F(AutoStart, SetRecordsTheOpenProjectsFullPathAndClearEmptiesTheFile) {
  create("auto.mpr");
  manager_.setAutoStart(file_);
  EXPECT_EQ(dir_.read("halvex.autoStart"), dir_.path("auto.mpr") + "\n");
  EXPECT_EQ(file_.read(), dir_.path("auto.mpr"));

  ASSERT_TRUE(file_.clear());
  EXPECT_EQ(dir_.read("halvex.autoStart"), "");
  EXPECT_EQ(file_.read(), "");
}

TEST_F(AutoStart, ARelativeProjectPathIsRecordedInFull) {
  create("rel.mpr");
  const std::string here = currentDirectory();
  ASSERT_TRUE(setCurrentDirectory(dir_.dir()));
  prompts_.files.push_back("rel2.mpr");
  manager_.saveProjectAs();
  manager_.setAutoStart(file_);
  EXPECT_EQ(file_.read(), dir_.path("rel2.mpr"));
  ASSERT_TRUE(setCurrentDirectory(here));
}

TEST_F(AutoStart, SettingItWithoutAProjectClearsTheFile) {
  dir_.write("halvex.autoStart", "/old/project.mpr\n");
  manager_.setAutoStart(file_);
  EXPECT_EQ(dir_.read("halvex.autoStart"), "");
  EXPECT_TRUE(prompts_.log.empty());
}

TEST_F(AutoStart, StartUpOpensTheFirstWordOnly) {
  dir_.write("halvex.autoStart", dir_.path("first") + " " + dir_.path("second.mpr") + "\n");
  dir_.write("first", "BEGIN LOCAL_STATE_group\n\tone.txt\nEND\n");
  manager_.openAutoStart(file_);
  EXPECT_EQ(manager_.projectPath(), dir_.path("first"));
  EXPECT_EQ(manager_.projectName(), "first");
  ASSERT_EQ(local()->count(), 1);
  EXPECT_TRUE(prompts_.log.empty());
}

TEST_F(AutoStart, AnEmptyMissingOrOverlongFileOpensNothing) {
  manager_.openAutoStart(file_);
  dir_.write("halvex.autoStart", "");
  manager_.openAutoStart(file_);
  dir_.write("halvex.autoStart", " \n\t\n");
  manager_.openAutoStart(file_);
  // 255 characters are read; a longer word is not cut into another file's name.
  const std::string at255 = "/" + std::string(254, 'a');
  dir_.write("halvex.autoStart", at255 + "\n");
  EXPECT_EQ(file_.read(), at255);
  dir_.write("halvex.autoStart", at255 + "b\n");
  testing::internal::CaptureStdout();
  manager_.openAutoStart(file_);
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(manager_.isOpen());
  EXPECT_TRUE(prompts_.log.empty());
}

TEST_F(AutoStart, AMissingProjectFileOpensAnEmptyProjectWithoutAQuestion) {
  dir_.write("halvex.autoStart", dir_.path("never.mpr") + "\n");
  manager_.openAutoStart(file_);
  EXPECT_TRUE(manager_.isOpen());
  EXPECT_EQ(manager_.projectName(), "never.mpr");
  EXPECT_EQ(local()->count(), 0);
  EXPECT_TRUE(prompts_.log.empty());
}

}  // namespace
