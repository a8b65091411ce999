// The files of a recording as a reader sees them: its parts, the blocks found in them so far,
// and where the first damage is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// A keyframe or data block of a recording.
struct BlockRef {
  uint32_t part = 0;  ///< Index of the file it is in.
  uint64_t offset = 0;
  uint32_t payloadBytes = 0;
  uint32_t entries = 0;
  int64_t firstMs = 0;
  int64_t lastMs = 0;
  char type = 0;
};

/// Opens a recording and its numbered parts and lists their keyframe and data blocks in
/// recorded order. A part that ends with an end block is indexed from its index blocks; one
/// without (being written, or cut) by reading block headers forward, up to the last whole block.
/// Payloads are checked when a block is read: a damaged block drops it and every block after it
/// in its part.
class RecordingFiles {
 public:
  RecordingFiles() = default;
  ~RecordingFiles();
  RecordingFiles(const RecordingFiles&) = delete;
  RecordingFiles& operator=(const RecordingFiles&) = delete;

  /// Opens `path` and the parts after it (messages as RecordingReader::open gives them).
  bool open(const std::string& path, std::string* error);
  /// Takes up blocks and parts added since; whether any were.
  bool refresh();

  const std::vector<BlockRef>& blocks() const { return blocks_; }
  /// Indexes into blocks() of the keyframes, in order.
  const std::vector<size_t>& keyframes() const { return keyframes_; }
  /// Fixes in the data blocks.
  uint64_t entryCount() const { return entries_; }
  const std::string& damage() const { return damage_; }
  /// Changes whenever blocks are dropped, so that positions in blocks() taken before are stale.
  uint64_t generation() const { return generation_; }
  /// Blocks read by readBlock so far.
  uint64_t blocksRead() const { return blocksRead_; }

  /// Reads block `index` whole into `block` (its payload from kBlockHeaderBytes on) and checks
  /// it against its index entry and checksum. False when it is damaged: see dropDamaged.
  bool readBlock(size_t index, std::vector<uint8_t>& block);
  /// Drops damaged block `index` and the rest of its part, and notes where in damage().
  void dropDamaged(size_t index);

 private:
  struct Part {
    std::string path;
    int fd = -1;
    uint64_t headerBytes = 0;
    uint64_t scanned = 0;   ///< Offset of the first block not indexed yet.
    bool finished = false;  ///< Ended cleanly, damaged, or followed by a later part.
    std::string note;       ///< Where it is damaged or cut, empty when neither.
  };

  /// Opens part `k`; false when it does not exist or is not part of this recording.
  bool openPart(int k, std::string* error);
  /// Indexes part `k` from its end block back; false when it has none or it does not hold.
  bool indexFromEnd(uint32_t k);
  /// Indexes part `k` from its scanned offset forward; whether blocks were added.
  bool scanForward(uint32_t k);
  /// Opens the parts after the last one that exist; whether any did.
  bool takeNewParts();
  /// Notes damage or a cut at `offset` of part `k`; a damaged part is read no further.
  void noteDamage(uint32_t k, uint64_t offset, bool stop);
  void addBlock(const BlockRef& block);
  /// The keyframe list, entry count and damage line after blocks were dropped.
  void recount();
  /// damage(): the first part's note that is not empty.
  void updateDamage();

  std::string path_;
  uint64_t recordingId_ = 0;
  int firstPart_ = 0;  ///< Part number in the first file's header.
  std::vector<Part> parts_;
  std::vector<BlockRef> blocks_;
  std::vector<size_t> keyframes_;
  uint64_t entries_ = 0;
  std::string damage_;
  uint64_t generation_ = 0;
  uint64_t blocksRead_ = 0;
};
