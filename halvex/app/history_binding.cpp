#include "halvex/app/history_binding.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/filename.H>

#include <cmath>
#include <cstdio>

#include "common/platform/paths.h"
#include "halvex/core/utc_time.h"
#include "halvex/engine/history_session.h"

namespace {

constexpr double kBytesPerMB = 1024.0 * 1024.0;

/// `count` with its digits in groups of three: "12,345".
std::string groupedCount(uint64_t count) {
  std::string digits = std::to_string(count);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<size_t>(at), ",");
  }
  return digits;
}

/// "0.3 MB"
std::string megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / kBytesPerMB);
  return text;
}

/// The index of `speed` in the speed choice, or -1.
int speedIndex(double speed) {
  for (int k = 0; k < HistoryWindowUi::kSpeedCount; ++k) {
    if (HistoryWindowUi::kSpeeds[k] == speed) return k;
  }
  return -1;
}

/// The whole number a bounded value input holds, brought within its bounds and shown so.
int clampedCount(Fl_Value_Input* input) {
  const double value = std::round(input->clamp(input->value()));
  input->value(value);
  return static_cast<int>(value);
}

}  // namespace

HistoryBinding::HistoryBinding(HistorySession& session) : session_(session) {
  ui_.window->callback(forward<&HistoryBinding::hide>, this);
  ui_.recordChooseButton->callback(forward<&HistoryBinding::chooseRecording>, this);
  ui_.recordButton->callback(forward<&HistoryBinding::recordToggled>, this);
  ui_.trailMinutesInput->callback(forward<&HistoryBinding::trailMinutesEntered>, this);
  ui_.replayChooseButton->callback(forward<&HistoryBinding::chooseReplay>, this);
  ui_.replayButton->callback(forward<&HistoryBinding::replayToggled>, this);
  ui_.playButton->callback(forward<&HistoryBinding::playToggled>, this);
  ui_.speedChoice->callback(forward<&HistoryBinding::speedChosen>, this);
  ui_.timeSlider->callback(forward<&HistoryBinding::sliderMoved>, this);
  ui_.backButton->callback(forward<&HistoryBinding::stepBack>, this);
  ui_.forwardButton->callback(forward<&HistoryBinding::stepForward>, this);
  recordChooser_ = std::make_unique<Fl_File_Chooser>(".", HistoryWindowUi::kPattern,
                                                     Fl_File_Chooser::CREATE, "Record into");
  replayChooser_ = std::make_unique<Fl_File_Chooser>(".", HistoryWindowUi::kPattern,
                                                     Fl_File_Chooser::SINGLE, "Replay recording");
  ui_.trailMinutesInput->value(session_.trailMinutes());
}

HistoryBinding::~HistoryBinding() {
  Fl::remove_timeout(onRefreshTimer, this);
}

// ---- showing ----

void HistoryBinding::show() {
  ui_.window->show();
  refresh();
  if (!refreshing_) {
    Fl::add_timeout(kRefreshSeconds, onRefreshTimer, this);
    refreshing_ = true;
  }
}

void HistoryBinding::hide() {
  ui_.window->hide();
  if (openChooser_ == nullptr) {
    Fl::remove_timeout(onRefreshTimer, this);
    refreshing_ = false;
  }
}

void HistoryBinding::refreshTick() {
  takeChosenFile();
  if (ui_.window->shown()) {
    // A place the operator holds still is sought once the pace allows.
    if (sliderHeld() && std::llround(ui_.timeSlider->value()) != sliderSought_) seekToSlider(true);
    refresh();
  }
  refreshing_ = ui_.window->shown() || openChooser_ != nullptr;
  if (refreshing_) Fl::repeat_timeout(kRefreshSeconds, onRefreshTimer, this);
}

void HistoryBinding::refresh() {
  showRecording();
  if (Fl::focus() != &ui_.trailMinutesInput->input) {
    ui_.trailMinutesInput->value(session_.trailMinutes());
  }
  showReplay();
}

void HistoryBinding::showRecording() {
  const RecordingStatus status = session_.recordingStatus();
  setLiteralLabel(ui_.recordButton, status.recording ? "stop" : "record");
  std::string text = "not recording";
  if (status.recording) {
    text = "recording " + status.path + ": " + groupedCount(status.fixes) + " fixes, " +
           megabytes(status.bytes);
  } else if (!recordError_.empty()) {
    text = recordError_;
  } else if (!status.error.empty()) {
    text = status.error;
  }
  setLiteralLabel(ui_.recordStatus, text);
}

void HistoryBinding::showReplay() {
  const ReplayStatus status = session_.replayStatus();
  setLiteralLabel(ui_.replayButton, status.active ? "live" : "replay");
  std::string text = "live";
  if (status.active) {
    text = "replaying " + status.path;
    if (session_.replayAtEnd()) text += " (end)";
  } else if (!replayError_.empty()) {
    text = replayError_;
  }
  setLiteralLabel(ui_.replayStatus, text);
  setLiteralLabel(ui_.damageLine, status.damage);
  setLiteralLabel(ui_.playButton, status.playing ? "pause" : "play");
  if (!status.active) {
    ui_.replayControls->deactivate();
    setLiteralLabel(ui_.timeText, "");
    return;
  }
  ui_.replayControls->activate();
  const int speed = speedIndex(status.speed);
  if (speed >= 0 && speed != ui_.speedChoice->value()) ui_.speedChoice->value(speed);
  int64_t shown = status.nowMs;
  if (sliderHeld()) {
    shown = std::llround(ui_.timeSlider->value());
  } else {
    Fl_Slider* slider = ui_.timeSlider;
    const double first = static_cast<double>(status.firstMs);
    const double last = static_cast<double>(status.lastMs);
    if (slider->minimum() != first || slider->maximum() != last) slider->bounds(first, last);
    slider->value(static_cast<double>(status.nowMs));
  }
  setLiteralLabel(ui_.timeText, formatUtcTime(shown, UtcStyle::kClock));
}

// ---- choosers ----

void HistoryBinding::chooseRecording() {
  openChooser(recordChooser_.get());
}

void HistoryBinding::chooseReplay() {
  openChooser(replayChooser_.get());
}

void HistoryBinding::openChooser(Fl_File_Chooser* chooser) {
  if (openChooser_ != nullptr && openChooser_ != chooser) openChooser_->hide();
  takeChosenFile();
  openChooser_ = chooser;
  chooser->show();
  if (!refreshing_) {
    Fl::add_timeout(kRefreshSeconds, onRefreshTimer, this);
    refreshing_ = true;
  }
}

void HistoryBinding::takeChosenFile() {
  if (openChooser_ == nullptr || openChooser_->shown()) return;
  Fl_Input* field = openChooser_ == recordChooser_.get() ? ui_.recordPath : ui_.replayPath;
  const char* chosen = openChooser_->value();  // null when cancelled
  openChooser_ = nullptr;
  if (chosen == nullptr || *chosen == '\0' || fl_filename_isdir(chosen)) return;
  field->value(relativeToCurrentDirectory(chosen).c_str());
}

// ---- recording and trails ----

void HistoryBinding::recordToggled() {
  if (session_.recordingStatus().recording) {
    session_.stopRecording();
  } else {
    const int maxMB = clampedCount(ui_.maxMBInput);
    std::string error;
    recordError_.clear();
    if (!session_.startRecording(ui_.recordPath->value(), maxMB, &error)) {
      recordError_ = error.empty() ? "the recording did not start" : error;
    }
  }
  refresh();
}

void HistoryBinding::trailMinutesEntered() {
  session_.setTrailMinutes(clampedCount(ui_.trailMinutesInput));
}

// ---- replay ----

void HistoryBinding::replayToggled() {
  replayError_.clear();
  if (session_.replayStatus().active) {
    session_.stopReplay();
  } else {
    std::string error;
    if (session_.startReplay(ui_.replayPath->value(), 0, true, &error)) {
      speedChosen();  // the speed chosen before holds
    } else {
      replayError_ = error.empty() ? "the replay did not start" : error;
    }
  }
  refresh();
}

void HistoryBinding::playToggled() {
  if (session_.replayStatus().playing) {
    session_.pause();
  } else {
    session_.play();
  }
  refresh();
}

void HistoryBinding::speedChosen() {
  const int k = ui_.speedChoice->value();
  if (k >= 0 && k < HistoryWindowUi::kSpeedCount) session_.setSpeed(HistoryWindowUi::kSpeeds[k]);
}

void HistoryBinding::sliderMoved() {
  seekToSlider(sliderHeld());
}

void HistoryBinding::seekToSlider(bool paced) {
  const int64_t ms = std::llround(ui_.timeSlider->value());
  const auto now = std::chrono::steady_clock::now();
  if (paced && now - lastSeek_ < kDragSeekInterval) {
    setLiteralLabel(ui_.timeText, formatUtcTime(ms, UtcStyle::kClock));
    return;
  }
  lastSeek_ = now;
  sliderSought_ = ms;
  session_.seek(ms);
  refresh();
}

bool HistoryBinding::sliderHeld() const {
  return Fl::pushed() == ui_.timeSlider;
}

void HistoryBinding::stepBack() {
  session_.step(-HistorySession::kStepMs);
  refresh();
}

void HistoryBinding::stepForward() {
  session_.step(HistorySession::kStepMs);
  refresh();
}
