// The map group driven by real X pointer events under a virtual X server: the chooser popup
// dismissed by a press outside it through the "manu event tool" list, and a drag with the map
// tool on a shown drawing surface moving the selected map.
// Before X11's headers, whose macros clash with its names.
#include <gtest/gtest.h>
// clang-format off
#include <FL/Fl.H>
#include <FL/gl.h>
#include <FL/x.H>
// clang-format on

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/callback_list.h"
#include "common/name_registry.h"
#include "common/platform/mouse_buttons.h"
#include "common/popup/popup_tool_window.h"
#include "halvex/gl/pointer_ground.h"
#include "halvex/maps/map_texture.h"
#include "halvex/project/map_group_handler.h"
#include "tests/halvex/project/geomap_test_support.h"
#include "tests/halvex/view/scene_test_support.h"

namespace {

using geomap_test::QuietGroup;
using geomap_test::WorkingDir;
using geomap_test::writeSetup;
using Clock = std::chrono::steady_clock;

constexpr int kEditTool = 1;

/// The main loop's part for popups: fires the "manu event tool" list with 1 when a mouse
/// button goes down anywhere on the screen and with 0 when all are up again.
class EventToolLoop {
 public:
  EventToolLoop() { NameRegistry::instance().add(PopupToolWindow::kEventToolName, &list_); }
  ~EventToolLoop() { NameRegistry::instance().remove(PopupToolWindow::kEventToolName, &list_); }

  /// Runs the toolkit and the polling for about `seconds`, or until `done` holds.
  template <class Done>
  void run(double seconds, Done done) {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end && !done()) {
      Fl::wait(0.01);
      const bool down = anyMouseButtonDown(fl_display);
      if (down != down_) {
        down_ = down;
        list_.fire(down ? 1 : 0);
      }
    }
  }
  void run(double seconds) {
    run(seconds, [] { return false; });
  }
  CallbackList& list() { return list_; }

 private:
  CallbackList list_;
  bool down_ = false;
};

/// Runs an xdotool command on the virtual X server.
void xdo(const std::string& arguments) {
  const std::string command = "xdotool " + arguments;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

TEST(MapChooserPopup, WalksOnRealClicksAndClosesOnAPressOutside) {
  WorkingDir dir;
  ViewCamera camera;
  QuietGroup group(&camera);
  EventToolLoop loop;
  writeSetup("maps/a.jpg", 0, 0, 4, 4);
  writeSetup("maps/b.jpg", 1, 1, 5, 5);
  writeSetup("maps/c.jpg", 2, 2, 6, 6);
  group.addMap("maps/a.jpg");
  GeoMap* b = group.addMap("maps/b.jpg");
  group.addMap("maps/c.jpg");

  KT_mapGroupHandler::PointerState press;
  press.button1 = press.control = true;
  press.rootX = 600;
  press.rootY = 400;
  group.handleEvent(FL_PUSH, kEditTool, 3, 3, press);
  PopupToolWindow* chooser = group.mapChooser();
  ASSERT_NE(chooser, nullptr);
  loop.run(2, [&] { return chooser->visible() && fl_xid(chooser) != 0; });
  loop.run(0.2);
  ASSERT_TRUE(chooser->shown());
  EXPECT_EQ(loop.list().size(), 1u);

  // "next map ->" is the lower half: the popup hides on the release, and shows again for the
  // next candidate.
  xdo("mousemove 600 425 click 1");
  loop.run(1, [&] { return group.selected() == b && chooser->shown(); });
  loop.run(0.2);
  EXPECT_EQ(group.selected(), b);
  EXPECT_EQ(b->flash(), 1);
  EXPECT_TRUE(chooser->shown());
  EXPECT_EQ(loop.list().size(), 1u);

  // A press far from the popup (over no window of this program) selects the candidate.
  testing::internal::CaptureStdout();
  xdo("mousemove 100 900 mousedown 1");
  loop.run(1, [&] { return !chooser->shown(); });
  xdo("mouseup 1");
  loop.run(0.1);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_FALSE(chooser->shown());
  EXPECT_EQ(group.selected(), b);
  EXPECT_EQ(b->flash(), 0);
  EXPECT_EQ(b->outline(), 1);
  EXPECT_NE(printed.find("KT_mapGroupHandler::select_this_map\t+++++++++++++\n"),
            std::string::npos);
  EXPECT_EQ(loop.list().size(), 0u);
}

/// A shown drawing surface that draws the group with the camera and hands it the pointer
/// events with their ground position, as the main window does.
class MapToolDrag : public ::testing::Test {
 protected:
  static constexpr int kWidth = 401;
  static constexpr int kHeight = 301;

  void SetUp() override {
    shown_ = std::make_unique<scene_test::ShownSurface>(kWidth, kHeight);
    ASSERT_TRUE(shown_->shown());
    camera().setCenter(10, 50);
    camera().setExtent(4);  // 8..12 x 48.5..51.5
    shown_->add(drawScene, this);
    tool_.mode = kEditTool;
    shown_->surface().setInteractionHook(&tool_, routeEvent, this);
    geomap_test::writeWhiteImage("maps/white.sgi");
    writeSetup("maps/white.sgi", 9, 49, 11, 51);
    gMapLoadCountdown = 0;
    map_ = group_.addMap("maps/white.sgi");
    ASSERT_NE(map_, nullptr);
    ASSERT_TRUE(shown_->drawFrame());
  }
  void TearDown() override {
    xdo("keyup ctrl mouseup 1");
    // Hiding the surface sends it events too; the group is not to see them any more.
    if (shown_) shown_->surface().setInteractionHook(nullptr, nullptr, nullptr);
    shown_.reset();
  }

  static void drawScene(void* user, const DrawContext& context) {
    auto* self = static_cast<MapToolDrag*>(user);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    context.camera->apply(context.width, context.height, false);
    self->group_.draw(context);
  }
  static int routeEvent(int event, void* user) {
    auto* self = static_cast<MapToolDrag*>(user);
    double latitude = 0, longitude = 0;
    self->ground(Fl::event_x(), Fl::event_y(), latitude, longitude);
    return self->group_.mouseEvent(event, self->tool_.mode, latitude, longitude);
  }
  void ground(int x, int y, double& latitude, double& longitude) {
    pointerGround(camera(), x, y, kWidth, kHeight, &latitude, &longitude);
  }
  ViewCamera& camera() { return *shown_->surface().camera(); }
  /// Moves the pointer to window pixel (x, y), runs `then`, and lets a frame draw.
  void at(int x, int y, const std::string& then = "") {
    const glDrawSurface& s = shown_->surface();
    xdo("mousemove " + std::to_string(s.x_root() + x) + " " + std::to_string(s.y_root() + y) +
        (then.empty() ? "" : " " + then));
    scene_test::pump(0.15);
    shown_->drawFrame();
  }

  WorkingDir dir_;
  std::unique_ptr<scene_test::ShownSurface> shown_;
  InteractionTool tool_;
  KT_mapGroupHandler group_{nullptr};
  GeoMap* map_ = nullptr;
};

TEST_F(MapToolDrag, DragMovesTheSelectedMapByTheGroundDistance) {
  EXPECT_TRUE(scene_test::isWhite(shown_->pixel(200, 150)));
  EXPECT_TRUE(scene_test::isBlack(shown_->pixel(350, 150)));

  at(200, 150, "keydown ctrl click 1 keyup ctrl");
  ASSERT_EQ(group_.selected(), map_);
  EXPECT_EQ(map_->outline(), 1);
  map_->setFlash(0);  // the selection's flash would vary the drawn opacity

  at(200, 150, "mousedown 1");
  at(240, 150);
  at(280, 150);
  double startLat = 0, startLon = 0, endLat = 0, endLon = 0;
  ground(200, 150, startLat, startLon);
  ground(280, 150, endLat, endLon);
  const double dx = endLon - startLon;
  EXPECT_NEAR(dx, 80 * 4.0 / kWidth, 1e-6);
  // While the button is down the move is only previewed, but it is drawn.
  EXPECT_NEAR(map_->moveDx(), dx, 1e-9);
  EXPECT_DOUBLE_EQ(map_->corners()[0][0], 9);
  EXPECT_TRUE(scene_test::isWhite(shown_->pixel(350, 150)));

  at(280, 150, "mouseup 1");
  EXPECT_FALSE(map_->hasPendingEdits());
  EXPECT_NEAR(map_->corners()[0][0], 9 + dx, 1e-9);
  EXPECT_NEAR(map_->corners()[2][0], 11 + dx, 1e-9);
  EXPECT_NEAR(map_->corners()[0][1], 49 + (endLat - startLat), 1e-9);
  EXPECT_TRUE(scene_test::isWhite(shown_->pixel(350, 150)));
  EXPECT_TRUE(scene_test::isBlack(shown_->pixel(110, 150)));

  // Saving the project writes the moved corners.
  std::FILE* out = std::fopen("project.mpr", "w");
  group_.writeSection(out);
  std::fclose(out);
  std::FILE* in = std::fopen("maps/white.mapSetUp", "r");
  ASSERT_NE(in, nullptr);
  double x[4] = {}, y[4] = {};
  for (int i = 0; i < 4; ++i) ASSERT_EQ(std::fscanf(in, "%lf %lf", &x[i], &y[i]), 2);
  std::fclose(in);
  EXPECT_NEAR(x[0], 9 + dx, 1e-6);
  EXPECT_NEAR(x[1], 11 + dx, 1e-6);
  EXPECT_NEAR(y[2], 51, 1e-6);
}

TEST_F(MapToolDrag, SelectedMapIsDrawnOverTheOthers) {
  geomap_test::writeSolidImage("maps/blue.sgi", 0, 0, 255);
  writeSetup("maps/blue.sgi", 9, 49, 11, 51);
  group_.addMap("maps/blue.sgi");
  ASSERT_TRUE(shown_->drawFrame());
  ASSERT_TRUE(shown_->drawFrame());                          // the second texture loads in its turn
  EXPECT_TRUE(scene_test::isBlue(shown_->pixel(200, 150)));  // added last, drawn last

  KT_mapGroupHandler::PointerState press;
  press.button1 = press.control = true;
  group_.handleEvent(FL_PUSH, kEditTool, 50, 10, press);
  group_.selectNextMap();  // from the blue map back to the white one
  group_.selectThisMap();
  ASSERT_EQ(group_.selected(), map_);
  ASSERT_TRUE(shown_->drawFrame());
  EXPECT_TRUE(scene_test::isWhite(shown_->pixel(200, 150)));
}

}  // namespace
