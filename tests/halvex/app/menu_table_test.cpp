#include "halvex/app/menu_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

/// Records the commands the items give.
struct Recorder : MenuCommands {
  void menuCommand(MenuCommand command) override { given.push_back(command); }
  std::vector<MenuCommand> given;
};

/// The path of every item that has a label, as "file/load/project", with its flags.
struct Entry {
  std::string path;
  int flags;
  const Fl_Menu_Item* item;
};

std::vector<Entry> walk(const Fl_Menu_Item* item, const std::string& prefix, int& read) {
  std::vector<Entry> entries;
  for (; item->text != nullptr; ++item) {
    ++read;
    const std::string path = prefix + item->text;
    entries.push_back({path, item->flags, item});
    if (item->flags & FL_SUBMENU) {
      std::vector<Entry> inner = walk(item + 1, path + "/", read);
      entries.insert(entries.end(), inner.begin(), inner.end());
      item = item->next(1) - 1;  // the loop steps past the submenu and its closing item
    }
  }
  ++read;  // the closing item
  return entries;
}

const Entry* find(const std::vector<Entry>& entries, const std::string& path) {
  for (const Entry& e : entries)
    if (e.path == path) return &e;
  return nullptr;
}

TEST(MenuTable, SeventyNineItemsInFourMenusWithTheirKindsAndLabels) {
  Recorder recorder;
  std::vector<Fl_Menu_Item> table = makeMenuTable(&recorder);
  ASSERT_EQ(table.size(), static_cast<size_t>(kMenuItemCount));
  int read = 0;
  const std::vector<Entry> entries = walk(table.data(), "", read);
  // After the help menu's closing item come the top level's and one more: three in all.
  EXPECT_EQ(read + 1, kMenuItemCount);
  EXPECT_EQ(table[76].text, nullptr);
  EXPECT_EQ(table[77].text, nullptr);
  EXPECT_EQ(table[78].text, nullptr);

  std::vector<std::string> top;
  for (const Entry& e : entries)
    if (e.path.find('/') == std::string::npos) top.push_back(e.path);
  EXPECT_EQ(top, (std::vector<std::string>{"file", "edit", "view", "help"}));
  std::vector<std::string> view;
  for (const Entry& e : entries)
    if (e.path.rfind("view/", 0) == 0) view.push_back(e.path.substr(5));
  EXPECT_EQ(view, (std::vector<std::string>{"display tool palette   ", "hide tool palette",
                                            "live data", "data set csv", "label declutter",
                                            "history", "field reports", "network feeds"}));
  // The declutter item is a check item, checked as the setting starts.
  EXPECT_EQ(find(entries, "view/label declutter")->flags, FL_MENU_TOGGLE | FL_MENU_VALUE);

  // Trailing blanks belong to the labels.
  for (const char* path :
       {"file/load/data set csv ", "file/new/data set csv ", "file/clear auto start project   ",
        "edit/input streams   ", "view/display tool palette   ", "help/map placement   ",
        "help/about polvarin  ", "help/about kestrane  ", "help/about halvex  "}) {
    EXPECT_NE(find(entries, path), nullptr) << path;
  }
  // Dividers follow these items.
  for (const char* path : {"file/load", "file/save as", "file/clear auto start project   ",
                           "view/hide tool palette", "help/data set csv"}) {
    ASSERT_NE(find(entries, path), nullptr) << path;
    EXPECT_TRUE(find(entries, path)->flags & FL_MENU_DIVIDER) << path;
  }
  // Exactly these items are usable commands; every other leaf is inactive.
  const std::vector<std::string> active = {"file/load/project",
                                           "file/load/input streams/local",
                                           "file/load/map",
                                           "file/load/data set csv ",
                                           "file/new/project",
                                           "file/new/input streams/local",
                                           "file/new/data set csv ",
                                           "file/save/project",
                                           "file/save as/project",
                                           "file/set auto start project",
                                           "file/clear auto start project   ",
                                           "file/close",
                                           "view/display tool palette   ",
                                           "view/hide tool palette",
                                           "view/label declutter",
                                           "view/history",
                                           "view/field reports",
                                           "view/network feeds"};
  int leaves = 0;
  for (const Entry& e : entries) {
    if (e.flags & FL_SUBMENU) continue;
    ++leaves;
    const bool usable = std::find(active.begin(), active.end(), e.path) != active.end();
    EXPECT_EQ(!(e.flags & FL_MENU_INACTIVE), usable) << e.path;
    MenuCommand command;
    EXPECT_EQ(menuItemCommand(*e.item, command), usable) << e.path;
    EXPECT_EQ(e.item->user_data(), &recorder) << e.path;
  }
  EXPECT_EQ(leaves, 47);
  EXPECT_TRUE(find(entries, "file/exit")->flags & FL_MENU_INACTIVE);
}

TEST(MenuTable, ItemsGiveTheirCommandsToTheWindow) {
  Recorder recorder;
  std::vector<Fl_Menu_Item> table = makeMenuTable(&recorder);
  int read = 0;
  const std::vector<Entry> entries = walk(table.data(), "", read);
  const Entry* local = find(entries, "file/load/input streams/local");
  const Entry* hide = find(entries, "view/hide tool palette");
  ASSERT_TRUE(local && hide);
  local->item->do_callback(nullptr);
  hide->item->do_callback(nullptr);
  Fl_Menu_Item* declutter = findMenuItem(table, MenuCommand::kToggleLabelDeclutter);
  ASSERT_EQ(declutter, find(entries, "view/label declutter")->item);
  declutter->do_callback(nullptr);
  Fl_Menu_Item* history = findMenuItem(table, MenuCommand::kShowHistory);
  ASSERT_EQ(history, find(entries, "view/history")->item);
  history->do_callback(nullptr);
  find(entries, "file/load/data set csv ")->item->do_callback(nullptr);
  find(entries, "view/field reports")->item->do_callback(nullptr);
  find(entries, "view/network feeds")->item->do_callback(nullptr);
  EXPECT_EQ(recorder.given,
            (std::vector<MenuCommand>{MenuCommand::kLoadLocalStream, MenuCommand::kHideToolPalette,
                                      MenuCommand::kToggleLabelDeclutter, MenuCommand::kShowHistory,
                                      MenuCommand::kLoadCsvDataSet, MenuCommand::kShowFieldReports,
                                      MenuCommand::kShowNetworkFeeds}));
}

}  // namespace
