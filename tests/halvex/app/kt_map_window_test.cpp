// The windowed tracker's main window object under a virtual X server, driven through its
// controls and with real pointer and key input from xdotool.
#include "halvex/app/kt_map_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Value_Input.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/callback_list.h"
#include "common/name_registry.h"
#include "common/platform/paths.h"
#include "common/popup/popup_tool_window.h"
#include "halvex/maps/picture_limit.h"
#include "halvex/ui/interaction_tool_window.h"
#include "halvex/view/gl_draw_surface.h"
#include "tests/support/scratch_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

/// Runs the toolkit until `done` holds or five seconds pass.
bool pumpUntil(const std::function<bool()>& done) {
  const auto limit = Clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (Clock::now() > limit) return false;
    Fl::wait(0.02);
  }
  return true;
}

/// Runs the toolkit for `seconds`.
void pumpFor(double seconds) {
  const auto limit = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < limit) Fl::wait(0.02);
}

/// Clicks the middle of `widget` with the real pointer.
void click(Fl_Widget* widget) {
  Fl_Window* top = widget->top_window();
  const int x = top->x() + widget->x() + widget->w() / 2;
  const int y = top->y() + widget->y() + widget->h() / 2;
  const std::string command =
      "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1";
  ASSERT_EQ(std::system(command.c_str()), 0);
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    start_ = currentDirectory();
    ASSERT_TRUE(setCurrentDirectory(std::string(HALVEX_SOURCE_DIR) + "/demo/halvex"));
    window_ = std::make_unique<KT_mapWindow>("", "demo");
    window_->mainWindow->position(0, 0);
  }
  void TearDown() override {
    window_.reset();
    setCurrentDirectory(start_);
  }
  std::string start_;
  std::unique_ptr<KT_mapWindow> window_;
};

TEST_F(MainWindowTest, TitleSizeAndTheButtonsOpenTheirWindows) {
  KT_mapWindow& w = *window_;
  w.mainWindow->show();
  ASSERT_TRUE(pumpUntil([&] { return w.mainWindow->visible() != 0; }));
  pumpFor(0.3);  // mapped and drawn before the first click
  EXPECT_STREQ(w.mainWindow->label(),
               "Kestrane / Polvarin: Wayloom:  Version 0.15 - Mon Sep 12 11:40:05 2005");
  EXPECT_EQ(w.mainWindow->w(), 837);
  EXPECT_EQ(w.mainWindow->h(), 877);
  // The menu bar leaves the four buttons free to press.
  EXPECT_LE(w.menuBar->x() + w.menuBar->w(), w.filesButton->x());

  const std::vector<std::pair<Fl_Widget*, Fl_Window*>> buttons = {
      {w.inputsButton, w.inputsDialog().window},
      {w.outputsButton, w.outputsDialog().window},
      {w.filesButton, w.masterConfigDialog().window},
      {w.graphicsButton, w.toolWindow().window}};
  for (const auto& [button, dialog] : buttons) {
    EXPECT_FALSE(dialog->shown());
    click(button);
    EXPECT_TRUE(pumpUntil([&] { return dialog->shown() != 0; })) << button->label();
    // Without a window manager the dialog opens over the button strip: out of the way.
    dialog->hide();
    pumpFor(0.1);
  }
  EXPECT_STREQ(w.inputsDialog().window->label(),
               "Kestrane / Polvarin :  Input/Output definitions: Inputs");
  EXPECT_STREQ(w.outputsDialog().window->label(),
               "Kestrane / Polvarin :  Input/Output definitions: Outputs");
  EXPECT_STREQ(w.masterConfigDialog().window->label(),
               "Kestrane / Polvarin :  Master Configuration File");
  EXPECT_STREQ(w.toolWindow().window->label(), "Kestrane / Polvarin : Wayloom Preferences");
}

TEST_F(MainWindowTest, ConfigurationFillsTheChoicesAndDialogs) {
  KT_mapWindow& w = *window_;
  setMapPictureLimit(5);
  w.loadConfiguration("demo.cfg");
  EXPECT_EQ(mapPictureLimit(), kDefaultMapPictureLimit);  // The definitions' map picture limit.
  Fl_Choice* target = w.toolWindow().targetChoice;
  ASSERT_EQ(target->size() - 1, 8);  // one item per node, plus the closing item
  EXPECT_STREQ(target->menu()[0].label(), "001: Command post");
  EXPECT_STREQ(target->menu()[2].label(), "003: Scout, north");
  // The preferences choose target 1 and chase 2, and three close vehicles.
  EXPECT_EQ(target->value(), 0);
  EXPECT_EQ(w.toolWindow().chaseChoice->value(), 1);
  EXPECT_STREQ(w.toolWindow().closeChoice->menu()[0].label(), "NONE");
  EXPECT_EQ(w.toolWindow().closeChoice->value(), 3);
  // The definitions select the local state input and output.
  EXPECT_TRUE(w.inputsDialog().localButton->value());
  EXPECT_FALSE(w.inputsDialog().multicastButton->value());
  EXPECT_STREQ(w.inputsDialog().localFilePath->value(), "replay.txt");
  EXPECT_TRUE(w.outputsDialog().localStateButton->value());
  EXPECT_STREQ(w.outputsDialog().generationLabel->label(), "State File Generation is Off");
  EXPECT_STREQ(w.outputsDialog().counterBox->label(), "Counter 00000000000000");
  EXPECT_STREQ(w.masterConfigDialog().masterPath->value(), "demo.cfg");
  EXPECT_STREQ(w.masterConfigDialog().files[MasterConfigDialogUi::kNodeFile].path->value(),
               "nodes.txt");

  // Choosing another target takes its node's id.
  target->value(2);
  target->do_callback();
  EXPECT_EQ(w.model().settings().targetId, 3);
}

TEST_F(MainWindowTest, ResetKeepsTheChoicesOnTheSettingsInForce) {
  KT_mapWindow& w = *window_;
  w.loadConfiguration("demo.cfg");
  Fl_Choice* target = w.toolWindow().targetChoice;
  target->value(2);
  target->do_callback();
  w.toolWindow().resetButton->do_callback();
  EXPECT_EQ(w.model().settings().targetId, 3);
  EXPECT_EQ(target->value(), 2);
  EXPECT_EQ(w.toolWindow().chaseChoice->value(), 1);
  EXPECT_EQ(w.toolWindow().closeChoice->value(), 3);
}

// The check item and the setting agree whether the menu or the preferences change it.
TEST_F(MainWindowTest, LabelDeclutterItemShowsTheSetting) {
  KT_mapWindow& w = *window_;
  const Fl_Menu_Item* item = w.menuBar->find_item("view/label declutter");
  ASSERT_NE(item, nullptr);
  ScratchDir temp;
  const std::string off = temp.write("off", "label declutter off\n");
  const std::string on = temp.write("on", "label declutter on\n");
  const std::function<void()> steps[] = {
      [&] { w.menuBar->picked(item); }, [&] { w.menuBar->picked(item); },
      [&] { w.model().readPreferences(off); }, [&] { w.model().readPreferences(on); }};
  const bool expected[] = {false, true, false, true};
  EXPECT_TRUE(w.model().settings().labelDeclutter && item->value());
  for (int k = 0; k < 4; ++k) {
    steps[k]();
    EXPECT_EQ(w.model().settings().labelDeclutter, expected[k]) << k;
    EXPECT_EQ(item->value() != 0, expected[k]) << k;
  }
}

// Before any file is read the windows show what the tracker uses, and a pass pushes the same
// values back: idle thresholds 2 s and 4 s, 200-byte buffers, 50 per port.
TEST(MainWindowDefaults, WithoutFilesTheWindowsShowTheSettingsInForce) {
  KT_mapWindow w("", "");
  ToolWindowUi& tool = w.toolWindow();
  EXPECT_DOUBLE_EQ(tool.mediumIdleInput->value(), 2.0);
  EXPECT_DOUBLE_EQ(tool.badIdleInput->value(), 4.0);
  EXPECT_TRUE(tool.navRoamButton->value());
  EXPECT_FALSE(tool.navFrameAllButton->value());
  EXPECT_TRUE(tool.displayAllButton->value());
  EXPECT_TRUE(tool.nodeCommentButton->value());
  EXPECT_TRUE(tool.gpsCommentButton->value());
  EXPECT_EQ(tool.closeChoice->value(), w.model().settings().closeCount);
  EXPECT_DOUBLE_EQ(w.inputsDialog().bytesPerBufferInput->value(), 200);
  EXPECT_DOUBLE_EQ(w.inputsDialog().buffersPerPortInput->value(), 50);
  EXPECT_STREQ(w.outputsDialog().outputFilePath->value(),
               w.model().stateOutput().fileName().c_str());
  w.pass();
  EXPECT_EQ(w.model().nodes().mediumIdleMs(), 2000);
  EXPECT_EQ(w.model().nodes().badIdleMs(), 4000);
  EXPECT_DOUBLE_EQ(w.model().settings().mediumIdle, 2.0);
  EXPECT_EQ(w.model().ports().bufferBytes(), 200);
  EXPECT_EQ(w.model().ports().buffersPerPort(), 50);
}

// A buffer change restarts the receivers, so a typed value counts only once it is entered.
TEST_F(MainWindowTest, TypedBufferSizeTakesEffectWhenEntered) {
  KT_mapWindow& w = *window_;
  w.inputsDialog().window->position(0, 0);
  w.showInputsDialog();
  Fl_Value_Input* bytes = w.inputsDialog().bytesPerBufferInput;
  ASSERT_TRUE(pumpUntil([&] { return w.inputsDialog().window->shown(); }));
  pumpFor(0.3);
  click(bytes);
  pumpFor(0.2);
  ASSERT_EQ(std::system("xdotool key ctrl+a BackSpace type --delay 30 500"), 0);
  pumpFor(0.3);
  w.pass();
  EXPECT_EQ(w.model().ports().bufferBytes(), 200);
  ASSERT_EQ(std::system("xdotool key Return"), 0);
  ASSERT_TRUE(pumpUntil([&] { return bytes->value() == 500; }));
  w.pass();
  EXPECT_EQ(w.model().ports().bufferBytes(), 500);
}

TEST_F(MainWindowTest, NavigationAndDisplayButtonsExcludeEachOther) {
  KT_mapWindow& w = *window_;
  ToolWindowUi& tool = w.toolWindow();
  w.showToolWindow();
  ASSERT_TRUE(pumpUntil([&] { return tool.window->visible() != 0; }));
  pumpFor(0.3);  // drawn once, so that the sections are laid out
  click(tool.navCenterButton);
  ASSERT_TRUE(pumpUntil([&] { return w.model().settings().navigationMode == 1; }));
  EXPECT_FALSE(tool.navFrameAllButton->value());
  EXPECT_TRUE(tool.navCenterButton->value());
  EXPECT_FALSE(tool.navRoamButton->value());
  // Pressing the set button again keeps it set.
  click(tool.navCenterButton);
  pumpFor(0.3);  // let the click arrive
  EXPECT_TRUE(tool.navCenterButton->value());
  EXPECT_EQ(w.model().settings().navigationMode, 1);
  click(tool.displayTargetsButton);
  ASSERT_TRUE(pumpUntil([&] { return w.model().settings().displayMode == 1; }));
  EXPECT_FALSE(tool.displayAllButton->value());
  EXPECT_TRUE(tool.displayTargetsButton->value());
}

/// The message of the first open message box, or empty.
std::string messageBoxText() {
  for (Fl_Window* win = Fl::first_window(); win != nullptr; win = Fl::next_window(win)) {
    for (int k = 0; k < win->children(); ++k) {
      const char* label = win->child(k)->label();
      if (label != nullptr && std::string(label).find("project") != std::string::npos) {
        return label;
      }
    }
  }
  return "";
}

TEST_F(MainWindowTest, LocalInputStreamWithoutProjectAsksForOne) {
  KT_mapWindow& w = *window_;
  w.mainWindow->show();
  ASSERT_TRUE(pumpUntil([&] { return w.mainWindow->visible() != 0; }));
  const Fl_Menu_Item* local = w.menuBar->find_item("file/load/input streams/local");
  ASSERT_NE(local, nullptr);
  // The prompt is modal: look at it and cancel it from a time-out while it waits.
  static std::string seen;
  seen.clear();
  Fl::add_timeout(0.5, [](void*) {
    seen = messageBoxText();
    EXPECT_EQ(std::system("xdotool key Escape"), 0);
  });
  w.menuBar->picked(local);
  EXPECT_EQ(seen, KT_mapWindow::kProjectRequired);
  EXPECT_FALSE(w.quit());
}

// The view is wired to the model: the camera follows the target read from the state file, the
// frame shows the readout of the pointer, and the interaction tool's shift-click with the
// data-set tool asks for a project when none is open.
TEST_F(MainWindowTest, ViewFollowsTheTargetAndReadsOutThePointer) {
  KT_mapWindow& w = *window_;
  // A copy of the demo setup: the loop writes the state file it names.
  ScratchDir copy;
  std::filesystem::copy(currentDirectory(), copy.path(""),
                        std::filesystem::copy_options::recursive);
  ASSERT_TRUE(setCurrentDirectory(copy.path("")));
  w.loadConfiguration("demo.cfg");
  ASSERT_EQ(w.model().settings().navigationMode, 0);  // "track mode all"
  static KT_mapWindow* running = nullptr;
  running = &w;
  Fl::add_timeout(1.5, [](void*) { running->close_(); });
  w.runLoop();
  // Target 1 stands at 32.715 N, 117.162 W in the replayed file.
  EXPECT_NEAR(w.camera().centerX(), -117.162, 1e-6);
  EXPECT_NEAR(w.camera().centerY(), 32.715, 1e-6);
  EXPECT_GT(w.camera().extent(), 0.0);
  EXPECT_EQ(w.scene().lastReadout().latitude.rfind("Lat: ", 0), 0u);
  EXPECT_EQ(w.scene().lastReadout().mgrs.rfind("MGRS: ", 0), 0u);
  EXPECT_TRUE(w.viewPath().empty());  // no program path registered: no .view file written
}

// The interaction tool window sits at the main window's centre and its toggles set the mode the
// view routes events by; a shift-click with the data-set tool asks for a picking pass.
TEST_F(MainWindowTest, InteractionToolWindowSetsTheViewsMode) {
  KT_mapWindow& w = *window_;
  w.mainWindow->show();
  w.buildToolPalette();
  auto* palette = static_cast<InteractionToolWindow*>(w.toolPalette());
  EXPECT_EQ(palette->w(), 59);
  EXPECT_EQ(palette->h(), 106);
  EXPECT_EQ(palette->x(), w.mainWindow->x() + w.mainWindow->w() / 2);
  EXPECT_EQ(w.interactionTool().mode, 0);
  ASSERT_TRUE(pumpUntil([&] { return palette->shown(); }));
  pumpFor(0.3);
  click(palette->button(InteractionToolWindow::kMapEditSlot));
  ASSERT_TRUE(pumpUntil([&] { return w.interactionTool().mode == 1; }));
  click(palette->button(InteractionToolWindow::kDataSetSlot));
  ASSERT_TRUE(pumpUntil([&] { return w.interactionTool().mode == 3; }));
  click(palette->button(InteractionToolWindow::kNavigationSlot));
  ASSERT_TRUE(pumpUntil([&] { return w.interactionTool().mode == 0; }));
}

// The arrow keys zoom the view with the pointer over it, before and after a click into it.
TEST_F(MainWindowTest, ArrowKeysOverTheViewZoom) {
  KT_mapWindow& w = *window_;
  static KT_mapWindow* running = nullptr;
  static double before = 0, afterLeft = 0, afterUp = 0;
  running = &w;
  w.camera().setExtent(4);
  Fl::add_timeout(0.5, [](void*) {
    glDrawSurface* view = running->surface();
    const int x = running->mainWindow->x() + view->x() + view->w() / 2;
    const int y = running->mainWindow->y() + view->y() + view->h() / 2;
    const std::string move = "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y);
    EXPECT_EQ(std::system(move.c_str()), 0);
    Fl::add_timeout(0.3, [](void*) {
      before = running->camera().extent();
      EXPECT_EQ(std::system("xdotool key Left"), 0);
      Fl::add_timeout(0.3, [](void*) {
        afterLeft = running->camera().extent();
        EXPECT_EQ(std::system("xdotool click 1 key Up"), 0);
        Fl::add_timeout(0.3, [](void*) {
          afterUp = running->camera().extent();
          running->close_();
        });
      });
    });
  });
  w.runLoop();
  EXPECT_DOUBLE_EQ(before, 4);
  EXPECT_DOUBLE_EQ(afterLeft, 3);
  EXPECT_DOUBLE_EQ(afterUp, 4.5);
}

/// Records what the "manu event tool" list fires.
std::vector<int> fired;
void recordFire(int pressed, void*) {
  fired.push_back(pressed);
}

TEST_F(MainWindowTest, LoopFiresTheEventToolListOnEachButtonChange) {
  KT_mapWindow& w = *window_;
  fired.clear();
  static KT_mapWindow* running = nullptr;
  running = &w;
  // Once the loop runs: press and release over the bare screen, then close the window.
  Fl::add_timeout(0.5, [](void*) {
    auto* list =
        static_cast<CallbackList*>(NameRegistry::instance().find(PopupToolWindow::kEventToolName));
    if (list != nullptr) list->add(recordFire, nullptr);
    EXPECT_EQ(std::system("xdotool mousemove 1200 1000 mousedown 1"), 0);
    Fl::add_timeout(0.3, [](void*) {
      EXPECT_EQ(std::system("xdotool mouseup 1"), 0);
      Fl::add_timeout(0.3, [](void*) { running->close_(); });
    });
  });
  const auto start = Clock::now();
  w.runLoop();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(fired, (std::vector<int>{1, 0}));
  EXPECT_GT(w.surface()->framesDrawn(), 0);
}

}  // namespace
