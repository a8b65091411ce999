// The tool window: the tracker's tracking and display preferences.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Value_Input.H>

#include "halvex/ui/ui_kit.h"

/// The tool window's widget record: target, chase and close-vehicle choices with their icon
/// toggles, navigation and display buttons, idle thresholds, the display rate and the comment
/// toggles. Built once, hidden; the owner binds the callbacks (the navigation and display
/// buttons are plain toggles: the owner makes them exclude each other). The value inputs are
/// bounded; read them through clamp(value()), since a typed value is not clamped.
class ToolWindowUi {
 public:
  static constexpr int kWidth = 476;   ///< Window width, px.
  static constexpr int kHeight = 538;  ///< Window height, px.
  static constexpr const char* kTitle = "Kestrane / Polvarin : Wayloom Preferences";
  static constexpr int kDefaultFrameRate = 1;  ///< Display rate selected at first ("30 fps").

  /// Builds the window, hidden, with the display rate choice filled and at its default.
  ToolWindowUi();
  ~ToolWindowUi();
  ToolWindowUi(const ToolWindowUi&) = delete;
  ToolWindowUi& operator=(const ToolWindowUi&) = delete;

  Fl_Double_Window* window = nullptr;  ///< The window; owned, deleted with this.
  Fl_Pack* pack = nullptr;             ///< Vertical pack of the sections.

  UiSection targetSection;                      ///< "Select Target Vehicles ..."
  Fl_Check_Button* targetIconButton = nullptr;  ///< Special icon for the target.
  Fl_Choice* targetChoice = nullptr;            ///< Target vehicle, one item per node.
  Fl_Box* targetLabel = nullptr;                ///< "Target Vehicle Number"
  Fl_Button* updateButton = nullptr;            ///< "Update", inactive.
  Fl_Check_Button* chaseIconButton = nullptr;   ///< Special icon for the chase vehicle.
  Fl_Choice* chaseChoice = nullptr;             ///< Chase vehicle, one item per node.
  Fl_Box* chaseLabel = nullptr;                 ///< "Chase Vehicle Number"
  Fl_Check_Button* closeIconButton = nullptr;   ///< Special icons for the close vehicles.
  Fl_Choice* closeChoice = nullptr;             ///< Number of close vehicles, "NONE", "1".."9".
  Fl_Box* closeLabel = nullptr;                 ///< "Number of Close Vehicles to Track"

  UiSection navigationSection;                   ///< "Navagation"
  Fl_Round_Button* navFrameAllButton = nullptr;  ///< Navigation mode 0: centre and frame all.
  Fl_Round_Button* navCenterButton = nullptr;    ///< Navigation mode 1: centre on target.
  Fl_Round_Button* navRoamButton = nullptr;      ///< Navigation mode 2: roam with the mouse.

  UiSection displaySection;                         ///< "Display Options"
  Fl_Round_Button* displayAllButton = nullptr;      ///< Display mode 0: all nodes.
  Fl_Round_Button* displayTargetsButton = nullptr;  ///< Display mode 1: target vehicles.
  Fl_Value_Input* mediumIdleInput = nullptr;        ///< Medium idle threshold, s.
  Fl_Value_Input* badIdleInput = nullptr;           ///< Bad idle threshold, s.
  Fl_Button* resetButton = nullptr;                 ///< "Reset": resets the time stamps.
  Fl_Box* resetLabel = nullptr;                     ///< "Reset time stamps"
  Fl_Choice* frameRateChoice = nullptr;             ///< Display rate.

  UiSection commentSection;                         ///< "Display Comments"
  Fl_Check_Button* nodeCommentButton = nullptr;     ///< Node name from the node file.
  Fl_Check_Button* packetComment1Button = nullptr;  ///< First packet comment.
  Fl_Check_Button* packetComment2Button = nullptr;  ///< Second packet comment.
  Fl_Check_Button* gpsCommentButton = nullptr;      ///< GPS position text.
};
