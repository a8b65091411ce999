// The project's CSV data set kept live in the tracker: the file watched as the project names it,
// what its column lines say, the replay time and the report span handed to the model, the
// "Field reports" window, and the popup of a picked report.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "halvex/ui/data_set_window.h"
#include "halvex/ui/report_popup.h"

class CsvGroup;
class Fl_Widget;
class HistorySession;
class TrackerModel;

/// Owns the "Field reports" window and the report popup. Every loop pass follow()s the project's
/// CSV group and runs pass(); the window's controls act on the model at once.
class DataSetBinding {
 public:
  /// Builds the window and the popup, hidden. `redraw` asks for a new frame.
  DataSetBinding(TrackerModel& model, HistorySession& history, std::function<void()> redraw);
  ~DataSetBinding();
  DataSetBinding(const DataSetBinding&) = delete;
  DataSetBinding& operator=(const DataSetBinding&) = delete;

  /// Watches the data set `group` names (none without a group or a data set) and hands its
  /// column attributes to the model when they changed.
  void follow(const CsvGroup* group);
  /// Takes what the watch read since the last pass (its messages to standard error as
  /// "halvex: MESSAGE"), sets the replay time and the report span; true when the markers
  /// changed, so that the view redraws.
  bool pass();

  /// Shows the popup of the row a picking pass chose at the pointer; a name of no row of the
  /// current set (0, or one of a set read before) shows nothing.
  void picked(uint32_t name);

  /// Shows the window, refreshed.
  void show();
  void hide();
  /// Brings the window's texts and value list up to date with the model.
  void refresh();

  DataSetWindowUi& ui() { return ui_; }
  ReportPopup& popup() { return popup_; }
  /// The last message of a read (empty when the last read had none).
  const std::string& lastMessage() const { return lastMessage_; }

 private:
  static void onValueToggled(Fl_Widget* button, void* self) {
    static_cast<DataSetBinding*>(self)->valueToggled(button);
  }
  static void onHoursEntered(Fl_Widget* /*input*/, void* self) {
    static_cast<DataSetBinding*>(self)->hoursEntered();
  }
  static void onWake(void* self) { static_cast<DataSetBinding*>(self)->wake(); }

  void valueToggled(Fl_Widget* button);
  void hoursEntered();
  /// Keeps the loop passing while a file is watched, so that a reload shows without events.
  void wake();
  /// Redraws when the markers changed since the last look.
  bool markersChanged();

  TrackerModel& model_;
  HistorySession& history_;
  std::function<void()> redraw_;
  DataSetWindowUi ui_;
  ReportPopup popup_;
  std::vector<std::string> columnLines_;  ///< The group's lines last handed to the model.
  std::vector<ValueRowText> valueRows_;   ///< What the value list shows.
  std::string lastMessage_;
  uint64_t markersVersion_ = 0;  ///< The markers' version last drawn.
  bool waking_ = false;          ///< The wake timer is set.
};
