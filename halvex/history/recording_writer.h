// Writes a track recording: every fix the tracker takes, appended in blocks a reader can seek.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "halvex/tracking/fix_listener.h"

/// Appends fixes to a recording file (format in recording_format.h). Single-threaded: the
/// recorder calls it from its writer thread. Fixes are encoded into the open data block; a block
/// reaches the file (one write) at flush(), so what was flushed survives the process being
/// killed, and sync() puts it on the disk. Every keyframe interval of arrival time the full state
/// of every node is written again, so a reader can seek without reading from the start. When a
/// size limit is set, the file that would grow past it is closed and the next one is started:
/// "track.hxr", then "track.1.hxr", "track.2.hxr", ... each complete in itself.
class RecordingWriter {
 public:
  RecordingWriter();
  ~RecordingWriter();  ///< Closes the file as close() does.
  RecordingWriter(const RecordingWriter&) = delete;
  RecordingWriter& operator=(const RecordingWriter&) = delete;

  /// Creates (or replaces) `path` and writes the header. `maxBytes` 0 means no limit; otherwise
  /// at least 1 MiB. Returns false with a message in `error` when the file cannot be written.
  bool open(const std::string& path, uint64_t maxBytes, std::string* error);
  /// Adds one fix (texts are compared with the node's last ones; only changes are stored).
  /// Returns false after a write error (see error()).
  bool append(const FixEvent& fix);
  /// Writes the open block to the file (and a keyframe when one is due).
  bool flush();
  /// flush(), then fdatasync.
  bool sync();
  /// Flushes, writes the closing index and trailer, closes. Safe to call twice.
  bool close();

  bool isOpen() const;
  /// The file being written now (a numbered one after a roll-over).
  const std::string& currentPath() const;
  /// Fixes appended since open, and bytes written to all files so far.
  uint64_t fixCount() const;
  uint64_t bytesWritten() const;
  /// The last write error, empty when none.
  const std::string& error() const;

  /// Arrival time between keyframes, ms (a reader's seek decodes at most this much).
  static constexpr int64_t kKeyframeIntervalMs = 60000;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

/// The name of file `k` (0 = `path` itself) of a recording that rolls over: "a/track.hxr" with
/// k 2 gives "a/track.2.hxr"; a name without extension gets ".2" appended.
std::string recordingPartPath(const std::string& path, int k);
