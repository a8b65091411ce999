#include "halvex/streams/cot_output.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "common/platform/host_name.h"
#include "halvex/net/multicast_sender.h"
#include "halvex/streams/cot_event.h"
#include "halvex/streams/node_changes.h"
#include "halvex/tracking/node_motion.h"
#include "halvex/tracking/node_table.h"

namespace {

constexpr int64_t kMsPerSecond = 1000;
/// A period's events are sent in slices of this many, spread over the first kSpreadShare of the
/// period: a burst of every node at once overflows the socket buffers of the receivers, which
/// (unlike a broker) nothing paces. Most of the period is used, leaving room for a late start.
constexpr size_t kSliceEvents = 16;
constexpr double kSpreadShare = 0.8;
/// Longest spread of one period's events, ms: slow rates do not hold events back long.
constexpr int64_t kMaxSpreadMs = 250;
/// SITE when neither the settings nor the system give one.
constexpr const char* kUnknownSite = "unknown";
/// What remarks put between the two comments.
constexpr const char* kRemarksJoin = "; ";

using SteadyClock = std::chrono::steady_clock;

int64_t msOf(const WallTime& time) {
  return time.seconds * kMsPerSecond + time.milliseconds;
}

/// A node's last two fixes of different times, the newer last.
struct Track {
  MotionFix fixes[2];
  int count = 0;
};

}  // namespace

std::string cotUidPrefix(const CotSettings& settings) {
  std::string site = settings.site.empty() ? hostName() : settings.site;
  if (site.empty()) site = kUnknownSite;
  return "halvex." + site + ".";
}

struct CotOutput::Shared {
  // Loop thread only.
  NodeChanges nodeChanges;
  std::vector<NodeState> changes;  ///< Reused by period().
  std::vector<Track> tracks = std::vector<Track>(NodeTable::kMaxId + 1);
  SteadyClock::time_point lastPeriod;  ///< When period() last ran.

  // Guarded by mutex: the newest event of every node ever staged, and the ids waiting to be
  // sent in the order they were staged. Both are bounded by the ids of the node table.
  std::mutex mutex;
  std::condition_variable wake;
  std::vector<CotEvent> latest = std::vector<CotEvent>(NodeTable::kMaxId + 1);
  std::vector<char> pending = std::vector<char>(NodeTable::kMaxId + 1, 0);
  std::vector<int> queue;
  bool stopping = false;

  // The socket, the sending thread and what they were started with; replaced only by start()
  // and stop().
  mutable std::mutex configMutex;
  MulticastSender socket;
  std::thread sender;
  bool running = false;
  std::string prefix;  ///< "halvex.SITE.".
  std::string type;
  std::string where;  ///< "GROUP:PORT ttl N".
  std::string error;  ///< Why the last start() failed.

  std::atomic<long> sent{0};
  std::atomic<long> failed{0};
  std::atomic<int64_t> spreadMs{0};  ///< Time a period's events are spread over.

  /// Marks `id` waiting; mutex held.
  void markPending(int id) {
    if (pending[id] == 0) {
      pending[id] = 1;
      queue.push_back(id);
    }
  }

  /// The sending thread: sends the waiting events, a slice at a time.
  void sendLoop() {
    std::vector<CotEvent> batch;
    std::unique_lock<std::mutex> hold(mutex);
    for (;;) {
      wake.wait(hold, [this] { return stopping || !queue.empty(); });
      if (stopping) return;
      const size_t count = queue.size();
      if (batch.size() < count) batch.resize(count);
      for (size_t k = 0; k < count; ++k) {
        batch[k] = latest[queue[k]];  // Reuses the texts' storage of earlier batches.
        pending[queue[k]] = 0;
      }
      queue.clear();
      const auto start = SteadyClock::now();
      const std::chrono::milliseconds spread(spreadMs.load(std::memory_order_relaxed));
      size_t done = 0;
      while (done < count && !stopping) {
        hold.unlock();
        for (const size_t end = std::min(count, done + kSliceEvents); done < end; ++done) {
          const std::string xml = cotEventXml(batch[done]);
          // A refusal is counted, not retried: the node's next change sends it anew.
          if (socket.send(xml.data(), xml.size())) {
            sent.fetch_add(1, std::memory_order_relaxed);
          } else {
            failed.fetch_add(1, std::memory_order_relaxed);
          }
        }
        hold.lock();
        if (done < count) {
          wake.wait_until(hold, start + spread * done / count, [this] { return stopping; });
        }
      }
    }
  }
};

CotOutput::CotOutput() : shared_(std::make_unique<Shared>()) {}

CotOutput::~CotOutput() {
  stop();
}

bool CotOutput::start(const CotSettings& settings, std::string* error) {
  stop();
  Shared& s = *shared_;
  std::lock_guard<std::mutex> config(s.configMutex);
  const std::string where =
      settings.group + ":" + std::to_string(settings.port) + " ttl " + std::to_string(settings.ttl);
  if (!s.socket.open(settings.group.c_str(), settings.port, settings.ttl)) {
    s.error = "cannot send to " + where + ": " + std::strerror(errno);
    if (error != nullptr) *error = s.error;
    return false;
  }
  s.error.clear();
  s.where = where;
  s.prefix = cotUidPrefix(settings);
  s.type = settings.type;
  {
    // The events kept go out again, under this start's uids and type.
    std::lock_guard<std::mutex> hold(s.mutex);
    s.stopping = false;
    for (int id = 0; id <= NodeTable::kMaxId; ++id) {
      CotEvent& event = s.latest[id];
      if (event.uid.empty()) continue;
      event.uid = s.prefix + std::to_string(id);
      event.type = s.type;
      s.markPending(id);
    }
  }
  s.running = true;
  s.sender = std::thread([&s] { s.sendLoop(); });
  return true;
}

void CotOutput::stop() {
  Shared& s = *shared_;
  std::lock_guard<std::mutex> config(s.configMutex);
  if (!s.running) return;
  {
    std::lock_guard<std::mutex> hold(s.mutex);
    s.stopping = true;
    s.wake.notify_all();
  }
  s.sender.join();
  s.socket.close();
  s.running = false;
}

bool CotOutput::running() const {
  std::lock_guard<std::mutex> config(shared_->configMutex);
  return shared_->running;
}

void CotOutput::fixAccepted(const FixEvent& fix) {
  Shared& s = *shared_;
  if (fix.id < 0 || fix.id > NodeTable::kMaxId) return;
  s.nodeChanges.noteFix(fix);
  Track& track = s.tracks[fix.id];
  const MotionFix now{fix.latitude, fix.longitude, fix.fixMs};
  if (track.count == 0 || fix.fixMs < track.fixes[1].timeMs) {
    // The first fix, or time went back (a replay's seek): the track starts anew.
    track.fixes[1] = now;
    track.count = 1;
  } else if (fix.fixMs == track.fixes[1].timeMs) {
    track.fixes[1] = now;
  } else {
    track.fixes[0] = track.fixes[1];
    track.fixes[1] = now;
    track.count = 2;
  }
}

void CotOutput::period(const NodeTable& table, const WallTime& now, bool relayed,
                       double lostSeconds) {
  Shared& s = *shared_;
  const auto started = SteadyClock::now();
  if (s.lastPeriod != SteadyClock::time_point()) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(started - s.lastPeriod).count();
    s.spreadMs.store(std::min(kMaxSpreadMs, static_cast<int64_t>(ms * kSpreadShare)),
                     std::memory_order_relaxed);
  }
  s.lastPeriod = started;
  s.nodeChanges.changed(table, now, relayed, s.changes);
  if (s.changes.empty()) return;
  const int64_t nowMs = msOf(now);
  const int64_t lostMs = std::isfinite(lostSeconds) && lostSeconds > 0
                             ? std::llround(std::min(lostSeconds, 1e9) * kMsPerSecond)
                             : 0;
  std::string prefix, type;
  {
    std::lock_guard<std::mutex> config(s.configMutex);
    prefix = s.prefix;
    type = s.type;
  }
  std::lock_guard<std::mutex> hold(s.mutex);
  for (const NodeState& state : s.changes) {
    CotEvent& event = s.latest[state.id];
    event.uid = prefix;
    event.uid += std::to_string(state.id);
    event.type = type;
    event.timeMs = state.timeMs;
    event.startMs = state.timeMs;
    event.staleMs = state.timeMs + lostMs;
    // Clients grey out what is stale: a lost node is, whatever its fix time says.
    if (state.status == NodeRecord::kLost) event.staleMs = std::min(event.staleMs, nowMs);
    event.latitude = state.latitude;
    event.longitude = state.longitude;
    event.callsign = state.name;
    event.remarks = state.comment1;
    if (!state.comment1.empty() && !state.comment2.empty()) event.remarks += kRemarksJoin;
    event.remarks += state.comment2;
    // Fixes further apart than the lost threshold tell nothing of the present motion.
    const Track& track = s.tracks[state.id];
    Motion motion;
    event.hasTrack = track.count == 2 && track.fixes[1].timeMs - track.fixes[0].timeMs <= lostMs &&
                     motionBetween(track.fixes[0], track.fixes[1], motion);
    event.course = event.hasTrack ? motion.course : 0;
    event.speed = event.hasTrack ? motion.speed : 0;
    s.markPending(state.id);
  }
  s.wake.notify_all();
}

std::string CotOutput::uidPrefix() const {
  std::lock_guard<std::mutex> config(shared_->configMutex);
  return shared_->prefix;
}

std::string CotOutput::status() const {
  const Shared& s = *shared_;
  std::string line;
  {
    std::lock_guard<std::mutex> config(s.configMutex);
    if (!s.running) return s.error.empty() ? "stopped" : s.error;
    line = "sending to " + s.where;
  }
  line += "; " + std::to_string(sent()) + " sent, " + std::to_string(waiting()) + " waiting";
  // Refusals are rare enough to be worth the operator's eye when there are any.
  if (failed() > 0) line += "; " + std::to_string(failed()) + " failed";
  return line;
}

long CotOutput::sent() const {
  return shared_->sent.load(std::memory_order_relaxed);
}

long CotOutput::failed() const {
  return shared_->failed.load(std::memory_order_relaxed);
}

long CotOutput::waiting() const {
  std::lock_guard<std::mutex> hold(shared_->mutex);
  return static_cast<long>(shared_->queue.size());
}
