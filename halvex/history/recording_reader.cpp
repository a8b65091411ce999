#include "halvex/history/recording_reader.h"

#include <algorithm>

#include "halvex/history/recording_cursor.h"
#include "halvex/history/recording_files.h"

struct RecordingReader::Impl {
  RecordingFiles files;
  RecordingCursor seek{files};  ///< For stateAt: started afresh at a keyframe every time.
  RecordingCursor walk{files};  ///< For forEach: goes on where the last walk ended.
  bool walkResumable = false;
  int64_t walkUntilMs = 0;

  /// The block to decode from for the state at `atMs`: the last keyframe at or before it, else
  /// the first block. False when the recording has nothing by then.
  bool startFor(int64_t atMs, size_t* index) const {
    const std::vector<BlockRef>& blocks = files.blocks();
    const std::vector<size_t>& keys = files.keyframes();
    const auto after =
        std::upper_bound(keys.begin(), keys.end(), atMs,
                         [&blocks](int64_t t, size_t i) { return t < blocks[i].firstMs; });
    if (after != keys.begin()) {
      *index = *(after - 1);
      return true;
    }
    *index = 0;
    return !blocks.empty() && blocks.front().firstMs <= atMs;
  }
};

RecordingReader::RecordingReader() : impl_(std::make_unique<Impl>()) {}
RecordingReader::~RecordingReader() = default;

bool RecordingReader::open(const std::string& path, std::string* error) {
  impl_ = std::make_unique<Impl>();
  return impl_->files.open(path, error);
}

bool RecordingReader::refresh() {
  return impl_->files.refresh();
}

int64_t RecordingReader::firstMs() const {
  const std::vector<BlockRef>& blocks = impl_->files.blocks();
  return blocks.empty() ? 0 : blocks.front().firstMs;
}

int64_t RecordingReader::lastMs() const {
  const std::vector<BlockRef>& blocks = impl_->files.blocks();
  return blocks.empty() ? 0 : blocks.back().lastMs;
}

uint64_t RecordingReader::entryCount() const {
  return impl_->files.entryCount();
}
const std::string& RecordingReader::damage() const {
  return impl_->files.damage();
}
uint64_t RecordingReader::blocksRead() const {
  return impl_->files.blocksRead();
}

bool RecordingReader::stateAt(int64_t atMs, std::vector<TrackState>& byId) {
  Impl& r = *impl_;
  byId.clear();
  size_t start = 0;
  if (!r.startFor(atMs, &start)) return true;
  r.seek.start(start);
  RecordingCursor::Step step;
  int id;
  unsigned changes;
  while ((step = r.seek.next(atMs, &id, &changes)) == RecordingCursor::Step::kEntry) {
  }
  const std::vector<TrackState>& states = r.seek.states();
  size_t count = states.size();
  while (count > 0 && !states[count - 1].known()) --count;
  byId.assign(states.begin(), states.begin() + static_cast<std::ptrdiff_t>(count));
  return step != RecordingCursor::Step::kDamaged;
}

bool RecordingReader::forEach(int64_t afterMs, int64_t untilMs, const Visit& visit) {
  Impl& r = *impl_;
  // Going on from the last walk, every entry after its end counts, also one that arrived in the
  // same ms as its last but reached the file later.
  int64_t visitAfterMs = INT64_MIN;
  if (!(r.walkResumable && r.walk.valid() && afterMs == r.walkUntilMs)) {
    size_t start = 0;
    r.startFor(afterMs, &start);
    r.walk.start(start);
    visitAfterMs = afterMs;
  }
  r.walkResumable = false;
  int id;
  unsigned changes;
  for (;;) {
    switch (r.walk.next(untilMs, &id, &changes)) {
      case RecordingCursor::Step::kEntry: {
        const TrackState& state = r.walk.states()[id];
        if (state.arrivalMs > visitAfterMs && !visit(state, changes)) return false;
        break;
      }
      case RecordingCursor::Step::kLimit:
      case RecordingCursor::Step::kEnd:
        r.walkResumable = true;
        r.walkUntilMs = untilMs;
        return true;
      case RecordingCursor::Step::kDamaged:
        return false;
    }
  }
}
