// Map objects listed in the map graphics file.
#pragma once

#include <string>
#include <vector>

/// One line of the map graphics file: an image placed on a ground rectangle, drawn while the
/// visible ground width lies within its extent range.
struct MapGraphicDef {
  std::string name;        ///< Image path.
  double west = 0.0;       ///< Longitude of the left edge.
  double east = 0.0;       ///< Longitude of the right edge.
  double south = 0.0;      ///< Latitude of the bottom edge.
  double north = 0.0;      ///< Latitude of the top edge.
  double minExtent = 0.0;  ///< Smallest extent at which it is drawn.
  double maxExtent = 0.0;  ///< Largest extent at which it is drawn.
};

/// The map objects of the map graphics file last read, in file order.
class MapGraphics {
 public:
  /// Reads the file at path, replacing the earlier list: a name and up to six numbers per line,
  /// missing numbers being 0. False when the file cannot be opened (the list is then empty).
  bool read(const std::string& path);

  /// The file last read.
  const std::string& path() const { return path_; }

  const std::vector<MapGraphicDef>& maps() const { return maps_; }

 private:
  std::string path_;
  std::vector<MapGraphicDef> maps_;
};
