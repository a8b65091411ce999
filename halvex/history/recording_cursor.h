// A position in a recording's entries with every node's state there: seeks and walks use one.
#pragma once

#include <cstdint>
#include <vector>

#include "halvex/history/recording_files.h"
#include "halvex/history/track_state.h"

/// Decodes a recording block by block from a starting block on, keeping every node's state.
/// A data block is decoded and checked whole when it is reached; its entries are then applied
/// one at a time, so a walk can stop between any two of them and go on later.
class RecordingCursor {
 public:
  /// What next() did.
  enum class Step {
    kEntry,    ///< Applied an entry.
    kLimit,    ///< The next entry or keyframe is later than the limit; nothing applied.
    kEnd,      ///< No more blocks (for now).
    kDamaged,  ///< A block was damaged and dropped (see RecordingFiles::damage()).
  };

  explicit RecordingCursor(RecordingFiles& files);

  /// Starts at block `index` (a keyframe, or the first block) with every node unknown.
  void start(size_t index);
  /// Whether start() was called since the files last dropped blocks.
  bool valid() const { return started_ && generation_ == files_.generation(); }

  /// Applies the next entry with arrival time at most `untilMs` (keyframes on the way are
  /// loaded): with kEntry, `id` is its node and `changes` the texts it changed.
  Step next(int64_t untilMs, int* id, unsigned* changes);

  /// Every node's state, by id 0 to 1000.
  const std::vector<TrackState>& states() const { return states_; }

 private:
  /// One data entry, decoded to absolute values; texts point into block_.
  struct Entry {
    int id;
    uint8_t flags;
    int64_t arrivalMs;
    int64_t fixMs;
    int64_t lat;
    int64_t lon;
    uint32_t textOffset[3];
    uint8_t textLength[3];
  };
  /// A node's last decoded values, what the next data entry is coded against.
  struct Baseline {
    uint64_t fixOffset = 0;
    int64_t lat = 0;
    int64_t lon = 0;
  };

  void clear();
  bool decodeKeyframe(const BlockRef& ref);
  bool decodeData(const BlockRef& ref);
  void apply(const Entry& e, unsigned* changes);

  RecordingFiles& files_;
  bool started_ = false;
  uint64_t generation_ = 0;
  size_t next_ = 0;  ///< The next block to load.
  std::vector<uint8_t> block_;
  std::vector<Entry> entries_;
  size_t entryPos_ = 0;
  std::vector<TrackState> states_;
  std::vector<Baseline> baselines_;
};
