// The open project: its file, its six groups, and the operations that create, load, save and
// close it, with the questions they ask.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "halvex/project/project_file.h"
#include "halvex/project/project_group.h"

class AutoStartFile;
class ProjectPrompts;
struct DrawContext;

/// Owns the open project and its groups. The groups come from the owner's factory, so that the
/// manager depends on none of them; each group gets a hook that marks the project modified.
class ProjectManager {
 public:
  /// Makes the group for index 0 to 5 (ProjectGroupIndex); null gives a base group.
  using GroupFactory = std::function<std::unique_ptr<ProjectGroup>(int index)>;

  /// Text of the choice offered when an operation needs a project.
  static constexpr const char* kProjectRequired =
      "You must have a project open to do this operation\nChoose one of the followig:";

  /// The manager asks through `prompts` (kept, must outlive the manager).
  ProjectManager(ProjectPrompts& prompts, GroupFactory factory);
  ~ProjectManager();
  ProjectManager(const ProjectManager&) = delete;
  ProjectManager& operator=(const ProjectManager&) = delete;

  /// Asks for a name and creates a new project there (menu "new", "project").
  void newProject();
  /// Creates an empty project at the pending path, asking first when a file is there.
  void createProject();
  /// Asks for a project file and opens it (menu "load", "project").
  void loadProject();
  /// Opens the project at the pending path, offering to create it when there is no file.
  void openPending();
  /// Opens the project at `path` without questions (auto-start); ignores an empty path.
  void openPath(const std::string& path);
  /// Writes the project to its file, or asks for one (menu "save", "project").
  void saveProject();
  /// Asks for a file and writes the project to it (menu "save as", "project").
  void saveProjectAs();
  /// Writes the open project to its path and says how it went; true when written.
  bool writeProject();
  /// Destroys the groups and forgets the project, saved or not.
  void closeProject();
  /// Menu "close": asks first when the project has unsaved changes, then closes it.
  void closeAsked();
  /// The program is to end: a project with unsaved changes asks first, as closing it from the
  /// menu does. True when the program may end, false when the operator kept the project open.
  bool closeForQuit();

  /// Offers to open or create a project when none is open; true when one is open afterwards.
  bool requireProject();
  /// The group at `index` after requireProject(), or null.
  ProjectGroup* requireGroup(int index);
  /// The open project's group at `index`. Without a project, offers to open or create one and
  /// gives null even when one is opened: the operation is chosen again once the project is there.
  ProjectGroup* groupOrPrompt(int index);

  /// Records the open project in `file`, or clears it when no project is open.
  void setAutoStart(const AutoStartFile& file);
  /// Opens the project `file` names, if it names one (start-up).
  void openAutoStart(const AutoStartFile& file);

  /// The group at `index` (ProjectGroupIndex), or null when no project is open.
  ProjectGroup* group(int index) const;
  /// Draws groups 0 to 4.
  void draw(const DrawContext& context);
  /// Hands the event to groups 0 to 4; non-zero when any of them used it.
  int mouseEvent(int event, int toolMode, double latitude, double longitude);
  /// Hands a picking pass's name to the data-set group.
  void pick(uint32_t name);
  /// Hands a picking pass's name to the data-set group; without a project, offers to open one.
  void pickOrPrompt(uint32_t name);

  /// Marks the open project as changed since it was last saved.
  void markModified();

  bool isOpen() const { return groups_[0] != nullptr; }
  bool modified() const { return modified_; }
  /// The project file's name without directory; empty when no project is open.
  const std::string& projectName() const { return projectName_; }
  /// The project file's path; empty when no project is open.
  const std::string& projectPath() const { return projectPath_; }
  const std::string& pendingName() const { return pendingName_; }
  const std::string& pendingPath() const { return pendingPath_; }

 private:
  /// The "not saved" question when the open project is modified; true to go on.
  bool mayDiscard();
  /// Makes the project at the pending path the open one with six empty groups.
  void openEmpty();
  /// Reads the project file into the groups just made.
  void readFile();
  /// Sets the pending path and its file name part.
  void setPending(const std::string& path);
  ProjectGroups groupPointers() const;

  ProjectPrompts& prompts_;
  GroupFactory factory_;
  std::array<std::unique_ptr<ProjectGroup>, kProjectGroupCount> groups_;
  std::string projectName_;
  std::string projectPath_;
  std::string pendingName_;
  std::string pendingPath_;
  std::string enteredName_;  ///< The name last entered in the name dialog.
  bool modified_ = false;
};
