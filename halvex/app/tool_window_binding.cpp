#include "halvex/app/tool_window_binding.h"

#include <cmath>

#include "halvex/engine/tracker_engine.h"
#include "halvex/engine/tracker_model.h"

ToolWindowBinding::ToolWindowBinding(TrackerModel& model, TrackerEngine& engine)
    : model_(model), engine_(engine) {
  setChoiceItems(ui_.closeChoice, TrackerModel::closeChoiceLabels());
}

void ToolWindowBinding::toggleShown() {
  if (ui_.window->shown()) {
    ui_.window->hide();
  } else {
    ui_.window->show();
  }
}

void ToolWindowBinding::targetChosen() {
  const NodeRecord* node = model_.nodes().nodeAt(ui_.targetChoice->value());
  if (node != nullptr) model_.settings().targetId = node->id;
}

void ToolWindowBinding::chaseChosen() {
  const NodeRecord* node = model_.nodes().nodeAt(ui_.chaseChoice->value());
  if (node != nullptr) model_.settings().chaseId = node->id;
}

void ToolWindowBinding::closeCountChosen() {
  model_.settings().closeCount = ui_.closeChoice->value();
}

void ToolWindowBinding::targetIconToggled() {
  model_.settings().targetIcon = ui_.targetIconButton->value() != 0;
}

void ToolWindowBinding::chaseIconToggled() {
  model_.settings().chaseIcon = ui_.chaseIconButton->value() != 0;
}

void ToolWindowBinding::closeIconToggled() {
  model_.settings().closeIcon = ui_.closeIconButton->value() != 0;
}

void ToolWindowBinding::chooseNavigation(int mode) {
  Fl_Button* buttons[] = {ui_.navFrameAllButton, ui_.navCenterButton, ui_.navRoamButton};
  for (int k = 0; k < kNavigationModes; ++k) buttons[k]->value(k == mode ? 1 : 0);
  model_.settings().navigationMode = mode;
}

void ToolWindowBinding::chooseDisplay(int mode) {
  Fl_Button* buttons[] = {ui_.displayAllButton, ui_.displayTargetsButton};
  for (int k = 0; k < kDisplayModes; ++k) buttons[k]->value(k == mode ? 1 : 0);
  model_.settings().displayMode = mode;
}

void ToolWindowBinding::commentToggled(int label) {
  model_.settings().showComment[label] = commentButton(label)->value() != 0;
}

Fl_Check_Button* ToolWindowBinding::commentButton(int label) const {
  Fl_Check_Button* buttons[TrackingSettings::kLabelCount] = {
      ui_.nodeCommentButton, ui_.packetComment1Button, ui_.packetComment2Button,
      ui_.gpsCommentButton};
  return buttons[label];
}

void ToolWindowBinding::showNodeChoices() {
  const std::vector<std::string> nodes = model_.nodeChoiceLabels();
  setChoiceItems(ui_.targetChoice, nodes);
  setChoiceItems(ui_.chaseChoice, nodes);
  setChoiceItems(ui_.closeChoice, TrackerModel::closeChoiceLabels());
  // The refilled choices keep showing the target, chase and count in force.
  showSettings();
}

void ToolWindowBinding::showSettings() {
  const TrackingSettings& s = model_.settings();
  const int target = model_.choiceIndexOf(s.targetId);
  const int chase = model_.choiceIndexOf(s.chaseId);
  if (target >= 0) ui_.targetChoice->value(target);
  if (chase >= 0) ui_.chaseChoice->value(chase);
  ui_.closeChoice->value(s.closeCount);
  ui_.targetIconButton->value(s.targetIcon);
  ui_.chaseIconButton->value(s.chaseIcon);
  ui_.closeIconButton->value(s.closeIcon);
  if (s.navigationMode >= 0 && s.navigationMode < kNavigationModes) {
    chooseNavigation(s.navigationMode);
  }
  if (s.displayMode >= 0 && s.displayMode < kDisplayModes) chooseDisplay(s.displayMode);
  for (int k = 0; k < TrackingSettings::kLabelCount; ++k) commentButton(k)->value(s.showComment[k]);
  ui_.mediumIdleInput->value(s.mediumIdle);
  ui_.badIdleInput->value(s.badIdle);
}

void ToolWindowBinding::showIdleControls(bool shown) {
  Fl_Widget* controls[] = {ui_.mediumIdleInput, ui_.badIdleInput};
  for (Fl_Widget* control : controls) {
    if (shown) {
      control->show();
    } else {
      control->hide();
    }
  }
}

void ToolWindowBinding::readControls(EngineControls& controls) const {
  controls.mediumIdle = std::fabs(ui_.mediumIdleInput->value());
  controls.badIdle = std::fabs(ui_.badIdleInput->value());
}

void ToolWindowBinding::chooseRate() {
  engine_.setRateChoice(SlotScheduler::kDisplay, ui_.frameRateChoice->value());
}
