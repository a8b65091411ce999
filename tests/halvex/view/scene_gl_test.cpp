// The frame drawn into a real GLX context and read back: node icons where their positions say,
// in the look of their status, with their labels; maps; the readout; the clear colour; picking.
#include <FL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/geodesy/readout.h"
#include "halvex/config/node_graphics.h"
#include "halvex/gl/gl_extensions.h"
#include "halvex/maps/map_layer.h"
#include "halvex/maps/map_texture.h"
#include "halvex/tracking/node_table.h"
#include "halvex/tracking/tracking_settings.h"
#include "halvex/view/node_icon.h"
#include "halvex/view/scene.h"
#include "tests/halvex/view/scene_test_support.h"

namespace {

using scene_test::isBlack;
using scene_test::isBlue;
using scene_test::isRed;
using scene_test::Rgb;

constexpr int kWidth = 401;  ///< Odd, so that pixel 200 is centred on the view centre.
constexpr int kHeight = 301;
constexpr double kCentreX = 10.0;  ///< Longitude of the view centre.
constexpr double kCentreY = 32.0;  ///< Latitude of the view centre.
constexpr int64_t kFrequency = 1000;

int64_t gCounter = 0;
int64_t testCounter() {
  return gCounter;
}
int64_t testFrequency() {
  return kFrequency;
}

bool isBackground(Rgb p) {
  return p.r < 20 && p.g > 85 && p.g < 120 && p.b > 110 && p.b < 145;
}
bool isGreen(Rgb p) {
  return p.g > 150 && p.r < 60 && p.b < 60;
}
bool isYellow(Rgb p) {
  return p.r > 200 && p.g > 200 && p.b < 60;
}

class SceneGl : public ::testing::Test {
 protected:
  void SetUp() override {
    shown_ = std::make_unique<scene_test::ShownSurface>(kWidth, kHeight);
    ASSERT_TRUE(shown_->shown());
    camera_ = shown_->surface().camera();
    camera_->setCenter(kCentreX, kCentreY);
    camera_->setExtent(1.0);
    ASSERT_TRUE(
        table_.readNodeFile(scene_test::writeScratchFile("nodes.txt", "7 seven\n").c_str()));
    node_ = table_.nodeById(7);
    ASSERT_NE(node_, nullptr);
    for (bool& show : settings_.showComment) show = false;
    SceneInputs& in = frame_.inputs();
    in.table = &table_;
    in.settings = &settings_;
    in.icons = &icons_;
    in.maps = &maps_;
    in.statusFromRecords = [] { return true; };
    in.pickRequested = &pickRequested_;
    in.pickResult = [this](uint32_t name) { picked_.push_back(name); };
    in.pointerLatitude = &pointerLat_;
    in.pointerLongitude = &pointerLon_;
    in.frameTime = &frameTime_;
    gNodeIconLoadCountdown = 0;
    gCounter = 0;
    NodeIcon::setClock(testCounter, testFrequency);
  }

  void TearDown() override {
    NodeIcon::setClock(nullptr, nullptr);
    shown_.reset();
  }

  /// Uses the icons of a node graphics file with the given text.
  void useIcons(const std::string& text) {
    ASSERT_TRUE(graphics_.read(scene_test::writeScratchFile("icons.def", text)));
    icons_.build(graphics_);
  }

  /// Draws the scene (and then the extra callback, if any) until two frames are done, so that a
  /// lazy load has happened; the second frame is read back.
  void draw(int frames = 2) {
    if (!added_) {
      shown_->add(SceneFrame::drawCallback, &frame_);
      added_ = true;
    }
    for (int i = 0; i < frames; ++i) ASSERT_TRUE(shown_->drawFrame());
  }

  /// Pixel column and row (from the top) of a ground position, with pitch and heading 0.
  static void screenOf(double lat, double lon, int& x, int& y) {
    const double aspect = static_cast<double>(kHeight) / kWidth;
    const double left = kCentreX - 0.5;
    const double bottom = kCentreY - aspect / 2;
    x = static_cast<int>((lon - left) * kWidth);
    y = kHeight - 1 - static_cast<int>((lat - bottom) / aspect * kHeight);
  }

  Rgb at(int x, int y) const { return shown_->pixel(x, y); }
  int count(int x0, int y0, int x1, int y1, bool (*match)(Rgb)) const {
    return shown_->count(x0, y0, x1, y1, match);
  }

  std::unique_ptr<scene_test::ShownSurface> shown_;
  ViewCamera* camera_ = nullptr;
  NodeTable table_;
  NodeRecord* node_ = nullptr;
  TrackingSettings settings_;
  NodeGraphics graphics_;
  NodeIconSet icons_;
  std::vector<std::unique_ptr<MapLayer>> maps_;
  SceneFrame frame_;
  bool added_ = false;
  bool pickRequested_ = false;
  std::vector<uint32_t> picked_;
  double pointerLat_ = 0;
  double pointerLon_ = 0;
  int64_t frameTime_ = 0;
};

// Icon of size 5: half size 0.025 view widths, about 10 pixels.
constexpr const char* kRedIcon = "D /nonexistent/icon.sgi 5 5 5 1 0 0 1 0 0 0 0 1\n";

TEST_F(SceneGl, IconSitsWhereItsPositionSays) {
  useIcons(kRedIcon);
  node_->applyStateRecord(32.1, 10.2, 0, "", "", 0, "seven");
  draw();
  int x = 0, y = 0;
  screenOf(32.1, 10.2, x, y);
  EXPECT_TRUE(isRed(at(x, y)));
  EXPECT_TRUE(isRed(at(x - 7, y - 7)));
  EXPECT_TRUE(isRed(at(x + 7, y + 7)));
  EXPECT_TRUE(isBackground(at(x - 14, y)));
  EXPECT_TRUE(isBackground(at(x + 14, y)));
  EXPECT_TRUE(isBackground(at(x, y - 14)));
  EXPECT_TRUE(isBackground(at(x, y + 14)));
  EXPECT_TRUE(isBackground(at(200, 150)));
  EXPECT_NE(frameTime_, 0);
}

TEST_F(SceneGl, IconWithoutImageIsAPlainSquare) {
  useIcons(kRedIcon);
  node_->applyStateRecord(kCentreY, kCentreX, 0, "", "", 0, "seven");
  draw();
  EXPECT_EQ(icons_.icon(0)->textureId(), NodeIcon::kNoTexture);
  // Every pixel of the square's inside is the icon's colour.
  EXPECT_EQ(count(192, 142, 209, 159, isRed), 17 * 17);
}

TEST_F(SceneGl, IconImageIsTextured) {
  const std::string image = scene_test::writeSolidSgi("green.sgi", 8, 8, 0, 255, 0);
  useIcons("D " + image + " 5 5 5 1 1 1 1 1 1 1 1 1\n");
  node_->applyStateRecord(kCentreY, kCentreX, 0, "", "", 0, "seven");
  draw();
  EXPECT_GE(icons_.icon(0)->textureId(), 2);
  EXPECT_TRUE(isGreen(at(200, 150))) << at(200, 150).r << "," << at(200, 150).g;
}

TEST_F(SceneGl, LostNodeShowsItsColourAtTheStartOfASecond) {
  useIcons(kRedIcon);  // normal red, lost blue
  node_->applyStateRecord(kCentreY, kCentreX, 2, "", "", 0, "seven");
  gCounter = 5 * kFrequency;
  draw();
  EXPECT_TRUE(isBlue(at(200, 150)));
  gCounter = 5 * kFrequency + kFrequency * 9 / 10;
  draw(1);
  EXPECT_TRUE(isRed(at(200, 150)));
}

TEST_F(SceneGl, AliveNodeNeverPulses) {
  useIcons(kRedIcon);
  node_->applyStateRecord(kCentreY, kCentreX, 0, "", "", 0, "seven");
  gCounter = 5 * kFrequency;
  draw();
  EXPECT_TRUE(isRed(at(200, 150)));
}

TEST_F(SceneGl, StatusComputedNowWhenNoRecordsWereRead) {
  useIcons(kRedIcon);
  node_->applyStateRecord(kCentreY, kCentreX, 0, "", "", 0, "seven");
  // Never received: computed as lost.
  frame_.inputs().statusFromRecords = [] { return false; };
  draw();
  EXPECT_EQ(node_->status, 2);
  EXPECT_TRUE(isBlue(at(200, 150)));
}

// A white icon of size 15 (60 pixels) with the number label.
constexpr const char* kLabelledIcon = "D /nonexistent/icon.sgi 15 15 15 1 1 1 1 1 1 1 1 1 on\n";

TEST_F(SceneGl, LabelsBesideTheIconWhenSwitchedOn) {
  useIcons(kLabelledIcon);
  node_->applyStateRecord(kCentreY, kCentreX, 0, "comment one", "comment two", 3, "seven");
  for (bool& show : settings_.showComment) show = true;
  draw();
  EXPECT_GT(count(245, 110, 400, 190, isBlack), 0) << "text lines";
  EXPECT_GT(count(175, 135, 226, 166, isBlack), 0) << "number label";
  // The readout's rows (from 230 down) left out.
  EXPECT_EQ(count(0, 0, 165, 230, isBlack), 0) << "nothing to the left";
}

TEST_F(SceneGl, OnlyTheNumberLabelWithTheSwitchesOff) {
  useIcons(kLabelledIcon);
  node_->applyStateRecord(kCentreY, kCentreX, 0, "comment one", "comment two", 3, "seven");
  draw();
  EXPECT_GT(count(175, 135, 226, 166, isBlack), 0) << "number label";
  EXPECT_EQ(count(231, 0, 401, 230, isBlack), 0) << "no text lines";
}

// Icon sizes come unchecked from the node graphics file; a huge or non-number size must not
// reach the toolkit's font choice, which ends the program beyond size 65535.
TEST_F(SceneGl, HugeIconSizesStillDraw) {
  for (const char* size : {"1e9", "nan", "-5e12"}) {
    SCOPED_TRACE(size);
    useIcons(std::string("D /nonexistent/icon.sgi ") + size + " 1 1 1 1 1 1 1 1 1 1 1 on\n");
    node_->applyStateRecord(kCentreY, kCentreX, 0, "one", "two", 3, "seven");
    for (bool& show : settings_.showComment) show = true;
    draw();
  }
}

TEST_F(SceneGl, ReadoutShowsThePointerPosition) {
  camera_->setPickPosition(200, 150);  // the view centre's pixel
  draw();
  EXPECT_NEAR(pointerLat_, kCentreY, 1e-4);
  EXPECT_NEAR(pointerLon_, kCentreX, 1e-4);
  // The lines drawn are those of the position stored for the project groups.
  const geodesy::Readout expected = geodesy::makeReadout(pointerLon_, pointerLat_);
  const geodesy::Readout& drawn = frame_.lastReadout();
  EXPECT_EQ(drawn.latitude, expected.latitude);
  EXPECT_EQ(drawn.longitude, expected.longitude);
  EXPECT_EQ(drawn.mgrs, expected.mgrs);
  EXPECT_EQ(drawn.latitude.rfind("Lat:   3", 0), 0u) << drawn.latitude;
  EXPECT_EQ(drawn.longitude.rfind("Lon:   ", 0), 0u) << drawn.longitude;
  EXPECT_EQ(drawn.mgrs.rfind("MGRS: 32", 0), 0u) << drawn.mgrs;
  // Black text in the lower right corner, none in the lower left.
  EXPECT_GT(count(200, 231, 401, 301, isBlack), 0);
  EXPECT_EQ(count(0, 231, 100, 301, isBlack), 0);

  camera_->setPickPosition(0, 0);  // upper left: west and north of the centre
  draw(1);
  EXPECT_LT(pointerLon_, kCentreX - 0.45);
  EXPECT_GT(pointerLat_, kCentreY + 0.3);
  EXPECT_EQ(frame_.lastReadout().latitude, geodesy::latitudeText(pointerLat_));
}

TEST_F(SceneGl, MapLayerDrawnWhereItsRectangleSays) {
  const std::string image = scene_test::writeSolidSgi("map.sgi", 16, 16, 0, 255, 0);
  // West half of the view, south of the centre's latitude.
  maps_.push_back(std::make_unique<MapLayer>(image.c_str(), 9.6, 10.0, 31.8, 32.0, 0.0, 100.0));
  gMapLoadCountdown = 0;
  draw(3);
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  screenOf(32.0, 9.6, x0, y0);
  screenOf(31.8, 10.0, x1, y1);
  EXPECT_TRUE(isGreen(at((x0 + x1) / 2, (y0 + y1) / 2)));
  EXPECT_TRUE(isGreen(at(x0 + 3, y0 + 3)));
  EXPECT_TRUE(isGreen(at(x1 - 3, y1 - 3)));
  EXPECT_TRUE(isBackground(at(x0 - 4, (y0 + y1) / 2)));
  EXPECT_TRUE(isBackground(at(x1 + 4, (y0 + y1) / 2)));
  EXPECT_TRUE(isBackground(at((x0 + x1) / 2, y0 - 4)));
  EXPECT_TRUE(isBackground(at((x0 + x1) / 2, y1 + 4)));
}

TEST_F(SceneGl, StereoDriverKeepsItsClearColour) {
  draw(1);  // the first frame probes the extensions
  glExtensions().setFocalPlane = [](float) {};
  // Stands in for the driver: sets its own clear colour before the scene.
  struct Driver {
    static void clearYellow(void*, const DrawContext&) { glClearColor(1, 1, 0, 1); }
  };
  // Draw callbacks run in order: the driver's colour is set before the next frame's scene.
  shown_->add(Driver::clearYellow, nullptr);
  draw(2);
  glExtensions().setFocalPlane = nullptr;
  EXPECT_TRUE(isYellow(at(5, 5)));
  draw(1);
  EXPECT_TRUE(isBackground(at(5, 5)));
}

/// Two named quads over the view centre at different heights, and a nameless one above both.
struct PickScene {
  int low = 0;
  int high = 0;
  bool highFirst = false;

  static void quad(double z) {
    glBegin(GL_QUADS);
    glVertex3d(0.4, 0.3, z);
    glVertex3d(0.6, 0.3, z);
    glVertex3d(0.6, 0.45, z);
    glVertex3d(0.4, 0.45, z);
    glEnd();
  }
  void draw() const {
    const double lowZ = 0.0;
    const double highZ = 0.1;  // nearer the eye
    if (highFirst) {
      glLoadName(pickNames().nameFor(&high));
      quad(highZ);
    }
    glLoadName(pickNames().nameFor(&low));
    quad(lowZ);
    if (!highFirst) {
      glLoadName(pickNames().nameFor(&high));
      quad(highZ);
    }
    glLoadName(0);
    quad(0.2);
  }
};

TEST_F(SceneGl, PickingChoosesTheNearerNamedObject) {
  PickScene scene;
  frame_.inputs().drawGroups = [&scene](const DrawContext&) { scene.draw(); };
  camera_->setPickPosition(200, 150);
  for (bool highFirst : {false, true}) {
    scene.highFirst = highFirst;
    picked_.clear();
    pickRequested_ = true;
    draw(1);
    EXPECT_FALSE(pickRequested_);
    ASSERT_EQ(picked_.size(), 1u);
    EXPECT_EQ(pickNames().objectFor(picked_[0]), &scene.high) << "high first: " << highFirst;
  }
  // No request, no pass.
  picked_.clear();
  draw(1);
  EXPECT_TRUE(picked_.empty());
  // Nothing named under the pointer: name 0.
  camera_->setPickPosition(10, 10);
  pickRequested_ = true;
  draw(1);
  ASSERT_EQ(picked_.size(), 1u);
  EXPECT_EQ(picked_[0], 0u);
  pickNames().forget(&scene.low);
  pickNames().forget(&scene.high);
}

}  // namespace
