// The history window bound to the tracker's history session: recording, the trails' span and
// replay, with the window's texts kept up to date while it is shown.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "halvex/ui/history_window.h"

class Fl_File_Chooser;
class HistorySession;

/// Owns the history window and its two file choosers. The controls act on the session at once;
/// while the window (or one of its choosers) is shown, a timer refreshes the statuses, the
/// replay's controls, slider and time a few times a second. The choosers do not hold the loop:
/// the refresh takes a file once its chooser closes.
class HistoryBinding {
 public:
  static constexpr double kRefreshSeconds = 0.25;  ///< Period of the refresh while shown.
  /// Shortest time between two seeks while the slider is dragged.
  static constexpr std::chrono::milliseconds kDragSeekInterval{100};

  /// Builds the window, hidden, with its callbacks bound to `session`.
  explicit HistoryBinding(HistorySession& session);
  ~HistoryBinding();
  HistoryBinding(const HistoryBinding&) = delete;
  HistoryBinding& operator=(const HistoryBinding&) = delete;

  HistoryWindowUi& ui() { return ui_; }
  Fl_File_Chooser* recordChooser() const { return recordChooser_.get(); }
  Fl_File_Chooser* replayChooser() const { return replayChooser_.get(); }

  /// Shows the window, refreshed, and starts the refresh.
  void show();
  /// Hides the window; the refresh stops with it.
  void hide();
  /// Brings every text and control up to date with the session; a slider the operator holds
  /// keeps its place (a position held for a while is sought).
  void refresh();

 private:
  template <void (HistoryBinding::*Operation)()>
  static void forward(Fl_Widget* /*widget*/, void* self) {
    (static_cast<HistoryBinding*>(self)->*Operation)();
  }
  static void onRefreshTimer(void* self) { static_cast<HistoryBinding*>(self)->refreshTick(); }

  void chooseRecording();
  void chooseReplay();
  /// Starts recording into the file named, or stops the recording.
  void recordToggled();
  void trailMinutesEntered();
  /// Starts replaying the file named, or goes back to the live inputs.
  void replayToggled();
  void playToggled();
  void speedChosen();
  void sliderMoved();
  void stepBack();
  void stepForward();

  void refreshTick();
  /// Seeks to the slider's place unless `paced` and the last seek was too recent.
  void seekToSlider(bool paced);
  /// Whether the operator holds the time slider.
  bool sliderHeld() const;
  /// Shows `chooser` over the window; the file is taken when it closes.
  void openChooser(Fl_File_Chooser* chooser);
  /// The file of a chooser that closed since the last refresh, into its field.
  void takeChosenFile();
  void showRecording();
  void showReplay();

  HistorySession& session_;
  HistoryWindowUi ui_;
  std::unique_ptr<Fl_File_Chooser> recordChooser_;
  std::unique_ptr<Fl_File_Chooser> replayChooser_;
  Fl_File_Chooser* openChooser_ = nullptr;  ///< The chooser shown, until its file is taken.
  bool refreshing_ = false;                 ///< The refresh timer is set.
  std::string recordError_;                 ///< Why the last start of a recording failed.
  std::string replayError_;                 ///< Why the last start of a replay failed.
  std::chrono::steady_clock::time_point lastSeek_;
  int64_t sliderSought_ = 0;  ///< The slider place sought last.
};
