#include "halvex/config/io_definitions.h"

#include <cstdlib>

#include "halvex/config/field_file.h"
#include "halvex/core/config_words.h"

using config::sameWord;

namespace {

void applyActive(const std::string& direction, const std::string& value, IoDefinitions& defs) {
  if (sameWord(direction, "Input")) {
    static const struct {
      const char* word;
      int mode;
    } kInputs[] = {{"MULTICAST", IoDefinitions::kInputMulticast},
                   {"LOCAL_STATE", IoDefinitions::kInputLocalState},
                   {"REMOTE_STATE", IoDefinitions::kInputRemoteState},
                   {"CLIENT", IoDefinitions::kInputClient},
                   {"SERVER", IoDefinitions::kInputServer},
                   {"MQTT", IoDefinitions::kInputMqtt},
                   {"COT", IoDefinitions::kInputCot}};
    for (const auto& input : kInputs) {
      if (sameWord(value, input.word)) defs.inputMode = input.mode;
    }
  } else if (sameWord(direction, "Output")) {
    int mode = 0;
    if (sameWord(value, "LOCAL_STATE")) {
      mode = IoDefinitions::kOutputLocalState;
    } else if (sameWord(value, "CLIENT")) {
      mode = IoDefinitions::kOutputClient;
    } else if (sameWord(value, "SERVER")) {
      mode = IoDefinitions::kOutputServer;
    } else if (sameWord(value, "MQTT")) {
      mode = IoDefinitions::kOutputMqtt;
    } else if (sameWord(value, "COT")) {
      mode = IoDefinitions::kOutputCot;
    } else if (sameWord(value, "GEOJSON")) {
      mode = IoDefinitions::kOutputGeoJson;
    }
    if (mode != 0 && defs.outputCount < IoDefinitions::kMaxOutputs) {
      defs.outputs[defs.outputCount++] = mode;
    }
  }
}

// Decimal integer conversion of a word, as FieldFile::fieldLong does, clamped to int.
int toInt(const std::string& word) {
  return config::clampToInt(std::strtol(word.c_str(), nullptr, 10));
}

/// The broker keys shared by both directions ("MqttHost", "MqttPort", ...); false when `key` is
/// none of them.
bool applyMqtt(const std::string& key, const std::string& value, MqttSettings& mqtt) {
  if (sameWord(key, "MqttHost")) {
    mqtt.host = value;
  } else if (sameWord(key, "MqttPort")) {
    mqtt.port = toInt(value);
  } else if (sameWord(key, "MqttTopic")) {
    mqtt.topic = value;
  } else if (sameWord(key, "MqttUser")) {
    mqtt.user = value;
  } else if (sameWord(key, "MqttPasswordFile")) {
    mqtt.passwordFile = value;
  } else if (sameWord(key, "MqttCaFile")) {
    mqtt.caFile = value;
  } else {
    return false;
  }
  return true;
}

/// The CoT keys of either direction ("CotGroup", "CotPort", ...); false when `key` is none.
bool applyCot(const std::string& key, const std::string& value, CotSettings& cot) {
  if (sameWord(key, "CotGroup")) {
    cot.group = value;
  } else if (sameWord(key, "CotPort")) {
    cot.port = toInt(value);
  } else if (sameWord(key, "CotTtl")) {
    cot.ttl = toInt(value);
  } else if (sameWord(key, "CotSite")) {
    cot.site = value;
  } else if (sameWord(key, "CotType")) {
    cot.type = value;
  } else if (sameWord(key, "CotTcp")) {
    cot.tcp = value;
  } else {
    return false;
  }
  return true;
}

void applyInput(const std::string& key, const std::string& value, IoDefinitions& defs) {
  if (applyMqtt(key, value, defs.mqttInput) || applyCot(key, value, defs.cotInput)) return;
  if (sameWord(key, "MultiCastPortFile")) {
    defs.multicastPortFile = value;
  } else if (sameWord(key, "LocalStateFile")) {
    defs.inputLocalStateFile = value;
  } else if (sameWord(key, "RemoteStateFile")) {
    defs.remoteStateFile = value;
  } else if (sameWord(key, "RemoteIp")) {
    defs.remoteIp = value;
  } else if (sameWord(key, "RemotePort")) {
    defs.remotePort = toInt(value);
  } else if (sameWord(key, "ClientIp")) {
    defs.inputClientIp = value;
  } else if (sameWord(key, "ClientPort")) {
    defs.inputClientPort = toInt(value);
  } else if (sameWord(key, "SesrverPort")) {  // spelled so in the files
    defs.inputServerPort = toInt(value);
  } else if (sameWord(key, "MultiCastBuffersPerPort")) {
    defs.multicastBuffersPerPort = toInt(value);
  } else if (sameWord(key, "MultiCastBytesPerBuffer")) {
    defs.multicastBytesPerBuffer = toInt(value);
  } else if (sameWord(key, "MultiCastMemoryMB")) {
    defs.multicastMemoryMB = toInt(value);
  }
}

void applyOutput(const std::string& key, const std::string& value, IoDefinitions& defs) {
  if (applyMqtt(key, value, defs.mqttOutput) || applyCot(key, value, defs.cotOutput)) return;
  if (sameWord(key, "GeoJsonFile")) {
    defs.geoJson.path = value;
  } else if (sameWord(key, "LocalStateFile")) {
    defs.outputLocalStateFile = value;
  } else if (sameWord(key, "ClientIp")) {
    defs.outputClientIp = value;
  } else if (sameWord(key, "ClientPort")) {
    defs.outputClientPort = toInt(value);
  } else if (sameWord(key, "SesrverPort")) {
    defs.outputServerPort = toInt(value);
  }
}

}  // namespace

void IoDefinitions::reset() {
  const int buffersPerPort = multicastBuffersPerPort;
  const int bytesPerBuffer = multicastBytesPerBuffer;
  const std::string keptPath = path;
  *this = IoDefinitions();
  multicastBuffersPerPort = buffersPerPort;
  multicastBytesPerBuffer = bytesPerBuffer;
  path = keptPath;
}

bool readIoDefinitions(const std::string& path, IoDefinitions& defs) {
  defs.path = path;
  defs.reset();
  return forEachThreeWordLine(path, [&defs](const FieldFile&, const std::string& group,
                                            const std::string& key, const std::string& value) {
    if (sameWord(group, "Active")) {
      applyActive(key, value, defs);
    } else if (sameWord(group, "Input")) {
      applyInput(key, value, defs);
    } else if (sameWord(group, "Output")) {
      applyOutput(key, value, defs);
    } else if (sameWord(group, "Map") && sameWord(key, "MaxMegapixels")) {
      defs.mapMaxMegapixels = toInt(value);
    } else if (sameWord(group, "Map") && sameWord(key, "TextureBudgetMB")) {
      defs.mapTextureBudgetMB = toInt(value);
    }
  });
}

InputButton selectedInputButton(const IoDefinitions& defs) {
  switch (defs.inputMode) {
    case IoDefinitions::kInputLocalState:
      return InputButton::LocalState;
    case IoDefinitions::kInputRemoteState:
      return InputButton::RemoteState;
    case IoDefinitions::kInputClient:
      return InputButton::Client;
    case IoDefinitions::kInputServer:
      return InputButton::Server;
    default:
      return InputButton::Multicast;
  }
}

OutputButtons outputButtonsToSet(const IoDefinitions& defs) {
  OutputButtons buttons;
  for (int i = 0; i < defs.outputCount && i < IoDefinitions::kMaxOutputs; ++i) {
    switch (defs.outputs[i]) {
      case IoDefinitions::kOutputLocalState:
        buttons.localState = true;
        break;
      case IoDefinitions::kOutputClient:
        buttons.client = true;
        break;
      case IoDefinitions::kOutputServer:
        buttons.server = true;
        break;
      default:
        break;
    }
  }
  return buttons;
}
