#include "halvex/view/label_declutter.h"

#include <algorithm>
#include <cmath>

namespace {

/// Priority classes, first placed first.
enum PriorityClass : uint64_t {
  kClassUnderPointer,
  kClassTarget,
  kClassChase,
  kClassClose,
  kClassDrawnLastFrame,
  kClassRest,
  kClassReportDrawnLastFrame,
  kClassReport,
};
/// Classes up to this one are placed whatever they overlap.
constexpr uint64_t kAlwaysPlaced = kClassTarget;
constexpr int kMaxRank = 0xFFFFFF;

/// `value` (finite) cut into 0..limit as a whole pixel.
int toPixel(float value, int limit) {
  if (value <= 0) return 0;
  if (value >= static_cast<float>(limit)) return limit;
  return static_cast<int>(std::floor(value));
}

/// A label's priority as one word that sorts like (class, rank, id).
uint64_t key(uint64_t priorityClass, int rank, int id) {
  const uint64_t signedOrderId = static_cast<uint32_t>(id) ^ 0x80000000u;
  return (priorityClass << 56) | (static_cast<uint64_t>(rank) << 32) | signedOrderId;
}

}  // namespace

const std::vector<bool>& LabelDeclutter::place(const std::vector<LabelCandidate>& labels, int width,
                                               int height, bool declutterOn, int underPointerId) {
  result_.assign(labels.size(), true);
  nowDrawn_.clear();
  if (!declutterOn) {
    for (const LabelCandidate& label : labels) nowDrawn_.push_back(label.id);
  } else {
    resetGrid(width, height);
    order_.clear();
    for (size_t k = 0; k < labels.size(); ++k) {
      order_.emplace_back(priority(labels[k], underPointerId), static_cast<int>(k));
    }
    std::sort(order_.begin(), order_.end());
    for (const auto& [priorityKey, index] : order_) {
      const LabelCandidate& label = labels[index];
      if (!std::isfinite(label.x0) || !std::isfinite(label.y0) || !std::isfinite(label.x1) ||
          !std::isfinite(label.y1)) {
        result_[index] = false;
        continue;
      }
      const Box box = clip(label);
      if (box.x0 >= box.x1 || box.y0 >= box.y1) continue;  // outside the view: nothing to hide
      if ((priorityKey >> 56) > kAlwaysPlaced && overlapsPlaced(box)) {
        result_[index] = false;
        continue;
      }
      addPlaced(box);
      nowDrawn_.push_back(label.id);
    }
  }
  std::sort(nowDrawn_.begin(), nowDrawn_.end());
  drawnIds_.swap(nowDrawn_);
  return result_;
}

void LabelDeclutter::resetGrid(int width, int height) {
  width_ = std::clamp(width, 0, kMaxViewPixels);
  height_ = std::clamp(height, 0, kMaxViewPixels);
  columns_ = (width_ + kCellPixels - 1) / kCellPixels;
  rows_ = (height_ + kCellPixels - 1) / kCellPixels;
  cellHeads_.assign(static_cast<size_t>(columns_) * rows_, -1);
  entries_.clear();
  placed_.clear();
}

LabelDeclutter::Box LabelDeclutter::clip(const LabelCandidate& label) const {
  const int ax = toPixel(label.x0, width_);
  const int bx = toPixel(label.x1, width_);
  const int ay = toPixel(label.y0, height_);
  const int by = toPixel(label.y1, height_);
  return {std::min(ax, bx), std::min(ay, by), std::max(ax, bx), std::max(ay, by)};
}

uint64_t LabelDeclutter::priority(const LabelCandidate& label, int underPointerId) const {
  if (underPointerId != kNoPointer && label.id == underPointerId) {
    return key(kClassUnderPointer, 0, label.id);
  }
  switch (label.role) {
    case LabelRole::kTarget:
      return key(kClassTarget, 0, label.id);
    case LabelRole::kChase:
      return key(kClassChase, 0, label.id);
    case LabelRole::kClose:
      return key(kClassClose, std::clamp(label.closeRank, 0, kMaxRank), label.id);
    case LabelRole::kOther:
      break;
    case LabelRole::kReport:
      return key(drawnLastFrame(label.id) ? kClassReportDrawnLastFrame : kClassReport, 0, label.id);
  }
  return key(drawnLastFrame(label.id) ? kClassDrawnLastFrame : kClassRest, 0, label.id);
}

bool LabelDeclutter::drawnLastFrame(int id) const {
  return std::binary_search(drawnIds_.begin(), drawnIds_.end(), id);
}

bool LabelDeclutter::overlapsPlaced(const Box& box) const {
  const int lastColumn = (box.x1 - 1) / kCellPixels;
  const int lastRow = (box.y1 - 1) / kCellPixels;
  for (int row = box.y0 / kCellPixels; row <= lastRow; ++row) {
    for (int column = box.x0 / kCellPixels; column <= lastColumn; ++column) {
      for (int e = cellHeads_[row * columns_ + column]; e != -1; e = entries_[e].next) {
        const Box& other = placed_[entries_[e].box];
        if (box.x0 < other.x1 && other.x0 < box.x1 && box.y0 < other.y1 && other.y0 < box.y1) {
          return true;
        }
      }
    }
  }
  return false;
}

void LabelDeclutter::addPlaced(const Box& box) {
  const int index = static_cast<int>(placed_.size());
  placed_.push_back(box);
  const int lastColumn = (box.x1 - 1) / kCellPixels;
  const int lastRow = (box.y1 - 1) / kCellPixels;
  for (int row = box.y0 / kCellPixels; row <= lastRow; ++row) {
    for (int column = box.x0 / kCellPixels; column <= lastColumn; ++column) {
      int& head = cellHeads_[row * columns_ + column];
      entries_.push_back({index, head});
      head = static_cast<int>(entries_.size()) - 1;
    }
  }
}
