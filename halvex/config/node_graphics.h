// Node icon definitions from the node graphics file, sorted into the lists the drawing uses.
#pragma once

#include <string>
#include <vector>

/// What an icon definition is for, from the first letter of its kind word (any letter case).
enum class NodeIconKind {
  Default,     ///< "D": the icon of nodes without one of their own.
  Target,      ///< "T": role icon of the target.
  Chase,       ///< "C": role icon of the chase vehicle.
  Proximity,   ///< "P": role icon of the close vehicle of a rank.
  Individual,  ///< "I": the icon of one node id.
  Unused,      ///< Any other letter: read, never used.
};

/// Size and colour (red, green, blue, 0 to 1) of an icon in one node status.
struct NodeIconLook {
  double size = 0.0;
  double red = 0.0;
  double green = 0.0;
  double blue = 0.0;
};

/// One line of the node graphics file.
struct NodeIconDef {
  static constexpr int kStatusCount = 3;  ///< Normal, medium idle, lost.

  NodeIconKind kind = NodeIconKind::Unused;
  int number = 0;                   ///< Proximity rank ("P") or node id ("I"); 0 otherwise.
  std::string kindWord;             ///< The kind word as written.
  std::string imagePath;            ///< Icon image; empty when absent.
  NodeIconLook look[kStatusCount];  ///< Indexed by node status.
  bool numberLabel = false;         ///< Draw the node number beside the icon.
};

/// The definitions of the node graphics file last read and the lists built from them.
class NodeGraphics {
 public:
  static constexpr int kFixedRolePlaces = 13;  ///< Default, target, chase and ten ranks.
  static constexpr int kMaxProximityRank = 10;

  /// Reads the file at path, replacing every earlier definition; a line with up to 15 fields
  /// defines one icon, missing numbers being 0. False when the file cannot be opened (the lists
  /// are then empty).
  bool read(const std::string& path);

  /// The file last read.
  const std::string& path() const { return path_; }

  /// Every definition in file order (the default icon list).
  const std::vector<NodeIconDef>& definitions() const { return definitions_; }

  /// Number of role places: 13 plus one per proximity line (the extra places stay empty).
  int roleCount() const { return static_cast<int>(roles_.size()); }

  /// The role icon at place: 0 the last "D", 1 the last "T", 2 the last "C", rank + 2 the last
  /// "P" of that rank (1 to 10). Null for an empty place or one out of range.
  const NodeIconDef* role(int place) const;

  /// The "I" definitions in file order.
  std::vector<const NodeIconDef*> individuals() const;

  /// The last "I" definition for node id; null when there is none.
  const NodeIconDef* individualFor(int id) const;

 private:
  std::string path_;
  std::vector<NodeIconDef> definitions_;
  std::vector<int> roles_;        ///< Index into definitions_ per place, -1 when empty.
  std::vector<int> individuals_;  ///< Indexes into definitions_.
};
