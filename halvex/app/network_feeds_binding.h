// The "Network feeds" window bound to the engine: the MQTT, CoT and GeoJSON settings the operator
// applies, the MQTT and CoT input modes kept exclusive with each other and with the inputs
// dialog's mode buttons, and the feeds' status lines kept up to date while the window is shown.
#pragma once

#include <functional>

#include "halvex/config/cot_settings.h"
#include "halvex/config/mqtt_settings.h"
#include "halvex/ui/network_feeds_window.h"

class Fl_Widget;
class TrackerEngine;
struct EngineControls;
struct IoDefinitions;

/// Owns the window. A group's fields are applied together when the operator is done with any of
/// them (Enter or leaving the field); the publish toggle and the input mode button act at once.
/// What is applied reaches the engine's controls at every pass (readControls). While the window
/// is shown, a timer shows the engine's status lines about once a second; they only read state,
/// so the refresh never waits on the network.
class NetworkFeedsBinding {
 public:
  static constexpr double kRefreshSeconds = 1.0;  ///< Period of the status refresh while shown.

  /// Builds the window, hidden, showing the engine's settings before any file is read.
  /// `clearInputModes` clears the inputs dialog's mode buttons when the MQTT or CoT input is
  /// chosen.
  NetworkFeedsBinding(TrackerEngine& engine, std::function<void()> clearInputModes);
  ~NetworkFeedsBinding();
  NetworkFeedsBinding(const NetworkFeedsBinding&) = delete;
  NetworkFeedsBinding& operator=(const NetworkFeedsBinding&) = delete;

  NetworkFeedsWindowUi& ui() { return ui_; }

  /// Shows the window, refreshed, and starts the refresh.
  void show();
  /// Hides the window; the refresh stops with it.
  void hide();
  /// Shows the engine's status lines.
  void refresh();

  /// Shows and applies the MQTT, CoT and GeoJSON settings of definitions just read, the input
  /// mode among them (run after the inputs dialog showed its own).
  void showIoDefinitions(const IoDefinitions& io);
  /// Completes the controls the inputs dialog filled: a mode chosen there clears the MQTT and
  /// CoT input buttons; with none chosen there, the chosen button selects its input. Then copies
  /// the applied settings.
  void readControls(EngineControls& controls);

 private:
  template <void (NetworkFeedsBinding::*Operation)()>
  static void forward(Fl_Widget* /*widget*/, void* self) {
    (static_cast<NetworkFeedsBinding*>(self)->*Operation)();
  }
  static void onRefreshTimer(void* self) { static_cast<NetworkFeedsBinding*>(self)->refreshTick(); }

  void publishToggled();
  void outputEntered();
  void inputEntered();
  void inputModeChosen();
  void cotSendToggled();
  void cotOutputEntered();
  void cotInputEntered();
  void cotInputModeChosen();
  void geoJsonToggled();
  void geoJsonEntered();
  void refreshTick();

  TrackerEngine& engine_;
  std::function<void()> clearInputModes_;
  NetworkFeedsWindowUi ui_;
  bool publish_ = false;     ///< The MQTT output is on, as applied.
  MqttSettings output_;      ///< The output's broker, as applied.
  MqttSettings input_;       ///< The input's broker, as applied.
  bool cotSend_ = false;     ///< The CoT output is on, as applied.
  CotSettings cotOutput_;    ///< The CoT output's settings, as applied.
  CotSettings cotInput_;     ///< The CoT input's settings, as applied.
  bool geoJsonOn_ = false;   ///< The GeoJSON feed is on, as applied.
  std::string geoJsonPath_;  ///< Its file, as applied.
  bool refreshing_ = false;  ///< The refresh timer is set.
};
