// The CSV data set the view shows: the rows last read, what the column attributes make of them,
// which filter-key values are shown and which rows the time window keeps, as the markers to
// draw. Lives on the GUI thread; the reading happens in DataSetWatch.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "halvex/streams/csv_columns.h"
#include "halvex/streams/csv_data_set.h"

/// One row drawn: where, in which palette colour, and which row of the data set it is.
struct DataSetMarker {
  double latitude = 0;   ///< Degrees.
  double longitude = 0;  ///< Degrees.
  int colour = 0;        ///< Palette index, 0 to DataSetModel::kPaletteSize - 1.
  int row = 0;           ///< Index into the data set's rows.
};

/// One value of the filter key column.
struct FilterValue {
  std::string text;  ///< The value, defaults applied ("" for rows without one).
  int colour = 0;    ///< Palette index of its markers.
  long rows = 0;     ///< Rows of the data set holding it.
  bool shown = true;
};

class DataSetModel {
 public:
  static constexpr int kPaletteSize = 8;
  /// Marker colours, RGB: distinct on the maps' greens, browns and the blue background.
  static const unsigned char kPalette[kPaletteSize][3];

  /// Takes a data set just read (null: none). Filter values hidden before stay hidden when the
  /// new set holds them; colours follow the values' first appearance in the file.
  void setDataSet(std::shared_ptr<const CsvDataSet> set);
  /// The attributes of the dialog's rows, as the project keeps them.
  void setAttributes(std::vector<ColumnAttribute> attributes);
  const std::vector<ColumnAttribute>& attributes() const { return attributes_; }

  const CsvDataSet* dataSet() const { return set_.get(); }
  const DataSetStyle& style() const { return style_; }

  /// The filter key's values in order of first appearance; empty without a filter key.
  const std::vector<FilterValue>& filterValues() const { return values_; }
  /// The filter key column's name, empty for none.
  std::string filterColumnName() const;
  void setValueShown(size_t index, bool shown);

  /// "reports of the last N hours": 0 keeps every row.
  void setReportHours(int hours);
  int reportHours() const { return reportHours_; }
  /// The replay's time, seconds since 1970 (UTC), or nullopt when the view is live. During a
  /// replay rows later than it are hidden, and the hours window ends there; live it ends at the
  /// newest row's time.
  void setReplayTime(std::optional<double> seconds);

  /// The rows to draw: with a position, a shown filter value and inside the time window, in
  /// file order. Rebuilt when something above changed.
  const std::vector<DataSetMarker>& markers();
  /// Changes whenever markers() would give something else.
  uint64_t version() const { return version_; }

  /// Row `row`'s label: its label columns' fields (defaults applied) joined by a blank.
  std::string labelOf(int row) const;
  /// Row `row`'s fields as "column: value" lines, one per column in file order, defaults
  /// applied.
  std::vector<std::string> fieldLines(int row) const;
  /// Field `column` of row `row` with the default applied; empty outside the set.
  std::string fieldOf(int row, int column) const;

  /// What a pick name stands for: the address of row `row` of the current set, and back (-1
  /// when `object` is no row of the current set, e.g. one read before).
  const void* pickObject(int row) const;
  int rowOfPick(const void* object) const;

 private:
  void restyle();
  void rebuild();

  std::shared_ptr<const CsvDataSet> set_;
  std::vector<ColumnAttribute> attributes_;
  DataSetStyle style_;
  std::vector<FilterValue> values_;
  std::vector<int> rowValue_;  ///< Per row: index into values_, -1 without a filter key.
  int reportHours_ = 0;
  std::optional<double> replayTime_;
  std::vector<DataSetMarker> markers_;
  bool dirty_ = true;
  uint64_t version_ = 1;
};
