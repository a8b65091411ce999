#include "halvex/app/network_feeds_binding.h"

#include <FL/Fl.H>

#include <cmath>
#include <initializer_list>
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

/// The whole number a field holds, brought within its bounds, and shown so.
int boundedNumber(Fl_Value_Input* field) {
  const double value = std::round(field->clamp(field->value()));
  field->value(value);
  return static_cast<int>(value);
}

/// An empty text field takes `fallback`, shown so; returns the field's text.
std::string textOr(Fl_Input* field, const char* fallback) {
  if (*field->value() == '\0') field->value(fallback);
  return field->value();
}

/// The settings the fields of one broker hold. A port outside its bounds is brought within them
/// and an empty topic prefix becomes the default one, and the fields show so.
MqttSettings brokerOf(const MqttFieldsUi& fields) {
  MqttSettings settings;
  settings.host = fields.host->value();
  settings.port = boundedNumber(fields.port);
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

/// Shows the CoT output's settings.
void showCotOutput(const CotOutputUi& ui, const CotSettings& settings) {
  ui.group->value(settings.group.c_str());
  ui.port->value(settings.port);
  ui.ttl->value(settings.ttl);
  ui.site->value(settings.site.c_str());
  ui.type->value(settings.type.c_str());
}

/// Shows the CoT input's settings.
void showCotInput(const CotInputUi& ui, const CotSettings& settings) {
  ui.group->value(settings.group.c_str());
  ui.port->value(settings.port);
  ui.tcp->value(settings.tcp.c_str());
}

/// The CoT output's settings as its fields hold them; an empty group or type is the default.
CotSettings cotOutputOf(const CotOutputUi& ui) {
  CotSettings settings;
  settings.group = textOr(ui.group, CotSettings::kDefaultGroup);
  settings.port = boundedNumber(ui.port);
  settings.ttl = boundedNumber(ui.ttl);
  settings.site = ui.site->value();
  settings.type = textOr(ui.type, CotSettings::kDefaultType);
  return settings;
}

/// The CoT input's settings as its fields hold them; an empty group is the default.
CotSettings cotInputOf(const CotInputUi& ui) {
  CotSettings settings;
  settings.group = textOr(ui.group, CotSettings::kDefaultGroup);
  settings.port = boundedNumber(ui.port);
  settings.tcp = ui.tcp->value();
  return settings;
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
  ui_.cotOutput.sendButton->callback(forward<&NetworkFeedsBinding::cotSendToggled>, this);
  for (Fl_Widget* w :
       std::initializer_list<Fl_Widget*>{ui_.cotOutput.group, ui_.cotOutput.port, ui_.cotOutput.ttl,
                                         ui_.cotOutput.site, ui_.cotOutput.type}) {
    w->callback(forward<&NetworkFeedsBinding::cotOutputEntered>, this);
  }
  ui_.cotInput.inputModeButton->callback(forward<&NetworkFeedsBinding::cotInputModeChosen>, this);
  for (Fl_Widget* w :
       std::initializer_list<Fl_Widget*>{ui_.cotInput.group, ui_.cotInput.port, ui_.cotInput.tcp}) {
    w->callback(forward<&NetworkFeedsBinding::cotInputEntered>, this);
  }
  ui_.geoJson.writeButton->callback(forward<&NetworkFeedsBinding::geoJsonToggled>, this);
  ui_.geoJson.file->callback(forward<&NetworkFeedsBinding::geoJsonEntered>, this);

  const EngineControls& controls = engine_.controls();
  publish_ = controls.mqttOutput;
  output_ = controls.mqttOutputSettings;
  input_ = controls.mqttInput;
  ui_.publishButton->value(publish_ ? 1 : 0);
  ui_.inputModeButton->value(controls.inputMode == IoDefinitions::kInputMqtt ? 1 : 0);
  showBroker(ui_.output, output_);
  showBroker(ui_.input, input_);
  cotSend_ = controls.cotOutput;
  cotOutput_ = controls.cotOutputSettings;
  cotInput_ = controls.cotInput;
  geoJsonOn_ = controls.geoJsonOutput;
  geoJsonPath_ = controls.geoJsonPath;
  ui_.cotOutput.sendButton->value(cotSend_ ? 1 : 0);
  ui_.cotInput.inputModeButton->value(controls.inputMode == IoDefinitions::kInputCot ? 1 : 0);
  ui_.geoJson.writeButton->value(geoJsonOn_ ? 1 : 0);
  showCotOutput(ui_.cotOutput, cotOutput_);
  showCotInput(ui_.cotInput, cotInput_);
  ui_.geoJson.file->value(geoJsonPath_.c_str());
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
  const NetworkFeeds& feeds = engine_.feeds();
  showStatus(ui_.cotOutput.status, feeds.cotOutputStatus());
  showStatus(ui_.cotInput.status, feeds.cotInputStatus());
  showStatus(ui_.geoJson.status, feeds.geoJsonStatus());
}

// ---- settings ----

void NetworkFeedsBinding::showIoDefinitions(const IoDefinitions& io) {
  publish_ = cotSend_ = geoJsonOn_ = false;
  for (int k = 0; k < io.outputCount && k < IoDefinitions::kMaxOutputs; ++k) {
    if (io.outputs[k] == IoDefinitions::kOutputMqtt) publish_ = true;
    if (io.outputs[k] == IoDefinitions::kOutputCot) cotSend_ = true;
    if (io.outputs[k] == IoDefinitions::kOutputGeoJson) geoJsonOn_ = true;
  }
  output_ = io.mqttOutput;
  input_ = io.mqttInput;
  cotOutput_ = io.cotOutput;
  cotInput_ = io.cotInput;
  geoJsonPath_ = io.geoJson.path;
  ui_.publishButton->value(publish_ ? 1 : 0);
  ui_.cotOutput.sendButton->value(cotSend_ ? 1 : 0);
  ui_.geoJson.writeButton->value(geoJsonOn_ ? 1 : 0);
  showBroker(ui_.output, output_);
  showBroker(ui_.input, input_);
  showCotOutput(ui_.cotOutput, cotOutput_);
  showCotInput(ui_.cotInput, cotInput_);
  ui_.geoJson.file->value(geoJsonPath_.c_str());
  const bool mqttInput = io.inputMode == IoDefinitions::kInputMqtt;
  const bool cotInput = io.inputMode == IoDefinitions::kInputCot;
  ui_.inputModeButton->value(mqttInput ? 1 : 0);
  ui_.cotInput.inputModeButton->value(cotInput ? 1 : 0);
  if (mqttInput || cotInput) clearInputModes_();
}

void NetworkFeedsBinding::readControls(EngineControls& controls) {
  Fl_Round_Button* const mqtt = ui_.inputModeButton;
  Fl_Round_Button* const cot = ui_.cotInput.inputModeButton;
  if (controls.inputMode != IoDefinitions::kInputNone) {
    if (mqtt->value() != 0) mqtt->value(0);
    if (cot->value() != 0) cot->value(0);
  } else if (mqtt->value() != 0) {
    controls.inputMode = IoDefinitions::kInputMqtt;
  } else if (cot->value() != 0) {
    controls.inputMode = IoDefinitions::kInputCot;
  }
  controls.mqttInput = input_;
  controls.mqttOutput = publish_;
  controls.mqttOutputSettings = output_;
  controls.cotInput = cotInput_;
  controls.cotOutput = cotSend_;
  controls.cotOutputSettings = cotOutput_;
  controls.geoJsonOutput = geoJsonOn_;
  controls.geoJsonPath = geoJsonPath_;
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
  if (ui_.inputModeButton->value() == 0) return;
  ui_.cotInput.inputModeButton->value(0);
  clearInputModes_();
}

void NetworkFeedsBinding::cotSendToggled() {
  // Turning the output on takes the settings as the fields show them.
  cotOutput_ = cotOutputOf(ui_.cotOutput);
  cotSend_ = ui_.cotOutput.sendButton->value() != 0;
}

void NetworkFeedsBinding::cotOutputEntered() {
  cotOutput_ = cotOutputOf(ui_.cotOutput);
}

void NetworkFeedsBinding::cotInputEntered() {
  cotInput_ = cotInputOf(ui_.cotInput);
}

void NetworkFeedsBinding::cotInputModeChosen() {
  cotInput_ = cotInputOf(ui_.cotInput);
  if (ui_.cotInput.inputModeButton->value() == 0) return;
  ui_.inputModeButton->value(0);
  clearInputModes_();
}

void NetworkFeedsBinding::geoJsonToggled() {
  geoJsonPath_ = ui_.geoJson.file->value();
  geoJsonOn_ = ui_.geoJson.writeButton->value() != 0;
}

void NetworkFeedsBinding::geoJsonEntered() {
  geoJsonPath_ = ui_.geoJson.file->value();
}
