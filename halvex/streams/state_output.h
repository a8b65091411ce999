// Publishing the node table as a state file, and the state of the snapshot output.
#pragma once

#include <string>

class NodeTable;

/// Writes every node of `table` as a state record between "<dgc>" and "</dgc>" lines. With
/// `relayed` the stored status and age are written (as received from a state source); otherwise
/// both are computed now. The file is replaced atomically, so a reader sees the old or the new
/// content, never a part. Returns false, leaving any previous file intact, when the name is
/// empty or the file cannot be written.
bool writeStateFile(const NodeTable& table, const char* name, bool relayed);

/// The snapshot output: file name, on/off flag, frame counter and the texts its controls show.
class StateOutput {
 public:
  static constexpr const char* kDefaultFileName = "state.txt";

  StateOutput() = default;

  /// One output period: when snapshots are on, writes the state file and counts the frame.
  /// Returns whether a frame was written.
  bool writeFrame(const NodeTable& table, bool relayed);

  /// Switches snapshots on or off, as the toggle button does.
  void setSnapshot(bool on);
  /// Replaces the file name (null or empty leaves no file to write).
  void setFileName(const char* name);
  /// Takes the output file named by the configuration and resets the labels to their
  /// configuration texts.
  void resetFromConfiguration(const char* name);

  bool snapshotOn() const { return snapshotOn_; }
  const std::string& fileName() const { return fileName_; }
  long frameCount() const { return frameCount_; }
  const std::string& toggleLabel() const { return toggleLabel_; }
  const std::string& counterLabel() const { return counterLabel_; }

 private:
  std::string fileName_ = kDefaultFileName;            ///< State file written each period.
  bool snapshotOn_ = true;                             ///< Whether periods write a file.
  long frameCount_ = 0;                                ///< Files written so far.
  std::string toggleLabel_ = "Snapshot is OFF";        ///< Text of the toggle button.
  std::string counterLabel_ = "Frames set: 00000000";  ///< Text of the counter.
};
