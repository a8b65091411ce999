// A project's map edited with the real pointer in the windowed tracker: the map tool selects and
// moves the map, the release commits the move and saving writes it to the setup file; with the
// space bar held the camera moves instead; a shift-click with the data-set tool runs a picking
// pass.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "common/platform/paths.h"
#include "halvex/app/kt_map_window.h"
#include "halvex/project/geo_map.h"
#include "halvex/project/map_group_handler.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/sgi_writer.h"

namespace {

/// Runs xdotool `command` in the background, so that the loop sees the events as they come.
void xdo(const std::string& command) {
  ASSERT_EQ(std::system(("xdotool " + command + " &").c_str()), 0) << command;
}

struct RunState {
  KT_mapWindow* window = nullptr;
  double before = 0;    ///< Corner 0 longitude after selection.
  double moved = 0;     ///< ... after the drag with the map tool.
  double kept = 0;      ///< ... after the drag with the space bar held.
  double centreY0 = 0;  ///< Camera centre latitude before the space-bar drag.
  double centreY1 = 0;  ///< ... after it.
  bool selected = false;
  long picks = 0;
};
RunState run;

KT_mapGroupHandler* maps() {
  return dynamic_cast<KT_mapGroupHandler*>(run.window->projects().group(kMapGroup));
}

double corner0X() {
  return maps() && maps()->head() ? maps()->head()->corners()[0][0] : -999;
}

/// Chains `step` after `seconds` of the loop.
void after(double seconds, void (*step)()) {
  Fl::add_timeout(
      seconds, [](void* s) { reinterpret_cast<void (*)()>(s)(); }, reinterpret_cast<void*>(step));
}

void pickStep() {
  run.picks = run.window->pickPasses();
  // Saving says so in a message box: Return dismisses it. Saved, the project closes without a
  // question.
  after(0.7, [] { xdo("key Return"); });
  run.window->projects().saveProject();
  run.window->close_();
}

void dataSetStep() {
  run.window->interactionTool().mode = KT_mapWindow::kDataSetTool;
  xdo("keydown Shift_L click 1 keyup Shift_L");
  after(1.2, pickStep);
}

void spaceDoneStep() {
  run.kept = corner0X();
  run.centreY1 = run.window->camera().centerY();
  dataSetStep();
}

void spaceDragStep() {
  run.moved = corner0X();
  run.centreY0 = run.window->camera().centerY();
  xdo("keydown space mousedown 1 sleep 0.2 mousemove_relative 0 100 sleep 0.2 mouseup 1 "
      "keyup space");
  after(1.2, spaceDoneStep);
}

void mapDragStep() {
  run.selected = maps() && maps()->selected() != nullptr;
  run.before = corner0X();
  xdo("mousedown 1 sleep 0.2 mousemove_relative 100 0 sleep 0.2 mousemove_relative 0 0 sleep 0.2 "
      "mouseup 1");
  after(1.2, spaceDragStep);
}

void selectStep() {
  glDrawSurface* view = run.window->surface();
  const int x = run.window->mainWindow->x() + view->x() + view->w() / 2;
  const int y = run.window->mainWindow->y() + view->y() + view->h() / 2;
  xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) +
      " sleep 0.2 keydown Control_L "
      "click 1 keyup Control_L");
  after(1.2, mapDragStep);
}

TEST(ProjectView, MapToolMovesTheMapSpaceBarMovesTheCameraShiftClickPicks) {
  ScratchDir dir;
  const std::string start = currentDirectory();
  ASSERT_TRUE(setCurrentDirectory(dir.path("")));
  dir.write("map.sgi", solidSgi(16, 16, 200, 40, 40));
  dir.write("map.mapSetUp", "9 49\n11 49\n11 51\n9 51\n");
  // The last line is never read as a section start, so a comment ends the file.
  dir.write("p.mpr", "BEGIN MAP_group\n\tmap.sgi 1.000000\nEND\n# end\n");
  {
    KT_mapWindow window("", "");
    run = RunState();
    run.window = &window;
    window.mainWindow->position(0, 0);
    window.projects().openPath(dir.path("p.mpr"));
    ASSERT_TRUE(window.projects().isOpen());
    window.camera().setCenter(10, 50);
    window.camera().setExtent(4);
    window.interactionTool().mode = KT_mapWindow::kMapEditTool;
    after(0.8, selectStep);
    window.runLoop();
  }
  const std::string setup = dir.read("map.mapSetUp");
  setCurrentDirectory(start);

  EXPECT_TRUE(run.selected);
  EXPECT_NEAR(run.before, 9, 1e-9);
  // 100 pixels of an 835-pixel view 4 degrees wide.
  const double dragged = 100 * 4.0 / 835;
  EXPECT_NEAR(run.moved - run.before, dragged, dragged * 0.05);
  EXPECT_DOUBLE_EQ(run.kept, run.moved);
  EXPECT_GT(std::abs(run.centreY1 - run.centreY0), 0.1);
  EXPECT_GE(run.picks, 1);
  double x = 0, y = 0;
  ASSERT_EQ(std::sscanf(setup.c_str(), "%lf %lf", &x, &y), 2) << setup;
  EXPECT_NEAR(x, run.moved, 1e-6);
  EXPECT_NEAR(y, 49, 1e-6);
}

}  // namespace
