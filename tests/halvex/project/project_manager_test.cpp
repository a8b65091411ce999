// The project manager driven through scripted prompts with real project files: writing and
// reading them byte for byte, the questions and messages of every operation, and the dispatch
// to the groups.
#include "halvex/project/project_manager.h"

#include <gtest/gtest.h>
#include <strings.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "common/platform/paths.h"
#include "halvex/config/field_file.h"
#include "halvex/gl/draw_context.h"
#include "halvex/project/csv_group.h"
#include "halvex/project/local_state_group.h"
#include "halvex/streams/state_file_element.h"
#include "tests/halvex/project/projects_fixture.h"
#include "tests/halvex/project/scripted_prompts.h"
#include "tests/support/scratch_dir.h"

namespace {

// ---- writing ----

TEST_F(Projects, SavedProjectHoldsTheMapSectionThenTheStateFilesByteForByte) {
  create("field.mpr");
  EXPECT_EQ(manager_.projectName(), "field.mpr");
  EXPECT_EQ(manager_.projectPath(), dir_.path("field.mpr"));
  ASSERT_NE(local(), nullptr);
  EXPECT_TRUE(local()->addStateFile("/data/state.txt"));
  EXPECT_TRUE(manager_.modified());

  manager_.saveProject();
  EXPECT_EQ(dir_.read("field.mpr"),
            "BEGIN MAP_group\n\tnorth.mapSetUp\n\tsouth.mapSetUp\nEND\n"
            "BEGIN LOCAL_STATE_group\n\t/data/state.txt\nEND\n");
  EXPECT_EQ(prompts_.log, std::vector<std::string>{"message: File " + dir_.path("field.mpr") +
                                                   " written successfully"});
  EXPECT_FALSE(manager_.modified());

  // Read back: the map group gets its lines, the state file is listed again, nothing changed.
  manager_.openPath(dir_.path("field.mpr"));
  ASSERT_EQ(local()->count(), 1);
  EXPECT_EQ(local()->element(0)->name(), "/data/state.txt");
  EXPECT_EQ(trace_.events.back(), "read 0: north.mapSetUp south.mapSetUp");
  EXPECT_FALSE(manager_.modified());
}

TEST_F(Projects, StateFilesAreWrittenInListOrderOnceEach) {
  create("order.mpr");
  ASSERT_TRUE(manager_.writeProject());
  EXPECT_EQ(dir_.read("order.mpr"), std::string(kMapSection) + "BEGIN LOCAL_STATE_group\nEND\n");
  EXPECT_TRUE(local()->addStateFile("b.txt"));
  EXPECT_TRUE(local()->addStateFile("a.txt"));
  EXPECT_FALSE(local()->addStateFile("b.txt"));
  ASSERT_TRUE(manager_.writeProject());
  EXPECT_EQ(dir_.read("order.mpr"),
            std::string(kMapSection) + "BEGIN LOCAL_STATE_group\n\tb.txt\n\ta.txt\nEND\n");
}

TEST_F(Projects, WriteFailuresAreReportedAndKeepTheProjectModified) {
  create("lost.mpr");
  local()->addStateFile("s.txt");
  // A project file in a directory that is gone.
  const std::string gone = dir_.path("gone/lost.mpr");
  prompts_.files.push_back(gone);
  manager_.saveProjectAs();
  EXPECT_EQ(prompts_.log.back(),
            "message: Could not open file " + gone + " for writing!!!\nTry using save as.");
  EXPECT_TRUE(manager_.modified());

  // A device that takes the open but none of the bytes.
  struct stat info;
  if (stat("/dev/full", &info) != 0) GTEST_SKIP() << "no /dev/full";
  prompts_.files.push_back("/dev/full");
  manager_.saveProjectAs();
  EXPECT_EQ(prompts_.log.back(),
            "message: Could not write file /dev/full completely!!!\nTry using save as.");
  EXPECT_TRUE(manager_.modified());
}

TEST_F(Projects, SaveAsTakesTheChosenPathAsTheProjectsNewName) {
  create("first.mpr");
  prompts_.files.push_back(dir_.path("second.mpr"));
  manager_.saveProjectAs();
  EXPECT_EQ(prompts_.log[0], "file: Save project to file|Project Files (*.mpr)|1");
  EXPECT_EQ(manager_.projectName(), "second.mpr");
  EXPECT_EQ(manager_.projectPath(), dir_.path("second.mpr"));
  EXPECT_FALSE(dir_.read("second.mpr").empty());

  prompts_.log.clear();
  prompts_.files.push_back("");
  manager_.saveProjectAs();
  EXPECT_EQ(prompts_.log.back(),
            "message: No projct file selected.\nThe project has not been saved!");
  EXPECT_EQ(manager_.projectName(), "second.mpr");
}

TEST_F(Projects, SavingWithoutAProjectOffersOneAndWritesNothing) {
  prompts_.choices = {0, 0};
  manager_.saveProject();
  manager_.saveProjectAs();
  EXPECT_EQ(prompts_.log, (std::vector<std::string>{kRequired, kRequired}));
  EXPECT_FALSE(manager_.isOpen());
  EXPECT_EQ(dir_.entryCount(), 0);
}

// ---- reading ----

TEST_F(Projects, TheLastLineIsNeverASectionStart) {
  realLocal_ = false;
  open("only.mpr", "BEGIN LOCAL_STATE_group\n");
  EXPECT_EQ(manager_.projectName(), "only.mpr");
  EXPECT_TRUE(trace_.events.empty()) << "an empty project";
  EXPECT_TRUE(prompts_.log.empty());
  open("last.mpr", "BEGIN CSV_group\nEND\nBEGIN MAP_group\n");
  EXPECT_EQ(trace_.events, std::vector<std::string>{"read 3:"});
}

TEST_F(Projects, SectionsGoToTheirGroupsByNameInAnyLetterCase) {
  realLocal_ = false;
  open("cases.mpr",
       "# comment\n"
       "begin map_GROUP\n\tm1\nend\n"
       "BEGIN\n"              // one field: not a section start
       "x BEGIN CSV_group\n"  // BEGIN not first
       "BEGIN FILTER_group extra\n\tf1\nEND\n"
       "BEGIN REMOTE_STATE_group\nEnD\n"
       "BEGIN MAP_group\n\tm2\nEND\n");
  EXPECT_EQ(trace_.events,
            (std::vector<std::string>{"read 0: m1", "read 4: f1", "read 2:", "read 0: m2"}));
}

TEST_F(Projects, AnUnknownSectionIsSkippedUpToItsEnd) {
  realLocal_ = false;
  open("unknown.mpr",
       "BEGIN WEATHER_group\n\tBEGIN MAP_group\n\tw1\nEND\nBEGIN MAP_group\n\tm1\nEND\n");
  // The unknown section goes to group 5, which also swallows the BEGIN inside it.
  EXPECT_EQ(trace_.events, (std::vector<std::string>{"read 5: BEGIN w1", "read 0: m1"}));
}

TEST_F(Projects, TheLocalStateSectionEndsAtEndInLowerCase) {
  open("lower.mpr",
       "BEGIN LOCAL_STATE_group\n\ta.txt\n  b.txt second-word\n\ta.txt\nend\n"
       "BEGIN MAP_group\n\tm1\nEND\n");
  ASSERT_EQ(local()->count(), 2);
  EXPECT_EQ(local()->element(0)->name(), "a.txt");
  EXPECT_EQ(local()->element(1)->name(), "b.txt");
  EXPECT_EQ(trace_.events, std::vector<std::string>{"read 0: m1"});
  EXPECT_FALSE(manager_.modified());
}

TEST_F(Projects, StateFilePathsUpToTheLongestPathReadBack) {
  create("long.mpr");
  const std::string longPath = "/" + std::string(259, 'p');
  EXPECT_TRUE(local()->addStateFile(longPath));
  ASSERT_TRUE(manager_.writeProject());
  manager_.openPath(manager_.projectPath());
  ASSERT_EQ(local()->count(), 1);
  EXPECT_EQ(local()->element(0)->name(), longPath);
}

TEST_F(Projects, PathsAProjectFileCannotHoldAreRefusedWithAMessage) {
  create("refuse.mpr");
  for (const std::string& path : {std::string("/data/my state.txt"), std::string(),
                                  "/" + std::string(260, 'p'), std::string("end")}) {
    EXPECT_FALSE(local()->addStateFile(path)) << path;
    ASSERT_FALSE(prompts_.log.empty());
    EXPECT_EQ(prompts_.log.back(), "message: The state file path " + path +
                                       " cannot be kept in a project file:\npaths must be one "
                                       "word of at most 260 characters other than END.");
  }
  EXPECT_EQ(local()->count(), 0);
  EXPECT_FALSE(manager_.modified());
}

// ---- creating and loading ----

TEST_F(Projects, NewProjectAsksForANameAndStartsEmpty) {
  prompts_.names.push_back(ScriptedPrompts::entry(dir_.dir(), "fresh.mpr"));
  manager_.newProject();
  EXPECT_EQ(prompts_.log, std::vector<std::string>{"name: Create a new project|New Project name"});
  EXPECT_TRUE(manager_.isOpen());
  EXPECT_EQ(manager_.pendingName(), "fresh.mpr");
  EXPECT_EQ(manager_.pendingPath(), dir_.path("fresh.mpr"));
  EXPECT_FALSE(manager_.modified());
  EXPECT_EQ(dir_.entryCount(), 0) << "nothing is written before saving";
  for (int i = 0; i < kProjectGroupCount; ++i) EXPECT_NE(manager_.group(i), nullptr);

  // Cancelling the dialog changes nothing.
  prompts_.names.push_back(NameEntry{});
  manager_.newProject();
  EXPECT_EQ(manager_.projectName(), "fresh.mpr");
}

TEST_F(Projects, NewProjectOverAnExistingFileAsksFirst) {
  create("current.mpr");
  local()->addStateFile("keep.txt");
  manager_.writeProject();
  dir_.write("taken.mpr", "BEGIN LOCAL_STATE_group\n\tother.txt\nEND\n");
  prompts_.log.clear();

  // No: the current project stays as it is.
  prompts_.names.push_back(ScriptedPrompts::entry(dir_.dir(), "taken.mpr"));
  prompts_.answers.push_back(false);
  manager_.newProject();
  EXPECT_EQ(prompts_.log,
            (std::vector<std::string>{
                "name: Create a new project|New Project name",
                "ask: Project taken.mpr already exists in this directory!\nIf you continue this "
                "project will be deleted.\nDo you wish to continue?",
                "message: New project NOT created."}));
  EXPECT_EQ(manager_.projectName(), "current.mpr");
  ASSERT_EQ(local()->count(), 1);

  // Yes: an empty project under that name; the old file stays until the project is saved.
  prompts_.log.clear();
  prompts_.names.push_back(ScriptedPrompts::entry(dir_.dir(), "taken.mpr"));
  prompts_.answers.push_back(true);
  manager_.newProject();
  EXPECT_EQ(prompts_.log.back(),
            "message: New project being created\nExisting Project taken.mpr will be deleted "
            "when this Project is saved");
  EXPECT_EQ(manager_.projectName(), "taken.mpr");
  EXPECT_EQ(local()->count(), 0);
  EXPECT_NE(dir_.read("taken.mpr").find("other.txt"), std::string::npos);
  manager_.saveProject();
  EXPECT_EQ(dir_.read("taken.mpr").find("other.txt"), std::string::npos);
}

TEST_F(Projects, LoadingReadsTheChosenFile) {
  dir_.write("saved.mpr", "BEGIN LOCAL_STATE_group\n\tone.txt\nEND\n");
  prompts_.files.push_back(dir_.path("saved.mpr"));
  manager_.loadProject();
  EXPECT_EQ(prompts_.log,
            (std::vector<std::string>{"file: Load an existing Project|Project Files (*.mpr)|0",
                                      "message: loading file " + dir_.path("saved.mpr") + "."}));
  EXPECT_EQ(manager_.projectName(), "saved.mpr");
  ASSERT_EQ(local()->count(), 1);

  prompts_.log.clear();
  prompts_.files.push_back("");
  manager_.loadProject();
  EXPECT_EQ(prompts_.log.back(), "message: No new project file selected.");
  EXPECT_EQ(manager_.projectName(), "saved.mpr");
}

TEST_F(Projects, LoadingAMissingFileOffersToCreateItAndNoKeepsTheCurrentProject) {
  create("current.mpr");
  local()->addStateFile("keep.txt");
  manager_.writeProject();
  prompts_.log.clear();
  const std::string missing = dir_.path("missing.mpr");

  prompts_.files.push_back(missing);
  prompts_.answers.push_back(false);
  manager_.loadProject();
  EXPECT_EQ(prompts_.log,
            (std::vector<std::string>{
                "file: Load an existing Project|Project Files (*.mpr)|0",
                "message: loading file " + missing + ".",
                "ask: Project " + missing +
                    " does not exists in this directory!\nDo you want to create a new project?",
                "message: New project NOT created."}));
  EXPECT_EQ(manager_.projectName(), "current.mpr");
  ASSERT_NE(local(), nullptr);
  EXPECT_EQ(local()->count(), 1);

  prompts_.files.push_back(missing);
  prompts_.answers.push_back(true);
  manager_.loadProject();
  EXPECT_EQ(manager_.projectName(), "missing.mpr");
  EXPECT_EQ(local()->count(), 0);
}

// ---- unsaved work ----

TEST_F(Projects, AnAddedStateFileMakesEveryClosingOperationAsk) {
  create("work.mpr");
  local()->addStateFile("added.txt");
  ASSERT_TRUE(manager_.modified());
  const std::string question = with(kNotSaved, "work.mpr");

  prompts_.answers = {false, false, false};
  manager_.newProject();
  manager_.loadProject();
  manager_.closeAsked();
  EXPECT_EQ(prompts_.log, (std::vector<std::string>{question, question, question}));
  EXPECT_TRUE(manager_.isOpen());
  EXPECT_EQ(local()->count(), 1);

  prompts_.answers.push_back(true);
  manager_.closeAsked();
  EXPECT_FALSE(manager_.isOpen());
  EXPECT_TRUE(manager_.projectName().empty());
  EXPECT_TRUE(manager_.projectPath().empty());
  EXPECT_EQ(manager_.group(kLocalStateGroup), nullptr);
}

TEST_F(Projects, GroupsMarkTheProjectModifiedAndSavingClearsIt) {
  realLocal_ = false;
  create("marks.mpr");
  EXPECT_FALSE(manager_.modified());
  stub(kMapGroup)->touch();
  EXPECT_TRUE(manager_.modified());
  manager_.saveProject();
  EXPECT_FALSE(manager_.modified());
  // Unmodified: no question.
  prompts_.log.clear();
  manager_.closeAsked();
  EXPECT_TRUE(prompts_.log.empty());
  EXPECT_FALSE(manager_.isOpen());
  manager_.markModified();
  EXPECT_FALSE(manager_.modified()) << "no project, nothing to modify";
}

TEST_F(Projects, ClosingDestroysEveryGroupAndOpeningAnotherClosesTheFirst) {
  realLocal_ = false;
  create("a.mpr");
  EXPECT_EQ(trace_.destroyed, 0);
  manager_.openPath(dir_.path("b.mpr"));
  EXPECT_EQ(trace_.destroyed, kProjectGroupCount);
  manager_.closeProject();
  EXPECT_EQ(trace_.destroyed, 2 * kProjectGroupCount);
  for (int i = -1; i <= kProjectGroupCount; ++i) EXPECT_EQ(manager_.group(i), nullptr);
}

// ---- the project-required choice ----

TEST_F(Projects, OperationsThatNeedAProjectOfferToOpenOrCreateOne) {
  prompts_.choices.push_back(0);
  EXPECT_EQ(manager_.requireGroup(kCsvGroup), nullptr);
  EXPECT_EQ(prompts_.log, std::vector<std::string>{kRequired});

  prompts_.log.clear();
  prompts_.choices.push_back(1);
  prompts_.files.push_back("");
  EXPECT_EQ(manager_.requireGroup(kLocalStateGroup), nullptr);
  EXPECT_EQ(prompts_.log[1], "file: Load an existing Project|Project Files (*.mpr)|0");

  prompts_.log.clear();
  prompts_.choices.push_back(2);
  prompts_.names.push_back(ScriptedPrompts::entry(dir_.dir(), "made.mpr"));
  ProjectGroup* made = manager_.requireGroup(kLocalStateGroup);
  EXPECT_NE(made, nullptr);
  EXPECT_EQ(made, local());
  EXPECT_EQ(prompts_.log[1], "name: Create a new project|New Project name");

  // With a project open nothing is asked.
  prompts_.log.clear();
  EXPECT_TRUE(manager_.requireProject());
  EXPECT_TRUE(prompts_.log.empty());
  EXPECT_TRUE(prompts_.allUsed());
}

// The menu's group operations and the view's picks: without a project the offer comes instead,
// and the operation is chosen again once the project is there.
TEST_F(Projects, GroupOperationsAndPicksWithoutAProjectOnlyOfferOne) {
  realLocal_ = false;
  prompts_.choices = {2, 0};
  prompts_.names.push_back(ScriptedPrompts::entry(dir_.dir(), "offered.mpr"));
  EXPECT_EQ(manager_.groupOrPrompt(kCsvGroup), nullptr);
  EXPECT_TRUE(manager_.isOpen());
  EXPECT_EQ(manager_.groupOrPrompt(kCsvGroup), stub(kCsvGroup));
  manager_.pickOrPrompt(7);
  EXPECT_EQ(trace_.events.back(), "pick 3 7");

  manager_.closeProject();
  prompts_.log.clear();
  manager_.pickOrPrompt(8);
  EXPECT_EQ(prompts_.log, std::vector<std::string>{kRequired});
  EXPECT_EQ(trace_.events.back(), "pick 3 7");
  EXPECT_TRUE(prompts_.allUsed());
}

TEST_F(Projects, QuittingAsksOnlyAboutUnsavedChangesAndKeepsAProjectTheOperatorKeeps) {
  EXPECT_TRUE(manager_.closeForQuit()) << "no project";
  create("quit.mpr");
  EXPECT_TRUE(manager_.closeForQuit()) << "nothing unsaved";
  EXPECT_TRUE(manager_.isOpen());
  EXPECT_TRUE(prompts_.log.empty());

  local()->addStateFile("added.txt");
  prompts_.answers = {false, true};
  EXPECT_FALSE(manager_.closeForQuit());
  EXPECT_TRUE(manager_.isOpen());
  EXPECT_TRUE(manager_.closeForQuit());
  EXPECT_FALSE(manager_.isOpen());
  const std::string question = with(kNotSaved, "quit.mpr");
  EXPECT_EQ(prompts_.log, (std::vector<std::string>{question, question}));
}

// ---- dispatch ----

TEST_F(Projects, DrawEventsAndPicksReachTheirGroups) {
  realLocal_ = false;
  create("dispatch.mpr");
  manager_.draw(DrawContext());
  EXPECT_EQ(trace_.events,
            (std::vector<std::string>{"draw 0", "draw 1", "draw 2", "draw 3", "draw 4"}));

  trace_.events.clear();
  EXPECT_EQ(manager_.mouseEvent(1, 3, 32.5, -117.25), 0);
  EXPECT_EQ(trace_.events.size(), 5u);
  EXPECT_EQ(trace_.events[4], "event 4 1 3 32.500000 -117.250000");
  // Every group gets the event even when an earlier one used it.
  stub(1)->used_ = 1;
  trace_.events.clear();
  EXPECT_EQ(manager_.mouseEvent(5, 1, 0, 0), 1);
  EXPECT_EQ(trace_.events.size(), 5u);

  trace_.events.clear();
  manager_.pick(77);
  EXPECT_EQ(trace_.events, std::vector<std::string>{"pick 3 77"});

  manager_.closeProject();
  trace_.events.clear();
  manager_.draw(DrawContext());
  EXPECT_EQ(manager_.mouseEvent(1, 3, 0, 0), 0);
  manager_.pick(1);
  EXPECT_TRUE(trace_.events.empty());
}

// ---- local-state group operations ----

TEST_F(Projects, NewStateFileLocationListsTheDialogsFullPath) {
  create("states.mpr");
  prompts_.names.push_back(NameEntry{"out.txt", "/data/", "/data/out.txt"});
  local()->newStateFileLocation();
  EXPECT_EQ(prompts_.log,
            std::vector<std::string>{"name: Create a new state file location|New State File Name"});
  ASSERT_EQ(local()->count(), 1);
  EXPECT_EQ(local()->element(0)->name(), "/data/out.txt");
  EXPECT_TRUE(manager_.modified());

  prompts_.names.push_back(NameEntry{});
  local()->newStateFileLocation();
  EXPECT_EQ(local()->count(), 1);
}

TEST_F(Projects, LoadStateFileListsTheChosenFileOnce) {
  create("states.mpr");
  prompts_.files = {"", "state.txt", "state.txt"};
  local()->loadStateFile();
  EXPECT_EQ(prompts_.log,
            (std::vector<std::string>{"file: Load an existing State File|Text Files (*.txt)|1",
                                      "message: No new state file selected."}));
  EXPECT_FALSE(manager_.modified());
  testing::internal::CaptureStdout();
  local()->loadStateFile();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "New State File opened state.txt\n");
  EXPECT_TRUE(manager_.modified());
  manager_.writeProject();
  local()->loadStateFile();
  EXPECT_EQ(local()->count(), 1);
  EXPECT_FALSE(manager_.modified()) << "a path listed already changes nothing";
}

// ---- the CSV data set's section ----

TEST(CsvSection, PathAndColumnLinesReadBackAndTheRestOfTheProjectStillReads) {
  ScratchDir dir;
  const std::string text =
      "BEGIN CSV_group\n\treports/day1.csv\n\tcolumn 20 filter%20key\n"
      "\tcolumn 19 label\nEND\nBEGIN LOCAL_STATE_group\n\tstate.txt\nEND\n";
  const std::string path = dir.write("field.mpr", text);
  ScriptedPrompts prompts;
  CsvGroup csv(prompts);
  LocalStateGroup local(prompts);
  ProjectGroups groups{};
  groups[kCsvGroup] = &csv;
  groups[kLocalStateGroup] = &local;
  ASSERT_TRUE(readProjectFile(path, groups));
  EXPECT_EQ(csv.dataSetPath(), "reports/day1.csv");
  EXPECT_EQ(csv.dataSetName(), "day1.csv");
  EXPECT_EQ(csv.columnLines(),
            (std::vector<std::string>{"column 20 filter%20key", "column 19 label"}));
  EXPECT_EQ(local.count(), 1) << "the section after it is read as before";

  // Written back after the local-state section, as it was read.
  ASSERT_EQ(writeProjectFile(path, groups), ProjectWrite::kWritten);
  EXPECT_EQ(dir.read("field.mpr"),
            "BEGIN LOCAL_STATE_group\n\tstate.txt\nEND\n"
            "BEGIN CSV_group\n\treports/day1.csv\n\tcolumn 20 filter%20key\n"
            "\tcolumn 19 label\nEND\n");

  // A reader that skips the section (no CSV group) still reads the state file after it.
  LocalStateGroup older(prompts);
  ProjectGroups skipping{};
  skipping[kLocalStateGroup] = &older;
  ASSERT_TRUE(readProjectFile(dir.write("old.mpr", text), skipping));
  EXPECT_EQ(older.count(), 1);

  // Without a data set the group writes nothing, as projects always had it.
  CsvGroup empty(prompts);
  ProjectGroups none{};
  none[kCsvGroup] = &empty;
  ASSERT_EQ(writeProjectFile(path, none), ProjectWrite::kWritten);
  EXPECT_EQ(dir.read("field.mpr"), "");
}

}  // namespace
