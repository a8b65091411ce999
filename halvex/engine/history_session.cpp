#include "halvex/engine/history_session.h"

#include <algorithm>
#include <chrono>

#include "halvex/engine/replay_clock.h"
#include "halvex/engine/replay_feed.h"
#include "halvex/engine/tracker_engine.h"
#include "halvex/engine/tracker_model.h"
#include "halvex/history/recorder.h"

namespace {

constexpr uint64_t kBytesPerMB = uint64_t{1} << 20;
/// How often a replay looks for what a recording still being written has added.
constexpr auto kRefreshPeriod = std::chrono::seconds(1);

}  // namespace

/// The replay: the feed, its clock, and the engine's replacement of the live inputs.
struct HistorySession::Impl : InputReplacement {
  Impl(TrackerModel& m, TrackerEngine& e) : model(m), engine(e) {}

  bool feed() override {
    const auto now = ReplayClock::Steady::now();
    if (now - lastRefresh >= kRefreshPeriod) {
      lastRefresh = now;
      replay->reader().refresh();
    }
    // Held at the end of a recording that is still written, the clock goes on when it grows.
    if (heldAtEnd && replay->reader().lastMs() > clock.nowMs()) {
      heldAtEnd = false;
      clock.play();
    }
    if (clock.holdAt(replay->reader().lastMs())) heldAtEnd = true;
    replay->advance(clock.nowMs());
    return replay->statusFromRecords();
  }

  TrackerModel& model;
  TrackerEngine& engine;
  Recorder recorder;
  std::unique_ptr<ReplayFeed> replay;
  ReplayClock clock;
  std::string replayPath;
  ReplayClock::Steady::time_point lastRefresh{};
  bool heldAtEnd = false;  ///< The clock stopped at the recording's end while playing.
};

HistorySession::HistorySession(TrackerModel& model, TrackerEngine& engine)
    : impl_(new Impl(model, engine)) {}

HistorySession::~HistorySession() {
  stopReplay();
  stopRecording();
}

bool HistorySession::startRecording(const std::string& path, int maxMB, std::string* error) {
  stopRecording();
  const uint64_t maxBytes = maxMB > 0 ? static_cast<uint64_t>(maxMB) * kBytesPerMB : 0;
  if (!impl_->recorder.start(path, maxBytes, error)) return false;
  impl_->model.fixes().add(&impl_->recorder);
  return true;
}

void HistorySession::stopRecording() {
  impl_->model.fixes().remove(&impl_->recorder);
  impl_->recorder.stop();
}

RecordingStatus HistorySession::recordingStatus() const {
  const Recorder& recorder = impl_->recorder;
  RecordingStatus status;
  status.recording = recorder.running() && recorder.error().empty();
  status.path = recorder.currentPath();
  status.fixes = recorder.fixCount();
  status.bytes = recorder.byteCount();
  status.error = recorder.error();
  if (status.error.empty() && recorder.lostCount() > 0) {
    status.error = std::to_string(recorder.lostCount()) + " fixes lost: the disk is too slow";
  }
  return status;
}

bool HistorySession::startReplay(const std::string& path, int64_t fromMs, bool playNow,
                                 std::string* error) {
  auto feed = std::make_unique<ReplayFeed>(impl_->model.nodes(), impl_->model.trails());
  if (!feed->open(path, error)) return false;
  stopReplay();
  impl_->replay = std::move(feed);
  impl_->replayPath = path;
  impl_->clock.pause();
  impl_->clock.setSpeed(1);
  impl_->model.nodes().setClock(&impl_->clock);
  impl_->engine.replaceInputs(impl_.get());
  seek(fromMs > 0 ? fromMs : impl_->replay->reader().firstMs());
  if (playNow) play();
  return true;
}

void HistorySession::stopReplay() {
  if (!impl_->replay) return;
  impl_->engine.replaceInputs(nullptr);
  impl_->model.nodes().setClock(nullptr);
  impl_->model.trails().clear();
  impl_->replay.reset();
  impl_->clock.pause();
  impl_->heldAtEnd = false;
}

void HistorySession::play() {
  if (!impl_->replay) return;
  // Played to the end: play again from the start.
  if (impl_->clock.nowMs() >= impl_->replay->reader().lastMs()) {
    seek(impl_->replay->reader().firstMs());
  }
  impl_->clock.play();
}

void HistorySession::pause() {
  impl_->heldAtEnd = false;
  impl_->clock.pause();
}

void HistorySession::setSpeed(double speed) {
  impl_->clock.setSpeed(std::min(kMaxSpeed, std::max(kMinSpeed, speed)));
}

void HistorySession::seek(int64_t ms) {
  if (!impl_->replay) return;
  const RecordingReader& reader = impl_->replay->reader();
  ms = std::min(reader.lastMs(), std::max(reader.firstMs(), ms));
  impl_->clock.setMs(ms);
  impl_->replay->seek(ms);
}

void HistorySession::step(int64_t deltaMs) {
  if (impl_->replay) seek(impl_->clock.nowMs() + deltaMs);
}

ReplayStatus HistorySession::replayStatus() const {
  ReplayStatus status;
  if (!impl_->replay) return status;
  const RecordingReader& reader = impl_->replay->reader();
  status.active = true;
  status.playing = impl_->clock.playing();
  status.speed = impl_->clock.speed();
  status.firstMs = reader.firstMs();
  status.lastMs = reader.lastMs();
  status.nowMs = std::min(impl_->clock.nowMs(), reader.lastMs());
  status.path = impl_->replayPath;
  status.damage = reader.damage();
  return status;
}

bool HistorySession::replayAtEnd() const {
  return impl_->replay && !impl_->clock.playing() &&
         impl_->clock.nowMs() >= impl_->replay->reader().lastMs();
}

void HistorySession::setTrailMinutes(int minutes) {
  impl_->model.trails().setMinutes(minutes);
  impl_->model.settings().trailMinutes = impl_->model.trails().minutes();
  // A replay refills the new span from the recording.
  if (impl_->replay && minutes > 0) impl_->replay->seek(impl_->clock.nowMs());
}

int HistorySession::trailMinutes() const {
  return impl_->model.trails().minutes();
}
