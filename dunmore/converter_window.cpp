#include "dunmore/converter_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Pack.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Window.H>
#include <FL/filename.H>
#include <FL/fl_ask.H>

#include <algorithm>
#include <cstdio>

#include "common/platform/paths.h"
#include "common/popup/mouse_button_poller.h"
#include "common/popup/popup_tool_window.h"

namespace dunmore {

namespace {

/// Margin of the progress bar within the menu's row.
constexpr int kProgressMargin = 3;

/// Geometry of a row's boxes, relative to the row.
constexpr int kBarX = 21;
constexpr int kBarWidth = 19;
constexpr int kNameX = 40;
constexpr int kBoxY = 1;

/// Longest wait for events between two samples of the mouse buttons while a chooser is shown.
constexpr double kChooserPollSeconds = 0.033;

/// Error lines quoted in the operator's message; the rest are on standard error only.
constexpr int kMaxQuotedErrors = 8;
/// Characters of one quoted error line.
constexpr std::size_t kMaxQuotedErrorChars = 160;

constexpr const char* kNotWrittenFormat = "Could not write the CSV file named %s\n";

/// While it lives, new widgets are top-level whatever group is open.
class TopLevelScope {
 public:
  TopLevelScope() : saved_(Fl_Group::current()) { Fl_Group::current(nullptr); }
  ~TopLevelScope() { Fl_Group::current(saved_); }
  TopLevelScope(const TopLevelScope&) = delete;
  TopLevelScope& operator=(const TopLevelScope&) = delete;

 private:
  Fl_Group* saved_;
};

/// The main window: the pack follows its width.
class MainWindow : public Fl_Window {
 public:
  MainWindow(ConverterWindow& owner, int w, int h) : Fl_Window(0, 0, w, h), owner_(owner) {}
  void resize(int x, int y, int w, int h) override {
    Fl_Window::resize(x, y, w, h);
    owner_.fitPackToWidth(w);
  }

 private:
  ConverterWindow& owner_;
};

ConverterWindow* owner(void* user) {
  return static_cast<ConverterWindow*>(user);
}

void windowClosed(Fl_Widget*, void* user) {
  owner(user)->requestQuit();
}

void addReportChosen(Fl_Widget*, void* user) {
  owner(user)->addReport();
}

void convertReportsChosen(Fl_Widget*, void* user) {
  owner(user)->convertReports();
}

void exitChosen(Fl_Widget*, void* user) {
  owner(user)->requestQuit();
}

/// The items whose chooser has nothing behind it: the choice is not used.
template <ConverterWindow::Chooser C>
void chooserOnly(Fl_Widget*, void* user) {
  owner(user)->runChooser(C);
}

constexpr int kHidden = FL_MENU_INVISIBLE | FL_MENU_INACTIVE;

/// A menu item with the menu's label look.
Fl_Menu_Item item(const char* label, Fl_Callback* callback, int flags) {
  return {label,        0,
          callback,     nullptr,
          flags,        FL_NORMAL_LABEL,
          FL_HELVETICA, ConverterWindow::kMenuLabelSize,
          FL_BLACK};
}

/// The item that closes a submenu or the table.
const Fl_Menu_Item kEnd = {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0};

/// The menu; the user data of every item becomes the window when the bar copies it.
const Fl_Menu_Item kMenuTable[] = {
    item("file", nullptr, FL_SUBMENU),
    item("open configuration file", chooserOnly<ConverterWindow::kOpenConfiguration>, kHidden),
    item("append configuration file", chooserOnly<ConverterWindow::kAppendConfiguration>, kHidden),
    item("save configuration file", chooserOnly<ConverterWindow::kSaveConfiguration>, kHidden),
    item("add report", addReportChosen, 0),
    item("convert reports", convertReportsChosen, 0),
    item("view conversion", chooserOnly<ConverterWindow::kViewConversion>, kHidden),
    item("exit", exitChosen, kHidden),
    kEnd,
    item("help", nullptr, FL_SUBMENU),
    item("about dunmore", nullptr, FL_MENU_INACTIVE),
    kEnd,
    kEnd,
};

/// `text` as the toolkit draws it literally: '@' would otherwise start a symbol.
std::string literalLabel(const std::string& text) {
  std::string label;
  for (char c : text) {
    label += c;
    if (c == '@') label += '@';
  }
  return label;
}

/// `format` with its one "%s" filled in.
std::string formatted(const char* format, const std::string& value) {
  const int size = std::snprintf(nullptr, 0, format, value.c_str());
  if (size <= 0) return std::string();
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(&text[0], text.size(), format, value.c_str());
  text.resize(static_cast<std::size_t>(size));
  return text;
}

/// Everything written to `file` so far.
std::string readBack(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  return text;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

/// A conversion's progress, shown in the window.
class WindowProgress : public ProgressListener {
 public:
  explicit WindowProgress(ConverterWindow& window) : window_(window) {}
  void update(const ConversionProgress& progress) override { window_.showProgress(progress); }
  void finish() override { window_.hideProgress(); }

 private:
  ConverterWindow& window_;
};

}  // namespace

// ---- ReportFileRow ----

ReportFileRow::ReportFileRow(int x, int y, const std::string& name, ConverterWindow& owner)
    : Fl_Group(x, y, kWidth, kHeight), owner_(owner), name_(name) {
  box(FL_NO_BOX);
  bar_ = new Fl_Box(FL_FLAT_BOX, x + kBarX, y + kBoxY, kBarWidth, kHeight, "|");
  nameBox_ =
      new Fl_Box(FL_FLAT_BOX, x + kNameX, y + kBoxY, kWidth - kNameX - 1, kHeight - 1, nullptr);
  nameBox_->copy_label(literalLabel(name).c_str());
  nameBox_->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  // Only the name widens with the row, so the boxes keep their places in a wider list.
  resizable(nameBox_);
  end();
}

int ReportFileRow::handle(int event) {
  switch (event) {
    case FL_ENTER:
      setHovered(true);
      return 1;
    case FL_LEAVE:
      setHovered(false);
      return 1;
    case FL_MOVE:
      return 1;
    case FL_PUSH:
      if (Fl::event_button() == FL_RIGHT_MOUSE) {
        owner_.showPopupBelow(*this);
        return 1;
      }
      return Fl_Group::handle(event);
    default:
      return Fl_Group::handle(event);
  }
}

void ReportFileRow::setHovered(bool hovered) {
  if (hovered == this->hovered()) return;
  box(hovered ? kHoverBox : FL_NO_BOX);
  // The row draws no background of its own, so the window redraws everything under it.
  if (Fl_Window* win = window()) win->damage(FL_DAMAGE_ALL, x(), y(), w(), h());
}

// ---- messages ----

std::string conversionMessage(const std::string& csvName, const ConvertResult& result,
                              const std::string& errors) {
  std::string text =
      formatted(result.csvWritten ? ConverterWindow::kConvertedFormat : kNotWrittenFormat, csvName);
  if (result.failed == 0) return text;
  text += "\n" + std::to_string(result.failed) + " of " +
          std::to_string(result.parsed + result.failed) +
          " report files could not be read to their end (reports before an error are kept):\n";
  int quoted = 0, more = 0;
  std::size_t start = 0;
  while (start < errors.size()) {
    std::size_t end = errors.find('\n', start);
    if (end == std::string::npos) end = errors.size();
    std::string line = errors.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    if (quoted == kMaxQuotedErrors) {
      ++more;
      continue;
    }
    if (line.size() > kMaxQuotedErrorChars) line = line.substr(0, kMaxQuotedErrorChars) + "...";
    text += line + "\n";
    ++quoted;
  }
  if (more > 0) text += "(" + std::to_string(more) + " more lines on standard error)\n";
  return text;
}

// ---- ConverterWindow ----

ConverterWindow::ConverterWindow(MouseButtonPoller* poller) : poller_(poller) {
  const TopLevelScope scope;
  window_ = std::make_unique<MainWindow>(*this, kWidth, kHeight);
  window_->callback(windowClosed, this);
  menuBar_ = new Fl_Menu_Bar(0, 0, kWidth, kMenuHeight);
  menuBar_->copy(kMenuTable, this);
  scroll_ = new Fl_Scroll(0, kMenuHeight, kWidth, kHeight - kMenuHeight);
  scroll_->type(Fl_Scroll::VERTICAL_ALWAYS);
  pack_ = new Fl_Pack(0, kMenuHeight, kWidth, kHeight - kMenuHeight);
  pack_->box(FL_THIN_UP_FRAME);
  pack_->color(kPackColor);
  pack_->end();
  scroll_->resizable(pack_);
  scroll_->end();
  // Over the empty right end of the menu's row, while a long conversion runs.
  progress_ = new Fl_Progress(kWidth - kProgressWidth - kProgressMargin, kProgressMargin,
                              kProgressWidth, kMenuHeight - 2 * kProgressMargin);
  progress_->minimum(0);
  progress_->maximum(100);
  progress_->hide();
  window_->resizable(scroll_);
  window_->end();

  popup_ = std::make_unique<PopupToolWindow>(0, 0, kPopupWidth, kPopupHeight,
                                             PopupToolWindow::Variant::kConverter);
  popup_->box(FL_FLAT_BOX);
  popup_->color(kPopupColor);
  auto* popupPack = new Fl_Pack(0, 0, kPopupWidth, kPopupHeight);
  popupPack->box(FL_NO_BOX);
  popupPack->color(kPopupPackColor);
  popupPack->end();
  popup_->end();

  for (int i = 0; i < kChooserCount; ++i) {
    const int type = i == kAddReport ? Fl_File_Chooser::MULTI : Fl_File_Chooser::CREATE;
    choosers_[i] =
        std::make_unique<Fl_File_Chooser>(kChooserDirectory, kChooserFilter, type, kChooserTitle);
  }
}

ConverterWindow::~ConverterWindow() = default;

void ConverterWindow::show() {
  window_->show();
}

ReportFileRow* ConverterWindow::row(int i) const {
  if (i < 0 || i >= pack_->children()) return nullptr;
  return static_cast<ReportFileRow*>(pack_->child(i));
}

void ConverterWindow::fitPackToWidth(int width) {
  if (pack_ != nullptr) pack_->resize(pack_->x(), pack_->y(), width, pack_->h());
}

void ConverterWindow::runChooser(Chooser which) {
  Fl_File_Chooser& chooser = *choosers_[which];
  // Typing a name may leave the chooser in single selection; each showing starts multiple.
  if (which == kAddReport) chooser.type(Fl_File_Chooser::MULTI);
  chooser.rescan();
  chooser.show();
  while (chooser.shown()) {
    Fl::wait(kChooserPollSeconds);
    if (poller_ != nullptr) poller_->poll();
  }
}

void ConverterWindow::showPopupBelow(const Fl_Widget& row) {
  popup_->position(window_->x_root() + row.x(), window_->y_root() + row.y() + row.h());
  popup_->show();
  // The press that opened the popup is not one outside it.
  if (poller_ != nullptr) poller_->resync();
}

void ConverterWindow::addReport() {
  runChooser(kAddReport);
  Fl_File_Chooser& chooser = *choosers_[kAddReport];
  std::vector<std::string> chosen;
  const int count = chooser.count();
  for (int i = 1; i <= count; ++i) {
    const char* name = chooser.value(i);  // the chooser's own buffer: copied at once
    if (name != nullptr && *name != '\0') chosen.emplace_back(name);
  }
  addReportFiles(chosen);
}

int ConverterWindow::addReportFiles(const std::vector<std::string>& chosen) {
  int added = 0;
  for (const std::string& path : chosen) {
    if (path.empty() || fl_filename_isdir(path.c_str())) continue;
    const std::string name = relativeToCurrentDirectory(path);
    if (std::find(reportFiles_.begin(), reportFiles_.end(), name) != reportFiles_.end()) continue;
    reportFiles_.push_back(name);
    // Placed where the pack lays it out, so that it is in place before the next drawing.
    const int x = pack_->x() + Fl::box_dx(pack_->box());
    const int y =
        pack_->y() + Fl::box_dy(pack_->box()) + pack_->children() * ReportFileRow::kHeight;
    auto* row = new ReportFileRow(x, y, name, *this);
    pack_->add(row);
    row->redraw();
    ++added;
  }
  if (added > 0) {
    pack_->redraw();
    scroll_->redraw();
  }
  return added;
}

void ConverterWindow::convertReports() {
  runChooser(kConvertReports);
  const char* chosen = choosers_[kConvertReports]->value();
  if (chosen == nullptr || *chosen == '\0') return;  // cancelled
  const WindowConversion done = convertInto(chosen);
  std::fputs(done.message.c_str(), stdout);
  std::fflush(stdout);
  const std::string shown = literalLabel(done.message);
  if (done.result.csvWritten)
    fl_message("%s", shown.c_str());
  else
    fl_alert("%s", shown.c_str());
}

WindowConversion ConverterWindow::convertInto(const std::string& chosen) {
  WindowConversion done;
  done.csvName = relativeToCurrentDirectory(chosen);
  csvName_ = done.csvName;
  // The errors are kept for the message as well as passed on to standard error.
  std::unique_ptr<std::FILE, FileCloser> errors(std::tmpfile());
  ConvertOutput output;
  if (errors) output.err = errors.get();
  WindowProgress progress(*this);
  output.progress = &progress;
  // The window redraws during a long conversion, with the menu that changes the list inactive.
  const std::vector<std::string> files = reportFiles_;
  done.result = dunmore::convertReports(processReportSet(), done.csvName, files, output);
  if (errors) {
    done.errors = readBack(errors.get());
    std::fwrite(done.errors.data(), 1, done.errors.size(), stderr);
    std::fflush(stderr);
  }
  done.message = conversionMessage(done.csvName, done.result, done.errors);
  return done;
}

void ConverterWindow::showProgress(const ConversionProgress& progress) {
  if (progress.seconds < kProgressDelaySeconds) return;
  if (!progress_->visible()) {
    menuBar_->deactivate();
    progress_->show();
    window_->redraw();
  }
  progress_->value(static_cast<float>(progress.percent()));
  progress_->copy_label(
      (std::to_string(progress.filesDone) + " of " + std::to_string(progress.fileCount) + " files")
          .c_str());
  Fl::check();
}

void ConverterWindow::hideProgress() {
  if (!progress_->visible()) return;
  progress_->hide();
  menuBar_->activate();
  window_->redraw();
}

}  // namespace dunmore
