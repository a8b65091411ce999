// Reads a track recording: its span, every node's state at any time, and its entries in order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "halvex/history/track_state.h"

/// Reads a recording written by RecordingWriter, with its numbered roll-over parts, while it may
/// still be written. Times are UTC ms since 1970; the index and the span are in arrival time.
class RecordingReader {
 public:
  /// Called for each entry in order: the node's state after it and the texts it changed
  /// (TrackTextChange bits). Returning false stops the walk.
  using Visit = std::function<bool(const TrackState& state, unsigned textChanges)>;

  RecordingReader();
  ~RecordingReader();
  RecordingReader(const RecordingReader&) = delete;
  RecordingReader& operator=(const RecordingReader&) = delete;

  /// Opens `path` and the numbered parts after it, and indexes them. Returns false with a
  /// message ("FILE: not a track recording", "FILE: cannot open: REASON", "FILE: recording
  /// version N is newer than this program reads") for a file that cannot be read at all.
  /// A damaged or cut tail is not an error: reading ends before it and damage() says where.
  bool open(const std::string& path, std::string* error);
  /// Indexes what was appended since open or the last refresh (a recording being written,
  /// including a new roll-over part). Returns whether anything was added.
  bool refresh();

  /// Arrival time of the first and last entry (or keyframe); 0 and 0 for an empty recording.
  int64_t firstMs() const;
  int64_t lastMs() const;
  /// Entries (fixes) indexed so far.
  uint64_t entryCount() const;
  /// One line saying where the recording is damaged ("FILE: damaged at byte N, read up to
  /// HH:MM:SSZ"), empty when it reads to its end.
  const std::string& damage() const;

  /// Every node's last state at or before arrival time `atMs`, indexed by node id (size
  /// maxId + 1; nodes without an entry by then are !known()). Decodes at most one keyframe
  /// interval of entries, whatever the length of the recording.
  bool stateAt(int64_t atMs, std::vector<TrackState>& byId);

  /// Walks the entries with arrival time after `afterMs` up to and including `untilMs`, in
  /// recorded order. Returns false when a visit stopped the walk or the data is damaged. A walk
  /// whose `afterMs` is the last walk's `untilMs` goes on where that one ended, without decoding
  /// again: it also gives entries of that last ms that reached the file since.
  bool forEach(int64_t afterMs, int64_t untilMs, const Visit& visit);

  /// Blocks read from the files so far: what seeks and walks cost.
  uint64_t blocksRead() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
