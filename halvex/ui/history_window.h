// The "History" window: recording what the inputs take into a file, the trails' span, and
// replaying a recording in place of the live inputs.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Value_Input.H>

#include "halvex/ui/ui_kit.h"

/// The history window's widget record: the recording file with its size limit, toggle and
/// status; the trail span; the replay file with its toggle and status, and the replay's controls
/// (play/pause, speed, time slider and text, steps) in one group, then the damage line. Built
/// once, hidden; the owner binds the callbacks and keeps the changing labels. The value inputs
/// are bounded; read them through clamp(value()), since a typed value is not clamped.
class HistoryWindowUi {
 public:
  static constexpr int kWidth = 476;   ///< Window width, px.
  static constexpr int kHeight = 428;  ///< Window height, px.
  static constexpr const char* kTitle = "History";
  /// The recording file the field names at first, in the current folder.
  static constexpr const char* kDefaultRecording = "track.hxr";
  /// The choosers' pattern.
  static constexpr const char* kPattern = "*.hxr";
  /// Replay speeds of the speed choice, in its order, and the one selected at first (1x).
  static constexpr double kSpeeds[] = {0.25, 0.5, 1, 2, 4, 8, 16, 32, 64};
  static constexpr int kSpeedCount = static_cast<int>(sizeof kSpeeds / sizeof kSpeeds[0]);
  static constexpr int kDefaultSpeed = 2;
  static constexpr int kMaxRecordingMB = 1 << 20;   ///< Largest size limit of one file, MB.
  static constexpr int kMaxTrailMinutes = 24 * 60;  ///< Longest trail span, minutes.

  /// Builds the window, hidden, with the default recording name and the speed choice filled.
  HistoryWindowUi();
  ~HistoryWindowUi();
  HistoryWindowUi(const HistoryWindowUi&) = delete;
  HistoryWindowUi& operator=(const HistoryWindowUi&) = delete;

  Fl_Double_Window* window = nullptr;  ///< The window; owned, deleted with this.
  Fl_Pack* pack = nullptr;             ///< Vertical pack of the sections.

  UiSection recordSection;                  ///< "Recording"
  Fl_Input* recordPath = nullptr;           ///< The file to record into.
  Fl_Button* recordChooseButton = nullptr;  ///< "...": chooses the file.
  Fl_Value_Input* maxMBInput = nullptr;     ///< Size of one file before the next, MB; 0 none.
  Fl_Button* recordButton = nullptr;        ///< "record", or "stop" while recording.
  Fl_Box* recordStatus = nullptr;           ///< What the recording does, or its error.

  UiSection trailSection;                       ///< "Trails"
  Fl_Value_Input* trailMinutesInput = nullptr;  ///< Trail span, minutes; 0 turns trails off.
  Fl_Box* trailNote = nullptr;                  ///< "(0 = off)"

  UiSection replaySection;                  ///< "Replay"
  Fl_Input* replayPath = nullptr;           ///< The recording to replay.
  Fl_Button* replayChooseButton = nullptr;  ///< "...": chooses the recording.
  Fl_Button* replayButton = nullptr;        ///< "replay", or "live" while replaying.
  Fl_Box* replayStatus = nullptr;           ///< What is replayed, or why it could not be.
  Fl_Group* replayControls = nullptr;       ///< The controls below, active while replaying.
  Fl_Button* playButton = nullptr;          ///< "play", or "pause" while playing.
  Fl_Choice* speedChoice = nullptr;         ///< Replay speed, kSpeeds.
  Fl_Box* timeText = nullptr;               ///< Replay time, UTC.
  Fl_Slider* timeSlider = nullptr;          ///< Replay time over the recording's span, ms.
  Fl_Button* backButton = nullptr;          ///< "-10 s"
  Fl_Button* forwardButton = nullptr;       ///< "+10 s"
  Fl_Box* damageLine = nullptr;             ///< Where the recording is damaged, else empty.
};
