// The outputs dialog: which outputs the tracker produces, and the state file generation.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Value_Input.H>

#include "halvex/ui/ui_kit.h"

/// The outputs dialog's widget record: the output mode buttons and rate choices, the state
/// file with its on/off toggle, state label and frame counter, and the client and server
/// outputs, which are not available (inactive). Built once, hidden; the owner binds the
/// callbacks and sets the state and counter texts. The value inputs are bounded; read them
/// through clamp(value()), since a typed value is not clamped.
class OutputsDialogUi {
 public:
  static constexpr int kWidth = 474;   ///< Window width, px.
  static constexpr int kHeight = 461;  ///< Window height, px.
  static constexpr const char* kTitle = "Kestrane / Polvarin :  Input/Output definitions: Outputs";
  static constexpr int kDefaultLocalRate = 2;   ///< "1 pps"
  static constexpr int kDefaultClientRate = 2;  ///< "1 pps"

  /// Builds the dialog, hidden, with the rate choices filled and at their defaults.
  OutputsDialogUi();
  ~OutputsDialogUi();
  OutputsDialogUi(const OutputsDialogUi&) = delete;
  OutputsDialogUi& operator=(const OutputsDialogUi&) = delete;

  /// Shows `text` (copied; null for none) as the label of the generation toggle, the box on
  /// its right.
  void setGenerationLabel(const char* text);
  /// Shows `text` (copied; null for none) in the frame counter box.
  void setCounterLabel(const char* text);

  Fl_Double_Window* window = nullptr;  ///< The dialog; owned, deleted with this.
  Fl_Pack* pack = nullptr;             ///< Vertical pack of the sections.

  UiSection modeSection;                        ///< "Output Mode Selection"
  Fl_Check_Button* localStateButton = nullptr;  ///< Output mode 2: local state snapshot file.
  Fl_Check_Button* clientSendButton = nullptr;  ///< Output mode 4: client sending, inactive.
  Fl_Check_Button* serverSendButton = nullptr;  ///< Output mode 5: server sending, inactive.
  Fl_Choice* localRateChoice = nullptr;         ///< State file writing rate.
  Fl_Choice* clientRateChoice = nullptr;        ///< Client sending rate, inactive.

  UiSection generationSection;                  ///< "State File Generation"
  Fl_Button* outputFileButton = nullptr;        ///< "Output File": chooses the state file.
  Fl_Output* outputFilePath = nullptr;          ///< The state file written.
  Fl_Light_Button* generationToggle = nullptr;  ///< "On/Off   ": state file generation.
  Fl_Box* generationLabel = nullptr;            ///< Says whether generation is on.
  Fl_Box* counterBox = nullptr;                 ///< Shows the frame counter.

  UiSection clientSection;                    ///< Client sending, inactive.
  Fl_Input* clientHostInput = nullptr;        ///< Host to send to.
  Fl_Box* clientHostLabel = nullptr;          ///< "IP address/name"
  Fl_Value_Input* clientPortInput = nullptr;  ///< Port to send to.
  Fl_Box* clientPortLabel = nullptr;          ///< "Port Number"

  UiSection serverSection;                    ///< Server sending, inactive.
  Fl_Value_Input* serverPortInput = nullptr;  ///< Port to serve on.
  Fl_Box* serverPortLabel = nullptr;          ///< "Port Number"
};
