// The rows of the CSV data set on the ground: a diamond in its filter value's colour for each
// row shown, with its label, and the row under the pointer in a picking pass.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "halvex/view/frame_view.h"
#include "halvex/view/view_picture.h"

class DataSetModel;
class LabelBatch;
struct DrawContext;

/// Draws the data set's markers. Rows outside the view are left out, and of rows whose centres
/// fall on one pixel only the first in file order is kept; the rest are stamped into a
/// ViewPicture as diamonds, earlier rows over later ones, which is kept while neither the
/// matrices, the viewport nor the model's version change. Labels: at most one per label-sized cell
/// of the view (the first row kept there in file order), handed to the frame's label batch under
/// ids no node has, for the declutter to place after the node labels.
class DataSetDraw {
 public:
  /// Pixels from a diamond's centre pixel to its tips: 9 pixels across, large enough to see
  /// and tell from the node icons, small enough for a crowd of reports.
  static constexpr int kRadius = 4;
  /// The outline's colour: dark, so that a light fill stands out from a light map.
  static constexpr unsigned char kOutline[3] = {24, 24, 24};
  /// Report label ids: kLabelIdBase + row, far below any node id (node ids are not negative).
  static constexpr int kLabelIdBase = INT_MIN;
  /// Pixels of a label's text: readable, and a label stays short beside the icons' labels.
  static constexpr int kLabelFontSize = 10;
  /// The cells each of which gives at most one label (pixels): about one short label's box,
  /// so that no more labels are laid out a frame than the view could show apart.
  static constexpr int kLabelCellWidth = 48;
  static constexpr int kLabelCellHeight = 14;
  /// Pixels between a marker's centre and the start of its label.
  static constexpr int kLabelGap = kRadius + 3;

  /// Draws `model`'s markers into the current context with the current matrices (view-local
  /// coordinates of `context`'s camera) and adds their labels to `labels` (begun for this
  /// frame). In a picking pass (`pick`) it draws instead, under the row's pick name, a quad over
  /// the marker nearest to the pointer among those reaching into the pick region around it.
  void draw(const DrawContext& context, DataSetModel& model, bool pick, LabelBatch& labels);

 private:
  /// A label handed to the batch each frame.
  struct Label {
    int row;
    double point[3];  ///< Where its text starts, view-local world units.
    std::string text;
  };

  /// Stamps a diamond centred on pixel (x, y) (from the viewport's lower-left corner, either may
  /// lie a little outside the picture) filled with `rgb` and outlined with kOutline, leaving the
  /// pixels earlier diamonds cover as they are.
  void addDiamond(int x, int y, const unsigned char rgb[3]);
  /// Sets every marker in view into the picture and chooses the labels.
  void build(const DrawContext& context, DataSetModel& model, const FrameView& view);
  /// Draws the pick quad of the marker nearest to the pointer, if one is near enough.
  void drawPick(const DrawContext& context, DataSetModel& model);

  ViewPicture picture_;
  bool built_ = false;
  FrameView builtView_{};
  uint64_t builtVersion_ = 0;
  const DataSetModel* builtModel_ = nullptr;
  std::vector<Label> labels_;
  std::vector<unsigned char> centres_;  ///< Per pixel: a kept marker's centre lies on it ...
  std::vector<size_t> taken_;           ///< ... at these pixels.
  std::vector<unsigned char> cells_;    ///< Per label cell: a label was chosen there.
};
