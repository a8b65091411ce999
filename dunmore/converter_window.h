// The converter's window: a menu bar over the scrolled list of the report files chosen so far,
// the popup under a row, and the file choosers behind the menu.
#pragma once

#include <FL/Fl_Group.H>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "dunmore/converter.h"

class Fl_Box;
class Fl_File_Chooser;
class Fl_Menu_Bar;
class Fl_Pack;
class Fl_Progress;
class Fl_Scroll;
class Fl_Window;
class MouseButtonPoller;
class PopupToolWindow;

namespace dunmore {

class ConverterWindow;

/// One row of the report file list: a "|" box and the file name. Framed while the pointer is
/// over it; the right button shows the window's popup below it.
class ReportFileRow : public Fl_Group {
 public:
  static constexpr int kWidth = 340;
  static constexpr int kHeight = 20;
  static constexpr Fl_Boxtype kHoverBox = FL_THIN_DOWN_FRAME;

  ReportFileRow(int x, int y, const std::string& name, ConverterWindow& owner);

  int handle(int event) override;

  /// The file name the row shows.
  const std::string& name() const { return name_; }
  bool hovered() const { return box() == kHoverBox; }
  Fl_Box* barBox() const { return bar_; }
  Fl_Box* nameBox() const { return nameBox_; }

 private:
  void setHovered(bool hovered);

  ConverterWindow& owner_;
  std::string name_;
  std::string label_;  ///< the name with '@' doubled, as the toolkit draws it literally
  Fl_Box* bar_;
  Fl_Box* nameBox_;
};

/// Outcome of a conversion started from the window.
struct WindowConversion {
  std::string csvName;  ///< the chosen CSV file, relative to the current directory
  ConvertResult result;
  std::string errors;   ///< the scanner and parser errors, as written to standard error
  std::string message;  ///< what the operator is told
};

/// The text telling the operator how a conversion into `csvName` went: the completion line,
/// or that the CSV file could not be written, then the files that failed with their first
/// error lines.
std::string conversionMessage(const std::string& csvName, const ConvertResult& result,
                              const std::string& errors);

/// The converter's one window and what belongs to it.
class ConverterWindow {
 public:
  /// The file choosers, one per menu action that shows one.
  enum Chooser {
    kOpenConfiguration,
    kAppendConfiguration,
    kSaveConfiguration,
    kAddReport,
    kConvertReports,
    kViewConversion,
    kChooserCount,
  };

  static constexpr int kWidth = 363;
  static constexpr int kHeight = 140;
  static constexpr int kMenuHeight = 25;
  static constexpr int kPopupWidth = 191;
  static constexpr int kPopupHeight = 33;
  static constexpr int kMenuLabelSize = 14;
  static constexpr Fl_Color kPackColor = 47;
  static constexpr Fl_Color kPopupColor = 1;
  static constexpr Fl_Color kPopupPackColor = 2;
  static constexpr const char* kChooserDirectory = ".";
  static constexpr const char* kChooserFilter = "text files (*.txt)";
  static constexpr const char* kChooserTitle = "Save the current Filter settings";
  static constexpr const char* kConvertedFormat = "Reports converted into CSV file named %s\n";
  static constexpr double kProgressDelaySeconds = 1.0;
  static constexpr int kProgressWidth = 180;

  /// Builds the window and its popup and choosers, all hidden. `poller` is the program loop's,
  /// also polled while a chooser is shown; may be null.
  explicit ConverterWindow(MouseButtonPoller* poller = nullptr);
  ~ConverterWindow();
  ConverterWindow(const ConverterWindow&) = delete;
  ConverterWindow& operator=(const ConverterWindow&) = delete;

  void show();
  /// Set when the window was closed or "exit" chosen.
  bool quitRequested() const { return quit_; }
  void requestQuit() { quit_ = true; }

  /// "add report": shows the chooser and adds what was chosen.
  void addReport();
  /// Adds files as the chooser names them: each made relative to the current directory, and
  /// skipped when it is listed already or is a directory. Returns the number of rows added.
  int addReportFiles(const std::vector<std::string>& chosen);

  /// "convert reports": shows the chooser and, unless it was cancelled, converts into the
  /// chosen file and tells the operator how it went.
  void convertReports();
  /// Converts every listed file into `chosen` (as the chooser names it), with the scanner and
  /// parser errors on standard error as on the command line.
  WindowConversion convertInto(const std::string& chosen);

  /// Once a conversion has run for kProgressDelaySeconds: shows the bar in the menu's row with
  /// the files done and the share read, the menu inactive meanwhile, and lets the window redraw.
  void showProgress(const ConversionProgress& progress);
  /// Takes the bar down and makes the menu active again.
  void hideProgress();

  /// Shows the chooser and processes events, polling the mouse buttons, until it is hidden.
  void runChooser(Chooser which);
  /// Shows the popup below `row`, at its left edge.
  void showPopupBelow(const Fl_Widget& row);

  const std::vector<std::string>& reportFiles() const { return reportFiles_; }
  const std::string& csvName() const { return csvName_; }

  Fl_Window* window() const { return window_.get(); }
  Fl_Menu_Bar* menuBar() const { return menuBar_; }
  Fl_Scroll* scroll() const { return scroll_; }
  Fl_Pack* pack() const { return pack_; }
  Fl_Progress* progressBar() const { return progress_; }
  PopupToolWindow* popup() const { return popup_.get(); }
  Fl_File_Chooser* chooser(Chooser which) const { return choosers_[which].get(); }
  /// The row of the i-th listed file.
  ReportFileRow* row(int i) const;

  /// Gives the pack the window's width, keeping its position and height.
  void fitPackToWidth(int width);

 private:
  std::array<std::unique_ptr<Fl_File_Chooser>, kChooserCount> choosers_;
  std::unique_ptr<PopupToolWindow> popup_;
  std::unique_ptr<Fl_Window> window_;  ///< owns the menu bar, scroll, pack and rows
  Fl_Menu_Bar* menuBar_ = nullptr;
  Fl_Scroll* scroll_ = nullptr;
  Fl_Pack* pack_ = nullptr;
  Fl_Progress* progress_ = nullptr;
  MouseButtonPoller* poller_;
  bool quit_ = false;
  std::string csvName_;
  std::vector<std::string> reportFiles_;
};

}  // namespace dunmore
