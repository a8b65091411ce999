// The popup that shows one field report's fields where the operator picked its marker.
#pragma once

#include <string>
#include <vector>

class Fl_Box;
class PopupToolWindow;

/// A borderless popup of the tracker's kind listing "column: value" lines, one a row. A press
/// outside it or a click in it closes it. Built hidden with its owner.
class ReportPopup {
 public:
  static constexpr int kMargin = 6;      ///< Space around the text, px.
  static constexpr int kTextSize = 13;   ///< Text size of the lines.
  static constexpr int kMaxWidth = 600;  ///< Widest popup: longer lines are cut, px.
  static constexpr int kMaxLines = 60;   ///< Lines shown at most; more end in "...".

  ReportPopup();
  ~ReportPopup();
  ReportPopup(const ReportPopup&) = delete;
  ReportPopup& operator=(const ReportPopup&) = delete;

  /// Shows `lines` with the popup's top left corner at screen point (x, y), moved in so that
  /// the popup stays on the screen.
  void show(const std::vector<std::string>& lines, int x, int y);
  void hide();
  bool shown() const;

  PopupToolWindow* window() const { return window_; }
  /// The text shown, lines joined by line feeds.
  const std::string& text() const { return text_; }

 private:
  PopupToolWindow* window_ = nullptr;  ///< Owned.
  Fl_Box* box_ = nullptr;
  std::string text_;
};
