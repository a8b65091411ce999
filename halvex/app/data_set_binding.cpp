#include "halvex/app/data_set_binding.h"

#include <FL/Fl.H>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "halvex/engine/data_set_model.h"
#include "halvex/engine/data_set_watch.h"
#include "halvex/engine/history_session.h"
#include "halvex/engine/tracker_model.h"
#include "halvex/project/csv_group.h"
#include "halvex/project/project_prompts.h"
#include "halvex/ui/ui_kit.h"
#include "halvex/view/scene.h"

namespace {

/// Period of the wake while a file is watched: the watch's own look at the file.
constexpr double kWakeSeconds = DataSetWatch::kCheckMs / 1000.0;
constexpr double kMsPerSecond = 1000.0;

bool sameRows(const std::vector<ValueRowText>& a, const std::vector<ValueRowText>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const ValueRowText& x, const ValueRowText& y) {
                      return x.text == y.text && x.rows == y.rows && x.red == y.red &&
                             x.green == y.green && x.blue == y.blue && x.shown == y.shown;
                    });
}

/// The value list's lines for the model's filter values.
std::vector<ValueRowText> valueRowsOf(const DataSetModel& model) {
  std::vector<ValueRowText> rows;
  for (const FilterValue& value : model.filterValues()) {
    ValueRowText row;
    row.text = value.text;
    row.rows = value.rows;
    const int colour = std::clamp(value.colour, 0, DataSetModel::kPaletteSize - 1);
    row.red = DataSetModel::kPalette[colour][0];
    row.green = DataSetModel::kPalette[colour][1];
    row.blue = DataSetModel::kPalette[colour][2];
    row.shown = value.shown;
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace

DataSetBinding::DataSetBinding(TrackerModel& model, HistorySession& history,
                               std::function<void()> redraw)
    : model_(model),
      history_(history),
      redraw_(std::move(redraw)),
      ui_(tracker_defaults::kMaxReportHours) {
  ui_.window->callback([](Fl_Widget*, void* self) { static_cast<DataSetBinding*>(self)->hide(); },
                       this);
  ui_.hoursInput->callback(onHoursEntered, this);
  ui_.hoursInput->value(model_.settings().reportHours);
}

DataSetBinding::~DataSetBinding() {
  Fl::remove_timeout(onWake, this);
}

// ---- the data set ----

void DataSetBinding::follow(const CsvGroup* group) {
  DataSetWatch& watch = model_.dataSetWatch();
  const std::string path = group != nullptr ? group->dataSetPath() : std::string();
  if (path != watch.path()) {
    // Named relative to the current folder, as the project's other files are.
    watch.watch(path);
    if (!path.empty() && !waking_) {
      Fl::add_timeout(kWakeSeconds, onWake, this);
      waking_ = true;
    }
  }
  static const std::vector<std::string> kNoLines;
  const std::vector<std::string>& lines = group != nullptr ? group->columnLines() : kNoLines;
  if (lines != columnLines_) {
    columnLines_ = lines;
    model_.dataSet().setAttributes(group != nullptr ? group->columnAttributes()
                                                    : std::vector<ColumnAttribute>());
  }
}

bool DataSetBinding::pass() {
  DataSetModel& dataSet = model_.dataSet();
  std::shared_ptr<const CsvDataSet> set;
  std::vector<std::string> messages;
  bool read = false;
  if (model_.dataSetWatch().take(set, messages)) {
    read = true;
    dataSet.setDataSet(std::move(set));
    for (const std::string& message : messages) {
      std::fprintf(stderr, "halvex: %s\n", message.c_str());
    }
    lastMessage_ = messages.empty() ? std::string() : messages.back();
  }
  if (dataSet.reportHours() != model_.settings().reportHours) {
    dataSet.setReportHours(model_.settings().reportHours);
  }
  std::optional<double> replayTime;
  if (history_.replayStatus().active) {
    const WallTime now = model_.nodes().now();
    replayTime = static_cast<double>(now.seconds) + now.milliseconds / kMsPerSecond;
  }
  dataSet.setReplayTime(replayTime);
  const bool changed = markersChanged();
  if (ui_.window->shown() && (read || changed)) refresh();
  return changed;
}

bool DataSetBinding::markersChanged() {
  // markers() brings the version up to date with what changed above.
  model_.dataSet().markers();
  const uint64_t version = model_.dataSet().version();
  if (version == markersVersion_) return false;
  markersVersion_ = version;
  return true;
}

void DataSetBinding::wake() {
  waking_ = !model_.dataSetWatch().path().empty();
  if (waking_) Fl::repeat_timeout(kWakeSeconds, onWake, this);
}

// ---- picking ----

void DataSetBinding::picked(uint32_t name) {
  const DataSetModel& dataSet = model_.dataSet();
  const int row = name == 0 ? -1 : dataSet.rowOfPick(pickNames().objectFor(name));
  if (row < 0) return;
  int x = 0, y = 0;
  Fl::get_mouse(x, y);
  popup_.show(dataSet.fieldLines(row), x, y);
}

// ---- the window ----

void DataSetBinding::show() {
  ui_.window->show();
  refresh();
}

void DataSetBinding::hide() {
  ui_.window->hide();
}

void DataSetBinding::refresh() {
  DataSetModel& dataSet = model_.dataSet();
  const CsvDataSet* set = dataSet.dataSet();
  const std::string& path = model_.dataSetWatch().path();
  std::string line = "no data set";
  if (set != nullptr) {
    line = fileNamePart(path) + ": " + std::to_string(set->rows.size()) + " reports, " +
           std::to_string(dataSet.markers().size()) + " shown";
  } else if (!path.empty()) {
    line = fileNamePart(path) + ": not read";
  }
  setLiteralLabel(ui_.dataSetLine, line);
  setLiteralLabel(ui_.messageLine, lastMessage_);
  const std::string column = dataSet.filterColumnName();
  setLiteralLabel(ui_.filterLine, column.empty() ? "no filter key" : "filter key: " + column);
  if (Fl::focus() != &ui_.hoursInput->input) ui_.hoursInput->value(dataSet.reportHours());
  std::vector<ValueRowText> rows = valueRowsOf(dataSet);
  if (!sameRows(rows, valueRows_)) {
    valueRows_ = std::move(rows);
    ui_.setValueRows(valueRows_, onValueToggled, this);
  }
}

void DataSetBinding::valueToggled(Fl_Widget* button) {
  const auto& buttons = ui_.valueButtons;
  const auto found = std::find(buttons.begin(), buttons.end(), button);
  if (found == buttons.end()) return;
  const auto index = static_cast<size_t>(found - buttons.begin());
  model_.dataSet().setValueShown(index, (*found)->value() != 0);
  if (index < valueRows_.size()) valueRows_[index].shown = (*found)->value() != 0;
  if (markersChanged()) redraw_();
  refresh();
}

void DataSetBinding::hoursEntered() {
  Fl_Value_Input* input = ui_.hoursInput;
  const double hours = std::round(input->clamp(input->value()));
  input->value(hours);
  model_.settings().reportHours = static_cast<int>(hours);
  model_.dataSet().setReportHours(static_cast<int>(hours));
  if (markersChanged()) redraw_();
  refresh();
}
