#include "halvex/history/recording_cursor.h"

#include "halvex/history/recording_format.h"

using namespace recording;

namespace {

/// Smallest data entry, bytes: id, flags and four one-byte varints.
constexpr uint32_t kMinEntryBytes = 6;

bool flagsValid(uint8_t flags) {
  return (flags & kFlagsReserved) == 0 && ((flags & kStatusMask) >> kStatusShift) <= kMaxStatus;
}

bool inRange(int64_t units) {
  return units >= -kMaxAbsUnits && units <= kMaxAbsUnits;
}

/// a + b as the writer's wrapping arithmetic has it.
int64_t wrapAdd(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}

}  // namespace

RecordingCursor::RecordingCursor(RecordingFiles& files) : files_(files) {}

void RecordingCursor::clear() {
  // Made at the first start: a reader that is only opened and asked its span needs none.
  states_.resize(kMaxNodeId + 1);
  baselines_.resize(kMaxNodeId + 1);
  for (TrackState& s : states_) s = TrackState();
  for (Baseline& b : baselines_) b = Baseline();
  entries_.clear();
  entryPos_ = 0;
}

void RecordingCursor::start(size_t index) {
  clear();
  started_ = true;
  generation_ = files_.generation();
  next_ = index;
}

RecordingCursor::Step RecordingCursor::next(int64_t untilMs, int* id, unsigned* changes) {
  for (;;) {
    if (entryPos_ < entries_.size()) {
      const Entry& e = entries_[entryPos_];
      if (e.arrivalMs > untilMs) return Step::kLimit;
      ++entryPos_;
      *id = e.id;
      apply(e, changes);
      return Step::kEntry;
    }
    if (next_ >= files_.blocks().size()) return Step::kEnd;
    const BlockRef ref = files_.blocks()[next_];
    if (ref.firstMs > untilMs) return Step::kLimit;
    const bool ok = files_.readBlock(next_, block_) &&
                    (ref.type == kKeyframe ? decodeKeyframe(ref) : decodeData(ref));
    if (!ok) {
      entries_.clear();
      files_.dropDamaged(next_);
      started_ = false;
      return Step::kDamaged;
    }
    ++next_;
  }
}

void RecordingCursor::apply(const Entry& e, unsigned* changes) {
  TrackState& s = states_[e.id];
  s.id = e.id;
  s.kind = (e.flags & kFlagStateRecord) ? FixKind::kStateRecord : FixKind::kPacket;
  s.status = (e.flags & kStatusMask) >> kStatusShift;
  s.fixMs = e.fixMs;
  s.arrivalMs = e.arrivalMs;
  s.latitude = static_cast<double>(e.lat) / kUnitsPerDegree;
  s.longitude = static_cast<double>(e.lon) / kUnitsPerDegree;
  std::string* texts[3] = {&s.comment1, &s.comment2, &s.name};
  *changes = 0;
  for (int t = 0; t < 3; ++t) {
    if (!(e.flags & (kFlagComment1 << t))) continue;
    texts[t]->assign(reinterpret_cast<const char*>(block_.data()) + e.textOffset[t],
                     e.textLength[t]);
    *changes |= 1u << t;  // the TrackTextChange bits, in the same order as the flags
  }
}

bool RecordingCursor::decodeKeyframe(const BlockRef& ref) {
  if (ref.firstMs != ref.lastMs) return false;
  // Checked whole before it replaces anything, so a damaged keyframe leaves the state as it was.
  for (const bool commit : {false, true}) {
    if (commit) clear();
    PayloadReader r(block_.data() + kBlockHeaderBytes, ref.payloadBytes);
    int64_t prevId = -1;
    for (uint32_t i = 0; i < ref.entries && r.ok(); ++i) {
      const uint64_t id = r.varint();
      Entry e{};
      e.flags = r.byte();
      e.arrivalMs = r.signedVarint();
      const uint64_t fixOffset = static_cast<uint64_t>(r.signedVarint());
      e.lat = r.signedVarint();
      e.lon = r.signedVarint();
      for (int t = 0; t < 3; ++t) {
        if (e.flags & (kFlagComment1 << t)) {
          r.text(block_.data(), &e.textOffset[t], &e.textLength[t]);
        }
      }
      if (!r.ok() || id > static_cast<uint64_t>(kMaxNodeId) || static_cast<int64_t>(id) <= prevId ||
          !flagsValid(e.flags) || e.arrivalMs > ref.lastMs || !inRange(e.lat) || !inRange(e.lon)) {
        return false;
      }
      e.id = static_cast<int>(id);
      e.fixMs = wrapAdd(e.arrivalMs, static_cast<int64_t>(fixOffset));
      prevId = e.id;
      if (!commit) continue;
      unsigned ignored;
      apply(e, &ignored);
      baselines_[e.id] = {fixOffset, e.lat, e.lon};
    }
    if (!r.ok() || !r.atEnd()) return false;
  }
  return true;
}

bool RecordingCursor::decodeData(const BlockRef& ref) {
  if (ref.entries == 0 || ref.entries > ref.payloadBytes / kMinEntryBytes) return false;
  entries_.clear();
  entryPos_ = 0;
  PayloadReader r(block_.data() + kBlockHeaderBytes, ref.payloadBytes);
  int64_t prevMs = ref.firstMs;
  for (uint32_t i = 0; i < ref.entries; ++i) {
    const uint64_t id = r.varint();
    Entry e{};
    e.flags = r.byte();
    e.arrivalMs = wrapAdd(prevMs, r.signedVarint());
    const int64_t offsetDelta = r.signedVarint();
    const int64_t latDelta = r.signedVarint();
    const int64_t lonDelta = r.signedVarint();
    for (int t = 0; t < 3; ++t) {
      if (e.flags & (kFlagComment1 << t)) r.text(block_.data(), &e.textOffset[t], &e.textLength[t]);
    }
    if (!r.ok() || id > static_cast<uint64_t>(kMaxNodeId) || !flagsValid(e.flags) ||
        e.arrivalMs < prevMs || e.arrivalMs > ref.lastMs) {
      return false;
    }
    e.id = static_cast<int>(id);
    Baseline& b = baselines_[e.id];
    b.fixOffset += static_cast<uint64_t>(offsetDelta);
    e.lat = wrapAdd(b.lat, latDelta);
    e.lon = wrapAdd(b.lon, lonDelta);
    if (!inRange(e.lat) || !inRange(e.lon)) return false;
    b.lat = e.lat;
    b.lon = e.lon;
    e.fixMs = wrapAdd(e.arrivalMs, static_cast<int64_t>(b.fixOffset));
    prevMs = e.arrivalMs;
    entries_.push_back(e);
  }
  return r.atEnd() && prevMs == ref.lastMs;
}
