// The history window of the windowed tracker under a virtual X server: opened from the menu, its
// controls driving the tracker's own history session on real files.
#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "common/platform/paths.h"
#include "halvex/app/kt_map_window.h"
#include "halvex/core/utc_time.h"
#include "halvex/history/recording_writer.h"
#include "tests/common/window_test_support.h"
#include "tests/halvex/app/scratch_tracker.h"
#include "tests/support/scratch_dir.h"

namespace {

using window_test::pump;
using window_test::waitUntil;
using window_test::xdo;

/// 2005-09-12 11:40:05Z, UTC ms.
constexpr int64_t kStartMs = 1126525205000;
/// Span of the recordings the tests replay: one fix every 10 s for 10 minutes.
constexpr int64_t kSpanMs = 600000;

std::string labelOf(const Fl_Widget* widget) {
  return widget->label() != nullptr ? widget->label() : "";
}

/// A tracker window built in a scratch folder, the current folder while it lives.
class HistoryWindowTest : public ScratchTrackerTest {
 protected:
  HistoryWindowUi& ui() { return window_->historyWindow().ui(); }
  HistorySession& session() { return window_->history(); }

  /// Opens the window from the menu and waits until it is drawn.
  void openFromMenu() {
    const Fl_Menu_Item* item = window_->menuBar->find_item("view/history");
    ASSERT_NE(item, nullptr);
    window_->menuBar->picked(item);
    ASSERT_TRUE(waitUntil([&] { return ui().window->visible() != 0; }));
    pump(0.15);
  }

  /// Writes a recording of node 7 driving north: one fix every 10 s over kSpanMs, a block each.
  std::string writeRecording(const std::string& name) {
    const std::string path = temp_.path(name);
    RecordingWriter writer;
    std::string error;
    EXPECT_TRUE(writer.open(path, 0, &error)) << error;
    for (int64_t ms = 0; ms <= kSpanMs; ms += 10000) {
      FixEvent fix;
      fix.id = 7;
      fix.fixMs = fix.arrivalMs = kStartMs + ms;
      fix.latitude = 32.7 + static_cast<double>(ms) * 1e-8;
      EXPECT_TRUE(writer.append(fix) && writer.flush());  // a block each
    }
    EXPECT_TRUE(writer.close());
    return path;
  }

  /// Starts replaying `path` from the window, paused, so that the replay time holds still.
  void replayPaused(const std::string& path) {
    ui().replayPath->value(path.c_str());
    ui().replayButton->do_callback();
    ASSERT_TRUE(session().replayStatus().active) << labelOf(ui().replayStatus);
    if (session().replayStatus().playing) ui().playButton->do_callback();
    ASSERT_FALSE(session().replayStatus().playing);
  }
};

TEST_F(HistoryWindowTest, MenuItemOpensTheWindowAndClosingHidesIt) {
  EXPECT_FALSE(ui().window->shown());
  openFromMenu();
  EXPECT_STREQ(ui().window->label(), "History");
  EXPECT_STREQ(ui().recordPath->value(), "track.hxr");
  EXPECT_EQ(labelOf(ui().recordStatus), "not recording");
  EXPECT_EQ(labelOf(ui().replayStatus), "live");
  EXPECT_FALSE(ui().replayControls->active());
  ui().window->do_callback();  // what the window manager's close does
  EXPECT_FALSE(ui().window->shown());
  openFromMenu();
  EXPECT_TRUE(ui().window->shown());
}

TEST_F(HistoryWindowTest, RecordToggleStartsAndStopsARecordingAndShowsItsCount) {
  openFromMenu();
  const std::string path = temp_.path("run.hxr");
  ui().recordPath->value(path.c_str());
  ui().recordButton->do_callback();
  ASSERT_TRUE(session().recordingStatus().recording) << labelOf(ui().recordStatus);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(labelOf(ui().recordButton), "stop");

  // The refresh picks up what the writer thread has recorded, counted in groups of three.
  for (int k = 0; k < 1234; ++k) {
    FixEvent fix;
    fix.id = 1 + k % 5;
    fix.fixMs = fix.arrivalMs = kStartMs + k * 1000;
    fix.latitude = 32 + k * 1e-4;
    window_->model().fixes().fixAccepted(fix);
  }
  const std::string counted = "recording " + path + ": 1,234 fixes, ";
  EXPECT_TRUE(waitUntil([&] { return labelOf(ui().recordStatus).rfind(counted, 0) == 0; }))
      << labelOf(ui().recordStatus);

  ui().recordButton->do_callback();
  EXPECT_FALSE(session().recordingStatus().recording);
  EXPECT_EQ(labelOf(ui().recordButton), "record");
  EXPECT_EQ(labelOf(ui().recordStatus), "not recording");

  // A file that cannot be made: the session's message, and nothing recording.
  const std::string unwritable = temp_.path("no folder/run.hxr");
  ui().recordPath->value(unwritable.c_str());
  ui().recordButton->do_callback();
  EXPECT_FALSE(session().recordingStatus().recording);
  std::string expected;
  EXPECT_FALSE(session().startRecording(unwritable, 0, &expected));
  EXPECT_EQ(labelOf(ui().recordStatus), expected);
  EXPECT_EQ(labelOf(ui().recordButton), "record");
}

TEST_F(HistoryWindowTest, TrailMinutesAreBoundedAndReachTheSession) {
  openFromMenu();
  EXPECT_EQ(ui().trailMinutesInput->value(), session().trailMinutes());
  const struct {
    double typed;
    int taken;
  } cases[] = {{30, 30}, {0, 0}, {99999, 24 * 60}, {-5, 0}, {12.6, 13}};
  for (const auto& c : cases) {
    ui().trailMinutesInput->value(c.typed);
    ui().trailMinutesInput->do_callback();
    EXPECT_EQ(session().trailMinutes(), c.taken) << c.typed;
    EXPECT_EQ(ui().trailMinutesInput->value(), c.taken) << c.typed;
  }
}

// A file that is no recording is refused with the reader's message; a cut one replays up to the
// cut, which the damage line names.
TEST_F(HistoryWindowTest, BadRecordingsSayWhatIsWrong) {
  openFromMenu();
  const std::string path = temp_.write("notes.hxr", "not a recording at all\n");
  ui().replayPath->value(path.c_str());
  ui().replayButton->do_callback();
  EXPECT_FALSE(session().replayStatus().active);
  std::string expected;
  EXPECT_FALSE(session().startReplay(path, 0, false, &expected));
  EXPECT_NE(expected.find("not a track recording"), std::string::npos) << expected;
  EXPECT_EQ(labelOf(ui().replayStatus), expected);
  EXPECT_EQ(labelOf(ui().replayButton), "replay");
  EXPECT_FALSE(ui().replayControls->active());

  const std::string damaged = writeRecording("damaged.hxr");
  std::filesystem::resize_file(damaged, std::filesystem::file_size(damaged) / 2 + 3);
  replayPaused(damaged);
  EXPECT_FALSE(session().replayStatus().damage.empty());
  EXPECT_EQ(labelOf(ui().damageLine), session().replayStatus().damage);
}

TEST_F(HistoryWindowTest, ReplayControlsDriveTheSession) {
  openFromMenu();
  const std::string path = writeRecording("drive.hxr");
  replayPaused(path);
  EXPECT_TRUE(ui().replayControls->active());
  EXPECT_EQ(labelOf(ui().replayButton), "live");
  EXPECT_EQ(labelOf(ui().replayStatus), "replaying " + path);
  EXPECT_EQ(labelOf(ui().playButton), "play");
  EXPECT_EQ(ui().timeSlider->minimum(), static_cast<double>(kStartMs));
  EXPECT_EQ(ui().timeSlider->maximum(), static_cast<double>(kStartMs + kSpanMs));
  EXPECT_EQ(labelOf(ui().timeText), "2005-09-12 11:40:05Z");
  EXPECT_EQ(labelOf(ui().damageLine), "");

  for (int k : {5, 0, 8, 2}) {
    ui().speedChoice->value(k);
    ui().speedChoice->do_callback();
    EXPECT_EQ(session().replayStatus().speed, HistoryWindowUi::kSpeeds[k]) << k;
  }

  // The slider seeks; the step buttons move from there; the time text follows.
  const struct {
    Fl_Widget* control;
    int64_t sliderMs;  ///< Where the slider is put first, or -1.
    int64_t nowMs;     ///< Replay time after the control, from the start.
    const char* text;
  } steps[] = {
      {ui().timeSlider, 300000, 300000, "2005-09-12 11:45:05Z"},
      {ui().forwardButton, -1, 310000, "2005-09-12 11:45:15Z"},
      {ui().backButton, -1, 300000, "2005-09-12 11:45:05Z"},
      {ui().backButton, -1, 290000, "2005-09-12 11:44:55Z"},
      {ui().timeSlider, 595000, 595000, "2005-09-12 11:50:00Z"},
      {ui().forwardButton, -1, kSpanMs, "2005-09-12 11:50:05Z"},  // held at the end
  };
  for (const auto& s : steps) {
    if (s.sliderMs >= 0) ui().timeSlider->value(static_cast<double>(kStartMs + s.sliderMs));
    s.control->do_callback();
    EXPECT_EQ(session().replayStatus().nowMs, kStartMs + s.nowMs) << s.text;
    EXPECT_EQ(labelOf(ui().timeText), s.text);
    EXPECT_EQ(ui().timeSlider->value(), static_cast<double>(kStartMs + s.nowMs)) << s.text;
  }

  ui().playButton->do_callback();
  EXPECT_TRUE(session().replayStatus().playing);
  EXPECT_EQ(labelOf(ui().playButton), "pause");

  ui().replayButton->do_callback();
  EXPECT_FALSE(session().replayStatus().active);
  EXPECT_EQ(labelOf(ui().replayButton), "replay");
  EXPECT_EQ(labelOf(ui().replayStatus), "live");
  EXPECT_EQ(labelOf(ui().timeText), "");
  EXPECT_EQ(labelOf(ui().playButton), "play");
  EXPECT_FALSE(ui().replayControls->active());
}

// The refresh leaves a slider the operator holds where the pointer put it, seeks a place held
// still, and the release seeks the place let go.
TEST_F(HistoryWindowTest, DraggingTheSliderIsNotUndoneByTheRefresh) {
  openFromMenu();
  replayPaused(writeRecording("drag.hxr"));
  pump(0.3);
  Fl_Slider* slider = ui().timeSlider;
  // The pointer moved to a share of the slider's width.
  const auto moveTo = [&](double share) {
    const int x = ui().window->x() + slider->x() + static_cast<int>(slider->w() * share);
    const int y = ui().window->y() + slider->y() + slider->h() / 2;
    return "mousemove " + std::to_string(x) + " " + std::to_string(y);
  };
  ASSERT_TRUE(xdo(moveTo(0.25) + " mousedown 1"));
  ASSERT_TRUE(waitUntil([&] { return Fl::pushed() == slider; }));
  ASSERT_TRUE(xdo(moveTo(0.75)));
  pump(3 * HistoryBinding::kRefreshSeconds);
  const double held = slider->value();
  EXPECT_GT(held, static_cast<double>(kStartMs + kSpanMs / 2));
  EXPECT_EQ(session().replayStatus().nowMs, std::llround(held));
  EXPECT_EQ(labelOf(ui().timeText), formatUtcTime(std::llround(held), UtcStyle::kClock));

  ASSERT_TRUE(xdo(moveTo(0.6)));
  ASSERT_TRUE(waitUntil([&] { return slider->value() < held; }));
  ASSERT_TRUE(xdo("mouseup 1"));
  ASSERT_TRUE(waitUntil([&] { return Fl::pushed() == nullptr; }));
  EXPECT_EQ(session().replayStatus().nowMs, std::llround(slider->value()));
}

// A chooser leaves the loop running; the file it gives lands in its field, relative to the
// current folder, and a cancelled one changes nothing.
TEST_F(HistoryWindowTest, ChoosersFillTheirFieldsOnceClosed) {
  openFromMenu();
  HistoryBinding& binding = window_->historyWindow();
  const struct {
    Fl_Widget* button;
    Fl_File_Chooser* chooser;
    Fl_Input* field;
    const char* chosen;  ///< Given to the chooser (in the scratch folder); null: cancelled.
    const char* shown;
  } cases[] = {
      {ui().recordChooseButton, binding.recordChooser(), ui().recordPath, "next.hxr", "next.hxr"},
      {ui().replayChooseButton, binding.replayChooser(), ui().replayPath, "old.hxr", "old.hxr"},
      {ui().recordChooseButton, binding.recordChooser(), ui().recordPath, nullptr, "next.hxr"},
  };
  temp_.write("old.hxr", "");
  for (const auto& c : cases) {
    c.button->do_callback();
    ASSERT_TRUE(c.chooser->shown()) << c.shown;
    c.chooser->value(c.chosen != nullptr ? temp_.path(c.chosen).c_str() : "");
    c.chooser->hide();
    pump(2 * HistoryBinding::kRefreshSeconds);
    EXPECT_STREQ(c.field->value(), c.shown);
  }
}

}  // namespace
