// Ring markers: drawable overlay markers read from ring-marker records. A marker is a position
// with a coloured ring of slots, some of them shown, and text labels:
//   2D: $x,y,colour,E,S,L, E x (index,colour), L labels*
//   3D: $x,y,z,colour,E,S,L, E x (index,colour,scale,n,m, n x (index,colour,scale)), L labels*
#pragma once

#include <string>
#include <vector>

#include "common/dlink_list.h"

/// One slot of a ring. A slot of a 3D marker may carry a ring of its own (its children).
struct RingSlot {
  int index = 0;         ///< position in the parent's ring (0 for a marker's root)
  bool visible = false;  ///< whether an entry has shown it
  long colour = 0;       ///< index into the toolkit's colour map
  float scale = 1.0f;
  long entryCount = 0;  ///< entries the record announced for this slot's ring
  std::vector<RingSlot> children;

  int childCount() const { return static_cast<int>(children.size()); }

  /// Replaces the children by count fresh slots: index = position, hidden, colour 0, scale 1,
  /// no children of their own.
  void makeChildren(int count);

  /// Shows the slot with the given colour and scale and drops its children.
  void show(long newColour, float newScale);
};

/// A drawable marker, kept by its owner in a head/tail list.
class RingMarker : public DlinkList {
 public:
  /// Most slots in one ring; a record announcing more is not read.
  static constexpr int kMaxSlots = 1024;
  /// Most slots in one marker, nested rings included; an entry that would exceed it is skipped.
  static constexpr int kMaxTotalSlots = 4096;

  /// A marker at (x, y, z) with labelCount empty labels and a visible root slot of the given
  /// colour, scale 1 and no ring yet.
  RingMarker(int dimension, double x, double y, double z, long colour, int labelCount);
  ~RingMarker() override;

  int dimension() const { return dimension_; }  ///< 2 or 3
  double x() const { return x_; }               ///< longitude, degrees
  double y() const { return y_; }               ///< latitude, degrees
  double z() const { return z_; }               ///< height (0 for 2D markers)
  long colour() const { return root_.colour; }

  int labelCount() const { return static_cast<int>(labels_.size()); }
  /// Label k (empty when k is out of range or the label was never set).
  const std::string& label(int k) const;
  /// Sets label k to a copy of length characters of text; k out of range is ignored.
  void setLabel(int k, const char* text, size_t length);

  const RingSlot& root() const { return root_; }
  RingSlot& root() { return root_; }

  /// Following marker of the owner's list, or null.
  RingMarker* nextMarker() const { return static_cast<RingMarker*>(next()); }

 private:
  int dimension_;
  double x_, y_, z_;
  RingSlot root_;
  std::vector<std::string> labels_;
};

/// Builds a marker from a 2D or 3D ring-marker record (dimension 2 or 3), or returns null when
/// the record does not read. The caller owns the marker.
///
/// Separators are the first "$" (which opens the record), every "," after it, and a closing "*"
/// that stands within the last two characters of the line or just before its line break. The
/// header needs all its fields; its counts must not be negative, the slot count not above
/// kMaxSlots, and the labels (the last L fields) must not reach into the header. Entries are
/// read while the line has fields for them; an entry whose index or colour does not read is
/// skipped, as is a sub-entry that does not fully read; a 3D entry whose sub-ring counts are
/// negative or too large is skipped whole. Without a closing "*" the last label runs to the end
/// of the line, without its line break.
RingMarker* parseRingMarker(const char* line, int dimension);
