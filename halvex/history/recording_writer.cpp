#include "halvex/history/recording_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "common/platform/paths.h"
#include "common/platform/wall_clock.h"
#include "halvex/history/recording_format.h"

using namespace recording;

namespace {

/// Most bytes a data entry takes besides its texts: id, flags and four 10-byte varints.
constexpr size_t kMaxEntryFixedBytes = 2 + 1 + 4 * 10;
/// Smallest size limit of a part, bytes: room for the largest keyframe and many blocks.
constexpr uint64_t kMinPartBytes = 1u << 20;
/// An open data block is written out when its payload reaches this, bytes, so that memory stays
/// bounded when flush() is called late.
constexpr size_t kMaxBlockPayload = 256u << 10;

/// A node's state as last stored: what the next entry is coded against.
struct NodeBaseline {
  bool known = false;
  uint8_t flags = 0;  ///< Kind and status bits.
  int64_t arrivalMs = 0;
  uint64_t fixOffset = 0;  ///< fixMs - arrivalMs, wrapping.
  int64_t lat = 0;         ///< 1e-9 degree.
  int64_t lon = 0;
  std::string texts[3];
};

/// Where a K or D block went, for the next index block.
struct IndexEntry {
  uint64_t offset;
  int64_t firstMs;
  int64_t lastMs;
  uint32_t payloadBytes;
  uint32_t entries;
  char type;
};

/// Bytes of a whole block with `payload` bytes.
uint64_t blockBytes(uint64_t payload) {
  return kBlockHeaderBytes + payload;
}
/// Bytes of an index block of `entries` entries.
uint64_t indexBytes(size_t entries) {
  return blockBytes(8 + entries * kIndexEntryBytes);
}
/// Bytes of the end block.
constexpr uint64_t kEndBytes = kBlockHeaderBytes + 8;

/// Length of `text` cut to what a recording stores; null counts as empty.
size_t textLength(const char* text) {
  return text == nullptr ? 0 : strnlen(text, kMaxTextBytes);
}

std::string errnoText() {
  return std::strerror(errno);
}

}  // namespace

struct RecordingWriter::Impl {
  std::string basePath;
  std::string currentPath;
  uint64_t maxBytes = 0;
  uint64_t recordingId = 0;
  int part = 0;
  int fd = -1;
  bool failed = false;
  std::string error;

  uint64_t fixCount = 0;
  uint64_t bytesWritten = 0;
  uint64_t partBytes = 0;  ///< Bytes written to the current part.
  std::string out;         ///< Whole blocks waiting for the next write.

  std::string block;  ///< Payload of the open data block.
  uint32_t blockEntries = 0;
  int64_t blockFirstMs = 0;
  int64_t blockPrevMs = 0;

  std::vector<IndexEntry> sinceIndex;  ///< Blocks of this part since its last index block.
  uint64_t lastIndexOffset = 0;
  bool haveArrival = false;
  int64_t lastArrivalMs = 0;
  int64_t lastKeyframeMs = 0;
  bool partHasKeyframe = false;
  bool partHasData = false;
  std::vector<NodeBaseline> nodes = std::vector<NodeBaseline>(kMaxNodeId + 1);

  bool fail(const std::string& message) {
    if (!failed) error = currentPath + ": " + message;
    failed = true;
    return false;
  }

  /// Creates part `k` whole with its header (a temporary file renamed into place, so that a
  /// reader never finds it without one) and makes it the file written.
  bool createPart(int k) {
    currentPath = recordingPartPath(basePath, k);
    part = k;
    const std::string header = headerText(recordingId, k, nowMs());
    std::string temp;
    int created = -1;
    for (int attempt = 0; attempt < 100 && created < 0; ++attempt) {
      temp = currentPath + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(attempt);
      created = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (created < 0 && errno != EEXIST) break;
    }
    if (created < 0) return fail("cannot create: " + errnoText());
    fd = created;
    partBytes = 0;
    out = header;
    if (!writeOut() || ::rename(temp.c_str(), currentPath.c_str()) != 0) {
      if (!failed) fail("cannot create: " + errnoText());
      ::unlink(temp.c_str());
      return false;
    }
    sinceIndex.clear();
    lastIndexOffset = 0;
    partHasKeyframe = false;
    partHasData = false;
    return true;
  }

  static int64_t nowMs() {
    const WallTime now = wallClockNow();
    return now.seconds * 1000 + now.milliseconds;
  }

  /// Writes the waiting blocks in one write (continued only when the system takes less).
  bool writeOut() {
    size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::write(fd, out.data() + done, out.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return fail("cannot write: " + (n < 0 ? errnoText() : "no space"));
      done += static_cast<size_t>(n);
      partBytes += static_cast<uint64_t>(n);
      bytesWritten += static_cast<uint64_t>(n);
    }
    out.clear();
    return true;
  }

  /// Queues a K or D block and notes it for the next index.
  void queueBlock(char type, uint32_t entries, int64_t firstMs, int64_t lastMs,
                  const std::string& payload) {
    sinceIndex.push_back({partBytes + out.size(), firstMs, lastMs,
                          static_cast<uint32_t>(payload.size()), entries, type});
    appendBlock(out, type, entries, firstMs, lastMs, payload);
  }

  void closeBlock() {
    if (blockEntries == 0) return;
    queueBlock(kData, blockEntries, blockFirstMs, blockPrevMs, block);
    block.clear();
    blockEntries = 0;
    partHasData = true;
  }

  void queueIndex() {
    std::string payload;
    putU64(payload, lastIndexOffset);
    for (const IndexEntry& e : sinceIndex) {
      putU64(payload, e.offset);
      putU64(payload, static_cast<uint64_t>(e.firstMs));
      putU64(payload, static_cast<uint64_t>(e.lastMs));
      putU32(payload, e.payloadBytes);
      putU32(payload, e.entries);
      payload += e.type;
      payload.append(3, '\0');
    }
    const int64_t first = sinceIndex.empty() ? lastArrivalMs : sinceIndex.front().firstMs;
    const int64_t last = sinceIndex.empty() ? lastArrivalMs : sinceIndex.back().lastMs;
    lastIndexOffset = partBytes + out.size();
    appendBlock(out, kIndex, static_cast<uint32_t>(sinceIndex.size()), first, last, payload);
    sinceIndex.clear();
  }

  /// The keyframe payload of every known node, and their count.
  uint32_t keyframePayload(std::string& payload) const {
    uint32_t count = 0;
    for (int id = 0; id <= kMaxNodeId; ++id) {
      const NodeBaseline& n = nodes[id];
      if (!n.known) continue;
      uint8_t flags = n.flags;
      for (int t = 0; t < 3; ++t) {
        if (!n.texts[t].empty()) flags |= kFlagComment1 << t;
      }
      putVarint(payload, static_cast<uint64_t>(id));
      payload += static_cast<char>(flags);
      putVarint(payload, zigzag(n.arrivalMs));
      putVarint(payload, zigzag(static_cast<int64_t>(n.fixOffset)));
      putVarint(payload, zigzag(n.lat));
      putVarint(payload, zigzag(n.lon));
      for (int t = 0; t < 3; ++t) {
        if (n.texts[t].empty()) continue;
        putVarint(payload, n.texts[t].size());
        payload += n.texts[t];
      }
      ++count;
    }
    return count;
  }

  void queueKeyframe(int64_t timeMs, const std::string& payload, uint32_t count) {
    queueBlock(kKeyframe, count, timeMs, timeMs, payload);
    lastKeyframeMs = timeMs;
    partHasKeyframe = true;
  }

  /// Whether `bytes` more fit into the part with its closing index and end block.
  bool fits(uint64_t bytes, size_t moreIndexEntries) const {
    if (maxBytes == 0) return true;
    const uint64_t closing = indexBytes(sinceIndex.size() + moreIndexEntries) + kEndBytes;
    return partBytes + out.size() + bytes + closing <= maxBytes;
  }

  /// Ends the part with its index and end block, on the disk.
  bool closePart() {
    closeBlock();
    queueIndex();
    std::string payload;
    putU64(payload, lastIndexOffset);
    appendBlock(out, kEnd, 0, lastArrivalMs, lastArrivalMs, payload);
    const bool ok = writeOut() && (::fdatasync(fd) == 0 || fail("cannot sync: " + errnoText()));
    ::close(fd);
    fd = -1;
    return ok;
  }

  /// Closes this part and starts the next with the state so far.
  bool rollOver() {
    if (!closePart() || !createPart(part + 1)) return false;
    std::string payload;
    const uint32_t count = keyframePayload(payload);
    queueKeyframe(lastArrivalMs, payload, count);
    return true;
  }

  /// Removes the numbered parts an earlier recording of this name left.
  void removeOldParts() const {
    for (int k = 1;; ++k) {
      const std::string old = recordingPartPath(basePath, k);
      char head[sizeof kMagicLine - 1] = {};
      const int f = ::open(old.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
      struct stat info {};
      const bool ours = f >= 0 && ::fstat(f, &info) == 0 && S_ISREG(info.st_mode) &&
                        ::read(f, head, sizeof head) == static_cast<ssize_t>(sizeof head) &&
                        std::memcmp(head, kMagicLine, sizeof head) == 0;
      if (f >= 0) ::close(f);
      if (!ours || ::unlink(old.c_str()) != 0) return;
    }
  }

  void reset() { *this = Impl(); }
};

RecordingWriter::RecordingWriter() : impl_(std::make_unique<Impl>()) {}

RecordingWriter::~RecordingWriter() {
  close();
}

bool RecordingWriter::open(const std::string& path, uint64_t maxBytes, std::string* error) {
  close();
  *impl_ = Impl();
  Impl& w = *impl_;
  w.basePath = path;
  w.maxBytes = maxBytes == 0 ? 0 : std::max(maxBytes, kMinPartBytes);
  std::random_device random;
  w.recordingId =
      (static_cast<uint64_t>(random()) << 32) ^ random() ^ static_cast<uint64_t>(Impl::nowMs());
  w.removeOldParts();
  if (!w.createPart(0)) {
    if (error != nullptr) *error = w.error;
    if (w.fd >= 0) ::close(w.fd);
    w.fd = -1;
    return false;
  }
  return true;
}

bool RecordingWriter::append(const FixEvent& fix) {
  Impl& w = *impl_;
  if (w.fd < 0 || w.failed) return false;
  // What no position can be is dropped: it would only spoil the deltas after it.
  if (fix.id < 0 || fix.id > kMaxNodeId || fix.status < 0 || fix.status > kMaxStatus ||
      !(std::fabs(fix.latitude) <= kMaxAbsDegrees) ||
      !(std::fabs(fix.longitude) <= kMaxAbsDegrees)) {
    return true;
  }
  // Arrival times never go back, so that a reader can seek by them (a clock stepped back).
  const int64_t arrival = w.haveArrival ? std::max(fix.arrivalMs, w.lastArrivalMs) : fix.arrivalMs;
  if (!w.partHasKeyframe) w.queueKeyframe(arrival, std::string(), 0);

  NodeBaseline& node = w.nodes[fix.id];
  const char* texts[3] = {fix.comment1, fix.comment2, fix.name};
  size_t lengths[3];
  uint8_t flags = static_cast<uint8_t>((fix.kind == FixKind::kStateRecord ? kFlagStateRecord : 0) |
                                       fix.status << kStatusShift);
  size_t entryBytes = kMaxEntryFixedBytes;
  for (int t = 0; t < 3; ++t) {
    lengths[t] = textLength(texts[t]);
    if (node.texts[t].compare(0, std::string::npos, texts[t] == nullptr ? "" : texts[t],
                              lengths[t]) != 0) {
      flags |= kFlagComment1 << t;
      entryBytes += 1 + lengths[t];
    }
  }
  if (!w.fits((w.blockEntries == 0 ? kBlockHeaderBytes : 0) + w.block.size() + entryBytes, 1)) {
    // Nothing but the header and keyframe in the part: it takes this block all the same.
    if ((w.partHasData || w.blockEntries > 0) && !w.rollOver()) return false;
  }

  const int64_t lat = std::llround(fix.latitude * kUnitsPerDegree);
  const int64_t lon = std::llround(fix.longitude * kUnitsPerDegree);
  const uint64_t fixOffset = static_cast<uint64_t>(fix.fixMs) - static_cast<uint64_t>(arrival);
  if (w.blockEntries == 0) w.blockFirstMs = w.blockPrevMs = arrival;
  std::string& b = w.block;
  putVarint(b, static_cast<uint64_t>(fix.id));
  b += static_cast<char>(flags);
  putVarint(b, zigzag(arrival - w.blockPrevMs));
  putVarint(b, zigzag(static_cast<int64_t>(fixOffset - node.fixOffset)));
  putVarint(b, zigzag(lat - node.lat));
  putVarint(b, zigzag(lon - node.lon));
  for (int t = 0; t < 3; ++t) {
    if (!(flags & (kFlagComment1 << t))) continue;
    putVarint(b, lengths[t]);
    b.append(texts[t], lengths[t]);
    node.texts[t].assign(texts[t], lengths[t]);
  }
  node.known = true;
  node.flags = flags & (kFlagStateRecord | kStatusMask);
  node.arrivalMs = arrival;
  node.fixOffset = fixOffset;
  node.lat = lat;
  node.lon = lon;
  ++w.blockEntries;
  w.blockPrevMs = arrival;
  w.lastArrivalMs = arrival;
  w.haveArrival = true;
  ++w.fixCount;
  return w.block.size() < kMaxBlockPayload || flush();
}

bool RecordingWriter::flush() {
  Impl& w = *impl_;
  if (w.fd < 0 || w.failed) return false;
  w.closeBlock();
  if (w.partHasData && w.lastArrivalMs - w.lastKeyframeMs >= kKeyframeIntervalMs) {
    std::string payload;
    const uint32_t count = w.keyframePayload(payload);
    if (!w.fits(indexBytes(w.sinceIndex.size()) + blockBytes(payload.size()), 1)) {
      if (!w.rollOver()) return false;  // the next part starts with the keyframe
    } else {
      w.queueIndex();
      w.queueKeyframe(w.lastArrivalMs, payload, count);
    }
  }
  if (w.sinceIndex.size() >= kMaxIndexEntries) w.queueIndex();
  return w.writeOut();
}

bool RecordingWriter::sync() {
  if (!flush()) return false;
  return ::fdatasync(impl_->fd) == 0 || impl_->fail("cannot sync: " + errnoText());
}

bool RecordingWriter::close() {
  Impl& w = *impl_;
  if (w.fd < 0) return !w.failed;
  if (w.failed) {
    ::close(w.fd);
    w.fd = -1;
    return false;
  }
  return w.closePart();
}

bool RecordingWriter::isOpen() const {
  return impl_->fd >= 0;
}
const std::string& RecordingWriter::currentPath() const {
  return impl_->currentPath;
}
uint64_t RecordingWriter::fixCount() const {
  return impl_->fixCount;
}
uint64_t RecordingWriter::bytesWritten() const {
  return impl_->bytesWritten;
}
const std::string& RecordingWriter::error() const {
  return impl_->error;
}

std::string recordingPartPath(const std::string& path, int k) {
  if (k == 0) return path;
  const PathParts parts = splitPath(path);
  return parts.dir + parts.name + "." + std::to_string(k) + parts.ext;
}
