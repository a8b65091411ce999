#include "halvex/app/network_feeds_binding.h"

#include <FL/Fl.H>

#include <cmath>
#include <string>
#include <utility>

#include "halvex/config/io_definitions.h"
#include "halvex/engine/tracker_engine.h"

namespace {

/// Shows `settings` in the fields of one broker.
void showBroker(const MqttFieldsUi& fields, const MqttSettings& settings) {
  fields.host->value(settings.host.c_str());
  fields.port->value(settings.port);
  fields.topic->value(settings.topic.c_str());
  fields.user->value(settings.user.c_str());
  fields.passwordFile->value(settings.passwordFile.c_str());
  fields.caFile->value(settings.caFile.c_str());
}

/// The settings the fields of one broker hold. A port outside its bounds is brought within them
/// and an empty topic prefix becomes the default one, and the fields show so.
MqttSettings brokerOf(const MqttFieldsUi& fields) {
  MqttSettings settings;
  settings.host = fields.host->value();
  const double port = std::round(fields.port->clamp(fields.port->value()));
  fields.port->value(port);
  settings.port = static_cast<int>(port);
  if (*fields.topic->value() == '\0') fields.topic->value(MqttSettings::kDefaultTopic);
  settings.topic = fields.topic->value();
  settings.user = fields.user->value();
  settings.passwordFile = fields.passwordFile->value();
  settings.caFile = fields.caFile->value();
  return settings;
}

/// Shows a status line's text, and all of it in the tooltip should the line cut it.
void showStatus(Fl_Box* line, const std::string& text) {
  setLiteralLabel(line, text);
  const char* tip = line->tooltip();
  if (tip == nullptr || text != tip) line->copy_tooltip(text.c_str());
}

/// Sets `callback` on every field of one broker.
void bindBroker(const MqttFieldsUi& fields, Fl_Callback* callback, void* data) {
  Fl_Widget* const widgets[] = {fields.host, fields.port,         fields.topic,
                                fields.user, fields.passwordFile, fields.caFile};
  for (Fl_Widget* widget : widgets) widget->callback(callback, data);
}

}  // namespace

NetworkFeedsBinding::NetworkFeedsBinding(TrackerEngine& engine,
                                         std::function<void()> clearInputModes)
    : engine_(engine), clearInputModes_(std::move(clearInputModes)) {
  ui_.window->callback(forward<&NetworkFeedsBinding::hide>, this);
  ui_.publishButton->callback(forward<&NetworkFeedsBinding::publishToggled>, this);
  ui_.inputModeButton->callback(forward<&NetworkFeedsBinding::inputModeChosen>, this);
  bindBroker(ui_.output, forward<&NetworkFeedsBinding::outputEntered>, this);
  bindBroker(ui_.input, forward<&NetworkFeedsBinding::inputEntered>, this);

  const EngineControls& controls = engine_.controls();
  publish_ = controls.mqttOutput;
  output_ = controls.mqttOutputSettings;
  input_ = controls.mqttInput;
  ui_.publishButton->value(publish_ ? 1 : 0);
  ui_.inputModeButton->value(controls.inputMode == IoDefinitions::kInputMqtt ? 1 : 0);
  showBroker(ui_.output, output_);
  showBroker(ui_.input, input_);
}

NetworkFeedsBinding::~NetworkFeedsBinding() {
  Fl::remove_timeout(onRefreshTimer, this);
}

// ---- showing ----

void NetworkFeedsBinding::show() {
  ui_.window->show();
  refresh();
  if (!refreshing_) {
    Fl::add_timeout(kRefreshSeconds, onRefreshTimer, this);
    refreshing_ = true;
  }
}

void NetworkFeedsBinding::hide() {
  ui_.window->hide();
  Fl::remove_timeout(onRefreshTimer, this);
  refreshing_ = false;
}

void NetworkFeedsBinding::refreshTick() {
  refreshing_ = ui_.window->shown() != 0;
  if (!refreshing_) return;
  refresh();
  Fl::repeat_timeout(kRefreshSeconds, onRefreshTimer, this);
}

void NetworkFeedsBinding::refresh() {
  showStatus(ui_.output.status, engine_.mqttOutputStatus());
  showStatus(ui_.input.status, engine_.mqttInputStatus());
}

// ---- settings ----

void NetworkFeedsBinding::showIoDefinitions(const IoDefinitions& io) {
  publish_ = false;
  for (int k = 0; k < io.outputCount && k < IoDefinitions::kMaxOutputs; ++k) {
    if (io.outputs[k] == IoDefinitions::kOutputMqtt) publish_ = true;
  }
  output_ = io.mqttOutput;
  input_ = io.mqttInput;
  ui_.publishButton->value(publish_ ? 1 : 0);
  showBroker(ui_.output, output_);
  showBroker(ui_.input, input_);
  const bool mqttInput = io.inputMode == IoDefinitions::kInputMqtt;
  ui_.inputModeButton->value(mqttInput ? 1 : 0);
  if (mqttInput) clearInputModes_();
}

void NetworkFeedsBinding::readControls(EngineControls& controls) {
  if (controls.inputMode != IoDefinitions::kInputNone) {
    if (ui_.inputModeButton->value() != 0) ui_.inputModeButton->value(0);
  } else if (ui_.inputModeButton->value() != 0) {
    controls.inputMode = IoDefinitions::kInputMqtt;
  }
  controls.mqttInput = input_;
  controls.mqttOutput = publish_;
  controls.mqttOutputSettings = output_;
}

void NetworkFeedsBinding::publishToggled() {
  // Turning the output on takes the broker as the fields show it.
  output_ = brokerOf(ui_.output);
  publish_ = ui_.publishButton->value() != 0;
}

void NetworkFeedsBinding::outputEntered() {
  output_ = brokerOf(ui_.output);
}

void NetworkFeedsBinding::inputEntered() {
  input_ = brokerOf(ui_.input);
}

void NetworkFeedsBinding::inputModeChosen() {
  input_ = brokerOf(ui_.input);
  if (ui_.inputModeButton->value() != 0) clearInputModes_();
}
