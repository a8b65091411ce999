// The tracker's projects: the manager with the toolkit's prompts and the auto-start file, the
// groups it makes, and the menu's project, local state, CSV and map operations.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "halvex/app/menu_table.h"
#include "halvex/project/auto_start.h"
#include "halvex/project/project_manager.h"
#include "halvex/ui/project_prompts_fltk.h"

class CsvGroup;
class ViewCamera;

/// Owns the project manager and what it asks through; makes its groups (the map group places
/// maps with the view's camera) and runs the menu commands that concern the project.
class TrackerProjects {
 public:
  explicit TrackerProjects(ViewCamera& camera);
  TrackerProjects(const TrackerProjects&) = delete;
  TrackerProjects& operator=(const TrackerProjects&) = delete;

  ProjectManager& manager() { return manager_; }

  /// Opens the project named in the auto-start file beside the program.
  void openAutoStart() { manager_.openAutoStart(autoStart_); }
  /// Runs a project command of the menu; the tool palette's commands are not the project's.
  void command(MenuCommand command);
  /// The open project's CSV group, or null when no project is open.
  CsvGroup* csvGroup() const;
  /// Who shows what a picking pass chose, for the CSV groups of the projects opened from now on.
  void setPickHandler(std::function<void(uint32_t name)> handler) {
    pickHandler_ = std::move(handler);
  }

 private:
  /// Makes the project's group `index` for a project being opened or created.
  std::unique_ptr<ProjectGroup> makeGroup(int index);

  ViewCamera& camera_;
  FltkProjectPrompts prompts_;  ///< Questions, messages and choosers of the project operations.
  AutoStartFile autoStart_;     ///< Beside the program: the project opened at start.
  std::function<void(uint32_t name)> pickHandler_;  ///< Before the manager, whose groups use it.
  ProjectManager manager_;
};
