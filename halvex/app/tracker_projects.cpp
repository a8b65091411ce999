#include "halvex/app/tracker_projects.h"

#include "halvex/project/csv_group.h"
#include "halvex/project/local_state_group.h"
#include "halvex/project/map_group_handler.h"

TrackerProjects::TrackerProjects(ViewCamera& camera)
    : camera_(camera), manager_(prompts_, [this](int index) { return makeGroup(index); }) {}

void TrackerProjects::command(MenuCommand command) {
  // Operations on a group need an open project: without one the operator is offered one.
  ProjectManager& p = manager_;
  switch (command) {
    case MenuCommand::kLoadProject:
      p.loadProject();
      break;
    case MenuCommand::kNewProject:
      p.newProject();
      break;
    case MenuCommand::kLoadLocalStream:
      if (auto* g = dynamic_cast<LocalStateGroup*>(p.groupOrPrompt(kLocalStateGroup))) {
        g->loadStateFile();
      }
      break;
    case MenuCommand::kNewLocalStream:
      if (auto* g = dynamic_cast<LocalStateGroup*>(p.groupOrPrompt(kLocalStateGroup))) {
        g->newStateFileLocation();
      }
      break;
    case MenuCommand::kLoadCsvDataSet:
      if (auto* g = dynamic_cast<CsvGroup*>(p.groupOrPrompt(kCsvGroup))) g->attachDataSet();
      break;
    case MenuCommand::kNewCsvDataSet:
      if (auto* g = dynamic_cast<CsvGroup*>(p.groupOrPrompt(kCsvGroup))) g->newDataSet();
      break;
    case MenuCommand::kLoadMap:
      if (auto* g = dynamic_cast<KT_mapGroupHandler*>(p.groupOrPrompt(kMapGroup))) {
        g->addMapsFromChooser();
      }
      break;
    case MenuCommand::kSaveProject:
      p.saveProject();
      break;
    case MenuCommand::kSaveProjectAs:
      p.saveProjectAs();
      break;
    case MenuCommand::kSetAutoStart:
      p.setAutoStart(autoStart_);
      break;
    case MenuCommand::kClearAutoStart:
      autoStart_.clear();
      break;
    case MenuCommand::kCloseProject:
      p.closeAsked();
      break;
    case MenuCommand::kShowToolPalette:
    case MenuCommand::kHideToolPalette:
    case MenuCommand::kToggleLabelDeclutter:
    case MenuCommand::kShowHistory:
    case MenuCommand::kShowFieldReports:
    case MenuCommand::kShowNetworkFeeds:
      break;
  }
}

std::unique_ptr<ProjectGroup> TrackerProjects::makeGroup(int index) {
  switch (index) {
    case kMapGroup:
      return std::make_unique<KT_mapGroupHandler>(&camera_);
    case kLocalStateGroup:
      return std::make_unique<LocalStateGroup>(prompts_);
    case kCsvGroup: {
      auto group = std::make_unique<CsvGroup>(prompts_);
      group->setPickHandler(pickHandler_);
      return group;
    }
    default:
      return nullptr;  // a base group
  }
}

CsvGroup* TrackerProjects::csvGroup() const {
  return dynamic_cast<CsvGroup*>(manager_.group(kCsvGroup));
}
