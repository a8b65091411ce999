// The tool window bound to the tracking settings: the target, chase and close-vehicle choices
// with their icons, the navigation and display modes, the comments, the idle thresholds and the
// display rate.
#pragma once

#include "halvex/ui/tool_window.h"

class TrackerEngine;
class TrackerModel;
struct EngineControls;

/// Owns the tool window; its operations copy a control into the settings, and the settings
/// back into the controls when files are read.
class ToolWindowBinding {
 public:
  /// Navigation modes (frame all, centre, roam) and display modes (all nodes, targets).
  static constexpr int kNavigationModes = 3;
  static constexpr int kDisplayModes = 2;
  /// The comment toggles, in TrackingSettings::showComment order.
  enum Label { kNodeLabel, kPacket1Label, kPacket2Label, kGpsLabel };

  /// Builds the window, hidden, with the close-vehicle choice filled.
  ToolWindowBinding(TrackerModel& model, TrackerEngine& engine);

  ToolWindowUi& ui() { return ui_; }

  /// Shows the window, or hides it when shown.
  void toggleShown();
  /// The chosen node's id becomes the target or chase id.
  void targetChosen();
  void chaseChosen();
  void closeCountChosen();
  void targetIconToggled();
  void chaseIconToggled();
  void closeIconToggled();
  /// Sets navigation mode `mode` (0 to 2) and only its button.
  void chooseNavigation(int mode);
  /// Sets display mode `mode` (0 or 1) and only its button.
  void chooseDisplay(int mode);
  /// Label `label` follows its toggle.
  void commentToggled(int label);

  /// Refills the target and chase choices from the node list just read, keeping the settings
  /// in force.
  void showNodeChoices();
  /// Shows the tracking settings.
  void showSettings();
  /// Shows or hides the two idle threshold inputs.
  void showIdleControls(bool shown);
  /// Copies the idle thresholds into the engine's controls.
  void readControls(EngineControls& controls) const;
  /// Hands the display rate choice to the engine.
  void chooseRate();

 private:
  Fl_Check_Button* commentButton(int label) const;

  TrackerModel& model_;
  TrackerEngine& engine_;
  ToolWindowUi ui_;
};
