// GeoMap under a virtual X server: placement (setup file or dialog), the setup file, the
// pending edits and their commit, and the timed flash drawn in a real context.
#include "halvex/project/geo_map.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "halvex/gl/draw_context.h"
#include "halvex/gl/view_camera.h"
#include "halvex/maps/map_texture.h"
#include "halvex/maps/raster_layer.h"
#include "tests/halvex/maps/gl_test_window.h"
#include "tests/halvex/maps/raster_files.h"
#include "tests/halvex/project/geomap_test_support.h"

namespace {

using geomap_test::QuietMap;
using geomap_test::WorkingDir;

/// The square 0..2 x 0..2 in corner order.
void setSquare(GeoMap& map) {
  map.setCorner(0, 0, 0);
  map.setCorner(1, 2, 0);
  map.setCorner(2, 2, 2);
  map.setCorner(3, 0, 2);
}

void expectCorner(const GeoMap& map, int i, double x, double y, double tolerance = 1e-9) {
  EXPECT_NEAR(map.corners()[i][0], x, tolerance) << "corner " << i;
  EXPECT_NEAR(map.corners()[i][1], y, tolerance) << "corner " << i;
}

void pumpUntil(bool (*done)(void*), void* user) {
  for (int i = 0; i < 200 && !done(user); ++i) Fl::wait(0.01);
}

class GeoMapTest : public ::testing::Test {
 protected:
  WorkingDir dir_;
  ViewCamera camera_;
};

TEST_F(GeoMapTest, CenterOfViewLaysASquareOnTheView) {
  camera_.setCenter(10, 50);
  camera_.setExtent(4);
  camera_.applyComputed(400, 300);  // aspect 0.75: the view is 4 x 3 degrees
  QuietMap map("maps/wide.jpg", &camera_);
  PlacementSettings settings;
  settings.mode = 0;
  map.setPlacement(settings);
  map.applyPlacement();
  expectCorner(map, 0, 8.5, 48.5);
  expectCorner(map, 1, 11.5, 48.5);
  expectCorner(map, 2, 11.5, 51.5);
  expectCorner(map, 3, 8.5, 51.5);
  ASSERT_NE(map.layer(), nullptr);
  EXPECT_NEAR(map.layer()->minExtent(), 0.03, 1e-12);
  EXPECT_NEAR(map.layer()->maxExtent(), 300, 1e-9);

  // "use existing geo reference" keeps the corners and builds a new layer.
  MapLayer* before = map.layer();
  camera_.setCenter(0, 0);
  settings.mode = 1;
  map.setPlacement(settings);
  map.applyPlacement();
  expectCorner(map, 0, 8.5, 48.5);
  EXPECT_NE(map.layer(), before);
}

TEST_F(GeoMapTest, SetupFileRoundTripsToSixDecimals) {
  QuietMap map("maps/area.jpg", &camera_);
  EXPECT_EQ(map.setupPath(), "maps/area.mapSetUp");
  const double xs[4] = {-122.4194156, -122.1, -122.0000004, -122.5};
  const double ys[4] = {37.7749294, 37.7, 38.123456789, 38.0};
  for (int i = 0; i < 4; ++i) map.setCorner(i, xs[i], ys[i]);
  ASSERT_TRUE(map.writeSetupFile());
  EXPECT_EQ(dir_.scratch().read("maps/area.mapSetUp"),
            "-122.419416 37.774929\n-122.100000 37.700000\n-122.000000 38.123457\n"
            "-122.500000 38.000000\n");

  QuietMap again("maps/area.jpg", &camera_);
  ASSERT_TRUE(again.readSetupFile());
  for (int i = 0; i < 4; ++i) expectCorner(again, i, xs[i], ys[i], 5.1e-7);
}

TEST_F(GeoMapTest, WritingCommitsPendingEditsFirst) {
  QuietMap map("maps/area.jpg", &camera_);
  setSquare(map);
  map.setMoveDelta(1, 10);
  map.setRotationDelta(0, 18000);  // half a turn about the moved centre (11, 2)
  ASSERT_TRUE(map.writeSetupFile());
  EXPECT_FALSE(map.hasPendingEdits());
  EXPECT_EQ(map.committedRotation(), 0);
  expectCorner(map, 0, 12, 3);
  expectCorner(map, 2, 10, 1);
  EXPECT_EQ(dir_.scratch().read("maps/area.mapSetUp"),
            "12.000000 3.000000\n10.000000 3.000000\n10.000000 1.000000\n12.000000 1.000000\n");
}

TEST_F(GeoMapTest, IncompleteSetupFilesCountAsMissing) {
  const char* bodies[] = {"1 2\n3 4\n5 6\n",          // three lines
                          "1 2\n3 4\n5 6\n7\n",       // the last line gives one number
                          "1 2\n3 4\nfive 6\n7 8\n",  // a word instead of a number
                          "1 2\n3 4\n5 6\nnan 8\n",   // not a position
                          ""};
  for (const char* body : bodies) {
    dir_.scratch().write("maps/bad.mapSetUp", body);
    QuietMap map("maps/bad.jpg", &camera_);
    map.setOpacity(0.3);
    map.place();
    EXPECT_EQ(map.prompts, 1) << body;
    if (*body == '\0') {
      for (int i = 0; i < 4; ++i) expectCorner(map, i, 0, 0);  // never placed: all zero
    }
    EXPECT_EQ(map.layer(), nullptr) << body;
    EXPECT_DOUBLE_EQ(map.opacity(), 0.3) << body;
  }
}

TEST_F(GeoMapTest, CompleteSetupFileGivesOpacityOne) {
  // Long lines are read whole; only their start is scanned.
  dir_.scratch().write("maps/good.mapSetUp",
                       "1 2 " + std::string(1000, 'x') + "\n3 2\n3 4\n1 4\ntrailing words\n");
  QuietMap map("maps/good.jpg", &camera_);
  map.setOpacity(0.3);
  map.place();
  EXPECT_EQ(map.prompts, 0);
  EXPECT_DOUBLE_EQ(map.opacity(), 1.0);
  EXPECT_EQ(map.placement().useAlpha, 1);
  EXPECT_EQ(map.placement().loadAlpha, 0);
  ASSERT_NE(map.layer(), nullptr);
  EXPECT_DOUBLE_EQ(map.layer()->westX(), 1);
  EXPECT_DOUBLE_EQ(map.layer()->eastX(), 3);
  EXPECT_DOUBLE_EQ(map.layer()->southY(), 2);
  EXPECT_DOUBLE_EQ(map.layer()->northY(), 4);
  EXPECT_DOUBLE_EQ(map.layer()->minExtent(), 0.02);
  EXPECT_DOUBLE_EQ(map.layer()->maxExtent(), 200);
}

// A raster with a georeference needs no setup file and no dialog; a setup file beside it still
// wins; one without a georeference, or not a raster at all, asks for its placement.
TEST_F(GeoMapTest, GeoreferencedRasterIsPlacedByItsGeoreference) {
  const std::string ppm = raster_files::writePpm(dir_.scratch(), "maps/grey.ppm", 8, 8,
                                                 [](int, int) { return rgba(90, 90, 90, 255); });
  ASSERT_TRUE(raster_files::run({"gdal_translate", "-q", "-a_srs", "EPSG:4326", "-a_ullr", "10",
                                 "51", "12", "50", ppm, "maps/placed.tif"}));
  ASSERT_TRUE(raster_files::run({"gdal_translate", "-q", ppm, "maps/loose.tif"}));
  ASSERT_TRUE(raster_files::run({"gdal_translate", "-q", "-a_srs", "EPSG:4326", "-a_ullr", "10",
                                 "51", "12", "50", ppm, "maps/kept.tif"}));
  dir_.scratch().write("maps/kept.mapSetUp", "1 2\n3 2\n3 4\n1 4\n");
  dir_.scratch().write("maps/text.tif", "not a raster\n");
  const struct {
    const char* path;
    int prompts;
    double west, south, east, north;
  } cases[] = {{"maps/placed.tif", 0, 10, 50, 12, 51},
               {"maps/kept.tif", 0, 1, 2, 3, 4},
               {"maps/loose.tif", 1, 0, 0, 0, 0},
               {"maps/text.tif", 1, 0, 0, 0, 0}};
  for (const auto& c : cases) {
    QuietMap map(c.path, &camera_);
    testing::internal::CaptureStderr();
    map.place();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(map.prompts, c.prompts) << c.path;
    // Only the file GDAL cannot open is reported; the others are placed or asked for.
    EXPECT_EQ(said.find("halvex: map maps/text.tif") != std::string::npos,
              std::string(c.path) == "maps/text.tif")
        << said;
    if (c.prompts != 0) {
      EXPECT_EQ(map.layer(), nullptr) << c.path;
      continue;
    }
    EXPECT_NE(dynamic_cast<RasterLayer*>(map.layer()), nullptr) << c.path;
    expectCorner(map, 0, c.west, c.south, 1e-9);
    expectCorner(map, 2, c.east, c.north, 1e-9);
    EXPECT_DOUBLE_EQ(map.opacity(), 1.0) << c.path;
  }
}

TEST_F(GeoMapTest, PlacementDialogShowsAndAppliesTheChoice) {
  camera_.setCenter(10, 50);
  camera_.setExtent(2);
  dir_.scratch().write("maps/plain.mapSetUp", "1 2\n3 4\n5 6\n");  // one corner short
  GeoMap map("maps/plain.jpg", &camera_);
  int placed = 0;
  map.setPlacedHook([&] { ++placed; });
  map.place();
  PlacementDialog* dialog = map.placementDialog();
  ASSERT_NE(dialog, nullptr);
  pumpUntil([](void* d) { return static_cast<PlacementDialog*>(d)->shown(); }, dialog);
  ASSERT_TRUE(dialog->shown());
  EXPECT_STREQ(dialog->window->label(), "maps/plain.jpg");
  EXPECT_STREQ(dialog->modeGroup->label(), "Placement Mode Selection");
  EXPECT_STREQ(dialog->interactiveCheck->label(), "allow interactive positionig");
  EXPECT_STREQ(dialog->hideSmallCheck->label(), "hide with smaller the 10% of screen width");
  EXPECT_STREQ(dialog->loadAlphaCheck->label(), "load seperate alpha channel image ");
  EXPECT_STREQ(dialog->opacitySlider->label(), "75% Opaque");
  EXPECT_DOUBLE_EQ(dialog->opacitySlider->value(), 0.75);
  EXPECT_STREQ(dialog->nextButton->label(), "next");
  EXPECT_STREQ(dialog->cancelButton->label(), "cancel");

  // Moving the slider rewrites its label with "% 2d", whose flag puts a blank before the number.
  dialog->setOpacity(0.057);
  EXPECT_STREQ(dialog->opacitySlider->label(), " 5% Opaque");
  dialog->setOpacity(0.4);
  EXPECT_STREQ(dialog->opacitySlider->label(), " 40% Opaque");

  // "cancel" hides the dialog and copies the settings, nothing else.
  dialog->interactiveCheck->value(1);
  dialog->cancelButton->do_callback();
  EXPECT_FALSE(dialog->shown());
  EXPECT_DOUBLE_EQ(map.opacity(), 0.4);
  EXPECT_EQ(map.placement().allowInteractive, 1);
  EXPECT_EQ(map.layer(), nullptr);
  EXPECT_EQ(placed, 0);

  // "next" places the map on the view.
  map.place();
  pumpUntil([](void* d) { return static_cast<PlacementDialog*>(d)->shown(); }, dialog);
  EXPECT_EQ(map.placementDialog(), dialog);  // one dialog per map
  dialog->setOpacity(0.6);
  dialog->nextButton->do_callback();
  EXPECT_FALSE(dialog->shown());
  EXPECT_EQ(map.placementMode(), 0);
  EXPECT_DOUBLE_EQ(map.opacity(), 0.6);
  ASSERT_NE(map.layer(), nullptr);
  expectCorner(map, 0, 9, 49);
  expectCorner(map, 2, 11, 51);
  EXPECT_EQ(placed, 1);
}

TEST_F(GeoMapTest, AlphaImageChooserKeepsARelativePath) {
  dir_.scratch().write("maps/alpha.jpg", "not really a picture");
  GeoMap map("maps/plain.jpg", &camera_);
  PlacementSettings settings;
  settings.mode = 1;
  settings.loadAlpha = 1;
  map.setPlacement(settings);

  // The chooser runs its own loop; answer it from a time-out as the operator would.
  struct Answer {
    GeoMap* map;
    std::string title;
    std::string choice;
  } answer{&map, "", dir_.scratch().path("maps/alpha.jpg")};
  Fl::add_timeout(
      0.3,
      [](void* user) {
        auto* a = static_cast<Answer*>(user);
        Fl_File_Chooser* chooser = a->map->alphaChooser();
        if (chooser == nullptr) return;
        a->title = chooser->label();
        chooser->value(a->choice.c_str());
        chooser->hide();
      },
      &answer);
  map.applyPlacement();
  EXPECT_EQ(answer.title, "Load alpha image for map maps/plain.jpg");
  EXPECT_EQ(map.alphaPath(), "maps/alpha.jpg");
  ASSERT_NE(map.layer(), nullptr);
}

TEST_F(GeoMapTest, CommitAddsTheMoveResizeAndRotation) {
  QuietMap map("maps/a.jpg", &camera_);
  map.setPlacement(PlacementSettings{1, 0, 0, 0, 0, 1.0});
  setSquare(map);
  map.applyPlacement();

  map.setMoveDelta(0.5, 3);
  map.commitEdits();
  expectCorner(map, 0, 3, 0.5);
  expectCorner(map, 2, 5, 2.5);
  EXPECT_FALSE(map.hasPendingEdits());

  // The first value is the downward growth: negative grows the height.
  map.setSizeDelta(-2, 2);
  EXPECT_DOUBLE_EQ(map.heightDelta(), 2);
  map.commitEdits();
  expectCorner(map, 0, 2, -0.5);
  expectCorner(map, 2, 6, 3.5);
  EXPECT_NEAR(map.layer()->minExtent(), 0.04, 1e-12);
  EXPECT_NEAR(map.layer()->maxExtent(), 400, 1e-9);

  // Rotations are added to the committed rotation; the corners turn when it is committed.
  map.setRotationDelta(1, 4500);
  map.commitEdits();
  map.setRotationDelta(0, 4500);
  map.commitEdits();
  EXPECT_EQ(map.committedRotation(), 9000);
  EXPECT_EQ(map.committedRotationA(), 1);
  expectCorner(map, 0, 2, -0.5);
  map.commitRotation();
  EXPECT_EQ(map.committedRotation(), 0);
  EXPECT_EQ(map.committedRotationA(), 0);
  expectCorner(map, 0, 6, -0.5);  // a quarter turn counter-clockwise about (4, 1.5)
  expectCorner(map, 1, 6, 3.5);
  expectCorner(map, 2, 2, 3.5);
  expectCorner(map, 3, 2, -0.5);
}

TEST_F(GeoMapTest, DragCornerCommitsTheRotationAndKeepsItsCorner) {
  QuietMap map("maps/a.jpg", &camera_);
  setSquare(map);
  map.setRotationDelta(0, 36000 + 9000);       // a turn and a quarter
  EXPECT_EQ(map.dragCorner(2.2, 2.1, -1), 1);  // after the turn corner 1 is at (2, 2)
  expectCorner(map, 1, 2.1, 2.2);
  expectCorner(map, 0, 2, 0);
  EXPECT_EQ(map.rotation(), 0);
  // The held corner follows the pointer even when another is nearer.
  EXPECT_EQ(map.dragCorner(0, 0, 1), 1);
  expectCorner(map, 1, 0, 0);
  // A bad index is taken as none.
  EXPECT_EQ(map.dragCorner(2, 0, 7), 2);
}

TEST_F(GeoMapTest, UnwritableSetupFileIsReported) {
  QuietMap map("no_such_dir/a.jpg", &camera_);
  std::string shown;
  map.setMessageFn([&](const std::string& text) { shown = text; });
  map.setMoveDelta(1, 1);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(map.writeSetupFile());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "The setup file name is no_such_dir/a.mapSetUp\n");
  EXPECT_EQ(shown, "Problem writing map image setup file no_such_dir/a.mapSetUp\n");
  EXPECT_TRUE(map.hasPendingEdits());

  // A write that fails only when flushed is reported too.
  ASSERT_EQ(symlink("/dev/full", dir_.scratch().path("maps/full.mapSetUp").c_str()), 0);
  QuietMap full("maps/full.jpg", &camera_);
  full.setMessageFn([&](const std::string& text) { shown = text; });
  EXPECT_FALSE(full.writeSetupFile());
  EXPECT_EQ(shown, "Problem writing map image setup file maps/full.mapSetUp\n");
}

/// Drawing tests: a white map over the whole window of a real context.
class GeoMapDrawTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    geomap_test::writeWhiteImage(dir_.scratch().path("maps/white.sgi"));
    geomap_test::writeSetup("maps/white.sgi", 0, 0, 2, 2);
    camera_.setCenter(1, 1);
    camera_.setExtent(2);  // aspect 1: the view is 0..2 x 0..2
    projection(0, 0, 2, 2);
    map_ = std::make_unique<QuietMap>("maps/white.sgi", &camera_);
    map_->setClock([this] { return now_; });
    map_->place();
    ASSERT_NE(map_->layer(), nullptr);
    context_.camera = &camera_;
    gMapLoadCountdown = 0;
  }
  /// Grey level of the window's centre after drawing the map over black.
  int drawnGrey() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    map_->draw(context_);
    return pixel(kSize / 2, kSize / 2)[0];
  }

  WorkingDir dir_;
  ViewCamera camera_;
  DrawContext context_;
  WallTime now_{1000, 0};
  std::unique_ptr<QuietMap> map_;
};

TEST_F(GeoMapDrawTest, FlashRampsTheOpacityAndEndsAfterTwoWholeSeconds) {
  map_->setOpacity(1.0);
  EXPECT_GT(drawnGrey(), 250);
  now_ = {1000, 900};
  map_->startFlash();
  EXPECT_EQ(map_->flashStart(), 1000);
  now_ = {1001, 250};
  EXPECT_NEAR(drawnGrey(), 64, 3);  // opacity 0.25 from the milliseconds
  now_ = {1002, 999};
  drawnGrey();
  EXPECT_LT(map_->flash(), 0);  // two whole seconds are not more than two
  now_ = {1003, 0};
  EXPECT_NEAR(drawnGrey(), 0, 3);  // the last flashing frame: opacity 0
  EXPECT_EQ(map_->flash(), 0);
  EXPECT_GT(drawnGrey(), 250);

  // A positive flash keeps flashing.
  map_->setFlash(1);
  now_ = {5000, 500};
  EXPECT_NEAR(drawnGrey(), 128, 3);
  EXPECT_EQ(map_->flash(), 1);
}

TEST_F(GeoMapDrawTest, CommittedResizeIsNotScaledTwice) {
  map_->setSizeDelta(0, 2);  // width 2 -> 4 in the preview
  drawnGrey();
  EXPECT_DOUBLE_EQ(map_->layer()->xScale(), 2);
  map_->commitEdits();
  EXPECT_DOUBLE_EQ(map_->layer()->xScale(), 1);
  EXPECT_NEAR(map_->layer()->maxExtent(), 400, 1e-9);
  // Visible below 100 widths of the new map, and not up to 200 of them.
  camera_.setExtent(399);
  projection(-camera_.left(), -camera_.bottom(), 2, 2);  // still looking at 0..2 x 0..2
  EXPECT_GT(drawnGrey(), 250);
  camera_.setExtent(401);
  projection(-camera_.left(), -camera_.bottom(), 2, 2);
  EXPECT_EQ(drawnGrey(), 0);
}

}  // namespace
