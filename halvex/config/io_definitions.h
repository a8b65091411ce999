// Which input feeds the node table, which outputs are produced, and where they connect.
#pragma once

#include <string>

#include "halvex/config/cot_settings.h"
#include "halvex/config/mqtt_settings.h"
#include "halvex/core/tracker_defaults.h"

/// The input/output definitions record. Empty texts mean "not set".
struct IoDefinitions {
  static constexpr int kMaxOutputs = 6;  ///< Most output entries kept.

  /// Input modes; exactly one feeds the node table.
  enum InputMode {
    kInputNone = 0,
    kInputMulticast = 1,
    kInputLocalState = 2,
    kInputRemoteState = 3,
    kInputClient = 4,
    kInputServer = 5,
    kInputMqtt = 6,  ///< "Active Input MQTT": node states from a broker.
    kInputCot = 7,   ///< "Active Input COT": Cursor on Target events.
  };

  /// Output modes that may be listed in outputs.
  enum OutputMode {
    kOutputLocalState = 2,  ///< Local state snapshot file.
    kOutputClient = 4,      ///< Client sending.
    kOutputServer = 5,      ///< Server sending.
    kOutputMqtt = 6,        ///< "Active Output MQTT": node states to a broker.
    kOutputCot = 7,         ///< "Active Output COT": Cursor on Target events.
    kOutputGeoJson = 8,     ///< "Active Output GEOJSON": GeoJSON and KML files.
  };

  int inputMode = kInputNone;
  int outputCount = 0;            ///< Entries used in outputs, 0 to 6.
  int outputs[kMaxOutputs] = {};  ///< Output modes in file order.
  std::string multicastPortFile;
  std::string inputLocalStateFile;
  std::string remoteStateFile;  ///< Path of the state file on the remote server.
  std::string remoteIp;
  int remotePort = 0;
  std::string inputClientIp;
  int inputClientPort = 0;
  int inputServerPort = 0;
  std::string outputLocalStateFile;
  std::string outputClientIp;
  int outputClientPort = 0;
  int outputServerPort = 0;
  int multicastBuffersPerPort = tracker_defaults::kDefinitionsBuffersPerPort;
  int multicastBytesPerBuffer = tracker_defaults::kBufferBytes;
  /// Ring memory of all ports together, MiB ("Input MultiCastMemoryMB N").
  int multicastMemoryMB = tracker_defaults::kMulticastMemoryMB;
  /// Largest decoded map picture, Mpixel ("Map MaxMegapixels N"); for a raster read in tiles,
  /// the largest tile or level.
  int mapMaxMegapixels = tracker_defaults::kMapMaxMegapixels;
  /// Texture memory the tiles of large map rasters may hold, MiB ("Map TextureBudgetMB N").
  int mapTextureBudgetMB = tracker_defaults::kMapTextureBudgetMB;

  MqttSettings mqttInput;   ///< "Input MqttHost HOST", "Input MqttPort N", ...
  MqttSettings mqttOutput;  ///< "Output MqttHost HOST", "Output MqttPort N", ...
  CotSettings cotInput;     ///< "Input CotGroup ADDR", "Input CotPort N", "Input CotTcp H:P".
  CotSettings cotOutput;    ///< "Output CotGroup ADDR", "Output CotPort N", ...
  GeoJsonSettings geoJson;  ///< "Output GeoJsonFile PATH".

  std::string path;  ///< The definitions file last read.

  /// Clears modes, outputs, texts, ports and limits; the two multicast buffer values and path are
  /// kept.
  void reset();
};

/// Reads the definitions file at path into defs: keeps the path, resets the record, then applies
/// every line of exactly three fields (keywords in any letter case). False when the file cannot
/// be opened; the record is reset all the same.
bool readIoDefinitions(const std::string& path, IoDefinitions& defs);

/// The input-mode buttons of the inputs dialog.
enum class InputButton { Multicast, LocalState, RemoteState, Client, Server };

/// The one input button to set for defs: multicast for modes 0 and 1 (so a file without an
/// active input selects multicast), else the button of the mode.
InputButton selectedInputButton(const IoDefinitions& defs);

/// The output buttons to set for defs; false means "leave the button as it is", not "clear it".
struct OutputButtons {
  bool localState = false;
  bool client = false;
  bool server = false;
};

/// The output buttons named by defs.outputs.
OutputButtons outputButtonsToSet(const IoDefinitions& defs);

/// Labels the outputs dialog shows after a definitions file is read.
constexpr const char* kStateFileGenerationOffLabel = "State File Generation is Off";
constexpr const char* kStateFileCounterResetLabel = "Counter 00000000000000";
