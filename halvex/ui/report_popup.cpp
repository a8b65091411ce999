#include "halvex/ui/report_popup.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Group.H>
#include <FL/fl_draw.H>

#include <algorithm>

#include "common/popup/popup_tool_window.h"
#include "halvex/ui/ui_kit.h"

namespace {

/// Size of the popup before it is first filled, px.
constexpr int kInitialSize = 10;
/// Background of the popup: lighter than the windows, so that it reads as a note over the map.
constexpr Fl_Color kBackground = FL_LIGHT3;

}  // namespace

ReportPopup::ReportPopup() {
  // The popup is a window of its own, not a child of whatever group is being built.
  Fl_Group* const current = Fl_Group::current();
  Fl_Group::current(nullptr);
  window_ =
      new PopupToolWindow(0, 0, kInitialSize, kInitialSize, PopupToolWindow::Variant::kTracker);
  box_ = new LiteralLabel<Fl_Box>(0, 0, kInitialSize, kInitialSize);
  box_->box(FL_BORDER_BOX);
  box_->color(kBackground);
  box_->labelsize(kTextSize);
  box_->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  window_->end();
  Fl_Group::current(current);
}

ReportPopup::~ReportPopup() {
  delete window_;
}

void ReportPopup::show(const std::vector<std::string>& lines, int x, int y) {
  text_.clear();
  const size_t count = std::min(lines.size(), static_cast<size_t>(kMaxLines));
  for (size_t k = 0; k < count; ++k) {
    if (k > 0) text_ += '\n';
    text_ += lines[k];
  }
  if (lines.size() > count) text_ += "\n...";
  // Shown as they are: "@" in a field starts no symbol, "&" no shortcut.
  setLiteralLabel(box_, text_);
  fl_font(box_->labelfont(), box_->labelsize());
  int w = 0, h = 0;
  fl_measure(box_->label(), w, h);
  w = std::min(w + 2 * kMargin, kMaxWidth);
  h += 2 * kMargin;
  int screenX = 0, screenY = 0, screenW = 0, screenH = 0;
  Fl::screen_xywh(screenX, screenY, screenW, screenH, x, y);
  x = std::max(screenX, std::min(x, screenX + screenW - w));
  y = std::max(screenY, std::min(y, screenY + screenH - h));
  window_->resize(x, y, w, h);
  box_->resize(0, 0, w, h);
  window_->show();
  window_->redraw();
}

void ReportPopup::hide() {
  window_->hide();
}

bool ReportPopup::shown() const {
  return window_->shown() != 0 && window_->visible() != 0;
}
