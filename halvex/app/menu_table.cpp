#include "halvex/app/menu_table.h"

namespace {

constexpr int kNoCommand = -1;
constexpr int kInactive = FL_MENU_INACTIVE;
constexpr int kSubmenu = FL_SUBMENU;
constexpr int kDivider = FL_MENU_DIVIDER;
constexpr int kCheckedToggle = FL_MENU_TOGGLE | FL_MENU_VALUE;

/// One row of the table: label (null for the empty item that closes a submenu), flags, command.
struct MenuRow {
  const char* label;
  int flags;
  int command;
};

constexpr int command(MenuCommand c) {
  return static_cast<int>(c);
}

/// The callback of the items that give command C: the user data is the commands object.
template <MenuCommand C>
void chosen(Fl_Widget* /*menu*/, void* user) {
  if (user != nullptr) static_cast<MenuCommands*>(user)->menuCommand(C);
}

/// Callbacks by command index.
constexpr Fl_Callback* kCallbacks[] = {
    chosen<MenuCommand::kLoadProject>,      chosen<MenuCommand::kLoadLocalStream>,
    chosen<MenuCommand::kLoadMap>,          chosen<MenuCommand::kNewProject>,
    chosen<MenuCommand::kNewLocalStream>,   chosen<MenuCommand::kNewCsvDataSet>,
    chosen<MenuCommand::kSaveProject>,      chosen<MenuCommand::kSaveProjectAs>,
    chosen<MenuCommand::kSetAutoStart>,     chosen<MenuCommand::kClearAutoStart>,
    chosen<MenuCommand::kCloseProject>,     chosen<MenuCommand::kShowToolPalette>,
    chosen<MenuCommand::kHideToolPalette>,  chosen<MenuCommand::kToggleLabelDeclutter>,
    chosen<MenuCommand::kShowHistory>,      chosen<MenuCommand::kLoadCsvDataSet>,
    chosen<MenuCommand::kShowFieldReports>, chosen<MenuCommand::kShowNetworkFeeds>,
};
constexpr int kCommandCount = static_cast<int>(sizeof kCallbacks / sizeof kCallbacks[0]);

// Labels keep their trailing blanks; a null label closes the submenu above it.
constexpr MenuRow kRows[kMenuItemCount] = {
    {"file", kSubmenu, kNoCommand},
    {"load", kSubmenu | kDivider, kNoCommand},
    {"project", 0, command(MenuCommand::kLoadProject)},
    {"input streams", kSubmenu, kNoCommand},
    {"local", 0, command(MenuCommand::kLoadLocalStream)},
    {"remote", kInactive, kNoCommand},
    {nullptr, 0, kNoCommand},
    {"map", 0, command(MenuCommand::kLoadMap)},
    {"map set", kInactive, kNoCommand},
    {"data set csv ", 0, command(MenuCommand::kLoadCsvDataSet)},
    {nullptr, 0, kNoCommand},
    {"new", kSubmenu, kNoCommand},
    {"project", 0, command(MenuCommand::kNewProject)},
    {"input streams", kSubmenu, kNoCommand},
    {"local", 0, command(MenuCommand::kNewLocalStream)},
    {"remote", kInactive, kNoCommand},
    {nullptr, 0, kNoCommand},
    {"filter", kInactive, kNoCommand},
    {"data set csv ", 0, command(MenuCommand::kNewCsvDataSet)},
    {nullptr, 0, kNoCommand},
    {"save", kSubmenu, kNoCommand},
    {"project", 0, command(MenuCommand::kSaveProject)},
    {"map", kInactive, kNoCommand},
    {"data set csv", kInactive, kNoCommand},
    {nullptr, 0, kNoCommand},
    {"save as", kSubmenu | kDivider, kNoCommand},
    {"project", 0, command(MenuCommand::kSaveProjectAs)},
    {"map", kInactive, kNoCommand},
    {"map set", kInactive, kNoCommand},
    {"data set csv", kInactive, kNoCommand},
    {nullptr, 0, kNoCommand},
    {"set auto start project", 0, command(MenuCommand::kSetAutoStart)},
    {"clear auto start project   ", kDivider, command(MenuCommand::kClearAutoStart)},
    {"close", 0, command(MenuCommand::kCloseProject)},
    {"exit", kInactive, kNoCommand},
    {nullptr, 0, kNoCommand},
    {"edit", kSubmenu, kNoCommand},
    {"input streams   ", kSubmenu, kNoCommand},
    {"local", kInactive, kNoCommand},
    {"remote", kInactive, kNoCommand},
    {nullptr, 0, kNoCommand},
    {"unload", kSubmenu, kNoCommand},
    {"map", kInactive, kNoCommand},
    {"data set csv", kInactive, kNoCommand},
    {"filter", kInactive, kNoCommand},
    {nullptr, 0, kNoCommand},
    {"start", kSubmenu, kNoCommand},
    {"data set csv", kInactive, kNoCommand},
    {"filter", kInactive, kNoCommand},
    {nullptr, 0, kNoCommand},
    {"pause", kSubmenu, kNoCommand},
    {"data set csv", kInactive, kNoCommand},
    {"filter", kInactive, kNoCommand},
    {nullptr, 0, kNoCommand},
    {nullptr, 0, kNoCommand},
    {"view", kSubmenu, kNoCommand},
    {"display tool palette   ", 0, command(MenuCommand::kShowToolPalette)},
    {"hide tool palette", kDivider, command(MenuCommand::kHideToolPalette)},
    {"live data", kInactive, kNoCommand},
    {"data set csv", kInactive, kNoCommand},
    {"label declutter", kCheckedToggle, command(MenuCommand::kToggleLabelDeclutter)},
    {"history", 0, command(MenuCommand::kShowHistory)},
    {"field reports", 0, command(MenuCommand::kShowFieldReports)},
    {"network feeds", 0, command(MenuCommand::kShowNetworkFeeds)},
    {nullptr, 0, kNoCommand},
    {"help", kSubmenu, kNoCommand},
    {"overview", kInactive, kNoCommand},
    {"tool palette", kInactive, kNoCommand},
    {"map placement   ", kInactive, kNoCommand},
    {"data set csv", kSubmenu | kDivider, kNoCommand},
    {"entering data", kInactive, kNoCommand},
    {"saving data sets", kInactive, kNoCommand},
    {nullptr, 0, kNoCommand},
    {"about polvarin  ", kInactive, kNoCommand},
    {"about kestrane  ", kInactive, kNoCommand},
    {"about halvex  ", kInactive, kNoCommand},
    {nullptr, 0, kNoCommand},
    {nullptr, 0, kNoCommand},
    {nullptr, 0, kNoCommand},
};

}  // namespace

std::vector<Fl_Menu_Item> makeMenuTable(MenuCommands* commands) {
  std::vector<Fl_Menu_Item> items(kMenuItemCount);
  for (int k = 0; k < kMenuItemCount; ++k) {
    const MenuRow& row = kRows[k];
    Fl_Menu_Item& item = items[k];
    item = Fl_Menu_Item{};
    item.text = row.label;
    item.flags = row.flags;
    if (row.label != nullptr) item.user_data_ = commands;
    if (row.command != kNoCommand) item.callback_ = kCallbacks[row.command];
  }
  return items;
}

Fl_Menu_Item* findMenuItem(std::vector<Fl_Menu_Item>& table, MenuCommand command) {
  for (Fl_Menu_Item& item : table) {
    MenuCommand given;
    if (menuItemCommand(item, given) && given == command) return &item;
  }
  return nullptr;
}

bool menuItemCommand(const Fl_Menu_Item& item, MenuCommand& command) {
  for (int k = 0; k < kCommandCount; ++k) {
    if (item.callback_ == kCallbacks[k]) {
      command = static_cast<MenuCommand>(k);
      return true;
    }
  }
  return false;
}
