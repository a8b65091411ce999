// A project's state file element: a state file whose ring markers are drawn over the map.
#pragma once

#include <string>

class DlinkList;
class RingMarker;

/// One state file of a project's local-state group. Every read rebuilds its ring markers; state
/// records in the file are only checked for form and change no node.
class StateFileElement {
 public:
  /// An element for the state file `name`.
  explicit StateFileElement(const char* name);
  StateFileElement(const StateFileElement&) = delete;
  StateFileElement& operator=(const StateFileElement&) = delete;
  virtual ~StateFileElement();

  /// Re-reads the file. Returns false when the name is empty or the file cannot be opened.
  bool read();

  /// The line that stands for the element in the project file: tab, name, line feed.
  std::string projectLine() const;

  const std::string& name() const { return name_; }
  /// First ring marker, or null.
  RingMarker* firstMarker() const;
  /// Deletes every ring marker.
  void clearMarkers();

 private:
  friend class ElementStateHandler;
  std::string name_;                 ///< The state file.
  DlinkList* markerHead_ = nullptr;  ///< Ring markers, oldest first.
  DlinkList* markerTail_ = nullptr;  ///< Last ring marker.
};
