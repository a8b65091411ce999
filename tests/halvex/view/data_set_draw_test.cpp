// The data set's rows drawn into a real GLX context and read back: each marker where its
// latitude and longitude say, in its filter value's colour, with its label; hidden and culled
// rows draw nothing; a pick at a marker names its row.
#include "halvex/view/data_set_draw.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "halvex/engine/data_set_model.h"
#include "halvex/gl/view_camera.h"
#include "halvex/view/scene.h"
#include "tests/halvex/view/scene_test_support.h"

namespace {

using scene_test::Rgb;

constexpr int kWidth = 401;  ///< Pixels per degree at an extent of 1.
constexpr int kHeight = 301;
constexpr double kCentreX = 10.0;
constexpr double kCentreY = 32.0;
constexpr int kFillPixels = 25;  ///< Of a whole diamond, inside its outline.

/// One row: position (none when lat is NaN) and its Action, a value of its own, so that row k
/// has palette colour k.
struct Row {
  double lat, lon;
  const char* action;
};
const Row kRows[] = {
    {32.0, 10.0, "ambush"}, {32.1, 9.8, "raid"},       {31.9, 10.2, "patrol"},
    {31.95, 9.9, "mine"},   {32.0, 10.52, "sniper"},    // 8 px past the right edge: culled
    {NAN, NAN, "arson"},    {32.0, 10.015, "looting"},  // 6 px east of row 0
};

class DataSetDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shown_ = std::make_unique<scene_test::ShownSurface>(kWidth, kHeight);
    ASSERT_TRUE(shown_->shown());
    camera_ = shown_->surface().camera();
    camera_->setCenter(kCentreX, kCentreY);
    camera_->setExtent(1.0);
    auto set = std::make_shared<CsvDataSet>();
    set->types = {"user", "user", "field list"};
    set->names = {"lat", "lon", "Action"};
    for (const Row& row : kRows) {
      CsvDataRow data;
      data.fields = {std::to_string(row.lat), std::to_string(row.lon), row.action};
      data.hasPosition = !std::isnan(row.lat);
      data.latitude = row.lat;
      data.longitude = row.lon;
      set->rows.push_back(data);
    }
    model_.setDataSet(set);
    SceneInputs& in = frame_.inputs();
    in.dataSet = &model_;
    in.pickRequested = &pickRequested_;
    in.pickResult = [this](uint32_t name) { picked_.push_back(name); };
    shown_->add(SceneFrame::drawCallback, &frame_);
  }

  /// Window pixel (column, row from the top) of a ground position, through the last frame's
  /// camera.
  void screenOf(double lat, double lon, int& x, int& y) const {
    double projection[16], modelView[16];
    for (int k = 0; k < 16; ++k) {
      projection[k] = camera_->projection()[k];
      modelView[k] = camera_->modelView()[k];
    }
    const GLint viewport[4] = {0, 0, kWidth, kHeight};
    double wx = 0, wy = 0, wz = 0;
    gluProject(lon - camera_->left(), lat - camera_->bottom(), 0, modelView, projection, viewport,
               &wx, &wy, &wz);
    x = static_cast<int>(std::floor(wx));
    y = kHeight - 1 - static_cast<int>(std::floor(wy));
  }

  /// Pixels of the frame in palette colour `colour`.
  int countOf(int colour) const {
    static const unsigned char* rgb;
    rgb = DataSetModel::kPalette[colour];
    return shown_->count(0, 0, kWidth, kHeight, [](Rgb p) {
      return std::abs(p.r - rgb[0]) < 8 && std::abs(p.g - rgb[1]) < 8 && std::abs(p.b - rgb[2]) < 8;
    });
  }

  /// The row a pick at window pixel (x, y from the top) names, -1 for none.
  int pickAt(int x, int y) {
    camera_->setPickPosition(x, y);
    picked_.clear();
    pickRequested_ = true;
    EXPECT_TRUE(shown_->drawFrame());
    EXPECT_EQ(picked_.size(), 1u);
    return picked_.empty() ? -2 : model_.rowOfPick(pickNames().objectFor(picked_[0]));
  }

  std::unique_ptr<scene_test::ShownSurface> shown_;
  ViewCamera* camera_ = nullptr;
  DataSetModel model_;
  SceneFrame frame_;
  bool pickRequested_ = false;
  std::vector<uint32_t> picked_;
};

TEST_F(DataSetDrawTest, MarkerLiesWhereItsPositionSaysWithItsLabel) {
  struct Pose {
    double pitch, heading, centreX;
  };
  // Each pose moves the view, so that the kept picture must be set anew.
  for (const Pose& pose : {Pose{0, 0, kCentreX}, Pose{-45, 30, kCentreX}, Pose{-20, -60, 10.05}}) {
    camera_->setPitch(pose.pitch);
    camera_->setHeading(pose.heading);
    camera_->setCenter(pose.centreX, kCentreY);
    ASSERT_TRUE(shown_->drawFrame());
    for (int row : {0, 1, 2, 3}) {
      int x = 0, y = 0;
      screenOf(kRows[row].lat, kRows[row].lon, x, y);
      const Rgb p = shown_->pixel(x, y);
      const unsigned char* rgb = DataSetModel::kPalette[row];
      EXPECT_TRUE(std::abs(p.r - rgb[0]) < 8 && std::abs(p.g - rgb[1]) < 8 &&
                  std::abs(p.b - rgb[2]) < 8)
          << "row " << row << " pitch " << pose.pitch << ": " << p.r << "," << p.g << "," << p.b;
      // The dark outline just inside the tips.
      EXPECT_TRUE(scene_test::isBlack(shown_->pixel(x, y - DataSetDraw::kRadius)))
          << "row " << row << " pitch " << pose.pitch;
    }
  }
  // Row 2's label ("patrol") in black right of its marker, nothing left of it.
  camera_->setPitch(0);
  camera_->setHeading(0);
  camera_->setCenter(kCentreX, kCentreY);
  ASSERT_TRUE(shown_->drawFrame());
  int x = 0, y = 0;
  screenOf(kRows[2].lat, kRows[2].lon, x, y);
  const int gap = DataSetDraw::kLabelGap;
  EXPECT_GT(shown_->count(x + gap, y - 12, x + gap + 40, y + 4, scene_test::isBlack), 20);
  EXPECT_EQ(shown_->count(x - gap - 40, y - 12, x - gap, y + 4, scene_test::isBlack), 0);
}

TEST_F(DataSetDrawTest, HiddenCulledAndPositionlessRowsDrawNothing) {
  ASSERT_TRUE(shown_->drawFrame());
  for (int row : {0, 1, 2, 3}) EXPECT_EQ(countOf(row), kFillPixels) << "row " << row;
  EXPECT_EQ(countOf(4), 0);  // beyond the view's edge
  EXPECT_EQ(countOf(5), 0);  // no position
  model_.setValueShown(1, false);
  ASSERT_TRUE(shown_->drawFrame());
  EXPECT_EQ(countOf(1), 0);
  EXPECT_EQ(countOf(0), kFillPixels);
}

TEST_F(DataSetDrawTest, PickNamesTheNearestShownRow) {
  ASSERT_TRUE(shown_->drawFrame());
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  screenOf(kRows[0].lat, kRows[0].lon, x0, y0);
  screenOf(kRows[1].lat, kRows[1].lon, x1, y1);
  EXPECT_EQ(pickAt(x0 + 1, y0 + 3), 0);
  EXPECT_EQ(pickAt(x0 + 5, y0), 6);  // nearer row 6, 6 px east of row 0
  EXPECT_EQ(pickAt(x1 - 4, y1 - 2), 1);
  EXPECT_EQ(pickAt(x0, y0 - 40), -1);  // nothing near
  model_.setValueShown(1, false);
  EXPECT_EQ(pickAt(x1, y1), -1);  // hidden
}

}  // namespace
