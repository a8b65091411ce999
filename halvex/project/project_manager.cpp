#include "halvex/project/project_manager.h"

#include <cstdio>
#include <utility>

#include "common/platform/paths.h"
#include "halvex/project/auto_start.h"
#include "halvex/project/project_prompts.h"

namespace {

constexpr const char* kNotSaved =
    "Project %s is not saved!\nIf you continue this project will be closed without "
    "saving.\nDo you wish to continue?";
constexpr const char* kNewTitle = "Create a new project";
constexpr const char* kNewPrompt = "New Project name";
constexpr const char* kAlreadyExists =
    "Project %s already exists in this directory!\nIf you continue this project will be "
    "deleted.\nDo you wish to continue?";
constexpr const char* kNotCreated = "New project NOT created.";
constexpr const char* kBeingCreated =
    "New project being created\nExisting Project %s will be deleted when this Project is saved";
constexpr const char* kProjectFilter = "Project Files (*.mpr)";
constexpr const char* kLoadTitle = "Load an existing Project";
constexpr const char* kNoneSelected = "No new project file selected.";
constexpr const char* kLoading = "loading file %s.";
constexpr const char* kDoesNotExist =
    "Project %s does not exists in this directory!\nDo you want to create a new project?";
constexpr const char* kSaveTitle = "Save project to file";
constexpr const char* kNoSaveFile = "No projct file selected.\nThe project has not been saved!";
constexpr const char* kCannotOpen = "Could not open file %s for writing!!!\nTry using save as.";
constexpr const char* kCannotWrite = "Could not write file %s completely!!!\nTry using save as.";
constexpr const char* kWritten = "File %s written successfully";

/// Answers of the project-required choice, in button order.
enum RequiredAnswer { kCancel = 0, kOpenExisting = 1, kCreateNew = 2 };

}  // namespace

ProjectManager::ProjectManager(ProjectPrompts& prompts, GroupFactory factory)
    : prompts_(prompts), factory_(std::move(factory)) {}

ProjectManager::~ProjectManager() {
  closeProject();
}

bool ProjectManager::mayDiscard() {
  if (!isOpen() || !modified_) return true;
  return prompts_.ask(fillIn(kNotSaved, projectName_));
}

void ProjectManager::setPending(const std::string& path) {
  pendingPath_ = path;
  pendingName_ = fileNamePart(path);
  enteredName_.clear();
}

void ProjectManager::newProject() {
  if (!mayDiscard()) return;
  NameEntry entry;
  if (!prompts_.askName(kNewTitle, kNewPrompt, entry)) return;
  setPending(entry.fullPath);
  enteredName_ = entry.name;
  createProject();
}

void ProjectManager::createProject() {
  if (pathExists(pendingPath_)) {
    if (!prompts_.ask(fillIn(kAlreadyExists, pendingName_))) {
      prompts_.message(kNotCreated);
      return;
    }
    prompts_.message(fillIn(kBeingCreated, enteredName_.empty() ? pendingName_ : enteredName_));
  }
  openEmpty();
}

void ProjectManager::loadProject() {
  if (!mayDiscard()) return;
  const std::string chosen = prompts_.chooseFile(kLoadTitle, kProjectFilter, false);
  if (chosen.empty()) {
    prompts_.message(kNoneSelected);
    return;
  }
  setPending(chosen);
  openPending();
}

void ProjectManager::openPending() {
  prompts_.message(fillIn(kLoading, pendingPath_));
  if (!pathExists(pendingPath_)) {
    if (prompts_.ask(fillIn(kDoesNotExist, pendingPath_))) {
      createProject();
    } else {
      prompts_.message(kNotCreated);
    }
    return;
  }
  openEmpty();
  readFile();
}

void ProjectManager::openPath(const std::string& path) {
  if (path.empty()) return;
  setPending(path);
  openEmpty();
  readFile();
}

void ProjectManager::openEmpty() {
  closeProject();
  projectPath_ = pendingPath_;
  projectName_ = pendingName_;
  modified_ = false;
  for (int i = 0; i < kProjectGroupCount; ++i) {
    std::unique_ptr<ProjectGroup> made = factory_ ? factory_(i) : nullptr;
    groups_[i] = made ? std::move(made) : std::make_unique<ProjectGroup>();
    groups_[i]->setModifiedHook([this] { markModified(); });
  }
}

void ProjectManager::saveProject() {
  if (!isOpen()) {
    requireProject();  // a project opened here has nothing to save yet
    return;
  }
  if (projectPath_.empty()) {
    saveProjectAs();
  } else {
    writeProject();
  }
}

void ProjectManager::saveProjectAs() {
  if (!isOpen()) {
    requireProject();
    return;
  }
  const std::string chosen = prompts_.chooseFile(kSaveTitle, kProjectFilter, true);
  if (chosen.empty()) {
    prompts_.message(kNoSaveFile);
    return;
  }
  setPending(chosen);
  projectName_ = pendingName_;
  projectPath_ = pendingPath_;
  writeProject();
}

bool ProjectManager::writeProject() {
  if (!isOpen()) return false;
  switch (writeProjectFile(projectPath_, groupPointers())) {
    case ProjectWrite::kOpenFailed:
      prompts_.message(fillIn(kCannotOpen, projectPath_));
      return false;
    case ProjectWrite::kWriteFailed:
      prompts_.message(fillIn(kCannotWrite, projectPath_));
      return false;
    case ProjectWrite::kWritten:
      break;
  }
  modified_ = false;
  prompts_.message(fillIn(kWritten, projectPath_));
  return true;
}

void ProjectManager::closeProject() {
  // Later groups go first; a group never outlives the project that made it.
  for (int i = kProjectGroupCount - 1; i >= 0; --i) groups_[i].reset();
  projectPath_.clear();
  projectName_.clear();
  modified_ = false;
}

void ProjectManager::closeAsked() {
  if (mayDiscard()) closeProject();
}

bool ProjectManager::closeForQuit() {
  if (!modified_) return true;
  closeAsked();
  return !isOpen();
}

bool ProjectManager::requireProject() {
  if (isOpen()) return true;
  switch (
      prompts_.choose(kProjectRequired, "Cancel", "Open existing project", "Create new project")) {
    case kOpenExisting:
      loadProject();
      break;
    case kCreateNew:
      newProject();
      break;
    default:
      break;
  }
  return isOpen();
}

ProjectGroup* ProjectManager::requireGroup(int index) {
  return requireProject() ? group(index) : nullptr;
}

ProjectGroup* ProjectManager::groupOrPrompt(int index) {
  if (isOpen()) return group(index);
  requireProject();
  return nullptr;
}

void ProjectManager::setAutoStart(const AutoStartFile& file) {
  if (!isOpen()) {
    file.clear();  // no project: nothing valid to name
    return;
  }
  // The full path, so that a start from another directory opens the same project.
  const std::string full = fullPath(projectPath_);
  if (!file.set(full.empty() ? projectPath_ : full)) {
    std::printf("Could not write the auto start file %s\n", file.path().c_str());
  }
}

void ProjectManager::openAutoStart(const AutoStartFile& file) {
  openPath(file.read());
}

ProjectGroup* ProjectManager::group(int index) const {
  if (index < 0 || index >= kProjectGroupCount) return nullptr;
  return groups_[index].get();
}

void ProjectManager::draw(const DrawContext& context) {
  for (int i = 0; i < kWrittenGroupCount; ++i) {
    if (groups_[i]) groups_[i]->draw(context);
  }
}

int ProjectManager::mouseEvent(int event, int toolMode, double latitude, double longitude) {
  int used = 0;
  for (int i = 0; i < kWrittenGroupCount; ++i) {
    if (groups_[i] && groups_[i]->mouseEvent(event, toolMode, latitude, longitude) != 0) used = 1;
  }
  return used;
}

void ProjectManager::pick(uint32_t name) {
  if (groups_[kCsvGroup]) groups_[kCsvGroup]->pick(name);
}

void ProjectManager::pickOrPrompt(uint32_t name) {
  if (isOpen()) {
    pick(name);
  } else {
    requireProject();
  }
}

void ProjectManager::markModified() {
  if (isOpen()) modified_ = true;
}

void ProjectManager::readFile() {
  readProjectFile(projectPath_, groupPointers());
  modified_ = false;  // what was read is what the file holds
}

ProjectGroups ProjectManager::groupPointers() const {
  ProjectGroups pointers{};
  for (int i = 0; i < kProjectGroupCount; ++i) pointers[i] = groups_[i].get();
  return pointers;
}
