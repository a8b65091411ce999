#include "halvex/engine/tracker_model.h"

#include <cstdio>

#include "halvex/config/preferences.h"

TrackerModel::TrackerModel() : ports_(nodes_, kInitialBufferBytes, kInitialBuffersPerPort) {
  nodes_.setIdleThresholds(kInitialMediumIdle, kInitialBadIdle);
  fixes_.add(&trails_);
  nodes_.setFixListener(&fixes_);
}

void TrackerModel::loadConfiguration(const std::string& path) {
  paths_.master = path;
  for (const MasterEntry& entry : readMasterFile(path)) {
    switch (entry.key) {
      case MasterKey::NodeFile:
        readNodeList(entry.value);
        break;
      case MasterKey::PortFile:
        readPortFile(entry.value);
        break;
      case MasterKey::NodeDefFile:
        readNodeGraphics(entry.value);
        break;
      case MasterKey::WWWFile:
        readIoDefinitions(entry.value);
        break;
      case MasterKey::MapFile:
        readMapGraphics(entry.value);
        break;
      case MasterKey::PreferenceFile:
        readPreferences(entry.value);
        break;
      case MasterKey::CotNodes:
        // Read by the CoT input when it starts, and written back as it assigns ids.
        paths_.setFile(MasterKey::CotNodes, entry.value);
        break;
    }
  }
  attachNodeGraphics();
  if (listener_ != nullptr) listener_->configurationLoaded();
}

void TrackerModel::readNodeList(const std::string& path) {
  paths_.setFile(MasterKey::NodeFile, path);
  nodes_.readNodeFile(path.c_str());
  if (listener_ != nullptr) listener_->nodeListRead();
}

void TrackerModel::readPortFile(const std::string& path) {
  paths_.setFile(MasterKey::PortFile, path);
  ports_.setRingMemoryMB(io_.multicastMemoryMB);
  ports_.loadPortFile(path.c_str());
  if (listener_ != nullptr) listener_->portFileNamed(path);
}

void TrackerModel::readNodeGraphics(const std::string& path) {
  paths_.setFile(MasterKey::NodeDefFile, path);
  // Nodes point into the definitions: detach them before the old ones go.
  for (NodeRecord* node = nodes_.chainHead(); node != nullptr; node = node->next) {
    node->setIcon(nullptr);
  }
  nodeGraphics_.read(path);
}

void TrackerModel::readIoDefinitions(const std::string& path) {
  paths_.setFile(MasterKey::WWWFile, path);
  ::readIoDefinitions(path, io_);
  stateOutput_.resetFromConfiguration(
      io_.outputLocalStateFile.empty() ? nullptr : io_.outputLocalStateFile.c_str());
  if (listener_ != nullptr) listener_->ioDefinitionsRead();
}

void TrackerModel::readMapGraphics(const std::string& path) {
  paths_.setFile(MasterKey::MapFile, path);
  mapGraphics_.read(path);
}

void TrackerModel::readPreferences(const std::string& path) {
  paths_.setFile(MasterKey::PreferenceFile, path);
  ::readPreferences(path, settings_);
  trails_.setMinutes(settings_.trailMinutes);
  if (listener_ != nullptr) listener_->preferencesRead();
}

void TrackerModel::attachNodeGraphics() {
  for (NodeRecord* node = nodes_.chainHead(); node != nullptr; node = node->next) {
    node->setIcon(nodeGraphics_.individualFor(node->id));
  }
}

std::vector<std::string> TrackerModel::nodeChoiceLabels() const {
  std::vector<std::string> labels;
  labels.reserve(static_cast<size_t>(nodes_.count()));
  char label[NodeRecord::kTextBytes + 16];
  for (const NodeRecord* node = nodes_.chainHead(); node != nullptr; node = node->next) {
    std::snprintf(label, sizeof label, "%03d: %s", node->id, node->name);
    labels.push_back(label);
  }
  return labels;
}

std::vector<std::string> TrackerModel::closeChoiceLabels() {
  std::vector<std::string> labels{"NONE"};
  for (int k = 1; k <= TrackingSettings::kMaxCloseCount; ++k) labels.push_back(std::to_string(k));
  return labels;
}

int TrackerModel::choiceIndexOf(int id) const {
  const NodeRecord* node = nodes_.nodeById(id);
  return node != nullptr ? node->position : -1;
}
