#include "halvex/engine/replay_feed.h"

#include "halvex/core/utc_time.h"
#include "halvex/streams/packet_time.h"
#include "halvex/tracking/node_table.h"
#include "halvex/tracking/node_trail.h"

namespace {

constexpr int64_t kMsPerMinute = 60000;

/// A time stamp from UTC ms.
TimeStamp stampOf(int64_t ms) {
  TimeStamp stamp;
  utcSplitMs(ms, stamp.seconds, stamp.milliseconds);
  return stamp;
}

}  // namespace

bool ReplayFeed::open(const std::string& path, std::string* error) {
  if (!reader_.open(path, error)) return false;
  fedMs_ = reader_.firstMs();
  statusFromRecords_ = false;
  return true;
}

void ReplayFeed::seek(int64_t ms) {
  for (NodeRecord* node = table_.chainHead(); node != nullptr; node = node->next) {
    node->resetTimes();
    node->hasData = 0;
  }
  reader_.stateAt(ms, states_);
  statusFromRecords_ = false;
  int64_t newest = 0;
  for (const TrackState& state : states_) {
    if (!state.known()) continue;
    apply(state);
    if (state.arrivalMs >= newest) {
      newest = state.arrivalMs;
      statusFromRecords_ = state.kind == FixKind::kStateRecord;
    }
  }
  trails_.clear();
  if (trails_.minutes() > 0) {
    reader_.forEach(ms - trails_.minutes() * kMsPerMinute, ms,
                    [this](const TrackState& state, unsigned) {
                      trails_.add(state.id, state.arrivalMs, state.latitude, state.longitude);
                      return true;
                    });
  }
  fedMs_ = ms;
}

long ReplayFeed::advance(int64_t ms) {
  if (ms <= fedMs_) return 0;
  long applied = 0;
  reader_.forEach(fedMs_, ms, [this, &applied](const TrackState& state, unsigned) {
    apply(state);
    trails_.add(state.id, state.arrivalMs, state.latitude, state.longitude);
    statusFromRecords_ = state.kind == FixKind::kStateRecord;
    ++applied;
    return true;
  });
  fedMs_ = ms;
  return applied;
}

void ReplayFeed::apply(const TrackState& state) {
  NodeRecord* node = table_.nodeById(state.id);
  if (node == nullptr) return;
  const TimeStamp received = stampOf(state.arrivalMs);
  if (state.kind == FixKind::kStateRecord) {
    node->restoreFix(state.latitude, state.longitude, received, nullptr, TimeStamp(), nullptr,
                     state.status, state.comment1.c_str(), state.comment2.c_str(),
                     state.name.c_str());
    return;
  }
  // The packet fields as the GPS date and time would have given them.
  const PacketTime fix = packetTimeOfUtc(state.fixMs);
  node->restoreFix(state.latitude, state.longitude, received, &fix.calendar, fix.stamp,
                   fix.dateText, state.status, state.comment1.c_str(), state.comment2.c_str(),
                   state.name.c_str());
}
