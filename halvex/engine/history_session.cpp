#include "halvex/engine/history_session.h"

#include "halvex/engine/tracker_engine.h"
#include "halvex/engine/tracker_model.h"

struct HistorySession::Impl {
  Impl(TrackerModel& m, TrackerEngine& e) : model(m), engine(e) {}
  TrackerModel& model;
  TrackerEngine& engine;
  ReplayStatus replay;
};

HistorySession::HistorySession(TrackerModel& model, TrackerEngine& engine)
    : impl_(new Impl(model, engine)) {}
HistorySession::~HistorySession() = default;
bool HistorySession::startRecording(const std::string&, int, std::string* error) {
  if (error) *error = "recording is not built yet";
  return false;
}
void HistorySession::stopRecording() {}
RecordingStatus HistorySession::recordingStatus() const {
  return {};
}
bool HistorySession::startReplay(const std::string&, int64_t, bool, std::string* error) {
  if (error) *error = "replay is not built yet";
  return false;
}
void HistorySession::stopReplay() {}
void HistorySession::play() {}
void HistorySession::pause() {}
void HistorySession::setSpeed(double) {}
void HistorySession::seek(int64_t) {}
void HistorySession::step(int64_t) {}
ReplayStatus HistorySession::replayStatus() const {
  return impl_->replay;
}
bool HistorySession::replayAtEnd() const {
  return false;
}
void HistorySession::setTrailMinutes(int minutes) {
  impl_->model.trails().setMinutes(minutes);
}
int HistorySession::trailMinutes() const {
  return impl_->model.trails().minutes();
}
void HistorySession::tick() {}
