#include "halvex/history/recording_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "halvex/history/recording_format.h"
#include "halvex/history/recording_writer.h"

using namespace recording;

namespace {

/// Reads exactly `size` bytes at `offset`; false on an error or a short read.
bool readAt(int fd, void* data, size_t size, uint64_t offset) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, static_cast<char*>(data) + done, size - done,
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

uint64_t fileSize(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

/// A block's header and payload read whole and checked; false when it cannot be read or its
/// checksum fails.
bool readWhole(int fd, uint64_t offset, const BlockHeader& header, std::vector<uint8_t>& block) {
  block.resize(kBlockHeaderBytes + header.payloadBytes);
  return readAt(fd, block.data(), block.size(), offset) &&
         blockChecksumMatches(block.data(), block.data() + kBlockHeaderBytes, header.payloadBytes);
}

}  // namespace

RecordingFiles::~RecordingFiles() {
  for (Part& p : parts_) {
    if (p.fd >= 0) ::close(p.fd);
  }
}

bool RecordingFiles::open(const std::string& path, std::string* error) {
  path_ = path;
  if (!openPart(0, error)) return false;
  if (!indexFromEnd(0)) scanForward(0);
  takeNewParts();
  updateDamage();
  return true;
}

bool RecordingFiles::refresh() {
  if (parts_.empty()) return false;
  const size_t before = blocks_.size();
  scanForward(static_cast<uint32_t>(parts_.size() - 1));
  takeNewParts();
  updateDamage();
  return blocks_.size() != before;
}

bool RecordingFiles::takeNewParts() {
  bool any = false;
  std::string ignored;
  while (openPart(static_cast<int>(parts_.size()), &ignored)) {
    const uint32_t k = static_cast<uint32_t>(parts_.size() - 1);
    // The part before is complete now: read what it has, once more.
    scanForward(k - 1);
    parts_[k - 1].finished = true;
    if (!indexFromEnd(k)) scanForward(k);
    any = true;
  }
  return any;
}

bool RecordingFiles::openPart(int k, std::string* error) {
  const std::string path = recordingPartPath(path_, k);
  // Without waiting: a pipe put in the recording's place must not hold the reader.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    if (error != nullptr) {
      *error = path + ": cannot open: " + std::strerror(fd < 0 ? errno : EISDIR);
    }
    if (fd >= 0) ::close(fd);
    return false;
  }
  char head[kMaxHeaderBytes];
  const ssize_t n = S_ISREG(st.st_mode) ? ::pread(fd, head, sizeof head, 0) : 0;
  HeaderInfo info;
  const HeaderCheck check = readHeader(head, n > 0 ? static_cast<size_t>(n) : 0, &info);
  bool ok = check == HeaderCheck::kOk;
  if (error != nullptr && check == HeaderCheck::kNewer) {
    *error = path + ": recording version " + std::to_string(info.version) +
             " is newer than this program reads";
  } else if (error != nullptr && !ok) {
    *error = path + ": not a track recording";
  }
  if (ok && k == 0) {
    recordingId_ = info.recordingId;
    firstPart_ = info.part;
  }
  // A later file belongs only when it carries this recording's id and its own number.
  if (ok && k > 0) ok = info.recordingId == recordingId_ && info.part == firstPart_ + k;
  if (!ok) {
    ::close(fd);
    return false;
  }
  Part part;
  part.path = path;
  part.fd = fd;
  part.headerBytes = part.scanned = info.bytes;
  parts_.push_back(part);
  return true;
}

bool RecordingFiles::indexFromEnd(uint32_t k) {
  Part& p = parts_[k];
  const uint64_t size = fileSize(p.fd);
  const uint64_t endBytes = kBlockHeaderBytes + 8;
  if (size < p.headerBytes + endBytes) return false;
  uint8_t raw[kBlockHeaderBytes + 8];
  BlockHeader header;
  if (!readAt(p.fd, raw, sizeof raw, size - endBytes) || !readBlockHeader(raw, &header) ||
      header.type != kEnd || header.payloadBytes != 8 ||
      !blockChecksumMatches(raw, raw + kBlockHeaderBytes, 8)) {
    return false;
  }
  // Walk the index blocks back; each must lie before the one after it. Every block found,
  // listed or walked, must then tile the file from its header to its end exactly.
  struct Span {
    uint64_t offset, bytes;
  };
  std::vector<Span> spans{{size - endBytes, endBytes}};
  std::vector<BlockRef> found;
  std::vector<uint8_t> block;
  uint64_t limit = size - endBytes;
  for (uint64_t at = getU64(raw + kBlockHeaderBytes); at != 0;) {
    if (at < p.headerBytes || at >= limit || limit - at < kBlockHeaderBytes) return false;
    if (!readAt(p.fd, raw, kBlockHeaderBytes, at) || !readBlockHeader(raw, &header) ||
        header.type != kIndex || header.payloadBytes > limit - at - kBlockHeaderBytes ||
        header.payloadBytes != 8 + uint64_t(header.entries) * kIndexEntryBytes ||
        !readWhole(p.fd, at, header, block)) {
      return false;
    }
    spans.push_back({at, kBlockHeaderBytes + header.payloadBytes});
    // Walked backwards: each index's entries are taken last first, and all turned round below.
    const uint8_t* entries = block.data() + kBlockHeaderBytes + 8;
    for (uint32_t i = header.entries; i-- > 0;) {
      const uint8_t* e = entries + uint64_t(i) * kIndexEntryBytes;
      BlockRef ref;
      ref.part = k;
      ref.offset = getU64(e);
      ref.firstMs = static_cast<int64_t>(getU64(e + 8));
      ref.lastMs = static_cast<int64_t>(getU64(e + 16));
      ref.payloadBytes = getU32(e + 24);
      ref.entries = getU32(e + 28);
      ref.type = static_cast<char>(e[32]);
      if ((ref.type != kKeyframe && ref.type != kData) || ref.payloadBytes > kMaxPayloadBytes) {
        return false;
      }
      found.push_back(ref);
      spans.push_back({ref.offset, kBlockHeaderBytes + ref.payloadBytes});
    }
    limit = at;
    at = getU64(block.data() + kBlockHeaderBytes);
  }
  std::sort(spans.begin(), spans.end(),
            [](const Span& a, const Span& b) { return a.offset < b.offset; });
  uint64_t expected = p.headerBytes;
  for (const Span& s : spans) {
    if (s.offset != expected) return false;
    expected += s.bytes;
  }
  if (expected != size) return false;
  std::reverse(found.begin(), found.end());
  for (const BlockRef& ref : found) addBlock(ref);
  p.scanned = size;
  p.finished = true;
  return true;
}

bool RecordingFiles::scanForward(uint32_t k) {
  Part& p = parts_[k];
  if (p.finished) return false;
  const uint64_t size = fileSize(p.fd);
  bool added = false;
  p.note.clear();
  uint8_t raw[kBlockHeaderBytes];
  std::vector<uint8_t> block;
  while (p.scanned < size) {
    const uint64_t at = p.scanned;
    BlockHeader header;
    if (size - at < kBlockHeaderBytes) {
      noteDamage(k, at, false);  // cut, or still being written
      break;
    }
    if (!readAt(p.fd, raw, sizeof raw, at) || !readBlockHeader(raw, &header)) {
      noteDamage(k, at, true);
      break;
    }
    if (size - at - kBlockHeaderBytes < header.payloadBytes) {
      noteDamage(k, at, false);
      break;
    }
    const uint64_t next = at + kBlockHeaderBytes + header.payloadBytes;
    if (header.type == kIndex || header.type == kEnd) {
      const uint64_t wanted =
          header.type == kEnd ? 8 : 8 + uint64_t(header.entries) * kIndexEntryBytes;
      if (header.payloadBytes != wanted || !readWhole(p.fd, at, header, block) ||
          (header.type == kEnd && next != size)) {
        noteDamage(k, at, true);
        break;
      }
      if (header.type == kEnd) p.finished = true;
    } else {
      BlockRef ref;
      ref.part = k;
      ref.offset = at;
      ref.payloadBytes = header.payloadBytes;
      ref.entries = header.entries;
      ref.firstMs = header.firstMs;
      ref.lastMs = header.lastMs;
      ref.type = header.type;
      addBlock(ref);
      added = true;
    }
    p.scanned = next;
  }
  return added;
}

void RecordingFiles::addBlock(const BlockRef& block) {
  if (block.type == kKeyframe) keyframes_.push_back(blocks_.size());
  if (block.type == kData) entries_ += block.entries;
  blocks_.push_back(block);
}

bool RecordingFiles::readBlock(size_t index, std::vector<uint8_t>& block) {
  if (index >= blocks_.size()) return false;
  const BlockRef& ref = blocks_[index];
  BlockHeader header;
  header.payloadBytes = ref.payloadBytes;
  ++blocksRead_;
  if (!readWhole(parts_[ref.part].fd, ref.offset, header, block)) return false;
  return readBlockHeader(block.data(), &header) && header.type == ref.type &&
         header.payloadBytes == ref.payloadBytes && header.entries == ref.entries &&
         header.firstMs == ref.firstMs && header.lastMs == ref.lastMs;
}

void RecordingFiles::dropDamaged(size_t index) {
  if (index >= blocks_.size()) return;
  const uint32_t k = blocks_[index].part;
  const uint64_t offset = blocks_[index].offset;
  size_t end = index;
  while (end < blocks_.size() && blocks_[end].part == k) ++end;
  blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(index),
                blocks_.begin() + static_cast<std::ptrdiff_t>(end));
  ++generation_;
  noteDamage(k, offset, true);
  recount();
}

void RecordingFiles::noteDamage(uint32_t k, uint64_t offset, bool stop) {
  Part& p = parts_[k];
  // What was read up to here: the last block before, in this part or an earlier one.
  std::string upTo = ", nothing read";
  for (size_t i = blocks_.size(); i-- > 0;) {
    if (blocks_[i].part <= k && (blocks_[i].part < k || blocks_[i].offset < offset)) {
      upTo = ", read up to " + clockText(blocks_[i].lastMs);
      break;
    }
  }
  p.note = p.path + ": damaged at byte " + std::to_string(offset) + upTo;
  if (stop) p.finished = true;
}

void RecordingFiles::recount() {
  keyframes_.clear();
  entries_ = 0;
  for (size_t i = 0; i < blocks_.size(); ++i) {
    if (blocks_[i].type == kKeyframe) keyframes_.push_back(i);
    if (blocks_[i].type == kData) entries_ += blocks_[i].entries;
  }
  updateDamage();
}

void RecordingFiles::updateDamage() {
  damage_.clear();
  for (const Part& p : parts_) {
    if (!p.note.empty()) {
      damage_ = p.note;
      break;
    }
  }
}
