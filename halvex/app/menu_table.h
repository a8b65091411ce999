// The tracker's menu: every item of the menu bar, its kind and the command it gives.
#pragma once

#include <FL/Fl_Menu_Item.H>

#include <vector>

/// What the active menu items ask of the main window.
enum class MenuCommand {
  kLoadProject,
  kLoadLocalStream,  ///< "load", "input streams", "local"
  kLoadMap,
  kNewProject,
  kNewLocalStream,  ///< "new", "input streams", "local"
  kNewCsvDataSet,
  kSaveProject,
  kSaveProjectAs,
  kSetAutoStart,
  kClearAutoStart,
  kCloseProject,
  kShowToolPalette,
  kHideToolPalette,
  kToggleLabelDeclutter,  ///< "view", "label declutter": a check item
  kShowHistory,           ///< "view", "history": opens the history window
  kLoadCsvDataSet,        ///< "load", "data set csv ": attaches an existing CSV file
  kShowFieldReports,      ///< "view", "field reports": opens the filter-key window
  kShowNetworkFeeds,      ///< "view", "network feeds": opens the network feeds window
};

/// Receives the commands of the menu items.
class MenuCommands {
 public:
  virtual ~MenuCommands() = default;
  virtual void menuCommand(MenuCommand command) = 0;
};

/// Items of the menu table, the closing empty items included.
constexpr int kMenuItemCount = 79;

/// A writable copy of the menu table with `commands` as the user data of every item.
std::vector<Fl_Menu_Item> makeMenuTable(MenuCommands* commands);

/// The first item of `table` that gives `command`, or null.
Fl_Menu_Item* findMenuItem(std::vector<Fl_Menu_Item>& table, MenuCommand command);

/// The command of an item of a table made by makeMenuTable, for tests; false for items without.
bool menuItemCommand(const Fl_Menu_Item& item, MenuCommand& command);
