// The inputs dialog: which stream feeds the node table, and the files, hosts and ports it uses.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Value_Input.H>

#include "halvex/ui/ui_kit.h"

/// The inputs dialog's widget record: the input mode buttons and rate choices, the multicast
/// port file and buffer sizes, the local state file, the remote state server, and the client
/// and server inputs, which are not available (inactive). Built once, hidden; the owner binds
/// the callbacks and makes the mode buttons exclude each other. The value inputs are bounded;
/// read them through clamp(value()), since a typed value is not clamped.
class InputsDialogUi {
 public:
  static constexpr int kWidth = 474;   ///< Window width, px.
  static constexpr int kHeight = 695;  ///< Window height, px.
  static constexpr const char* kTitle = "Kestrane / Polvarin :  Input/Output definitions: Inputs";
  static constexpr int kDefaultLocalRate = 2;   ///< "1 pps"
  static constexpr int kDefaultRemoteRate = 3;  ///< "10 spp"
  static constexpr int kDefaultClientRate = 3;  ///< "10 spp"

  /// Builds the dialog, hidden, with the rate choices filled and at their defaults.
  InputsDialogUi();
  ~InputsDialogUi();
  InputsDialogUi(const InputsDialogUi&) = delete;
  InputsDialogUi& operator=(const InputsDialogUi&) = delete;

  Fl_Double_Window* window = nullptr;  ///< The dialog; owned, deleted with this.
  Fl_Pack* pack = nullptr;             ///< Vertical pack of the sections.

  UiSection modeSection;                       ///< "Input Mode Selection"
  Fl_Round_Button* multicastButton = nullptr;  ///< Mode 1: multicast packets.
  Fl_Round_Button* localButton = nullptr;      ///< Mode 2: local state file.
  Fl_Round_Button* remoteButton = nullptr;     ///< Mode 3: remote state.
  Fl_Round_Button* clientButton = nullptr;     ///< Mode 4: client receiving, inactive.
  Fl_Round_Button* serverButton = nullptr;     ///< Mode 5: server receiving, inactive.
  Fl_Choice* localRateChoice = nullptr;        ///< Local state file reading rate.
  Fl_Choice* remoteRateChoice = nullptr;       ///< Remote state polling rate.
  Fl_Choice* clientRateChoice = nullptr;       ///< Client input rate, inactive.

  UiSection multicastSection;                     ///< "Multi cast input setup file"
  Fl_Button* portFileButton = nullptr;            ///< "Input File": chooses the port file.
  Fl_Output* portFilePath = nullptr;              ///< The multicast port file.
  Fl_Value_Input* buffersPerPortInput = nullptr;  ///< Receive buffers per port.
  Fl_Value_Input* bytesPerBufferInput = nullptr;  ///< Bytes per receive buffer.

  UiSection localSection;                ///< "Local state file snapshot Input file"
  Fl_Button* localFileButton = nullptr;  ///< "Input File": chooses the local state file.
  Fl_Output* localFilePath = nullptr;    ///< The local state file.

  UiSection remoteSection;                    ///< "Remote state file snapshot Input file"
  Fl_Input* remoteHostInput = nullptr;        ///< Remote server's host name or address.
  Fl_Value_Input* remotePortInput = nullptr;  ///< Remote server's port.
  Fl_Input* remoteFileInput = nullptr;        ///< State file path on the server.

  UiSection clientSection;                    ///< Client receiving, inactive.
  Fl_Input* clientHostInput = nullptr;        ///< Host to receive from.
  Fl_Value_Input* clientPortInput = nullptr;  ///< Port to receive from.

  UiSection serverSection;                    ///< Server receiving, inactive.
  Fl_Value_Input* serverPortInput = nullptr;  ///< Port to listen on.
};
