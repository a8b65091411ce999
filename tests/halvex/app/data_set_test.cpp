// The project's field reports in the windowed tracker under a virtual X server: the popup of a
// picked report, the reload after the converter rewrites the file, and the column attributes
// dialog's rows reaching the project file and the model when it closes.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/callback_list.h"
#include "common/platform/paths.h"
#include "common/popup/mouse_button_poller.h"
#include "common/popup/popup_tool_window.h"
#include "halvex/app/kt_map_window.h"
#include "halvex/project/column_attributes_dialog.h"
#include "halvex/project/csv_group.h"
#include "halvex/view/scene.h"
#include "tests/common/window_test_support.h"
#include "tests/halvex/app/scratch_tracker.h"
#include "tests/support/scratch_dir.h"

namespace {

using window_test::ButtonPoller;
using window_test::pump;
using window_test::waitUntil;
using window_test::xdo;

/// Reports in grid zone 38S, as the converter reads its grid references.
const char* const kReports[] = {
    "071230Dec ZONE 38S ambush on convoy on Route Blue at GR MB 12345 67890. Two vehicles hit.",
    "080615Dec patrol on Route 5 at GR MB 22345 57890, quiet night",
    "091000Dec contact on bridge 4 at GR MB 34567 89012. Enemy withdrew north.",
    "101145Dec checkpoint on Route Blue at GR MB 14567 69012. Traffic normal.",
    "111200Dec ambush on patrol on Route 5 at GR MB 24567 59012. One wounded.",
};

/// A tracker window built in a scratch folder, the current folder while it lives, with a
/// project there ("field.mpr") whose CSV group names `reports.csv` (relative to the folder).
class DataSetTest : public ScratchTrackerTest {
 protected:
  DataSetModel& dataSet() { return window_->model().dataSet(); }
  CsvGroup* csv() { return dynamic_cast<CsvGroup*>(window_->projects().group(kCsvGroup)); }

  /// Converts the first `count` reports with the real converter into reports.csv.
  void convert(int count) {
    std::string text;
    for (int k = 0; k < count; ++k) text += std::string(kReports[k]) + "\n";
    temp_.write("reports.cast", text);
    const std::string command = std::string(DUNMORE_PATH) + " --csv reports.csv reports.cast";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  /// Opens the project naming reports.csv with `columnLines` in its CSV group.
  void openProject(const std::string& columnLines = std::string()) {
    temp_.write("field.mpr", "BEGIN CSV_group\n\treports.csv\n" + columnLines + "END\n");
    window_->projects().openPath("field.mpr");
    ASSERT_NE(csv(), nullptr);
  }

  /// Runs loop passes until the model holds `rows` rows.
  bool passUntilRows(size_t rows, double seconds = 5) {
    return waitUntil(
        [&] {
          window_->pass();
          return dataSet().dataSet() != nullptr && dataSet().dataSet()->rows.size() == rows;
        },
        seconds);
  }
};

TEST_F(DataSetTest, PickedRowShowsItsFieldsInAPopupThatAPressOutsideCloses) {
  convert(3);
  openProject();
  ASSERT_TRUE(passUntilRows(3));
  window_->mainWindow->show();
  ASSERT_TRUE(waitUntil([&] { return window_->mainWindow->visible() != 0; }));
  CallbackList list;
  EventToolRegistration registration(list);
  ReportPopup& popup = window_->dataSets().popup();

  // Nothing picked, and a name that stands for no row, show nothing.
  window_->projects().pickOrPrompt(0);
  int unrelated = 0;
  window_->projects().pickOrPrompt(pickNames().nameFor(&unrelated));
  pump(0.1);
  EXPECT_FALSE(popup.shown());

  ASSERT_TRUE(window_test::pointerTo(200, 200));
  window_->projects().pickOrPrompt(pickNames().nameFor(dataSet().pickObject(1)));
  ASSERT_TRUE(waitUntil([&] { return popup.shown(); }));
  const std::string text = popup.text();
  EXPECT_NE(text.find("Action: patrol"), std::string::npos) << text;
  EXPECT_NE(text.find("Attacked Route: Route 5"), std::string::npos) << text;
  std::string joined;
  for (const std::string& line : dataSet().fieldLines(1))
    joined += (joined.empty() ? "" : "\n") + line;
  EXPECT_EQ(text, joined);
  // At the pointer, moved in only where the screen ends.
  EXPECT_EQ(popup.window()->x(), 200);
  EXPECT_EQ(popup.window()->y(), 200);

  // A press outside closes it.
  const int outsideX = popup.window()->x() + popup.window()->w() + 20;
  ASSERT_TRUE(window_test::pointerTo(outsideX, 100));
  ButtonPoller poller(list);
  ASSERT_TRUE(xdo("mousedown 1"));
  poller.run(2, [&] { return !popup.shown(); });
  ASSERT_TRUE(xdo("mouseup 1"));
  EXPECT_FALSE(popup.shown());

  // The name of a row of a set read before shows nothing once the file is read again.
  const uint32_t old = pickNames().nameFor(dataSet().pickObject(0));
  convert(4);
  ASSERT_TRUE(passUntilRows(4));
  window_->projects().pickOrPrompt(old);
  pump(0.1);
  EXPECT_FALSE(popup.shown());
}

TEST_F(DataSetTest, ConvertingAgainWhileTheTrackerRunsReloadsTheRows) {
  convert(2);
  openProject();
  ASSERT_TRUE(passUntilRows(2));
  EXPECT_EQ(dataSet().markers().size(), 2u);
  const long reads = window_->model().dataSetWatch().reads();
  convert(5);
  // The passes go on while the watch reads the new file on its own thread.
  long passes = 0;
  EXPECT_TRUE(waitUntil(
      [&] {
        window_->pass();
        ++passes;
        return dataSet().dataSet() != nullptr && dataSet().dataSet()->rows.size() == 5;
      },
      5));
  EXPECT_GT(window_->model().dataSetWatch().reads(), reads);
  EXPECT_GT(passes, 1);
  EXPECT_EQ(dataSet().markers().size(), 5u);

  // The window lists the "Action" values; unchecking one hides its rows.
  window_->menuCommand(MenuCommand::kShowFieldReports);
  DataSetWindowUi& ui = window_->dataSets().ui();
  ASSERT_TRUE(waitUntil([&] { return ui.window->visible() != 0; }));
  ASSERT_EQ(ui.valueButtons.size(), 4u);  // ambush, patrol, contact, checkpoint
  EXPECT_STREQ(ui.valueButtons[0]->label(), "ambush (2)");
  ui.valueButtons[0]->value(0);
  ui.valueButtons[0]->do_callback();
  EXPECT_EQ(dataSet().markers().size(), 3u);
  EXPECT_FALSE(dataSet().filterValues()[0].shown);

  // Closing the project stops watching: no data set.
  window_->projects().closeProject();
  EXPECT_TRUE(waitUntil([&] {
    window_->pass();
    return dataSet().dataSet() == nullptr;
  }));
}

/// Fills the name dialog shown modal with `name` in the current folder and presses OK.
void acceptNameDialog(void* name) {
  Fl_Window* dialog = Fl::modal();
  if (dialog == nullptr) {
    Fl::repeat_timeout(0.05, acceptNameDialog, name);
    return;
  }
  Fl_Input* inputs[2] = {nullptr, nullptr};
  Fl_Button* ok = nullptr;
  int found = 0;
  for (int k = 0; k < dialog->children(); ++k) {
    Fl_Widget* child = dialog->child(k);
    if (auto* input = dynamic_cast<Fl_Input*>(child); input != nullptr && found < 2) {
      inputs[found++] = input;
    }
    if (child->label() != nullptr && std::string(child->label()) == "OK") {
      ok = dynamic_cast<Fl_Button*>(child);
    }
  }
  ASSERT_TRUE(found == 2 && ok != nullptr);
  inputs[0]->value(static_cast<const char*>(name));
  inputs[1]->value(currentDirectory().c_str());
  ok->do_callback();
}

/// Hides the modal message box of a save.
void dismissMessage(void*) {
  if (Fl::modal() != nullptr) {
    Fl::modal()->hide();
  } else {
    Fl::repeat_timeout(0.05, dismissMessage);
  }
}

TEST_F(DataSetTest, ClosingTheDialogMakesItsRowsTheColumnLinesAndTheModelsStyle) {
  window_->projects().openPath("field.mpr");  // a new, empty project
  Fl::add_timeout(0.05, acceptNameDialog, const_cast<char*>("reports.csv"));
  window_->menuCommand(MenuCommand::kNewCsvDataSet);
  ASSERT_NE(csv(), nullptr);
  ASSERT_EQ(csv()->dialogCount(), 1);
  ColumnAttributesDialog& dialog = *csv()->dialog(0);
  EXPECT_EQ(csv()->dataSetName(), "reports.csv");

  // Row 1: "Attacked Route" as the label, "unknown" for empty fields; row 3: the filter key;
  // row 4: blanks only, no row.
  dialog.columns[0].type->value(1);
  dialog.columns[0].name->value("Attacked Route");
  dialog.columns[0].defaultValue->value("unknown");
  dialog.columns[0].useDefault->value(1);
  dialog.columns[2].type->value(2);
  dialog.columns[2].name->value("Zone");
  dialog.columns[3].name->value("  ");
  EXPECT_TRUE(csv()->columnLines().empty());  // nothing applies before the dialog closes
  dialog.window->do_callback();               // what the window manager's close does
  EXPECT_FALSE(dialog.window->shown());
  EXPECT_EQ(csv()->columnLines(),
            (std::vector<std::string>{"column 1 user:Attacked%20Route:unknown:1",
                                      "column 3 filter%20key:Zone::0"}));
  EXPECT_TRUE(window_->projects().modified());

  Fl::add_timeout(0.05, dismissMessage);
  ASSERT_TRUE(window_->projects().writeProject());
  const std::string written = temp_.read("field.mpr");
  EXPECT_NE(written.find("reports.csv\n\tcolumn 1 user:Attacked%20Route:unknown:1\n"
                         "\tcolumn 3 filter%20key:Zone::0\nEND\n"),
            std::string::npos)
      << written;

  // The converter writes the file named; the model takes the rows with the dialog's style.
  convert(2);
  ASSERT_TRUE(passUntilRows(2));
  const CsvDataSet& set = *dataSet().dataSet();
  EXPECT_EQ(dataSet().style().labelColumns, (std::vector<int>{set.columnNamed("Attacked Route")}));
  EXPECT_EQ(dataSet().style().filterColumn, set.columnNamed("Zone"));
  EXPECT_EQ(dataSet().filterColumnName(), "Zone");
  // Reopened, the project gives the model the same attributes.
  window_->projects().openPath("field.mpr");
  window_->pass();
  ASSERT_EQ(dataSet().attributes().size(), 2u);
  EXPECT_EQ(dataSet().attributes()[1].name, "Zone");
}

}  // namespace
