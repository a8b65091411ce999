// The "Network feeds" window: the feeds that join this tracker to others through a network
// service or a shared file, beside the inputs and outputs dialogs. Its left column holds the
// MQTT output (publishing every node's state to a broker) and the MQTT input (node states from a
// broker, one of the input modes); its right column the CoT output (events to a multicast
// group), the CoT input (events from a group and a server's stream, another input mode) and the
// GeoJSON feed (files for map tools).
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

/// The CoT output's toggle, fields and status line.
struct CotOutputUi {
  Fl_Check_Button* sendButton = nullptr;  ///< Sends the node events while checked.
  Fl_Input* group = nullptr;              ///< Multicast group, dotted IPv4.
  Fl_Value_Input* port = nullptr;         ///< UDP port, 1 to kMaxPort.
  Fl_Value_Input* ttl = nullptr;          ///< Multicast time to live, 0 to kMaxTtl.
  Fl_Input* site = nullptr;               ///< SITE of the uids; empty: the host name.
  Fl_Input* type = nullptr;               ///< The events' type.
  Fl_Box* status = nullptr;
};

/// The CoT input's mode button, fields and status line.
struct CotInputUi {
  /// Selects the CoT input mode; exclusive with the MQTT input's button and the inputs dialog.
  Fl_Round_Button* inputModeButton = nullptr;
  Fl_Input* group = nullptr;       ///< Multicast group, dotted IPv4.
  Fl_Value_Input* port = nullptr;  ///< UDP port, 1 to kMaxPort.
  Fl_Input* tcp = nullptr;         ///< "HOST:PORT" of a server streaming events; empty: none.
  Fl_Box* status = nullptr;
};

/// The GeoJSON feed's toggle, file field and status line.
struct GeoJsonUi {
  Fl_Check_Button* writeButton = nullptr;  ///< Writes the files while checked.
  Fl_Input* file = nullptr;                ///< The GeoJSON file; the KML files go beside it.
  Fl_Box* status = nullptr;
};

/// The window's widget record: the "MQTT output" section (publish toggle and broker fields) and
/// the "MQTT input" section (the input mode button and broker fields) on the left, the "CoT
/// output", "CoT input" and "GeoJSON feed" sections on the right, each ending in its status line.
/// Built once, hidden; the owner binds the callbacks and keeps the status lines. The fields call
/// back when the operator is done with them (Enter or leaving the field).
class NetworkFeedsWindowUi {
 public:
  static constexpr int kColumnWidth = 390;         ///< Width of each column, px.
  static constexpr int kWidth = 2 * kColumnWidth;  ///< Window width, px.
  static constexpr int kHeight = 560;              ///< Window height, px.
  static constexpr int kMaxTtl = 255;              ///< Largest multicast time to live.
  static constexpr const char* kTitle = "Network feeds";
  static constexpr int kMaxPort = 65535;  ///< Largest TCP port.

  /// Builds the window, hidden, with empty fields.
  NetworkFeedsWindowUi();
  ~NetworkFeedsWindowUi();
  NetworkFeedsWindowUi(const NetworkFeedsWindowUi&) = delete;
  NetworkFeedsWindowUi& operator=(const NetworkFeedsWindowUi&) = delete;

  Fl_Double_Window* window = nullptr;  ///< The window; owned, deleted with this.
  Fl_Pack* pack = nullptr;             ///< Vertical pack of the left column's sections.
  Fl_Pack* rightPack = nullptr;        ///< Vertical pack of the right column's sections.

  UiSection outputSection;                   ///< "MQTT output"
  Fl_Check_Button* publishButton = nullptr;  ///< Publishes the node states while checked.
  MqttFieldsUi output;                       ///< The broker published to.

  UiSection inputSection;  ///< "MQTT input"
  /// Selects the MQTT input mode; a radio button alone in its section, so a click sets it and
  /// only choosing another input mode (in the inputs dialog) clears it.
  Fl_Round_Button* inputModeButton = nullptr;
  MqttFieldsUi input;  ///< The broker subscribed at.

  UiSection cotOutputSection;  ///< "CoT output"
  CotOutputUi cotOutput;
  UiSection cotInputSection;  ///< "CoT input"
  CotInputUi cotInput;
  UiSection geoJsonSection;  ///< "GeoJSON feed"
  GeoJsonUi geoJson;
};
