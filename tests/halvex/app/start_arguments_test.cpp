#include "halvex/app/start_arguments.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Case {
  std::vector<const char*> args;  ///< after the program name
  StartAction action;
  const char* configPath;
  const char* projectPath;
  const char* splashTag;
};

TEST(StartArguments, ClassifiesTheCommandLine) {
  const Case cases[] = {
      {{}, StartAction::kWindow, "", "", ""},
      {{"--help"}, StartAction::kHelp, "", "", ""},
      {{"--version", "x.cfg"}, StartAction::kVersion, "", "", ""},
      {{"--headless", "--help"}, StartAction::kHeadless, "", "", ""},
      {{"TeSt", "1000.4711"}, StartAction::kSplash, "", "", "1000.4711"},
      {{"TeSt"}, StartAction::kSplash, "", "", ""},
      {{"demo/fleet.cfg"}, StartAction::kWindow, "demo/fleet.cfg", "", ""},
      {{"../maps/area.mpr"}, StartAction::kWindow, "", "../maps/area.mpr", ""},
      {{"AREA.MPR", "x.cfg"}, StartAction::kWindow, "", "AREA.MPR", ""},
      {{"x.cfg", "a/b.mpr"}, StartAction::kWindow, "x.cfg", "a/b.mpr", ""},
      {{"x.cfg", "y.cfg"}, StartAction::kWindow, "x.cfg", "", ""},
      {{"area.mpr.cfg"}, StartAction::kWindow, "area.mpr.cfg", "", ""},
      {{"mpr"}, StartAction::kWindow, "mpr", "", ""},
      // Any other first argument beginning with "-" means no configuration.
      {{"-x", "x.cfg"}, StartAction::kWindow, "", "", ""},
      {{"--help-me"}, StartAction::kWindow, "", "", ""},
      {{"-"}, StartAction::kWindow, "", "", ""},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"halvex"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const std::string shown = c.args.empty() ? "(none)" : c.args.front();
    const StartArguments start = classifyStartArguments(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(start.action, c.action) << shown;
    EXPECT_EQ(start.configPath, c.configPath) << shown;
    EXPECT_EQ(start.projectPath, c.projectPath) << shown;
    EXPECT_EQ(start.splashTag, c.splashTag) << shown;
  }
}

}  // namespace
