// The widgets of the tracker's main window: the drawing surface, the menu bar and the strip of
// buttons that open the settings windows.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Menu_Item.H>

#include <functional>

/// The main window's widget record, the base part of the main window object: builds the window
/// once, hidden, and exposes every widget so that its owner binds the callbacks. The menu bar
/// is only as wide as its titles and the button strip starts right of it, so that no button
/// lies under the menu bar.
class MainWindowUi {
 public:
  static constexpr int kWidth = 837;            ///< Window width, px.
  static constexpr int kHeight = 877;           ///< Window height, px.
  static constexpr int kSurfaceY = 25;          ///< Top of the drawing surface, px.
  static constexpr int kSurfaceWidth = 835;     ///< Drawing surface width, px.
  static constexpr int kSurfaceHeight = 850;    ///< Drawing surface height, px.
  static constexpr int kStripHeight = 25;       ///< Height of the menu bar and the buttons, px.
  static constexpr int kButtonWidth = 90;       ///< Width of each strip button, px.
  static constexpr int kFillerWidth = 475;      ///< Width of the empty box after the buttons, px.
  static constexpr int kMenuBarMargin = 6;      ///< Space the menu bar keeps before its first
                                                ///< and after its last title, px.
  static constexpr int kMenuTitlePadding = 16;  ///< Space the menu bar adds to each title, px.

  /// Makes the drawing surface at (x, y, w, h) inside the window being built.
  using SurfaceFactory = std::function<Fl_Widget*(int x, int y, int w, int h)>;

  /// Builds the window, hidden. The drawing surface comes from `makeSurface`, or is an empty
  /// box when it is null or returns null. The menu bar starts with a placeholder menu of the
  /// four titles "file", "edit", "view" and "help". Opens the display, to measure the titles.
  explicit MainWindowUi(const SurfaceFactory& makeSurface = nullptr);
  virtual ~MainWindowUi();
  MainWindowUi(const MainWindowUi&) = delete;
  MainWindowUi& operator=(const MainWindowUi&) = delete;

  /// Shows `items` in the menu bar (not copied: they must outlive the window or the next call),
  /// then fits the menu bar to its titles and moves the button strip right of it.
  void installMenu(const Fl_Menu_Item* items);
  /// Width the menu bar needs for the titles of its menu, px (opens the display if needed).
  int menuBarWidthNeeded() const;

  Fl_Double_Window* mainWindow = nullptr;  ///< The main window; owned, deleted with this.
  Fl_Widget* drawSurface = nullptr;        ///< The three-dimensional view at (0, 25).
  Fl_Button* filesButton = nullptr;        ///< "Files": shows the master configuration dialog.
  Fl_Button* graphicsButton = nullptr;     ///< "Graphics": shows the tool window.
  Fl_Button* inputsButton = nullptr;       ///< "Inputs": shows the inputs dialog.
  Fl_Button* outputsButton = nullptr;      ///< "Outputs": shows the outputs dialog.
  Fl_Box* stripFiller = nullptr;           ///< Empty box after the buttons.
  Fl_Menu_Bar* menuBar = nullptr;          ///< The menu bar at the window's top left.

 private:
  /// Fits the menu bar to its titles and moves the buttons and the filler right of it.
  void layoutStrip();
};
