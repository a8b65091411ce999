#include "halvex/history/recording_format.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/version.h"
#include "halvex/core/utc_time.h"
#include "halvex/history/recording_writer.h"

namespace recording {

namespace {

constexpr char kBlockMagic[4] = {'H', 'X', 'B', '1'};
/// Reflected IEEE 802.3 polynomial.
constexpr uint32_t kCrcPolynomial = 0xEDB88320u;

std::array<uint32_t, 256> makeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? kCrcPolynomial ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}

void putI64(std::string& out, int64_t value) {
  putU64(out, static_cast<uint64_t>(value));
}

/// Checksum of a block header without its checksum field.
uint32_t headerChecksum(const uint8_t* bytes) {
  const uint32_t crc = crc32(0, bytes, kCrcOffset);
  return crc32(crc, bytes + kCrcOffset + 4, kBlockHeaderBytes - kCrcOffset - 4);
}

/// The value of "key: value" lines in `header`, or null.
const char* headerValue(const std::string& header, const char* key) {
  const std::string wanted = std::string("\n") + key + ": ";
  const size_t at = header.find(wanted);
  return at == std::string::npos ? nullptr : header.c_str() + at + wanted.size();
}

}  // namespace

uint32_t crc32(uint32_t crc, const void* data, size_t size) {
  static const std::array<uint32_t, 256> table = makeCrcTable();
  const auto* p = static_cast<const uint8_t*>(data);
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void putU32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(value >> (8 * i));
}

void putU64(std::string& out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>(value >> (8 * i));
}

void putVarint(std::string& out, uint64_t value) {
  while (value >= 0x80) {
    out += static_cast<char>(value | 0x80);
    value >>= 7;
  }
  out += static_cast<char>(value);
}

void appendBlock(std::string& out, char type, uint32_t entries, int64_t firstMs, int64_t lastMs,
                 const std::string& payload) {
  const size_t start = out.size();
  out.append(kBlockMagic, sizeof kBlockMagic);
  out += type;
  out.append(3, '\0');
  putU32(out, static_cast<uint32_t>(payload.size()));
  putU32(out, entries);
  putU32(out, 0);  // the checksum, filled in below
  putI64(out, firstMs);
  putI64(out, lastMs);
  out += payload;
  auto* header = reinterpret_cast<uint8_t*>(&out[start]);
  const uint32_t crc = crc32(headerChecksum(header), payload.data(), payload.size());
  std::string field;
  putU32(field, crc);
  out.replace(start + kCrcOffset, 4, field);
}

bool readBlockHeader(const uint8_t* bytes, BlockHeader* header) {
  if (std::memcmp(bytes, kBlockMagic, sizeof kBlockMagic) != 0) return false;
  const char type = static_cast<char>(bytes[4]);
  if (type != kKeyframe && type != kData && type != kIndex && type != kEnd) return false;
  if (bytes[5] != 0 || bytes[6] != 0 || bytes[7] != 0) return false;
  header->type = type;
  header->payloadBytes = getU32(bytes + 8);
  header->entries = getU32(bytes + 12);
  header->crc = getU32(bytes + kCrcOffset);
  header->firstMs = static_cast<int64_t>(getU64(bytes + 20));
  header->lastMs = static_cast<int64_t>(getU64(bytes + 28));
  return header->payloadBytes <= kMaxPayloadBytes;
}

bool blockChecksumMatches(const uint8_t* bytes, const uint8_t* payload, size_t payloadBytes) {
  return crc32(headerChecksum(bytes), payload, payloadBytes) == getU32(bytes + kCrcOffset);
}

bool PayloadReader::need(size_t n) {
  if (ok_ && static_cast<size_t>(end_ - p_) >= n) return true;
  ok_ = false;
  return false;
}

uint64_t PayloadReader::varint() {
  uint64_t value = 0;
  for (int shift = 0; shift < 64 && need(1); shift += 7) {
    const uint8_t b = *p_++;
    value |= static_cast<uint64_t>(b & 0x7F) << shift;
    if ((b & 0x80) == 0) return value;
  }
  ok_ = false;  // ran out, or more than 10 bytes
  return 0;
}

uint8_t PayloadReader::byte() {
  return need(1) ? *p_++ : 0;
}

uint64_t PayloadReader::u64() {
  if (!need(8)) return 0;
  const uint64_t v = getU64(p_);
  p_ += 8;
  return v;
}

uint32_t PayloadReader::u32() {
  if (!need(4)) return 0;
  const uint32_t v = getU32(p_);
  p_ += 4;
  return v;
}

void PayloadReader::text(const uint8_t* base, uint32_t* offset, uint8_t* length) {
  const uint64_t n = varint();
  if (n > kMaxTextBytes) ok_ = false;
  if (!need(n)) {
    *offset = 0;
    *length = 0;
    return;
  }
  *offset = static_cast<uint32_t>(p_ - base);
  *length = static_cast<uint8_t>(n);
  p_ += n;
}

std::string headerText(uint64_t recordingId, int part, int64_t createdMs) {
  char id[24];
  std::snprintf(id, sizeof id, "%016" PRIx64, recordingId);
  std::string text = std::string(kMagicLine) + std::to_string(kVersion) + "\n";
  text += "created: " + formatUtcTime(createdMs, UtcStyle::kIso) + "\n";
  text += std::string("program: halvex ") + buildVersion() + "\n";
  text += std::string("recording: ") + id + "\n";
  text += "part: " + std::to_string(part) + "\n";
  text +=
      "byte order: little-endian\n"
      "blocks: 36-byte header (\"HXB1\", type byte, 3 zero bytes, u32 payload bytes, u32 entries, "
      "u32 CRC-32 of the other header bytes and the payload, i64 first and i64 last arrival ms), "
      "then the payload\n"
      "block types: K keyframe (every node's state), D data (fixes in arrival order), I index "
      "(offsets of the blocks before it), E end (offset of the last index block)\n"
      "keyframe interval: " +
      std::to_string(RecordingWriter::kKeyframeIntervalMs) +
      " ms of arrival time\n"
      "integers: unsigned LEB128 varints, signed ones zigzag coded\n"
      "times: ms since 1970-01-01 UTC; a fix time as its difference from the arrival time\n"
      "positions: latitude and longitude in 1e-9 degree, in data blocks as differences from the "
      "node's previous fix\n"
      "texts: comment 1, comment 2 and name, at most 127 bytes, stored when they change\n"
      "\n";
  return text;
}

HeaderCheck readHeader(const char* data, size_t size, HeaderInfo* info) {
  const size_t magicLength = sizeof kMagicLine - 1;
  if (size > kMaxHeaderBytes) size = kMaxHeaderBytes;
  if (size <= magicLength || std::memcmp(data, kMagicLine, magicLength) != 0) {
    return HeaderCheck::kForeign;
  }
  // The version: digits ending the first line.
  size_t at = magicLength;
  long version = 0;
  while (at < size && data[at] >= '0' && data[at] <= '9' && at - magicLength < 6) {
    version = version * 10 + (data[at++] - '0');
  }
  if (at == magicLength || at >= size || data[at] != '\n') return HeaderCheck::kForeign;
  info->version = static_cast<int>(version);
  if (version > kVersion) return HeaderCheck::kNewer;
  if (version < 1) return HeaderCheck::kForeign;

  const std::string header(data, size);
  const size_t end = header.find("\n\n");
  if (end == std::string::npos) return HeaderCheck::kForeign;
  const std::string fields = header.substr(0, end + 1);
  const char* id = headerValue(fields, "recording");
  const char* part = headerValue(fields, "part");
  if (id == nullptr || part == nullptr) return HeaderCheck::kForeign;
  char* idEnd = nullptr;
  char* partEnd = nullptr;
  info->recordingId = std::strtoull(id, &idEnd, 16);
  const long partNumber = std::strtol(part, &partEnd, 10);
  if (idEnd != id + 16 || *idEnd != '\n' || partEnd == part || *partEnd != '\n' || partNumber < 0 ||
      partNumber > 1'000'000) {
    return HeaderCheck::kForeign;
  }
  info->part = static_cast<int>(partNumber);
  info->bytes = end + 2;
  return HeaderCheck::kOk;
}

std::string clockText(int64_t ms) {
  // Times from a damaged header may be anything: kept within a million years of 1970.
  constexpr int64_t kMaxMs = int64_t{1000} * 86400 * 366 * 1'000'000;
  const UtcFields utc = utcFields(std::max(-kMaxMs, std::min(ms, kMaxMs)));
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02dZ", utc.hour, utc.minute, utc.second);
  return text;
}

}  // namespace recording
