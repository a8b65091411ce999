#include "halvex/engine/data_set_model.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

namespace {

constexpr double kSecondsPerHour = 3600;

}  // namespace

// Yellow, magenta, white, orange, cyan, red, violet, lime: each far from the others and from the
// view's blue-green background and the maps' greens and browns.
const unsigned char DataSetModel::kPalette[kPaletteSize][3] = {
    {255, 220, 0}, {230, 40, 200}, {255, 255, 255}, {255, 128, 0},
    {0, 230, 255}, {230, 20, 20},  {140, 90, 255},  {160, 255, 60},
};

void DataSetModel::setDataSet(std::shared_ptr<const CsvDataSet> set) {
  set_ = std::move(set);
  restyle();
}

void DataSetModel::setAttributes(std::vector<ColumnAttribute> attributes) {
  attributes_ = std::move(attributes);
  restyle();
}

void DataSetModel::restyle() {
  // Values hidden before stay hidden when the new set or style still holds them.
  std::unordered_map<std::string, bool> hidden;
  for (const FilterValue& value : values_) {
    if (!value.shown) hidden[value.text] = true;
  }
  values_.clear();
  rowValue_.clear();
  style_ = set_ ? resolveStyle(attributes_, *set_) : DataSetStyle();
  if (set_ && style_.filterColumn >= 0) {
    std::unordered_map<std::string, int> indexOf;
    rowValue_.reserve(set_->rows.size());
    for (size_t row = 0; row < set_->rows.size(); ++row) {
      std::string text = fieldOf(static_cast<int>(row), style_.filterColumn);
      auto found = indexOf.find(text);
      if (found == indexOf.end()) {
        const int index = static_cast<int>(values_.size());
        FilterValue value;
        value.colour = index % kPaletteSize;
        value.shown = hidden.count(text) == 0;
        value.text = text;
        values_.push_back(std::move(value));
        found = indexOf.emplace(std::move(text), index).first;
      }
      ++values_[static_cast<size_t>(found->second)].rows;
      rowValue_.push_back(found->second);
    }
  }
  dirty_ = true;
  ++version_;
}

std::string DataSetModel::filterColumnName() const {
  if (!set_ || style_.filterColumn < 0) return std::string();
  return set_->names[static_cast<size_t>(style_.filterColumn)];
}

void DataSetModel::setValueShown(size_t index, bool shown) {
  if (index >= values_.size() || values_[index].shown == shown) return;
  values_[index].shown = shown;
  dirty_ = true;
  ++version_;
}

void DataSetModel::setReportHours(int hours) {
  if (hours < 0) hours = 0;
  if (hours == reportHours_) return;
  reportHours_ = hours;
  dirty_ = true;
  ++version_;
}

void DataSetModel::setReplayTime(std::optional<double> seconds) {
  if (seconds == replayTime_) return;
  // A replay moves its time every frame: only rows crossing the window's edges change what is
  // drawn, so the markers are rebuilt (and the version moved) only when the set they give differs.
  replayTime_ = seconds;
  dirty_ = true;
}

const std::vector<DataSetMarker>& DataSetModel::markers() {
  if (dirty_) rebuild();
  return markers_;
}

void DataSetModel::rebuild() {
  dirty_ = false;
  std::vector<DataSetMarker> next;
  if (set_) {
    const std::vector<CsvDataRow>& rows = set_->rows;
    // The window's end: the replay's time, or live the newest row's (the converter's year is
    // fixed, so the wall clock would hide every report).
    double end = 0;
    bool haveEnd = false;
    if (replayTime_) {
      end = *replayTime_;
      haveEnd = true;
    } else if (reportHours_ > 0) {
      for (const CsvDataRow& row : rows) {
        if (row.hasTime && (!haveEnd || row.time > end)) {
          end = row.time;
          haveEnd = true;
        }
      }
    }
    const double start = end - reportHours_ * kSecondsPerHour;
    next.reserve(rows.size());
    for (size_t k = 0; k < rows.size(); ++k) {
      const CsvDataRow& row = rows[k];
      if (!row.hasPosition) continue;
      int colour = 0;
      if (!rowValue_.empty()) {
        const FilterValue& value = values_[static_cast<size_t>(rowValue_[k])];
        if (!value.shown) continue;
        colour = value.colour;
      }
      if (row.hasTime && haveEnd) {
        if (replayTime_ && row.time > end) continue;
        if (reportHours_ > 0 && row.time < start) continue;
      }
      next.push_back({row.latitude, row.longitude, colour, static_cast<int>(k)});
    }
  }
  const bool same = next.size() == markers_.size() &&
                    std::equal(next.begin(), next.end(), markers_.begin(),
                               [](const DataSetMarker& a, const DataSetMarker& b) {
                                 return a.row == b.row && a.colour == b.colour;
                               });
  if (!same) ++version_;
  markers_ = std::move(next);
}

std::string DataSetModel::fieldOf(int row, int column) const {
  if (!set_ || row < 0 || static_cast<size_t>(row) >= set_->rows.size() || column < 0) {
    return std::string();
  }
  const std::vector<std::string>& fields = set_->rows[static_cast<size_t>(row)].fields;
  if (static_cast<size_t>(column) >= fields.size()) return std::string();
  const std::string& field = fields[static_cast<size_t>(column)];
  if (field.empty() && static_cast<size_t>(column) < style_.defaults.size()) {
    return style_.defaults[static_cast<size_t>(column)];
  }
  return field;
}

std::string DataSetModel::labelOf(int row) const {
  std::string label;
  for (int column : style_.labelColumns) {
    const std::string field = fieldOf(row, column);
    if (field.empty()) continue;
    if (!label.empty()) label += ' ';
    label += field;
  }
  return label;
}

std::vector<std::string> DataSetModel::fieldLines(int row) const {
  std::vector<std::string> lines;
  if (!set_ || row < 0 || static_cast<size_t>(row) >= set_->rows.size()) return lines;
  for (size_t column = 0; column < set_->names.size(); ++column) {
    const int index = static_cast<int>(column);
    lines.push_back(set_->columnTitle(index) + ": " + fieldOf(row, index));
  }
  return lines;
}

const void* DataSetModel::pickObject(int row) const {
  if (!set_ || row < 0 || static_cast<size_t>(row) >= set_->rows.size()) return nullptr;
  return &set_->rows[static_cast<size_t>(row)];
}

int DataSetModel::rowOfPick(const void* object) const {
  if (!set_ || !object || set_->rows.empty()) return -1;
  // Compared as addresses, not through pointer arithmetic on a row of some other set.
  const auto address = reinterpret_cast<uintptr_t>(object);
  const auto first = reinterpret_cast<uintptr_t>(set_->rows.data());
  const uintptr_t size = sizeof(CsvDataRow);
  if (address < first || (address - first) % size != 0) return -1;
  const uintptr_t index = (address - first) / size;
  return index < set_->rows.size() ? static_cast<int>(index) : -1;
}
