#include "halvex/engine/data_set_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr double kT0 = 1133958600;  ///< The first report's time, s since 1970.
constexpr double kHour = 3600;

/// Reports an hour or more apart; row 2 has no grid reference, so no position.
const char kReports[] =
    "user,coordSys,user,user,user,field list,field list\n"
    "index, ,lat,lon,time,Zone,Action\n"
    "0,MB,33.1,44.1,1133958600,38S,ambush\n"   // t0
    "1,MB,33.2,44.2,1133962200,,raid\n"        // t0 + 1 h
    "2,,0,0,1133969400,38S,ambush\n"           // t0 + 3 h, no position
    "3,MB,33.4,44.4,1133969400,38S,ambush\n"   // t0 + 3 h
    "4,MB,33.5,44.5,1133976600,38S,patrol\n";  // t0 + 5 h

std::shared_ptr<const CsvDataSet> parsed(const std::string& text) {
  auto set = std::make_shared<CsvDataSet>();
  std::string error;
  EXPECT_TRUE(parseCsvDataSet(text, *set, &error)) << error;
  return set;
}

std::vector<int> markerRows(DataSetModel& model) {
  std::vector<int> rows;
  for (const DataSetMarker& marker : model.markers()) rows.push_back(marker.row);
  return rows;
}

TEST(DataSetModel, TimeWindowFollowsReplayOrNewestRow) {
  DataSetModel model;
  model.setDataSet(parsed(kReports));
  ASSERT_EQ(model.dataSet()->rows.size(), 5u);
  struct Case {
    const char* what;
    std::optional<double> replay;
    int hours;
    std::vector<int> rows;
  } cases[] = {
      {"live, all", std::nullopt, 0, {0, 1, 3, 4}},
      {"live, last 2 h before the newest row", std::nullopt, 2, {3, 4}},
      {"replay at t0 + 3 h", kT0 + 3 * kHour, 0, {0, 1, 3}},
      {"replay at t0 + 3 h, last 2 h", kT0 + 3 * kHour, 2, {1, 3}},
      {"replay before the first report", kT0 - 1, 0, {}},
      {"replay past the last report, last 1 h", kT0 + 7 * kHour, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    model.setReplayTime(c.replay);
    model.setReportHours(c.hours);
    EXPECT_EQ(markerRows(model), c.rows);
  }
  // Moving a replay only changes the version when the markers change.
  model.setReportHours(0);
  model.setReplayTime(kT0 + 1 * kHour);
  markerRows(model);
  const uint64_t version = model.version();
  model.setReplayTime(kT0 + 2 * kHour);
  EXPECT_EQ(markerRows(model), (std::vector<int>{0, 1}));
  EXPECT_EQ(model.version(), version);
  model.setReplayTime(kT0 + 3 * kHour);
  EXPECT_EQ(markerRows(model), (std::vector<int>{0, 1, 3}));
  EXPECT_NE(model.version(), version);
}

TEST(DataSetModel, HiddenFilterValuesStayHiddenAcrossANewSet) {
  DataSetModel model;
  model.setDataSet(parsed(kReports));
  EXPECT_EQ(model.filterColumnName(), "Action");
  const std::vector<FilterValue>& values = model.filterValues();
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].text, "ambush");
  EXPECT_EQ(values[0].rows, 3);
  EXPECT_EQ(values[1].text, "raid");
  EXPECT_EQ(values[2].text, "patrol");
  EXPECT_NE(values[0].colour, values[1].colour);
  EXPECT_NE(values[1].colour, values[2].colour);

  const uint64_t version = model.version();
  model.setValueShown(0, false);
  EXPECT_NE(model.version(), version);
  EXPECT_EQ(markerRows(model), (std::vector<int>{1, 4}));

  // The file read again with a new value first: "ambush" stays hidden, the others shown.
  std::string more = kReports;
  more.insert(more.find("0,MB"), "9,MB,33.9,44.9,1133958000,38S,ambush\n8,MB,1,2,3,38S,mortar\n");
  model.setDataSet(parsed(more));
  ASSERT_EQ(model.filterValues().size(), 4u);
  for (const FilterValue& value : model.filterValues()) {
    EXPECT_EQ(value.shown, value.text != "ambush") << value.text;
  }
  EXPECT_EQ(markerRows(model), (std::vector<int>{1, 3, 6}));

  model.setDataSet(nullptr);
  EXPECT_TRUE(model.filterValues().empty());
  EXPECT_TRUE(model.markers().empty());
}

TEST(DataSetModel, FieldsLabelsAndPicksOfARow) {
  DataSetModel model;
  std::shared_ptr<const CsvDataSet> first = parsed(kReports);
  model.setDataSet(first);
  model.setAttributes(
      {{1, ColumnUse::kUser, "Zone", "unknown", true}, {2, ColumnUse::kUser, "Action", "", false}});
  EXPECT_EQ(model.labelOf(0), "38S ambush");
  EXPECT_EQ(model.labelOf(1), "unknown raid");
  EXPECT_EQ(model.fieldLines(1),
            (std::vector<std::string>{"index: 1", "coordSys: MB", "lat: 33.2", "lon: 44.2",
                                      "time: 1133962200", "Zone: unknown", "Action: raid"}));
  // A row without a position is still there to list.
  EXPECT_EQ(model.fieldLines(2)[1], "coordSys: ");
  EXPECT_TRUE(model.fieldLines(5).empty());
  EXPECT_TRUE(model.fieldLines(-1).empty());

  const void* picked = model.pickObject(3);
  EXPECT_EQ(model.rowOfPick(picked), 3);
  model.setDataSet(parsed(kReports));
  EXPECT_EQ(model.rowOfPick(picked), -1) << "a pick of the set read before";
  EXPECT_EQ(model.rowOfPick(nullptr), -1);
}

}  // namespace
