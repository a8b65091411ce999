// The master configuration file: which setup file each part of the tracker reads, in what order.
#pragma once

#include <string>
#include <vector>

/// The keys of the master configuration file, each naming one setup file.
enum class MasterKey {
  NodeFile,        ///< Node list file.
  PortFile,        ///< Multicast port file.
  NodeDefFile,     ///< Node graphics file.
  WWWFile,         ///< Input/output definitions file.
  MapFile,         ///< Map graphics file.
  PreferenceFile,  ///< Preferences file.
  CotNodes,        ///< Cursor on Target uid table: which node each event's uid stands for.
};

/// Number of master keys.
constexpr int kMasterKeyCount = 7;

/// The key as written in the file, e.g. "NodeFile".
const char* masterKeyName(MasterKey key);

/// The heading shown for the key's path in the master configuration dialog.
const char* masterKeyLabel(MasterKey key);

/// The key whose name equals word exactly (letter case counts); false when there is none.
bool parseMasterKey(const std::string& word, MasterKey& key);

/// One line of the master file: a key and the path it names (relative to the current directory).
struct MasterEntry {
  MasterKey key;
  std::string value;
};

/// Reads the master file at path: its lines of exactly two fields with a known key, in file order.
/// A key may occur more than once. Empty when the file cannot be opened.
std::vector<MasterEntry> readMasterFile(const std::string& path);

/// The paths of the setup files last loaded, as the master configuration dialog shows them.
/// Each is replaced when its file is read again; empty means none yet.
struct MasterPaths {
  std::string master;                  ///< The master configuration file itself.
  std::string files[kMasterKeyCount];  ///< Indexed by MasterKey.

  const std::string& file(MasterKey key) const { return files[static_cast<int>(key)]; }
  void setFile(MasterKey key, const std::string& path) { files[static_cast<int>(key)] = path; }
};
