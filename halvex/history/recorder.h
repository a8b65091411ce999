// Records the fixes the inputs take into a recording file, on a writer thread of its own.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "halvex/history/recording_writer.h"
#include "halvex/tracking/fix_listener.h"

/// A FixListener that records every fix it is told of. The loop's thread only stages each fix
/// (texts only when they changed), so recording never holds up the inputs; the writer thread
/// encodes and writes what was staged every kFlushMs and syncs it to the disk every kSyncMs, so
/// a killed tracker loses at most the last quarter second and a power cut at most the last
/// second. A state record that repeats the node's last one exactly (a state file read again
/// before its writer changed it) is not recorded again.
class Recorder : public FixListener {
 public:
  static constexpr int kFlushMs = 250;  ///< Staged fixes reach the file at least this often.
  static constexpr int kSyncMs = 1000;  ///< Written fixes reach the disk at least this often.
  /// Fixes staged at most while the disk holds the writer up (about 200 MiB); beyond that they
  /// are counted as lost and the status says so.
  static constexpr size_t kMaxStaged = size_t{1} << 22;

  Recorder() = default;
  ~Recorder() override;  ///< Stops as stop() does.
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  /// Opens `path` and starts the writer thread; `maxBytes` 0 means no roll-over. Returns false
  /// with a message when the file cannot be written.
  bool start(const std::string& path, uint64_t maxBytes, std::string* error);
  /// Writes what is staged, closes the file and ends the thread.
  void stop();
  bool running() const { return thread_.joinable(); }

  void fixAccepted(const FixEvent& fix) override;

  /// The file being written, fixes recorded and bytes written, and the error that stopped the
  /// writer (empty when none). Callable from any thread.
  std::string currentPath() const;
  uint64_t fixCount() const { return recorded_.load(); }
  uint64_t byteCount() const { return bytes_.load(); }
  uint64_t lostCount() const { return lost_.load(); }
  std::string error() const;

 private:
  /// One staged fix; its changed texts are in the text arena at textOffset.
  struct Staged {
    int id;
    FixKind kind;
    uint8_t textMask;  ///< TrackTextChange bits of the texts that follow in the arena.
    int status;
    uint32_t textOffset;
    int64_t fixMs;
    int64_t arrivalMs;
    double latitude;
    double longitude;
  };
  /// What the loop's thread remembers of a node, to stage only what changed.
  struct Last {
    bool known = false;
    FixKind kind = FixKind::kPacket;
    int64_t fixMs = 0;
    double latitude = 0;
    double longitude = 0;
    int status = 0;
    std::string texts[3];
  };
  /// A batch the writer takes whole.
  struct Batch {
    std::vector<Staged> fixes;
    std::string texts;
  };

  void run();
  /// Encodes one batch through the writer; returns false on a write error.
  bool write(const Batch& batch);

  RecordingWriter writer_;
  std::thread thread_;
  mutable std::mutex mutex_;  ///< Guards staged_, stopping_, error_ and path_.
  std::condition_variable wake_;
  Batch staged_;
  bool stopping_ = false;
  std::string error_;
  std::string path_;
  std::vector<Last> last_;                ///< By id, loop's thread only.
  std::vector<std::string> writerTexts_;  ///< By id x 3, writer thread only.
  std::atomic<uint64_t> recorded_{0};
  std::atomic<uint64_t> bytes_{0};
  std::atomic<uint64_t> lost_{0};
  std::atomic<bool> failed_{false};
};
