// The converter's window under a virtual X server: its layout and menu, the report file rows
// with a real pointer, the popup below a row, and conversions compared with the command line.
#include "dunmore/converter_window.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Pack.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Scroll.H>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "cast_test_support.h"
#include "common/callback_list.h"
#include "common/name_registry.h"
#include "common/platform/paths.h"
#include "common/popup/mouse_button_poller.h"
#include "common/popup/popup_tool_window.h"
#include "tests/common/window_test_support.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using dunmore::ConverterWindow;
using dunmore::ReportFileRow;
using window_test::pointerTo;
using window_test::pump;
using window_test::showAndWait;
using window_test::xdo;

const char kReport[] = "071230Dec ZONE 38S ambush on convoy at GR MB 12345 67890. Two hit.\n";
const char kOtherReport[] = "071231Dec hit.\n";
const char kBrokenReport[] = "071230Dec\n071231Dec hit.\n";
/// A point over the bare root window, away from every window of these tests.
constexpr int kFarX = 1000;
constexpr int kFarY = 800;

/// A scratch tree with the converter run from its "run" folder: run/a.cast, run/b.cast,
/// reports/day1.cast and reports/broken.cast; the registered event list; the window.
class ConverterWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fl_open_display();
    ASSERT_NE(fl_display, nullptr);
    NameRegistry::instance().add(PopupToolWindow::kEventToolName, &list_);
    root_ = fs::canonical(scratch_.dir()).string();
    fs::create_directories(root_ + "/run");
    fs::create_directories(root_ + "/reports");
    write("run/a.cast", kReport);
    write("run/b.cast", kOtherReport);
    write("reports/day1.cast", kReport);
    write("reports/broken.cast", kBrokenReport);
    here_ = currentDirectory();
    ASSERT_TRUE(setCurrentDirectory(root_ + "/run"));
    ASSERT_TRUE(pointerTo(kFarX, kFarY));
    window_ = std::make_unique<ConverterWindow>(&poller_);
  }
  void TearDown() override {
    xdo("mouseup 1 mouseup 3");
    window_.reset();
    setCurrentDirectory(here_);
    NameRegistry::instance().remove(PopupToolWindow::kEventToolName, &list_);
  }

  void write(const std::string& name, const std::string& text) {
    std::FILE* f = std::fopen(path(name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  /// Absolute path of `name` in the scratch tree, as the chooser gives it.
  std::string path(const std::string& name) const { return root_ + "/" + name; }

  void showWindow() {
    ASSERT_TRUE(showAndWait(window_->window()));
    pump(0.1);
  }

  /// Runs the program's loop: events, then a sample of the buttons; until `done` or timeout.
  bool loop(double seconds, const std::function<bool()>& done = nullptr) {
    const auto end = window_test::Clock::now() + std::chrono::duration<double>(seconds);
    while (window_test::Clock::now() < end && !(done && done())) {
      Fl::wait(0.01);
      poller_.poll();
    }
    return done ? done() : true;
  }

  /// Screen position of a point of row i, `dx` from its left edge, at half its height.
  void rowPoint(int i, int dx, int& x, int& y) const {
    const ReportFileRow* row = window_->row(i);
    x = window_->window()->x_root() + row->x() + dx;
    y = window_->window()->y_root() + row->y() + row->h() / 2;
  }

  CallbackList list_;
  ScratchDir scratch_;
  std::string root_;
  std::string here_;
  std::unique_ptr<ConverterWindow> window_;
  // Samples the buttons as the window program does; the window's chooser waits use it too.
  MouseButtonPoller poller_;
};

void expectGeometry(const Fl_Widget* w, int x, int y, int width, int height) {
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(std::make_tuple(w->x(), w->y(), w->w(), w->h()), std::make_tuple(x, y, width, height));
}

TEST_F(ConverterWindowTest, LaidOutAsTheConvertersWindow) {
  const Fl_Window* w = window_->window();
  EXPECT_EQ(w->label(), nullptr);
  expectGeometry(w, 0, 0, 363, 140);
  expectGeometry(window_->menuBar(), 0, 0, 363, 25);
  expectGeometry(window_->scroll(), 0, 25, 363, 115);
  EXPECT_EQ(window_->scroll()->type(), Fl_Scroll::VERTICAL_ALWAYS);
  Fl_Pack* pack = window_->pack();
  expectGeometry(pack, 0, 25, 363, 115);
  EXPECT_EQ(pack->parent(), window_->scroll());
  EXPECT_EQ(window_->scroll()->resizable(), pack);
  EXPECT_EQ(pack->box(), FL_THIN_UP_FRAME);
  EXPECT_EQ(pack->color(), 47u);
  EXPECT_EQ(pack->children(), 0);

  PopupToolWindow* popup = window_->popup();
  EXPECT_EQ(popup->variant(), PopupToolWindow::Variant::kConverter);
  EXPECT_EQ(popup->w(), 191);
  EXPECT_EQ(popup->h(), 33);
  EXPECT_FALSE(popup->border());
  EXPECT_FALSE(popup->modal());
  EXPECT_EQ(popup->box(), FL_FLAT_BOX);
  EXPECT_EQ(popup->color(), 1u);
  EXPECT_FALSE(popup->shown());
  ASSERT_EQ(popup->children(), 1);
  Fl_Widget* inner = popup->child(0);
  expectGeometry(inner, 0, 0, 191, 33);
  EXPECT_EQ(inner->box(), FL_NO_BOX);
  EXPECT_EQ(inner->color(), 2u);
}

TEST_F(ConverterWindowTest, OnlyAddReportAndConvertReportsCanBeChosen) {
  using Item = std::tuple<std::string, bool, bool>;  // label, shown, active
  std::vector<Item> items;
  for (const Fl_Menu_Item* m = window_->menuBar()->menu(); m->label() != nullptr || m[1].label();
       ++m) {
    if (m->label() == nullptr) continue;
    items.emplace_back(m->label(), m->visible() != 0, m->active() != 0);
    EXPECT_EQ(m->labelsize(), 14) << m->label();
    EXPECT_EQ(m->labelcolor(), FL_BLACK) << m->label();
    if (m->callback() != nullptr) {
      EXPECT_EQ(m->user_data(), window_.get()) << m->label();
    }
  }
  const std::vector<Item> expected = {
      {"file", true, true},
      {"open configuration file", false, false},
      {"append configuration file", false, false},
      {"save configuration file", false, false},
      {"add report", true, true},
      {"convert reports", true, true},
      {"view conversion", false, false},
      {"exit", false, false},
      {"help", true, true},
      {"about dunmore", true, false},
  };
  EXPECT_EQ(items, expected);
}

TEST_F(ConverterWindowTest, ChoosersStartHereWithTheTextFilter) {
  const std::string here = currentDirectory();
  for (int i = 0; i < ConverterWindow::kChooserCount; ++i) {
    Fl_File_Chooser* c = window_->chooser(static_cast<ConverterWindow::Chooser>(i));
    EXPECT_STREQ(c->label(), "Save the current Filter settings");
    EXPECT_STREQ(c->filter(), "*.txt");  // the pattern of "text files (*.txt)"
    EXPECT_EQ(c->directory(), here);
    EXPECT_EQ(c->type(),
              i == ConverterWindow::kAddReport ? Fl_File_Chooser::MULTI : Fl_File_Chooser::CREATE)
        << i;
  }
}

TEST_F(ConverterWindowTest, DuplicatesAreSkippedWithinAndAcrossSelections) {
  EXPECT_EQ(window_->addReportFiles({path("run/a.cast"), path("run/b.cast"), path("run/a.cast")}),
            2);
  // The same files under other spellings, and a directory, which is no report file.
  EXPECT_EQ(window_->addReportFiles(
                {path("run/./b.cast"), path("reports/../run/a.cast"), path("reports"), ""}),
            0);
  EXPECT_EQ(window_->reportFiles(), (std::vector<std::string>{"a.cast", "b.cast"}));
  ASSERT_EQ(window_->pack()->children(), 2);
  EXPECT_EQ(window_->row(0)->name(), "a.cast");
  EXPECT_EQ(window_->row(1)->name(), "b.cast");
  EXPECT_EQ(window_->row(2), nullptr);
}

TEST_F(ConverterWindowTest, RowsHoldTheBarAndTheNameOneBelowTheOther) {
  write("run/x@y.cast", kReport);
  window_->addReportFiles({path("reports/day1.cast"), path("run/x@y.cast")});
  showWindow();
  for (int i = 0; i < 2; ++i) {
    const ReportFileRow* row = window_->row(i);
    // Laid out by the pack, inside its frame and as wide as it.
    const int y = 26 + i * ReportFileRow::kHeight;
    expectGeometry(row, 1, y, 361, 20);
    EXPECT_EQ(row->box(), FL_NO_BOX);
    expectGeometry(row->barBox(), 22, y + 1, 19, 20);
    EXPECT_STREQ(row->barBox()->label(), "|");
    EXPECT_EQ(row->barBox()->box(), FL_FLAT_BOX);
    expectGeometry(row->nameBox(), 41, y + 1, 361 - 41, 19);
    EXPECT_EQ(row->nameBox()->box(), FL_FLAT_BOX);
    EXPECT_EQ(row->nameBox()->align() & (FL_ALIGN_LEFT | FL_ALIGN_INSIDE),
              FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  }
  EXPECT_EQ(window_->row(0)->name(), "../reports/day1.cast");
  EXPECT_STREQ(window_->row(0)->nameBox()->label(), "../reports/day1.cast");
  // '@' is drawn as itself, not as the start of a symbol.
  EXPECT_EQ(window_->row(1)->name(), "x@y.cast");
  EXPECT_STREQ(window_->row(1)->nameBox()->label(), "x@@y.cast");
}

TEST_F(ConverterWindowTest, RowUnderThePointerShowsASunkenFrameUntilItLeaves) {
  window_->addReportFiles({path("run/a.cast"), path("run/b.cast")});
  showWindow();
  Fl_Window* w = window_->window();
  // The frame's top edge, left of the boxes, where nothing else draws.
  const int edgeX = window_->row(0)->x() + 5;
  const int edgeY = window_->row(0)->y();
  const unsigned long plain = window_test::pixelAt(w, edgeX, edgeY);

  int x = 0, y = 0;
  rowPoint(0, 100, x, y);
  ASSERT_TRUE(pointerTo(x, y));
  pump(0.1);
  EXPECT_TRUE(window_->row(0)->hovered());
  EXPECT_FALSE(window_->row(1)->hovered());
  EXPECT_EQ(window_->row(0)->box(), FL_THIN_DOWN_FRAME);
  EXPECT_NE(window_test::pixelAt(w, edgeX, edgeY), plain);

  rowPoint(1, 100, x, y);
  ASSERT_TRUE(pointerTo(x, y));
  pump(0.1);
  EXPECT_FALSE(window_->row(0)->hovered());
  EXPECT_TRUE(window_->row(1)->hovered());
  // The frame is drawn away again, though the row has no box of its own to cover it.
  EXPECT_EQ(window_test::pixelAt(w, edgeX, edgeY), plain);

  ASSERT_TRUE(pointerTo(kFarX, kFarY));
  pump(0.1);
  EXPECT_FALSE(window_->row(1)->hovered());
}

TEST_F(ConverterWindowTest, RightPressShowsThePopupBelowTheRowUntilAPressElsewhere) {
  window_->addReportFiles({path("run/a.cast"), path("run/b.cast")});
  showWindow();
  PopupToolWindow* popup = window_->popup();
  Fl_Window* w = window_->window();
  int x = 0, y = 0;
  rowPoint(1, 200, x, y);
  ASSERT_TRUE(xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " mousedown 3"));
  EXPECT_TRUE(loop(2, [&] { return popup->shown() && popup->visible(); }));
  // The press that opened it, seen by the loop only now, does not count as one outside it.
  loop(0.2);
  ASSERT_TRUE(popup->shown());
  EXPECT_EQ(popup->x(), w->x_root() + window_->row(1)->x());
  EXPECT_EQ(popup->y(), w->y_root() + window_->row(1)->y() + ReportFileRow::kHeight);
  EXPECT_EQ(list_.size(), 1u);
  ASSERT_TRUE(xdo("mouseup 3"));
  loop(0.2);
  EXPECT_TRUE(popup->shown());

  // On the other row it moves below that one, with still one entry.
  rowPoint(0, 200, x, y);
  ASSERT_TRUE(xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 3"));
  loop(0.3);
  ASSERT_TRUE(popup->shown());
  EXPECT_EQ(popup->y(), w->y_root() + window_->row(0)->y() + ReportFileRow::kHeight);
  EXPECT_EQ(list_.size(), 1u);

  // Held for a while, as a hand does: the loop samples the buttons, it sees no events.
  ASSERT_TRUE(
      xdo("mousemove " + std::to_string(kFarX) + " " + std::to_string(kFarY) + " mousedown 1"));
  EXPECT_TRUE(loop(2, [&] { return !popup->shown(); }));
  ASSERT_TRUE(xdo("mouseup 1"));
  EXPECT_EQ(list_.size(), 0u);
}

TEST_F(ConverterWindowTest, PackTakesTheWindowsWidth) {
  window_->addReportFiles({path("run/a.cast")});
  showWindow();
  Fl_Pack* pack = window_->pack();
  const int x = pack->x(), y = pack->y(), h = pack->h();
  window_->window()->size(500, 220);
  pump(0.2);
  EXPECT_EQ(std::make_tuple(pack->x(), pack->y(), pack->w()), std::make_tuple(x, y, 500));
  EXPECT_EQ(pack->h(), h);
  EXPECT_EQ(window_->row(0)->w(), 500 - 2);
}

TEST_F(ConverterWindowTest, FailedFilesAreNamedInTheMessageAndTheRestConverted) {
  window_->addReportFiles(
      {path("reports/broken.cast"), path("run/a.cast"), path("reports/missing.cast")});
  const dunmore::WindowConversion done = window_->convertInto(path("out.csv"));
  EXPECT_EQ(done.csvName, "../out.csv");
  EXPECT_TRUE(done.result.csvWritten);
  EXPECT_EQ(done.result.failed, 2);
  EXPECT_EQ(done.errors,
            "../reports/broken.cast: 1: Syntax error\n"
            ": 1: Unable to open file ||../reports/missing.cast||\n\n");
  EXPECT_EQ(done.message,
            "Reports converted into CSV file named ../out.csv\n"
            "\n2 of 3 report files could not be read to their end (reports before an error "
            "are kept):\n"
            "../reports/broken.cast: 1: Syntax error\n"
            ": 1: Unable to open file ||../reports/missing.cast||\n");
  const std::string csv = casttest::readFile(path("out.csv"));
  EXPECT_NE(csv.find("\n0,1,1,MB,12345,67890,"), std::string::npos);
}

TEST_F(ConverterWindowTest, CsvFileThatCannotBeWrittenIsReportedAsSuch) {
  window_->addReportFiles({path("run/a.cast")});
  const dunmore::WindowConversion done = window_->convertInto(path("run/no/such/out.csv"));
  EXPECT_FALSE(done.result.csvWritten);
  EXPECT_EQ(done.message, "Could not write the CSV file named no/such/out.csv\n");
  EXPECT_FALSE(fs::exists(path("run/no")));
}

TEST_F(ConverterWindowTest, ProgressShowsAfterASecondWithTheMenuInactiveUntilTheEnd) {
  showWindow();
  dunmore::ConversionProgress progress{2, 5, 450, 1000, 0.9};  // 2 of 5 files, 45 %
  window_->showProgress(progress);
  Fl_Progress* bar = window_->progressBar();
  EXPECT_FALSE(bar->visible());
  EXPECT_TRUE(window_->menuBar()->active());
  progress.seconds = 1.2;
  window_->showProgress(progress);
  EXPECT_TRUE(bar->visible());
  EXPECT_FALSE(window_->menuBar()->active());  // the list cannot change under the conversion
  EXPECT_EQ(bar->value(), 45.0f);
  EXPECT_STREQ(bar->label(), "2 of 5 files");
  window_->hideProgress();
  EXPECT_FALSE(bar->visible());
  EXPECT_TRUE(window_->menuBar()->active());
}

TEST(ConversionMessage, QuotesTheFirstErrorLinesAndCountsTheRest) {
  dunmore::ConvertResult result;
  result.parsed = 1;
  result.failed = 3;
  result.csvWritten = true;
  std::string errors = std::string(200, 'e') + "\n\n";
  for (int i = 1; i <= 9; ++i) errors += "f" + std::to_string(i) + ": 1: Syntax error\n";
  const std::string message = dunmore::conversionMessage("out.csv", result, errors);
  std::string expected =
      "Reports converted into CSV file named out.csv\n"
      "\n3 of 4 report files could not be read to their end (reports before an error are "
      "kept):\n" +
      std::string(160, 'e') + "...\n";
  for (int i = 1; i <= 7; ++i) expected += "f" + std::to_string(i) + ": 1: Syntax error\n";
  expected += "(2 more lines on standard error)\n";
  EXPECT_EQ(message, expected);
}

}  // namespace
