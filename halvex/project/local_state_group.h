// The project's local-state group: state files whose ring markers are drawn over the map.
#pragma once

#include <string>

#include "halvex/project/project_group.h"

class DlinkList;
class ProjectPrompts;
class StateFileElement;

/// Group 1 of a project ("LOCAL_STATE_group"): a list of state file paths, each listed once.
/// Every draw re-reads each file and draws the ring markers it holds.
class LocalStateGroup : public ProjectGroup {
 public:
  /// The group asks through `prompts` (kept, must outlive the group).
  explicit LocalStateGroup(ProjectPrompts& prompts);
  ~LocalStateGroup() override;
  LocalStateGroup(const LocalStateGroup&) = delete;
  LocalStateGroup& operator=(const LocalStateGroup&) = delete;

  /// Reads one path per line up to "END" (any letter case).
  ///
  ///   	/data/state.txt
  void readSection(FieldFile& file) override;
  /// "BEGIN LOCAL_STATE_group", a tab and the path per state file, "END".
  void writeSection(std::FILE* out) override;
  /// Re-reads every state file and draws its ring markers.
  void draw(const DrawContext& context) override;

  /// Asks for a name and lists a state file there (menu "new", "input streams", "local").
  void newStateFileLocation();
  /// Asks for an existing state file and lists it (menu "load", "input streams", "local").
  void loadStateFile();
  /// Lists the state file at `path` unless it is listed already; false when not listed. A path
  /// that a project file cannot hold (empty, with blanks, too long) is refused with a message.
  bool addStateFile(const std::string& path);

  /// Number of listed state files.
  int count() const;
  /// The state file at `index` in list order, or null.
  StateFileElement* element(int index) const;

 private:
  /// Lists `path`; false when it is listed already. Refuses nothing else.
  bool append(const std::string& path);

  ProjectPrompts& prompts_;
  DlinkList* head_ = nullptr;  ///< Entries in list order.
  DlinkList* tail_ = nullptr;
};
