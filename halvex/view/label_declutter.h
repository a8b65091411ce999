// Which node labels are drawn when they crowd each other: labels are placed in priority order and
// one that would overlap a label already placed this frame is left out.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

/// What a label's node is to the operator; earlier roles win the room first. kReport is a data
/// set row's label, placed after every node label.
enum class LabelRole { kTarget, kChase, kClose, kOther, kReport };

/// One node's label box: its number label and its text lines together.
/// Coordinates are window pixels of the view, origin at its lower left corner, y up (as
/// gluProject gives them). Corners may come in either order.
struct LabelCandidate {
  int id = 0;  ///< Node id; report labels take ids no node has.
  LabelRole role = LabelRole::kOther;
  int closeRank = 0;  ///< 1 for the nearest close vehicle, 2 for the next, ...; kClose only.
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

/// Places labels frame by frame. Priority: the node under the pointer, the target (both always
/// placed), the chase vehicle, close vehicles by rank, labels drawn in the last frame, the rest,
/// then report labels drawn in the last frame and the other report labels; ties by id ascending.
/// The others are placed when their box overlaps no box placed before (touching edges do not
/// overlap). Only the part of a box inside the view counts: a box wholly outside it is placed,
/// blocks nothing and is not remembered as drawn. A box with a coordinate that is not a finite
/// number is left out. The placed boxes are kept in a grid of cells, so each box is tested only
/// against the boxes in the cells it covers; member storage is reused from frame to frame.
class LabelDeclutter {
 public:
  static constexpr int kNoPointer = -1;  ///< No node under the pointer.
  static constexpr int kCellPixels = 64;
  static constexpr int kMaxViewPixels = 16384;  ///< Larger views are cut to this size.

  /// Decides which of `labels` are drawn in a view of width x height pixels; entry k of the
  /// result belongs to labels[k] and stays valid until the next call. With `declutterOn` false
  /// every label is placed.
  const std::vector<bool>& place(const std::vector<LabelCandidate>& labels, int width, int height,
                                 bool declutterOn, int underPointerId = kNoPointer);

  /// Forgets the labels drawn in the last frame.
  void forget() { drawnIds_.clear(); }

 private:
  struct Box {
    int x0, y0, x1, y1;  ///< Cut to the view; empty when x0 >= x1 or y0 >= y1.
  };
  struct CellEntry {
    int box;   ///< Index into placed_.
    int next;  ///< Next entry of the same cell, or -1.
  };

  void resetGrid(int width, int height);
  Box clip(const LabelCandidate& label) const;
  uint64_t priority(const LabelCandidate& label, int underPointerId) const;
  bool drawnLastFrame(int id) const;
  bool overlapsPlaced(const Box& box) const;
  void addPlaced(const Box& box);

  int width_ = 0;
  int height_ = 0;
  int columns_ = 0;
  int rows_ = 0;
  std::vector<int> cellHeads_;  ///< First entry of each cell, or -1.
  std::vector<CellEntry> entries_;
  std::vector<Box> placed_;
  std::vector<std::pair<uint64_t, int>> order_;  ///< Priority key and label index.
  std::vector<int> drawnIds_;                    ///< Ids drawn in the last frame, sorted.
  std::vector<int> nowDrawn_;
  std::vector<bool> result_;
};
