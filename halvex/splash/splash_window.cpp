#include "halvex/splash/splash_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_ask.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include <cstdio>
#include <memory>

#include "common/platform/sleep.h"
#include "common/popup/window_above.h"
#include "halvex/splash/splash_link.h"

namespace {

constexpr int kWidth = 490;
constexpr int kHeight = 160;
constexpr int kBarX = 25;
constexpr int kBarY = 120;
constexpr int kBarWidth = 445;  ///< Full width of the progress bar: the trough's.
constexpr int kBarHeight = 12;

constexpr Fl_Color kBackgroundColor = 188;
constexpr Fl_Color kTitleColor = 15;
constexpr Fl_Color kTitleLabelColor = 7;
constexpr Fl_Color kBlinkOnColor = 219;
constexpr Fl_Color kBlinkOffColor = 216;
constexpr Fl_Color kTroughColor = 40;
constexpr Fl_Color kBarColor = 94;

constexpr Fl_Fontsize kLineSize = 22;
constexpr Fl_Fontsize kThirdLineSize = 18;

constexpr const char* kTitleText = "Polvarin/Kestrane Orvane";
constexpr const char* kSecondText = "www.polvarin-kestrane.example";
constexpr const char* kThirdText = "Program Loading";
constexpr const char* kStatusText = "Initializing System";
/// Window class, by which tests and window managers find the splash window.
constexpr const char* kWindowClass = "halvex_splash";

constexpr double kWaitSeconds = 1.0;       ///< Longest wait for events in one pass.
constexpr double kAnimationSeconds = 0.1;  ///< Period of the timer that advances the bar.
constexpr int kAnimationStep = 2;
constexpr unsigned kClosingPauseMs = 1000;

/// A label text for FLTK: '@' would start a symbol, "@@" draws one '@'.
std::string escapedLabel(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '@') out += '@';
  }
  return out;
}

/// A box whose label follows a text of the block, copied only when the text changes.
class TextBox {
 public:
  explicit TextBox(Fl_Box* box) : box_(box) {}
  /// Takes a text of the block.
  void set(const std::string& text) {
    if (text_ == text) return;
    text_ = text;
    box_->copy_label(escapedLabel(text).c_str());
  }

 private:
  Fl_Box* box_;
  std::string text_;
};

/// The splash window and its boxes; the window owns the boxes.
class SplashWindow {
 public:
  SplashWindow() {
    int sx = 0, sy = 0, sw = 0, sh = 0;
    Fl::screen_xywh(sx, sy, sw, sh, 0);
    window_.reset(new Fl_Double_Window(sx + (sw - kWidth) / 2, sy + (sh - kHeight) / 2, kWidth,
                                       kHeight, kTitleText));
    window_->clear_border();
    window_->xclass(kWindowClass);
    window_->callback(onClose, this);

    Fl_Box* background = new Fl_Box(FL_FLAT_BOX, 0, 0, kWidth, kHeight, nullptr);
    background->color(kBackgroundColor);
    Fl_Box* title = new Fl_Box(FL_FLAT_BOX, 0, 0, kWidth, 35, nullptr);
    title->color(kTitleColor);
    title->labelsize(kLineSize);
    title->labelcolor(kTitleLabelColor);
    square_ = new Fl_Box(FL_FLAT_BOX, 5, 5, 25, 25, nullptr);
    square_->color(kBlinkOnColor);
    Fl_Box* second = new Fl_Box(0, 40, kWidth, 30);
    second->labelsize(kLineSize);
    Fl_Box* third = new Fl_Box(0, 65, kWidth, 30);
    third->labelsize(kThirdLineSize);
    Fl_Box* trough = new Fl_Box(FL_FLAT_BOX, kBarX, kBarY, kBarWidth, kBarHeight, nullptr);
    trough->color(kTroughColor);
    trough->align(FL_ALIGN_TOP);
    bar_ = new Fl_Box(FL_FLAT_BOX, kBarX, kBarY, 0, kBarHeight, nullptr);
    bar_->color(kBarColor);
    window_->end();

    texts_[0] = TextBox(title);
    texts_[1] = TextBox(second);
    texts_[2] = TextBox(third);
    texts_[3] = TextBox(trough);
  }

  /// Shows the window on top and returns its X window id (a new one after every hide).
  unsigned long show() {
    window_->show();
    Fl::flush();
    keepWindowAbove(window_.get());
    return fl_xid(window_.get());
  }
  void hide() { window_->hide(); }
  bool closed() const { return closed_; }

  /// Takes the block's texts and progress, and blinks the square.
  void update(const SplashView& view) {
    for (int i = 0; i < 4; ++i) texts_[i].set(view.texts[i]);
    bar_->size(view.progress * kBarWidth / SplashLink::kMaxProgress, kBarHeight);
    blink_ = !blink_;
    square_->color(blink_ ? kBlinkOffColor : kBlinkOnColor);
    window_->redraw();
  }

 private:
  /// Closing by the window system ends the splash; Escape does not.
  static void onClose(Fl_Widget*, void* self) {
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    static_cast<SplashWindow*>(self)->closed_ = true;
  }

  std::unique_ptr<Fl_Double_Window> window_;
  Fl_Box* square_ = nullptr;
  Fl_Box* bar_ = nullptr;
  TextBox texts_[4] = {TextBox(nullptr), TextBox(nullptr), TextBox(nullptr), TextBox(nullptr)};
  bool blink_ = false;
  bool closed_ = false;
};

/// Set by the animation timer, taken by the loop: the pass stands for a timer tick.
bool timerTicked = false;

void onAnimationTimer(void*) {
  timerTicked = true;
  Fl::repeat_timeout(kAnimationSeconds, onAnimationTimer);
}

/// Serves the tracker's requests until it asks to close or is gone, or the window is closed.
void serveRequests(SplashLink& link, SplashWindow& window) {
  int counter = 0;  // the animation counter, 0 to 98
  Fl::add_timeout(kAnimationSeconds, onAnimationTimer);
  for (;;) {
    // Unlike FLTK's usual loop, a hidden window does not end this one: only a request does.
    Fl::wait(kWaitSeconds);
    if (window.closed() || !link.utilityAlive()) break;
    const bool tick = timerTicked;
    timerTicked = false;
    if (link.lock(SplashLink::kRequestTimeoutMs)) {
      SplashBlock& block = *link.block();
      SplashView view;
      SplashLink::readBlock(&block, SplashLink::kBlockSize, view);
      // The tracker's measure of a long load, else the animation.
      view.progress = view.loadProgress >= 0 ? view.loadProgress : counter;
      block.progress = view.progress;
      window.update(view);
      if (view.showRequest) {
        block.splashWindow = static_cast<std::uint32_t>(window.show());
      } else if (view.hideRequest) {
        window.hide();
        block.splashWindow = 0;
      }
      block.showRequest = block.hideRequest = 0;
      link.unlock();
      if (view.closeRequest) break;
    }
    if (tick) counter = (counter + kAnimationStep) % (SplashLink::kMaxProgress);
  }
  Fl::remove_timeout(onAnimationTimer);
}

}  // namespace

int runSplashScreen(const std::string& nameTag) {
  SplashLink link(SplashScreenSide{}, nameTag);
  if (!link.attached()) {
    std::printf("Splash screen: no status block from the tracker\n");
    return 1;
  }
  // Opened here rather than by FLTK, which would end the process without a display.
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::printf("Splash screen: cannot open the display\n");
    return 1;  // the link's end releases the waiting tracker
  }
  fl_open_display(display);
  {
    SplashWindow window;
    // The tracker holds the semaphore for us until finishHandshake().
    SplashBlock& block = *link.block();
    SplashLink::copyText(block.titleText, kTitleText);
    SplashLink::copyText(block.secondText, kSecondText);
    SplashLink::copyText(block.thirdText, kThirdText);
    SplashLink::copyText(block.statusText, kStatusText);
    SplashView view;
    SplashLink::readBlock(&block, SplashLink::kBlockSize, view);
    window.update(view);
    block.splashWindow = static_cast<std::uint32_t>(window.show());
    link.finishHandshake();
    serveRequests(link, window);
    window.hide();
    Fl::flush();
  }
  std::printf("Closing the program\n");
  std::fflush(stdout);
  sleepMs(kClosingPauseMs);
  return 0;
}

void showSplashError(const char* call, int code) {
  std::printf("Error on %s = %d\n", call, code);
  std::fflush(stdout);
  if (fl_display == nullptr) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return;
    fl_open_display(display);
  }
  fl_alert("Error on %s = %d\n", call, code);
}
