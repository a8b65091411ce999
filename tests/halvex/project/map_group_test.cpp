// The map group under a virtual X server: its project section, the control-click selection with
// the chooser popup, the live edits of the selected map and their commit.
#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/popup/hover_button.h"
#include "common/popup/popup_tool_window.h"
#include "halvex/config/field_file.h"
#include "halvex/gl/view_camera.h"
#include "halvex/maps/map_texture.h"
#include "halvex/project/map_group_handler.h"
#include "tests/halvex/project/geomap_test_support.h"

namespace {

using geomap_test::QuietGroup;
using geomap_test::QuietMap;
using geomap_test::WorkingDir;
using geomap_test::writeSetup;
using PointerState = KT_mapGroupHandler::PointerState;

constexpr int kEditTool = 1;

/// A press of button 1 at window pixel (x, y), 200 pixels right of the screen origin.
PointerState pressAt(int x, int y) {
  PointerState s;
  s.button1 = true;
  s.x = x;
  s.y = y;
  s.rootX = x + 200;
  s.rootY = y + 100;
  s.windowWidth = 400;
  s.windowHeight = 300;
  return s;
}

PointerState withControl(PointerState s) {
  s.control = true;
  return s;
}

void pumpFor(double seconds) {
  for (double t = 0; t < seconds; t += 0.01) Fl::wait(0.01);
}

class MapGroupTest : public ::testing::Test {
 protected:
  /// Adds maps/<name>.jpg with a setup file for the given rectangle.
  GeoMap* add(const std::string& name, double west, double south, double east, double north) {
    const std::string path = "maps/" + name + ".jpg";
    writeSetup(path, west, south, east, north);
    return group_.addMap(path.c_str());
  }
  /// A control-click at ground (latitude, longitude).
  void controlClick(double latitude, double longitude) {
    group_.handleEvent(FL_PUSH, kEditTool, latitude, longitude, withControl(pressAt(100, 50)));
    group_.handleEvent(FL_RELEASE, kEditTool, latitude, longitude, withControl(PointerState()));
  }
  /// Reads `text` as a project file whose first line opens the map section.
  FieldFile readProject(KT_mapGroupHandler& group, const std::string& text) {
    FieldFile file(dir_.scratch().write("project.mpr", text), 3);
    file.selectLine(0);
    group.readSection(file);
    return file;
  }

  WorkingDir dir_;
  ViewCamera camera_;
  QuietGroup group_{&camera_};
};

TEST_F(MapGroupTest, SectionRoundTripsWithASetupFilePerMap) {
  int modified = 0;
  group_.setModifiedHook([&] { ++modified; });
  gMapLoadCountdown = 7;
  add("a", 0, 0, 1, 1);
  EXPECT_EQ(gMapLoadCountdown, 0);  // the new map loads at the next frame
  GeoMap* b = add("b", 2, 2, 4, 3);
  EXPECT_EQ(modified, 2);
  b->setOpacity(0.25);
  std::remove("maps/a.mapSetUp");
  std::remove("maps/b.mapSetUp");

  std::FILE* out = std::fopen("project.mpr", "w");
  testing::internal::CaptureStdout();
  group_.writeSection(out);
  const std::string printed = testing::internal::GetCapturedStdout();
  std::fclose(out);
  EXPECT_EQ(dir_.scratch().read("project.mpr"),
            "BEGIN MAP_group\n\tmaps/a.jpg 1.000000\n\tmaps/b.jpg 0.250000\nEND\n");
  EXPECT_NE(printed.find("The setup file name is maps/b.mapSetUp\n"), std::string::npos);
  EXPECT_EQ(dir_.scratch().read("maps/b.mapSetUp"),
            "2.000000 2.000000\n4.000000 2.000000\n4.000000 3.000000\n2.000000 3.000000\n");
  EXPECT_FALSE(dir_.scratch().read("maps/a.mapSetUp").empty());

  QuietGroup again(&camera_);
  FieldFile file(dir_.scratch().path("project.mpr"), 3);
  file.selectLine(0);
  again.readSection(file);
  ASSERT_EQ(again.mapCount(), 2);
  EXPECT_STREQ(again.head()->path(), "maps/a.jpg");
  EXPECT_STREQ(again.tail()->path(), "maps/b.jpg");
  EXPECT_DOUBLE_EQ(again.tail()->corners()[2][0], 4);
  // A complete setup file places the map at opacity 1, whatever the line said.
  EXPECT_DOUBLE_EQ(again.tail()->opacity(), 1.0);
  EXPECT_EQ(static_cast<QuietMap*>(again.tail())->prompts, 0);
}

TEST_F(MapGroupTest, SectionLimitsOpacityAndEndsAtEndInAnyCase) {
  const FieldFile file = readProject(group_,
                                     "BEGIN MAP_group\n"
                                     "\tmaps/a.jpg 1.7\n"
                                     "\tmaps/b.jpg -3\n"
                                     "maps/c.jpg\n"
                                     "maps/d.jpg 0.5 extra\n"
                                     "end\n"
                                     "\tmaps/e.jpg 0.5\n");
  ASSERT_EQ(group_.mapCount(), 4);
  GeoMap* m = group_.head();
  EXPECT_DOUBLE_EQ(m->opacity(), 1.0);
  m = static_cast<GeoMap*>(m->next());
  EXPECT_DOUBLE_EQ(m->opacity(), 0.0);
  m = static_cast<GeoMap*>(m->next());
  EXPECT_STREQ(m->path(), "maps/c.jpg");
  EXPECT_DOUBLE_EQ(m->opacity(), 0.0);  // no number
  m = static_cast<GeoMap*>(m->next());
  EXPECT_DOUBLE_EQ(m->opacity(), 0.5);
  // Without setup files every map asks for its placement; none has a layer yet.
  EXPECT_EQ(static_cast<QuietMap*>(m)->prompts, 1);
  EXPECT_EQ(m->layer(), nullptr);
  // The reader stops on the END line, where the project reader goes on.
  EXPECT_EQ(file.selectedLine(), 5);

  // A section without END runs to the end of the file.
  QuietGroup open(&camera_);
  readProject(open, "BEGIN MAP_group\n\tmaps/a.jpg 0.5\n");
  EXPECT_EQ(open.mapCount(), 1);
}

TEST_F(MapGroupTest, ControlClickSelectsTheMapUnderThePointer) {
  GeoMap* a = add("a", 0, 0, 1, 1);
  GeoMap* b = add("b", 2, 0, 3, 1);
  controlClick(0.5, 2.5);
  EXPECT_EQ(group_.selected(), b);
  EXPECT_EQ(b->outline(), 1);
  EXPECT_EQ(b->flash(), GeoMap::kTimedFlash);  // the only map there: a timed flash
  EXPECT_EQ(a->outline(), 0);
  EXPECT_EQ(group_.mapChooser(), nullptr);

  // Outside every map: outlines and flashes cleared, nothing selected.
  controlClick(5, 5);
  EXPECT_EQ(group_.selected(), nullptr);
  EXPECT_EQ(b->outline(), 0);
  EXPECT_EQ(b->flash(), 0);

  // Only the map tools act on events.
  EXPECT_EQ(group_.handleEvent(FL_PUSH, 0, 0.5, 0.5, withControl(pressAt(1, 1))), 0);
  EXPECT_EQ(group_.handleEvent(FL_PUSH, 3, 0.5, 0.5, withControl(pressAt(1, 1))), 0);
  EXPECT_EQ(group_.selected(), nullptr);
  EXPECT_EQ(group_.handleEvent(FL_PUSH, 2, 0.5, 0.5, withControl(pressAt(1, 1))), 1);
  EXPECT_EQ(group_.selected(), a);
}

TEST_F(MapGroupTest, OverlappingMapsAreWalkedWithTheChooser) {
  GeoMap* a = add("a", 0, 0, 4, 4);
  GeoMap* elsewhere = add("elsewhere", 10, 10, 11, 11);
  GeoMap* b = add("b", 1, 1, 5, 5);
  GeoMap* c = add("c", 2, 2, 6, 6);
  controlClick(3, 3);
  EXPECT_EQ(group_.selected(), c);  // the last added
  EXPECT_EQ(c->flash(), 1);         // flashing until chosen
  EXPECT_EQ(c->outline(), 1);
  PopupToolWindow* chooser = group_.mapChooser();
  ASSERT_NE(chooser, nullptr);
  EXPECT_TRUE(chooser->shown());
  EXPECT_EQ(chooser->x(), 300 - 83);  // centre column on the pointer (root 300, 150)
  EXPECT_EQ(chooser->y(), 150 - 12);
  EXPECT_EQ(chooser->w(), 166);
  EXPECT_EQ(chooser->h(), 50);
  EXPECT_STREQ(group_.selectButton()->label(), "Select this Map");
  EXPECT_STREQ(group_.nextButton()->label(), "next map ->");
  EXPECT_LT(group_.selectButton()->y(), group_.nextButton()->y());

  testing::internal::CaptureStdout();
  group_.nextButton()->do_callback();
  EXPECT_EQ(group_.selected(), b);
  EXPECT_EQ(c->flash(), 0);
  EXPECT_EQ(c->outline(), 0);
  EXPECT_EQ(b->flash(), 1);
  EXPECT_EQ(b->outline(), 1);
  EXPECT_TRUE(chooser->shown());
  group_.nextButton()->do_callback();
  EXPECT_EQ(group_.selected(), a);  // "elsewhere" is passed over
  EXPECT_EQ(elsewhere->outline(), 0);
  group_.nextButton()->do_callback();
  EXPECT_EQ(group_.selected(), nullptr);
  EXPECT_FALSE(chooser->shown());
  EXPECT_EQ(a->outline(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "KT_mapGroupHandler::select_next_map\t+++++++++++++\n"
            "KT_mapGroupHandler::select_next_map\t+++++++++++++\n"
            "KT_mapGroupHandler::select_next_map\t+++++++++++++\n");

  // "Select this Map" stops the flash and keeps the outline.
  controlClick(3, 3);
  group_.nextButton()->do_callback();
  testing::internal::CaptureStdout();
  group_.selectButton()->do_callback();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "KT_mapGroupHandler::select_this_map\t+++++++++++++\n");
  EXPECT_EQ(group_.selected(), b);
  EXPECT_EQ(b->flash(), 0);
  EXPECT_EQ(b->outline(), 1);
  EXPECT_FALSE(chooser->shown());
}

TEST_F(MapGroupTest, ButtonOneWithTheAKeySetsOpacityFromThePointer) {
  GeoMap* a = add("a", 0, 0, 4, 4);
  controlClick(1, 1);
  PointerState s = pressAt(200, 150);  // the middle of a 400-pixel window
  s.aKey = true;
  group_.handleEvent(FL_PUSH, kEditTool, 1, 1, s);
  group_.applyLiveEdit();
  EXPECT_DOUBLE_EQ(a->opacity(), 0.5);
  s.x = 500;  // beyond the window: limited
  group_.handleEvent(FL_DRAG, kEditTool, 1, 1, s);
  group_.applyLiveEdit();
  EXPECT_DOUBLE_EQ(a->opacity(), 1.0);
  EXPECT_FALSE(a->hasPendingEdits());  // no move with the A key

  // The selecting tool records but does not edit.
  s.x = 0;
  group_.handleEvent(FL_PUSH, 2, 1, 1, s);
  group_.applyLiveEdit();
  EXPECT_DOUBLE_EQ(a->opacity(), 1.0);
}

TEST_F(MapGroupTest, DragsEditTheSelectedMapUntilTheRelease) {
  GeoMap* a = add("a", 0, 0, 4, 4);
  add("b", 10, 10, 11, 11);
  controlClick(1, 1);
  int modified = 0;
  group_.setModifiedHook([&] { ++modified; });

  // Button 1: the ground dragged is the pending move.
  group_.handleEvent(FL_PUSH, kEditTool, 1, 1, pressAt(100, 100));
  PointerState s = pressAt(140, 80);
  group_.handleEvent(FL_DRAG, kEditTool, 1.5, 3, s);
  EXPECT_EQ(group_.interaction().dragDx, 40);
  EXPECT_EQ(group_.interaction().dragDy, -20);
  group_.applyLiveEdit();
  EXPECT_DOUBLE_EQ(a->moveDx(), 2);
  EXPECT_DOUBLE_EQ(a->moveDy(), 0.5);
  EXPECT_DOUBLE_EQ(a->corners()[0][0], 0);  // previewed only
  group_.handleEvent(FL_RELEASE, kEditTool, 1.5, 3, PointerState());
  EXPECT_DOUBLE_EQ(a->corners()[0][0], 2);
  EXPECT_DOUBLE_EQ(a->corners()[0][1], 0.5);
  EXPECT_EQ(modified, 1);

  // Button 3 dragged right: the map grows in width by the ground distance.
  s = pressAt(100, 100);
  s.button1 = false;
  s.button3 = true;
  group_.handleEvent(FL_PUSH, kEditTool, 2, 4, s);
  s.x = 150;
  group_.handleEvent(FL_DRAG, kEditTool, 2, 5, s);
  group_.applyLiveEdit();
  group_.handleEvent(FL_RELEASE, kEditTool, 2, 5, PointerState());
  EXPECT_DOUBLE_EQ(a->corners()[0][0], 1.5);
  EXPECT_DOUBLE_EQ(a->corners()[1][0], 6.5);
  EXPECT_DOUBLE_EQ(a->corners()[2][1], 4.5);  // height unchanged

  // Button 2: 0.01 degree per pixel of horizontal drag.
  s = pressAt(100, 100);
  s.button1 = false;
  s.button2 = true;
  group_.handleEvent(FL_PUSH, kEditTool, 2, 4, s);
  s.x = 130;
  s.y = 90;
  group_.handleEvent(FL_DRAG, kEditTool, 2, 4, s);
  group_.applyLiveEdit();
  EXPECT_EQ(a->rotation(), 30);
  EXPECT_EQ(a->rotationA(), -10);
  group_.handleEvent(FL_RELEASE, kEditTool, 2, 4, PointerState());
  EXPECT_EQ(a->committedRotation(), 30);
  EXPECT_EQ(modified, 3);

  // A click without a drag changes nothing.
  group_.handleEvent(FL_PUSH, kEditTool, 2, 4, pressAt(100, 100));
  group_.applyLiveEdit();
  group_.handleEvent(FL_RELEASE, kEditTool, 2, 4, PointerState());
  EXPECT_EQ(modified, 3);
}

// A release right after a drag, with no frame drawn between them, still commits the whole drag.
TEST_F(MapGroupTest, ReleaseCommitsTheLastDragWithoutAFrame) {
  GeoMap* a = add("a", 0, 0, 4, 4);
  controlClick(1, 1);
  group_.handleEvent(FL_PUSH, kEditTool, 1, 1, pressAt(100, 100));
  group_.handleEvent(FL_DRAG, kEditTool, 1.5, 3, pressAt(140, 80));
  group_.handleEvent(FL_RELEASE, kEditTool, 1.5, 3, PointerState());
  EXPECT_DOUBLE_EQ(a->corners()[0][0], 2);
  EXPECT_DOUBLE_EQ(a->corners()[0][1], 0.5);
}

// A map turned by 90 degrees has corner 2 west of corner 0; it stays visible at its own width.
TEST_F(MapGroupTest, TurnedMapKeepsItsVisibleRange) {
  GeoMap* a = add("a", 0, 0, 4, 2);
  a->setRotationDelta(0, 9000);
  a->commitRotation();
  ASSERT_NE(a->layer(), nullptr);
  EXPECT_NEAR(a->width(), 2, 1e-6);
  EXPECT_NEAR(a->layer()->minExtent(), 0.02, 1e-6);
  EXPECT_NEAR(a->layer()->maxExtent(), 200, 1e-4);
}

// A path the project file cannot read back (a blank, END) is refused with a message.
TEST_F(MapGroupTest, MapPathsAProjectCannotKeepAreRefused) {
  std::string said;
  group_.setMessageFn([&](const std::string& text) { said = text; });
  EXPECT_EQ(group_.addMap("maps/my area.jpg"), nullptr);
  EXPECT_NE(said.find("maps/my area.jpg cannot be kept"), std::string::npos) << said;
  EXPECT_EQ(group_.addMap("END"), nullptr);
  EXPECT_EQ(group_.head(), nullptr);
}

TEST_F(MapGroupTest, ShiftDragHoldsTheNearestCorner) {
  GeoMap* a = add("a", 0, 0, 4, 4);
  controlClick(1, 1);
  PointerState s = pressAt(100, 100);
  s.shift = true;
  group_.handleEvent(FL_PUSH, kEditTool, 3.5, 3.8, s);
  group_.applyLiveEdit();
  EXPECT_EQ(group_.interaction().cornerIndex, 2);
  EXPECT_DOUBLE_EQ(a->corners()[2][0], 3.8);
  // Dragged next to corner 1, it still moves corner 2.
  group_.handleEvent(FL_DRAG, kEditTool, 0.2, 4, s);
  group_.applyLiveEdit();
  EXPECT_DOUBLE_EQ(a->corners()[2][1], 0.2);
  EXPECT_DOUBLE_EQ(a->corners()[1][1], 0);
  // Letting go of shift drops the corner.
  s.shift = false;
  group_.handleEvent(FL_DRAG, kEditTool, 0.2, 4, s);
  EXPECT_EQ(group_.interaction().cornerIndex, -1);
}

TEST_F(MapGroupTest, ControlDragsDoNotMoveTheNewSelection) {
  GeoMap* a = add("a", 0, 0, 4, 4);
  group_.handleEvent(FL_PUSH, kEditTool, 9, 9, pressAt(10, 10));  // an earlier push far away
  group_.handleEvent(FL_RELEASE, kEditTool, 9, 9, PointerState());
  group_.handleEvent(FL_PUSH, kEditTool, 1, 1, withControl(pressAt(100, 100)));
  group_.handleEvent(FL_DRAG, kEditTool, 1.1, 1, withControl(pressAt(102, 100)));
  group_.applyLiveEdit();
  group_.handleEvent(FL_RELEASE, kEditTool, 1.1, 1, withControl(PointerState()));
  EXPECT_EQ(group_.selected(), a);
  EXPECT_DOUBLE_EQ(a->corners()[0][0], 0);
  EXPECT_DOUBLE_EQ(a->corners()[0][1], 0);
}

TEST_F(MapGroupTest, ChooserAddsMapsByTheirRelativePath) {
  geomap_test::writeWhiteImage("maps/white.sgi");
  writeSetup("maps/white.sgi", 0, 0, 1, 1);
  // The chooser runs its own loop: type the name into it as the operator would.
  Fl::add_timeout(0.5, [](void*) {
    EXPECT_EQ(
        std::system("xdotool search --sync --name 'Load a new map into this project' windowfocus "
                    "--sync && xdotool type --delay 30 'maps/white.sgi' && xdotool key Return"),
        0);
  });
  group_.addMapsFromChooser();
  ASSERT_NE(group_.fileChooser(), nullptr);
  EXPECT_STREQ(group_.fileChooser()->label(), "Load a new map into this project");
  ASSERT_EQ(group_.mapCount(), 1);
  EXPECT_STREQ(group_.head()->path(), "maps/white.sgi");
  EXPECT_NE(group_.head()->layer(), nullptr);
  pumpFor(0.1);
}

}  // namespace
