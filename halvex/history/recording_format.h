// The track recording format: text header, block layout, checksum and the integer codes that
// the writer and the reader share.
//
// A recording is one file, or several when a size limit rolls it over ("track.hxr", then
// "track.1.hxr", "track.2.hxr", ...), each complete in itself. Every number is little-endian.
//
// Text header
//   "HALVEX TRACK RECORDING 1\n" (the format version is the last word), then "key: value\n"
//   lines that say in words what follows, then an empty line; at most 4096 bytes in all. A
//   reader takes two keys: "recording" (16 hex digits, the same in every part of one recording)
//   and "part" (0 for the first file, then 1, 2, ...); the others (created, program, byte order,
//   block layout, encodings, units) are for people.
//
// Blocks, after the header: a 36-byte block header and its payload.
//     offset size
//      0     4    magic "HXB1"
//      4     1    type: 'K' keyframe, 'D' data, 'I' index, 'E' end
//      5     3    zero
//      8     4    payload bytes, u32 (at most 64 MiB)
//     12     4    entries, u32: node states (K), fixes (D), index entries (I), 0 (E)
//     16     4    CRC-32 (IEEE 802.3) of header bytes 0-15 and 20-35, then of the payload
//     20     8    arrival time of the first entry, i64 ms since 1970-01-01 UTC
//     28     8    arrival time of the last entry, i64 ms
//
// Integers in payloads: varint is unsigned LEB128 (7 bits a byte, lowest first, at most 10
// bytes); a signed value is stored zigzag, (n << 1) ^ (n >> 63), as a varint. Positions are
// latitude and longitude in units of 1e-9 degree (rounded to nearest). Times are ms; a fix time
// is stored as its difference from the arrival time ("fix offset"). Texts (comment 1, comment 2,
// name) are a varint length, at most 127, and the bytes.
//
// Flags byte (K and D): bit 0 state record (else position packet), bits 1-2 status (0 alive,
// 1 idle, 2 lost), bits 3, 4, 5 comment 1, comment 2, name follow, bits 6-7 zero.
//
// 'K' keyframe: the state of every node that has had a fix, by ascending id: varint id, flags
//   (texts that are not empty follow), zigzag arrival ms, zigzag fix offset, zigzag latitude,
//   zigzag longitude, the flagged texts. Both header times are the arrival of the newest fix the
//   state holds. Every part starts with one (the first part's, written with its first fix, is
//   empty), and one follows the first data block that ends a keyframe interval (60 s of arrival
//   time) or more after the last one.
// 'D' data: fixes in the order they arrived: varint id, flags (the texts that changed follow),
//   zigzag arrival delta against the previous entry of the block (the first against the header's
//   first time), zigzag delta of the fix offset, latitude and longitude against the node's
//   previous state, the flagged texts. A node's previous state is its last entry since the last
//   keyframe, else the keyframe's; a node the keyframe lacks starts from zero and empty texts.
//   Texts are stored only when they differ from the previous state's. Arrival times never
//   decrease within a recording.
// 'I' index: u64 offset of the previous index block of the file (0 for none), then for every
//   K and D block since that one a 36-byte entry: u64 offset, i64 first and i64 last arrival
//   ms, u32 payload bytes, u32 entries, u8 type, 3 zero bytes. Written before every keyframe but
//   a part's first, after 1024 blocks without one, and when a part is closed.
// 'E' end: u64 offset of the last index block; the last block of a part closed cleanly.
//
// A reader indexes a part that ends with 'E' by walking the index blocks back from it; any
// other part (still written, or its writer killed) by reading the block headers forward.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "halvex/tracking/node_record.h"

namespace recording {

/// Format version this program writes and the newest it reads.
constexpr int kVersion = 1;
/// The header's first line up to the version number.
constexpr char kMagicLine[] = "HALVEX TRACK RECORDING ";
/// Longest text header, bytes: far more than the writer's, little enough to read whole.
constexpr size_t kMaxHeaderBytes = 4096;

/// Block header size, bytes.
constexpr size_t kBlockHeaderBytes = 36;
/// Offset of the checksum in the block header (it covers the bytes around it).
constexpr size_t kCrcOffset = 16;
/// Largest payload a reader takes, bytes: a keyframe of every node with full texts is under
/// 0.5 MiB, so anything far beyond is damage, never an allocation.
constexpr uint32_t kMaxPayloadBytes = 64u << 20;
/// One index entry, bytes.
constexpr size_t kIndexEntryBytes = 36;
/// Blocks one index block lists at most, so that it stays small (36 KiB).
constexpr size_t kMaxIndexEntries = 1024;

/// Block types.
constexpr char kKeyframe = 'K';
constexpr char kData = 'D';
constexpr char kIndex = 'I';
constexpr char kEnd = 'E';

/// Highest node id (the node table's).
constexpr int kMaxNodeId = 1000;
/// Longest text stored, bytes: what a node record's text field holds.
constexpr size_t kMaxTextBytes = NodeRecord::kTextBytes - 1;
/// Largest latitude or longitude taken, degrees: keeps every 1e-9 degree value and delta far
/// inside 64 bits.
constexpr double kMaxAbsDegrees = 360;
/// Units of 1e-9 degree in a degree.
constexpr double kUnitsPerDegree = 1e9;
/// The largest coordinate in 1e-9 degree units.
constexpr int64_t kMaxAbsUnits = 360'000'000'000;

/// Flags byte bits.
constexpr uint8_t kFlagStateRecord = 1u << 0;
constexpr int kStatusShift = 1;
constexpr uint8_t kStatusMask = 3u << kStatusShift;
constexpr uint8_t kFlagComment1 = 1u << 3;
constexpr uint8_t kFlagComment2 = 1u << 4;
constexpr uint8_t kFlagName = 1u << 5;
constexpr uint8_t kFlagsReserved = 3u << 6;
/// Highest status stored.
constexpr int kMaxStatus = 2;

/// The fields of a block header.
struct BlockHeader {
  char type = 0;
  uint32_t payloadBytes = 0;
  uint32_t entries = 0;
  uint32_t crc = 0;
  int64_t firstMs = 0;
  int64_t lastMs = 0;
};

/// Appends a whole block (header with its checksum, then `payload`) to `out`.
void appendBlock(std::string& out, char type, uint32_t entries, int64_t firstMs, int64_t lastMs,
                 const std::string& payload);

/// Reads the header at `bytes` (kBlockHeaderBytes of them). False when the magic, the type or
/// the zero bytes are wrong or the payload is larger than kMaxPayloadBytes.
bool readBlockHeader(const uint8_t* bytes, BlockHeader* header);

/// Whether the checksum in the header at `bytes` matches it and `payload`.
bool blockChecksumMatches(const uint8_t* bytes, const uint8_t* payload, size_t payloadBytes);

/// CRC-32 (IEEE 802.3, reflected, as zlib's crc32) of `size` bytes, continuing from `crc`
/// (0 to start).
uint32_t crc32(uint32_t crc, const void* data, size_t size);

/// Integer codes.
void putU32(std::string& out, uint32_t value);
void putU64(std::string& out, uint64_t value);
void putVarint(std::string& out, uint64_t value);
inline uint64_t zigzag(int64_t n) {
  return (static_cast<uint64_t>(n) << 1) ^ static_cast<uint64_t>(n >> 63);
}
inline int64_t unzigzag(uint64_t z) {
  return static_cast<int64_t>((z >> 1) ^ (~(z & 1) + 1));
}
inline uint32_t getU32(const uint8_t* p) {
  return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t getU64(const uint8_t* p) {
  return getU32(p) | uint64_t(getU32(p + 4)) << 32;
}

/// Takes values off a payload; once anything runs past its end or is malformed, ok() is false
/// and every later read gives 0.
class PayloadReader {
 public:
  PayloadReader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  uint64_t varint();
  int64_t signedVarint() { return unzigzag(varint()); }
  uint8_t byte();
  uint64_t u64();
  uint32_t u32();
  /// A text of at most kMaxTextBytes: its offset from `base` and length.
  void text(const uint8_t* base, uint32_t* offset, uint8_t* length);
  bool ok() const { return ok_; }
  bool atEnd() const { return p_ == end_; }

 private:
  bool need(size_t n);
  const uint8_t* p_;
  const uint8_t* end_;
  bool ok_ = true;
};

/// The text header of part `part` of recording `recordingId`, created at `createdMs`.
std::string headerText(uint64_t recordingId, int part, int64_t createdMs);

/// What a file's first bytes say it is.
enum class HeaderCheck {
  kOk,       ///< A header this program reads; the fields are filled in.
  kForeign,  ///< Not a recording (or its header is cut or damaged).
  kNewer,    ///< A recording of a newer version (`version` says which).
};

/// The header's fields a reader needs.
struct HeaderInfo {
  int version = 0;
  uint64_t recordingId = 0;
  int part = 0;
  size_t bytes = 0;  ///< Header length: the first block's offset.
};

/// Reads the header at the start of `data` (a file's first `size` bytes, at most
/// kMaxHeaderBytes are looked at).
///
///     HALVEX TRACK RECORDING 1
///     recording: 3f9a0c2e77d1b405
///     part: 0
HeaderCheck readHeader(const char* data, size_t size, HeaderInfo* info);

/// "HH:MM:SSZ" of a UTC time in ms.
std::string clockText(int64_t ms);

}  // namespace recording
