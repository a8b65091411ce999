// The tracker's history: recording what the inputs take, and replaying a recording in their
// place, with the trails' span. What the "History" window and the command line drive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TrackerModel;
class TrackerEngine;

/// What a recording in progress has done so far.
struct RecordingStatus {
  bool recording = false;
  std::string path;    ///< The file being written now (a numbered part after a roll-over).
  uint64_t fixes = 0;  ///< Fixes recorded.
  uint64_t bytes = 0;  ///< Bytes written to all parts.
  std::string error;   ///< The write error that stopped the recording, empty when none.
};

/// Where a replay stands.
struct ReplayStatus {
  bool active = false;   ///< A recording feeds the node table instead of the live inputs.
  bool playing = false;  ///< The replay clock runs (else paused).
  double speed = 1;      ///< Replay seconds per wall second, 0.25 to 64.
  int64_t firstMs = 0;   ///< Span of the recording, UTC ms since 1970.
  int64_t lastMs = 0;
  int64_t nowMs = 0;  ///< Replay time, UTC ms since 1970.
  std::string path;
  std::string damage;  ///< Where the recording is damaged, empty when it reads whole.
};

/// Records the model's accepted fixes and replays recordings into it. Every call comes from the
/// loop's thread; while a replay is active the engine's passes feed it instead of the inputs.
class HistorySession {
 public:
  static constexpr double kMinSpeed = 0.25;
  static constexpr double kMaxSpeed = 64;
  static constexpr int64_t kStepMs = 10000;  ///< One step of the step buttons.

  HistorySession(TrackerModel& model, TrackerEngine& engine);
  ~HistorySession();  ///< Stops a recording (closing its file) and a replay.
  HistorySession(const HistorySession&) = delete;
  HistorySession& operator=(const HistorySession&) = delete;

  /// Starts recording into `path` (replacing it), rolling over to numbered files past `maxMB`
  /// (0 for no limit). Returns false with a message when the file cannot be written.
  bool startRecording(const std::string& path, int maxMB, std::string* error);
  /// Stops recording and closes the file.
  void stopRecording();
  RecordingStatus recordingStatus() const;

  /// Replays `path` in place of the live inputs from `fromMs` (0 for its start), paused or
  /// playing. Returns false with a message for a file that is not a readable recording.
  bool startReplay(const std::string& path, int64_t fromMs, bool play, std::string* error);
  /// Ends the replay: the live inputs feed the node table again, with the wall clock.
  void stopReplay();
  void play();
  void pause();
  /// Sets the speed, brought within kMinSpeed to kMaxSpeed.
  void setSpeed(double speed);
  /// Moves the replay time to `ms` (within the recording's span): every node takes its last
  /// fix, status and texts at or before it, and the trails are refilled.
  void seek(int64_t ms);
  /// seek(now + deltaMs).
  void step(int64_t deltaMs);
  ReplayStatus replayStatus() const;
  /// Whether the replay has played to the end of the recording (it then pauses; a recording
  /// still being written goes on when it grows).
  bool replayAtEnd() const;

  /// Trail span, minutes; 0 turns trails off.
  void setTrailMinutes(int minutes);
  int trailMinutes() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
