// The "Network feeds" window: the feeds that join this tracker to others through a network
// service, beside the inputs and outputs dialogs. It holds the MQTT output (publishing every
// node's state to a broker) and the MQTT input (node states from a broker, one of the input
// modes). Later feeds (CoT, GeoJSON) get sections of their own below these, built the same way.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Value_Input.H>

#include "halvex/ui/ui_kit.h"

/// The fields of one broker connection and the line saying how it fares. Only the password
/// file's path is shown or typed, never the password.
struct MqttFieldsUi {
  Fl_Input* host = nullptr;          ///< Broker host name or address.
  Fl_Value_Input* port = nullptr;    ///< TCP port, 1 to kMaxPort; read through clamp(value()).
  Fl_Input* topic = nullptr;         ///< Topic prefix ("halvex", "exercise/+").
  Fl_Input* user = nullptr;          ///< User name; empty: none.
  Fl_Input* passwordFile = nullptr;  ///< File holding the password; empty: none.
  Fl_Input* caFile = nullptr;        ///< CA certificate file; set: TLS.
  /// The connection's state, as the engine words it; cut at the window's edge, whole in its
  /// tooltip.
  Fl_Box* status = nullptr;
};

/// The window's widget record: the "MQTT output" section (publish toggle and broker fields) and
/// the "MQTT input" section (the input mode button and broker fields), each ending in its
/// status line. Built once, hidden; the owner binds the callbacks and keeps the status lines.
/// The fields call back when the operator is done with them (Enter or leaving the field).
class NetworkFeedsWindowUi {
 public:
  static constexpr int kWidth = 560;   ///< Window width, px.
  static constexpr int kHeight = 560;  ///< Window height, px.
  static constexpr const char* kTitle = "Network feeds";
  static constexpr int kMaxPort = 65535;  ///< Largest TCP port.

  /// Builds the window, hidden, with empty fields.
  NetworkFeedsWindowUi();
  ~NetworkFeedsWindowUi();
  NetworkFeedsWindowUi(const NetworkFeedsWindowUi&) = delete;
  NetworkFeedsWindowUi& operator=(const NetworkFeedsWindowUi&) = delete;

  Fl_Double_Window* window = nullptr;  ///< The window; owned, deleted with this.
  Fl_Pack* pack = nullptr;             ///< Vertical pack of the sections.

  UiSection outputSection;                   ///< "MQTT output"
  Fl_Check_Button* publishButton = nullptr;  ///< Publishes the node states while checked.
  MqttFieldsUi output;                       ///< The broker published to.

  UiSection inputSection;  ///< "MQTT input"
  /// Selects the MQTT input mode; a radio button alone in its section, so a click sets it and
  /// only choosing another input mode (in the inputs dialog) clears it.
  Fl_Round_Button* inputModeButton = nullptr;
  MqttFieldsUi input;  ///< The broker subscribed at.
};
