// Feeds the node table from a recording as the live inputs would have fed it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "halvex/history/recording_reader.h"

class NodeTable;
class TrailStore;

/// Applies a recording's entries to the node table in arrival order, each as received at its
/// recorded arrival time, and moves to any time of the recording at once (seek). The trails
/// are refilled from the recording after a seek.
class ReplayFeed {
 public:
  ReplayFeed(NodeTable& table, TrailStore& trails) : table_(table), trails_(trails) {}

  /// Opens a recording; false with a message when it is not one.
  bool open(const std::string& path, std::string* error);
  RecordingReader& reader() { return reader_; }
  const RecordingReader& reader() const { return reader_; }

  /// Every node takes its last recorded state at or before `ms` (a node without one is left
  /// without data), and the trails are refilled with the span before it.
  void seek(int64_t ms);
  /// Applies the entries after the last time fed up to `ms`. Returns the entries applied.
  long advance(int64_t ms);
  /// The time fed up to, UTC ms.
  int64_t fedMs() const { return fedMs_; }
  /// Whether the last entry applied was a state record: its status and age are then relayed,
  /// as after a live state file read.
  bool statusFromRecords() const { return statusFromRecords_; }

 private:
  /// Applies one recorded state to its node (known ids only).
  void apply(const TrackState& state);

  NodeTable& table_;
  TrailStore& trails_;
  RecordingReader reader_;
  std::vector<TrackState> states_;  ///< Scratch for seeks, by id.
  int64_t fedMs_ = 0;
  bool statusFromRecords_ = false;
};
