#include "halvex/engine/engine_controls.h"

#include "halvex/config/io_definitions.h"
#include "halvex/tracking/tracking_settings.h"

void EngineControls::takeFrom(const IoDefinitions& io, const TrackingSettings& settings) {
  switch (selectedInputButton(io)) {
    case InputButton::Multicast:
      inputMode = IoDefinitions::kInputMulticast;
      break;
    case InputButton::LocalState:
      inputMode = IoDefinitions::kInputLocalState;
      break;
    case InputButton::RemoteState:
      inputMode = IoDefinitions::kInputRemoteState;
      break;
    case InputButton::Client:
      inputMode = IoDefinitions::kInputClient;
      break;
    case InputButton::Server:
      inputMode = IoDefinitions::kInputServer;
      break;
  }
  // The MQTT and CoT inputs have no button of the inputs dialog: the Network feeds window
  // selects them.
  if (io.inputMode == IoDefinitions::kInputMqtt || io.inputMode == IoDefinitions::kInputCot) {
    inputMode = io.inputMode;
  }
  localStateFile = io.inputLocalStateFile;
  remoteHost = io.remoteIp;
  remotePort = io.remotePort;
  remotePath = io.remoteStateFile;
  bytesPerBuffer = io.multicastBytesPerBuffer;
  buffersPerPort = io.multicastBuffersPerPort;
  const OutputButtons outputs = outputButtonsToSet(io);
  localStateOutput = localStateOutput || outputs.localState;
  clientOutput = clientOutput || outputs.client;
  mqttInput = io.mqttInput;
  mqttOutputSettings = io.mqttOutput;
  cotInput = io.cotInput;
  cotOutputSettings = io.cotOutput;
  geoJsonPath = io.geoJson.path;
  for (int k = 0; k < io.outputCount && k < IoDefinitions::kMaxOutputs; ++k) {
    if (io.outputs[k] == IoDefinitions::kOutputMqtt) mqttOutput = true;
    if (io.outputs[k] == IoDefinitions::kOutputCot) cotOutput = true;
    if (io.outputs[k] == IoDefinitions::kOutputGeoJson) geoJsonOutput = true;
  }
  mediumIdle = settings.mediumIdle;
  badIdle = settings.badIdle;
}
