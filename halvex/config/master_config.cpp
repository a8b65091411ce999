#include "halvex/config/master_config.h"

#include "halvex/config/field_file.h"

namespace {

struct KeyInfo {
  MasterKey key;
  const char* name;
  const char* label;
};

constexpr KeyInfo kKeys[kMasterKeyCount] = {
    {MasterKey::NodeFile, "NodeFile", "DGC Node & Comment File"},
    {MasterKey::PortFile, "PortFile", "DGC Multicast Port File"},
    {MasterKey::NodeDefFile, "NodeDefFile", "Node Graphics Configuration File"},
    {MasterKey::WWWFile, "WWWFile", "Input/Output definitions File"},
    {MasterKey::MapFile, "MapFile", "Map Graphics Configuration File"},
    {MasterKey::PreferenceFile, "PreferenceFile", "Preferences File"},
    {MasterKey::CotNodes, "CotNodes", "CoT Node Uid File"},
};

}  // namespace

const char* masterKeyName(MasterKey key) {
  return kKeys[static_cast<int>(key)].name;
}

const char* masterKeyLabel(MasterKey key) {
  return kKeys[static_cast<int>(key)].label;
}

bool parseMasterKey(const std::string& word, MasterKey& key) {
  for (const KeyInfo& info : kKeys) {
    if (word == info.name) {
      key = info.key;
      return true;
    }
  }
  return false;
}

std::vector<MasterEntry> readMasterFile(const std::string& path) {
  std::vector<MasterEntry> entries;
  // One field more than a line may hold, so that a line with a third word is seen and ignored.
  FieldFile file(path, 3);
  for (int i = 0; i < file.lineCount(); ++i) {
    file.selectLine(i);
    if (file.fieldCount() != 2) continue;
    std::string word;
    MasterEntry entry{MasterKey::NodeFile, std::string()};
    file.fieldText(0, word);
    if (!parseMasterKey(word, entry.key)) continue;
    file.fieldText(1, entry.value);
    entries.push_back(std::move(entry));
  }
  return entries;
}
