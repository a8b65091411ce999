// The project windows under a private virtual X server: the name dialog and the toolkit prompts
// driven with real pointer and key events, the column attributes dialog's layout, the CSV group's
// questions, and the local-state group drawing the ring markers of its state files.
#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_ask.H>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/platform/paths.h"
#include "halvex/gl/view_camera.h"
#include "halvex/project/column_attributes_dialog.h"
#include "halvex/project/csv_group.h"
#include "halvex/project/local_state_group.h"
#include "halvex/project/project_file.h"
#include "halvex/project/project_manager.h"
#include "halvex/streams/state_file_element.h"
#include "halvex/ui/name_dialog.h"
#include "halvex/ui/project_prompts_fltk.h"
#include "halvex/view/scene.h"
#include "tests/halvex/project/scripted_prompts.h"
#include "tests/halvex/ui/ui_test_support.h"
#include "tests/halvex/view/scene_test_support.h"
#include "tests/support/scratch_dir.h"

namespace {

using ui_test::clickCentre;
using ui_test::expectGeometry;

/// Steps run one after another from the event loop while a modal call waits in it. A step
/// returns false to be tried again a little later. When the steps stall, every modal window is
/// hidden so that the waiting call returns and the test fails instead of hanging.
class Script {
 public:
  static constexpr double kTick = 0.05;  ///< Seconds between tries.
  static constexpr int kMaxTries = 200;  ///< Tries of one step before giving up.

  explicit Script(std::vector<std::function<bool()>> steps) : steps_(std::move(steps)) {
    Fl::add_timeout(kTick, tick, this);
  }
  ~Script() { Fl::remove_timeout(tick, this); }
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;

  /// Whether every step ran.
  bool finished() const { return next_ == steps_.size(); }

 private:
  static void tick(void* self) { static_cast<Script*>(self)->step(); }
  void step() {
    if (next_ < steps_.size()) {
      if (steps_[next_]()) {
        ++next_;
        tries_ = 0;
      } else if (++tries_ > kMaxTries) {
        ADD_FAILURE() << "script step " << next_ << " stalled";
        next_ = steps_.size();
        while (Fl_Window* modal = Fl::modal()) modal->hide();
        return;
      }
    }
    if (next_ < steps_.size()) Fl::repeat_timeout(kTick, tick, this);
  }

  std::vector<std::function<bool()>> steps_;
  size_t next_ = 0;
  int tries_ = 0;
};

/// The modal window when it is shown and drawn and holds a widget labelled `label`.
Fl_Window* modalWith(const char* label) {
  Fl_Window* modal = Fl::modal();
  if (modal == nullptr || !modal->shown() || !modal->visible() || modal->damage() != 0) {
    return nullptr;
  }
  return ui_test::widgetsLabelled(modal, label).empty() ? nullptr : modal;
}

/// A step that waits for a modal window holding `label` and then clicks the widget labelled
/// `button` in it.
std::function<bool()> clickIn(const char* label, const char* button) {
  return [label, button] {
    Fl_Window* modal = modalWith(label);
    if (modal == nullptr) return false;
    std::vector<Fl_Widget*> found = ui_test::widgetsLabelled(modal, button);
    if (found.empty()) return false;
    Fl::flush();
    clickCentre(found[0]);
    return true;
  };
}

/// A step that clicks `widget` once its window is the modal one, and types `text` into it.
std::function<bool()> typeInto(Fl_Widget* widget, const char* text) {
  return [widget, text] {
    if (Fl::modal() != widget->window() || widget->window()->damage() != 0) return false;
    clickCentre(widget);
    Fl::wait(0.05);
    const std::string command = std::string("xdotool type --delay 15 '") + text + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return true;
  };
}

/// A step that clicks `widget` once its window is the modal one.
std::function<bool()> clickWhenModal(Fl_Widget* widget) {
  return [widget] {
    if (Fl::modal() != widget->window() || widget->window()->damage() != 0) return false;
    clickCentre(widget);
    return true;
  };
}

// ---- name dialog ----

TEST(NameDialogBehaviour, OkWithoutANameWarnsAndStaysOpenThenGivesDirectoryAndName) {
  NameDialog dialog;
  NameDialogUi& ui = dialog.ui();
  bool warned = false;
  Script script({clickWhenModal(ui.okButton),
                 [&] {
                   if (modalWith(NameDialog::kNameMissing) == nullptr) return false;
                   warned = ui.window->shown();
                   return true;
                 },
                 clickIn(NameDialog::kNameMissing, "Close"), typeInto(ui.nameInput, "trial.mpr"),
                 typeInto(ui.locationInput, "/tmp/projects"), clickWhenModal(ui.okButton)});
  ASSERT_TRUE(dialog.run("Create a new project", "New Project name"));
  EXPECT_TRUE(script.finished());
  EXPECT_TRUE(warned) << "the dialog stays open under the message";
  EXPECT_FALSE(ui.window->shown());
  EXPECT_STREQ(ui.window->label(), "Create a new project");
  EXPECT_STREQ(ui.nameInput->label(), "New Project name");
  EXPECT_EQ(dialog.name(), "trial.mpr");
  EXPECT_EQ(dialog.directory(), "/tmp/projects");
  EXPECT_EQ(dialog.fullPath(), "/tmp/projects/trial.mpr");
  EXPECT_EQ(NameDialog::joinPath("/tmp/", "a"), "/tmp/a");
  EXPECT_EQ(NameDialog::joinPath("", "a"), "a");
}

TEST(NameDialogBehaviour, CancelGivesNothingAndTheNextShowKeepsOnlyTheLocation) {
  NameDialog dialog;
  NameDialogUi& ui = dialog.ui();
  ui.locationInput->value("/data/");
  ui.nameInput->value("old.mpr");
  int accepted = 0;
  {
    Script script({typeInto(ui.nameInput, "x"), clickWhenModal(ui.cancelButton)});
    EXPECT_FALSE(dialog.run("Create a new state file location", "New State File Name"));
    EXPECT_TRUE(script.finished());
  }
  EXPECT_EQ(dialog.fullPath(), "");
  // show() with a callback: OK calls it once the dialog is hidden.
  dialog.show("Create a new csv group", "New CVF name", [&](NameDialog& d) {
    ++accepted;
    EXPECT_FALSE(d.ui().window->shown());
  });
  EXPECT_STREQ(ui.nameInput->value(), "");
  EXPECT_STREQ(ui.locationInput->value(), "/data/");
  {
    Script script({typeInto(ui.nameInput, "set.csv"), clickWhenModal(ui.okButton)});
    while (ui.window->shown()) Fl::wait(0.05);
    EXPECT_TRUE(script.finished());
  }
  EXPECT_EQ(accepted, 1);
  EXPECT_EQ(dialog.fullPath(), "/data/set.csv");
}

TEST(NameDialogBehaviour, BrowsePutsTheChosenDirectoryIntoTheLocation) {
  NameDialog dialog;
  NameDialogUi& ui = dialog.ui();
  std::vector<std::string> asked;
  dialog.setDirectoryChooser([&](const char* title, const char* start) {
    asked.push_back(std::string(title) + "|" + (start != nullptr ? start : "(none)"));
    return asked.size() == 1 ? std::string("/srv/maps/") : std::string();
  });
  Script script({clickWhenModal(ui.browseButton), clickWhenModal(ui.browseButton),
                 typeInto(ui.nameInput, "n.mpr"), clickWhenModal(ui.okButton)});
  ASSERT_TRUE(dialog.run("Create a new project", "New Project name"));
  // The second browse chose nothing and left the first choice.
  EXPECT_EQ(asked, (std::vector<std::string>{"Select a directory|(none)",
                                             "Select a directory|/srv/maps/"}));
  EXPECT_EQ(dialog.fullPath(), "/srv/maps/n.mpr");
}

// ---- the toolkit prompts ----

TEST(ToolkitPrompts, QuestionsMessagesAndChoicesAnswerByTheButtonPressed) {
  FltkProjectPrompts prompts;
  const std::string question = "Project a.mpr is not saved!\nDo you wish to continue?";
  {
    Script script({clickIn(question.c_str(), "Yes")});
    EXPECT_TRUE(prompts.ask(question));
  }
  {
    Script script({clickIn(question.c_str(), "No")});
    EXPECT_FALSE(prompts.ask(question));
  }
  {
    Script script({clickIn("File /tmp/a.mpr written successfully", "Close")});
    prompts.message("File /tmp/a.mpr written successfully");
    EXPECT_TRUE(script.finished());
  }
  for (int pressed = 0; pressed < 3; ++pressed) {
    const char* buttons[] = {"Cancel", "Open existing project", "Create new project"};
    Script script({clickIn(ProjectManager::kProjectRequired, buttons[pressed])});
    EXPECT_EQ(prompts.choose(ProjectManager::kProjectRequired, buttons[0], buttons[1], buttons[2]),
              pressed);
  }
}

TEST(ToolkitPrompts, AskNameUsesOneNameDialogKeptBetweenCalls) {
  FltkProjectPrompts prompts;
  NameDialog& dialog = prompts.nameDialog();
  EXPECT_EQ(&dialog, &prompts.nameDialog());
  dialog.ui().locationInput->value("/data");
  NameEntry entry;
  {
    Script script({typeInto(dialog.ui().nameInput, "s.txt"), clickWhenModal(dialog.ui().okButton)});
    ASSERT_TRUE(prompts.askName("Create a new state file location", "New State File Name", entry));
  }
  EXPECT_EQ(entry.name, "s.txt");
  EXPECT_EQ(entry.directory, "/data");
  EXPECT_EQ(entry.fullPath, "/data/s.txt");
  {
    Script script({clickWhenModal(dialog.ui().cancelButton)});
    EXPECT_FALSE(prompts.askName("Create a new project", "New Project name", entry));
  }
}

TEST(ToolkitPrompts, TheFileChooserGivesAbsoluteOrRelativePaths) {
  ScratchDir dir;
  dir.write("p.mpr", "");
  const std::string here = currentDirectory();
  ASSERT_TRUE(setCurrentDirectory(dir.dir()));
  FltkProjectPrompts prompts;
  /// Types the file name into the chooser, which opens on the current directory, and presses
  /// Return.
  const auto choose = [](const char* title) {
    return [title] {
      Fl_Window* modal = Fl::modal();
      if (modal == nullptr || modal->label() == nullptr || std::string(modal->label()) != title ||
          modal->damage() != 0) {
        return false;
      }
      std::vector<Fl_File_Input*> inputs = ui_test::widgetsOfKind<Fl_File_Input>(modal);
      if (inputs.empty()) return false;
      clickCentre(inputs[0]);
      Fl::wait(0.05);
      // The chooser may hold the last name: select it all so that typing replaces it.
      EXPECT_EQ(std::system("xdotool key ctrl+a type --delay 15 p.mpr && xdotool key Return"), 0);
      return true;
    };
  };
  {
    Script script({choose("Load an existing Project")});
    EXPECT_EQ(prompts.chooseFile("Load an existing Project", "Project Files (*.mpr)", false),
              dir.path("p.mpr"));
  }
  {
    Script script({choose("Save project to file")});
    EXPECT_EQ(prompts.chooseFile("Save project to file", "Project Files (*.mpr)", true), "p.mpr");
  }
  ASSERT_TRUE(setCurrentDirectory(here));
}

// ---- column attributes dialog ----

TEST(ColumnAttributes, TitleSizeAndRowsAsLaidOut) {
  ColumnAttributesDialog dialog;
  Fl_Double_Window* w = dialog.window;
  EXPECT_STREQ(w->label(), "CSV file column attributes");
  EXPECT_EQ(w->w(), 378);
  EXPECT_EQ(w->h(), 441);
  EXPECT_FALSE(w->modal());
  expectGeometry(dialog.pack, -2, 0, 392, 430);
  EXPECT_EQ(dialog.pack->type(), Fl_Pack::VERTICAL);

  expectGeometry(dialog.heading, 0, 5, 375, 25);
  EXPECT_STREQ(dialog.heading->label(), "Specify your data types");
  EXPECT_EQ(dialog.heading->color(), 220u);
  EXPECT_EQ(dialog.heading->labelfont(), FL_BOLD);
  EXPECT_EQ(dialog.heading->box(), FL_DOWN_BOX);
  EXPECT_EQ(dialog.heading->align(), FL_ALIGN_LEFT | FL_ALIGN_INSIDE);

  expectGeometry(dialog.headerRow, 5, 35, 380, 30);
  expectGeometry(ui_test::onlyWidgetLabelled(w, "Type"), 15, 40, 55, 20);
  expectGeometry(ui_test::onlyWidgetLabelled(w, "Name"), 110, 40, 55, 20);
  expectGeometry(ui_test::onlyWidgetLabelled(w, "Default Value"), 225, 40, 90, 20);
  Fl_Widget* useDefault = ui_test::onlyWidgetLabelled(w, "Use Default");
  expectGeometry(useDefault, 330, 40, 45, 25);
  EXPECT_EQ(useDefault->labelsize(), 12);
  EXPECT_EQ(useDefault->align(), FL_ALIGN_WRAP | FL_ALIGN_INSIDE);

  expectGeometry(dialog.locationRow, 5, 65, 380, 25);
  std::vector<Fl_Widget*> location = ui_test::widgetsLabelled(w, "Location");
  ASSERT_EQ(location.size(), 2u);
  expectGeometry(location[0], 10, 65, 95, 25);
  expectGeometry(location[1], 110, 65, 115, 25);
  expectGeometry(ui_test::onlyWidgetLabelled(w, "Automatic"), 230, 65, 110, 25);
  expectGeometry(dialog.locationUseDefault, 340, 70, 15, 15);
  EXPECT_EQ(dialog.locationUseDefault->value(), 1);
  EXPECT_FALSE(dialog.locationUseDefault->active());

  expectGeometry(dialog.timeRow, 5, 90, 380, 25);
  std::vector<Fl_Widget*> time = ui_test::widgetsLabelled(w, "Time");
  ASSERT_EQ(time.size(), 2u);
  expectGeometry(time[1], 110, 90, 115, 25);
  expectGeometry(ui_test::onlyWidgetLabelled(w, "Now"), 230, 90, 110, 25);
  expectGeometry(dialog.timeUseDefault, 340, 95, 15, 15);
  EXPECT_EQ(dialog.timeUseDefault->value(), 1);
  EXPECT_TRUE(dialog.timeUseDefault->active());

  EXPECT_TRUE(dialog.columns.empty());
  dialog.addColumnRows();
  ASSERT_EQ(dialog.columns.size(), 12u);
  for (int i = 0; i < 12; ++i) {
    const ColumnAttributesDialog::ColumnRow& row = dialog.columns[i];
    const int y = 115 + 25 * i;
    expectGeometry(row.group, 5, y, 380, 25);
    EXPECT_EQ(row.group->parent(), dialog.pack);
    expectGeometry(row.type, 10, y, 90, 25);
    EXPECT_EQ(row.type->textsize(), 14);
    ASSERT_EQ(row.type->size(), 4);  // three items and the end mark
    EXPECT_STREQ(row.type->menu()[0].label(), "none");
    EXPECT_STREQ(row.type->menu()[1].label(), "user");
    EXPECT_STREQ(row.type->menu()[2].label(), "filter key");
    EXPECT_EQ(row.type->value(), 0);
    expectGeometry(row.name, 105, y, 115, 25);
    expectGeometry(row.defaultValue, 225, y, 110, 25);
    expectGeometry(row.useDefault, 335, y + 5, 15, 15);
  }
  EXPECT_EQ(Fl_Group::current(), nullptr) << "adding rows leaves no group open";

  // Shown, the pack keeps every row at its height and place from the top.
  ASSERT_TRUE(ui_test::showAndDraw(w, 50, 50));
  EXPECT_EQ(dialog.heading->y(), 5);
  EXPECT_EQ(dialog.headerRow->y(), 35);
  EXPECT_EQ(dialog.locationRow->y(), 65);
  EXPECT_EQ(dialog.timeRow->y(), 90);
  EXPECT_EQ(dialog.columns[11].group->y(), 390);
  EXPECT_EQ(dialog.columns[11].group->h(), 25);
  ui_test::screenshot(w, "column_attributes_dialog");
}

// ---- CSV group ----

constexpr const char* kExistsNo[] = {
    "ask: CSV taken.csv already exists in this directory!\nIf you continue this CSV will be "
    "deleted.\nDo you wish to continue?",
    "message: New project NOT created."};

class CsvGroupTest : public ::testing::Test {
 protected:
  CsvGroupTest() {
    group_.setModifiedHook([this] { ++marks_; });
  }

  ScratchDir dir_;
  ScriptedPrompts prompts_;
  CsvGroup group_{prompts_};
  int marks_ = 0;
};

TEST_F(CsvGroupTest, NewDataSetNamesItAndOpensAColumnAttributesDialog) {
  prompts_.names.push_back(ScriptedPrompts::entry(dir_.dir(), "set.csv"));
  group_.newDataSet();
  EXPECT_EQ(prompts_.log, std::vector<std::string>{"name: Create a new csv group|New CVF name"});
  EXPECT_EQ(group_.dataSetName(), "set.csv");
  EXPECT_EQ(group_.dataSetPath(), dir_.path("set.csv"));
  EXPECT_FALSE(group_.modified());
  EXPECT_EQ(marks_, 1) << "the project now names a data set";
  ASSERT_EQ(group_.dialogCount(), 1);
  ColumnAttributesDialog* dialog = group_.dialog(0);
  EXPECT_TRUE(dialog->window->shown());
  EXPECT_EQ(dialog->columns.size(), 12u);
  EXPECT_EQ(dir_.entryCount(), 0) << "no file is written";

  // Each new data set opens a further dialog.
  prompts_.names.push_back(ScriptedPrompts::entry(dir_.dir(), "other.csv"));
  group_.newDataSet();
  EXPECT_EQ(group_.dialogCount(), 2);
  EXPECT_EQ(group_.dataSetName(), "other.csv");
}

TEST_F(CsvGroupTest, CreatingOverAnExistingFileAndAnsweringNoKeepsThePreviousNames) {
  prompts_.names.push_back(ScriptedPrompts::entry(dir_.dir(), "first.csv"));
  group_.newDataSet();
  dir_.write("taken.csv", "a,b\n");
  prompts_.log.clear();

  prompts_.names.push_back(ScriptedPrompts::entry(dir_.dir(), "taken.csv"));
  prompts_.answers.push_back(false);
  group_.newDataSet();
  EXPECT_EQ(prompts_.log, (std::vector<std::string>{"name: Create a new csv group|New CVF name",
                                                    kExistsNo[0], kExistsNo[1]}));
  EXPECT_EQ(group_.dataSetName(), "first.csv");
  EXPECT_EQ(group_.dataSetPath(), dir_.path("first.csv"));
  EXPECT_EQ(group_.dialogCount(), 1);

  prompts_.log.clear();
  prompts_.names.push_back(NameEntry{"sub/../taken.csv", dir_.dir(), dir_.path("taken.csv")});
  prompts_.answers.push_back(true);
  group_.newDataSet();
  EXPECT_EQ(prompts_.log.back(),
            "message: New project being created\nExisting Project sub/../taken.csv will be "
            "deleted when this Project is saved");
  EXPECT_EQ(group_.dataSetName(), "taken.csv");
  EXPECT_EQ(group_.dialogCount(), 2);
  EXPECT_EQ(dir_.read("taken.csv"), "a,b\n");
}

TEST_F(CsvGroupTest, AModifiedDataSetAsksBeforeItIsReplaced) {
  prompts_.names.push_back(ScriptedPrompts::entry(dir_.dir(), "work.csv"));
  group_.newDataSet();
  group_.setModified(true);
  prompts_.log.clear();
  prompts_.answers = {false, false};
  group_.newDataSet();
  group_.attachDataSet();
  EXPECT_EQ(prompts_.log,
            (std::vector<std::string>{
                "ask: CSV group[ work.csv is not saved!\nIf you continue this group will be "
                "closed without saving.\nDo you wish to continue?",
                "ask: CSV work.csv is not saved!\nIf you continue this CSV will be closed without "
                "saving.\nDo you wish to continue?"}));
  EXPECT_EQ(group_.dataSetName(), "work.csv");
  EXPECT_TRUE(prompts_.allUsed());
}

TEST_F(CsvGroupTest, AttachingAnExistingFileOnlySetsTheNames) {
  const std::string here = currentDirectory();
  ASSERT_TRUE(setCurrentDirectory(dir_.dir()));
  dir_.write("reports.csv", "user,coordSys\nname,grid\n");
  prompts_.files = {"", "reports.csv"};
  group_.attachDataSet();
  EXPECT_EQ(prompts_.log,
            (std::vector<std::string>{"file: Load an existing CSV file|CSV Files (*.csv)|1",
                                      "message: No new CSV file selected."}));
  EXPECT_EQ(marks_, 0);
  group_.attachDataSet();
  EXPECT_EQ(group_.dataSetName(), "reports.csv");
  EXPECT_EQ(group_.dataSetPath(), "reports.csv");
  EXPECT_EQ(group_.dialogCount(), 0);
  EXPECT_EQ(prompts_.log.size(), 3u);
  EXPECT_EQ(marks_, 1);
  ASSERT_TRUE(setCurrentDirectory(here));
}

TEST_F(CsvGroupTest, AttachingAMissingFileOffersToCreateIt) {
  const std::string missing = dir_.path("new.csv");
  prompts_.files = {missing, missing};
  prompts_.answers = {false, true};
  const std::string offer =
      "ask: Project new.csv does not exists in this directory!\nDo you want to create a new "
      "project?";
  group_.attachDataSet();
  EXPECT_EQ(prompts_.log[1], offer);
  EXPECT_EQ(prompts_.log[2], "message: New project NOT created.");
  EXPECT_EQ(group_.dataSetName(), "");
  group_.attachDataSet();
  EXPECT_EQ(prompts_.log[4], offer);
  EXPECT_EQ(group_.dataSetName(), "new.csv");
  EXPECT_EQ(group_.dialogCount(), 1);
}

TEST(ProjectsWithRealGroups, NewDataSetWithoutAProjectShowsOnlyTheProjectRequiredChoice) {
  ScriptedPrompts prompts;
  ProjectManager manager(prompts, [&prompts](int index) -> std::unique_ptr<ProjectGroup> {
    if (index == kLocalStateGroup) return std::make_unique<LocalStateGroup>(prompts);
    if (index == kCsvGroup) return std::make_unique<CsvGroup>(prompts);
    return nullptr;
  });
  prompts.choices.push_back(0);
  auto* csv = dynamic_cast<CsvGroup*>(manager.requireGroup(kCsvGroup));
  if (csv != nullptr) csv->newDataSet();
  EXPECT_EQ(csv, nullptr);
  ASSERT_EQ(prompts.log.size(), 1u);
  EXPECT_EQ(prompts.log[0].rfind("choose: You must have a project open", 0), 0u);

  // With a project, the data set marks it modified and the CSV group stores its path.
  ScratchDir dir;
  manager.openPath(dir.path("p.mpr"));
  prompts.names.push_back(ScriptedPrompts::entry(dir.dir(), "d.csv"));
  dynamic_cast<CsvGroup*>(manager.group(kCsvGroup))->newDataSet();
  EXPECT_TRUE(manager.modified());
  ASSERT_TRUE(manager.writeProject());
  EXPECT_EQ(dir.read("p.mpr"),
            "BEGIN LOCAL_STATE_group\nEND\nBEGIN CSV_group\n\t" + dir.path("d.csv") + "\nEND\n");
}

// ---- local-state group drawing ----

constexpr int kViewWidth = 301;
constexpr int kViewHeight = 201;
constexpr double kCentreX = 10.0;
constexpr double kCentreY = 32.0;

/// Lit red: the red channel well above the other two.
bool isReddish(scene_test::Rgb p) {
  return p.r > 60 && p.r > 2 * p.g && p.r > 2 * p.b;
}

TEST(LocalStateDrawing, EveryFrameRereadsTheStateFilesAndDrawsTheirMarkers) {
  scene_test::ShownSurface shown(kViewWidth, kViewHeight);
  ASSERT_TRUE(shown.shown());
  ViewCamera* camera = shown.surface().camera();
  camera->setCenter(kCentreX, kCentreY);
  camera->setExtent(1.0);
  ScratchDir dir;
  ScriptedPrompts prompts;
  LocalStateGroup group(prompts);
  SceneFrame frame;
  frame.inputs().drawGroups = [&group](const DrawContext& context) { group.draw(context); };
  shown.add(SceneFrame::drawCallback, &frame);

  const std::string path =
      dir.write("a.txt", "<irq1>\n<INDEX id=\"1\">\n$10,32,1,0,1,0*\n</irq1>\n");
  ASSERT_TRUE(group.addStateFile(path));
  ASSERT_TRUE(group.addStateFile(dir.path("missing.txt")));  // draws nothing, breaks nothing
  ASSERT_TRUE(shown.drawFrame());
  EXPECT_GT(shown.count(130, 60, 171, 121, isReddish), 0) << "the marker at the view centre";
  ASSERT_NE(group.element(0)->firstMarker(), nullptr);

  // The same index again: an element keeps no index between reads, so the marker is read anew
  // from wherever the file now puts it.
  dir.write("a.txt", "<irq1>\n<INDEX id=\"1\">\n$10.4,32,1,0,1,0*\n</irq1>\n");
  ASSERT_TRUE(shown.drawFrame());
  EXPECT_EQ(shown.count(130, 60, 171, 121, isReddish), 0);
  EXPECT_GT(shown.count(240, 60, 301, 121, isReddish), 0);

  // A file holding only state records adds nothing to what is drawn.
  ASSERT_TRUE(group.addStateFile(dir.write("b.txt", "<dgc>\n$7,1,2*\n</dgc>\n")));
  ASSERT_TRUE(shown.drawFrame());
  EXPECT_EQ(shown.count(0, 0, 230, kViewHeight, isReddish), 0);
  EXPECT_EQ(group.element(2)->firstMarker(), nullptr);
}

}  // namespace
