// The tracker's side of the splash link driving a real splash process (splash_stub) under a
// virtual X server; the window is checked through the X server itself.
#include <FL/Fl.H>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "common/platform/named_semaphore.h"
#include "common/platform/process.h"
#include "common/platform/shared_block.h"
#include "halvex/splash/splash_link.h"
#include "tests/support/scratch_dir.h"

// Xlib's macros (None, Bool, Status) must come after the test framework's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 490;
constexpr int kHeight = 160;
constexpr int kBarX = 25;
constexpr int kBarRow = 126;  ///< A row through the middle of the progress bar.
constexpr int kBarWidth = 445;

long long msSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

/// Polls `done` every 20 ms for at most ms milliseconds.
bool waitFor(const std::function<bool()>& done, int ms) {
  const auto start = Clock::now();
  for (;;) {
    if (done()) return true;
    if (msSince(start) > ms) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

/// Names of this test's own, so that test processes running side by side do not meet.
std::string uniqueSuffix() {
  static int serial = 0;
  return "_test" + std::to_string(getpid()) + "_" + std::to_string(serial++);
}

/// Sets (or with null removes) an environment variable for the scope; splash children
/// started meanwhile inherit it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

/// Whether process pid has ended (gone, or a zombie nobody has reaped yet).
bool processEnded(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const std::size_t close = line.rfind(')');
  return close != std::string::npos && line.size() > close + 2 && line[close + 2] == 'Z';
}

/// The tracker's side with the stub as its splash, and a connection to the X server.
class SplashTest : public ::testing::Test {
 protected:
  // One connection for the whole suite: the virtual server resets when its last client leaves,
  // and refuses connections meanwhile.
  static void SetUpTestSuite() {
    display_ = XOpenDisplay(nullptr);
    // A splash window may go between reading its id from the block and asking about it: the
    // request then fails (shownWindow gives 0) instead of Xlib ending the test process.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  static void TearDownTestSuite() {
    if (display_ != nullptr) XCloseDisplay(display_);
    display_ = nullptr;
  }
  void SetUp() override { ASSERT_NE(display_, nullptr) << "needs an X server"; }

  std::unique_ptr<SplashLink> start(const std::string& suffix) {
    return std::make_unique<SplashLink>(SPLASH_STUB, suffix);
  }

  SplashBlock snapshot(SplashLink& link) {
    SplashBlock b{};
    EXPECT_TRUE(link.snapshot(&b));
    return b;
  }

  /// The splash window as the block names it, once it is mapped; 0 until then.
  Window shownWindow(SplashLink& link) {
    const Window w = snapshot(link).splashWindow;
    XWindowAttributes a{};
    if (w == 0 || !XGetWindowAttributes(display_, w, &a)) return 0;
    return a.map_state == IsViewable ? w : 0;
  }

  /// Pixel (x, y) of window w as 0xRRGGBB.
  unsigned long pixel(Window w, int x, int y) {
    XImage* image = XGetImage(display_, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return ULONG_MAX;
    const unsigned long p = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return p;
  }

  /// A checksum of the area (x, y, w, h) of window win.
  unsigned long long areaHash(Window win, int x, int y, int w, int h) {
    XImage* image = XGetImage(display_, win, x, y, w, h, AllPlanes, ZPixmap);
    if (image == nullptr) return 0;
    unsigned long long hash = 1469598103934665603ULL;
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) hash = (hash ^ XGetPixel(image, i, j)) * 1099511628211ULL;
    }
    XDestroyImage(image);
    return hash;
  }

  /// The width of the progress bar's fill, read from its middle row.
  int barWidth(Window w) {
    const unsigned long fill = rgb(94);
    XImage* image = XGetImage(display_, w, kBarX, kBarRow, kBarWidth, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return -1;
    int n = 0;
    while (n < kBarWidth && (XGetPixel(image, n, 0) & 0xFFFFFF) == fill) ++n;
    XDestroyImage(image);
    return n;
  }

  /// The RGB value of a colour index of the toolkit's colour map.
  static unsigned long rgb(int index) { return Fl::get_color(static_cast<Fl_Color>(index)) >> 8; }

  /// The splash window once it is mapped and painted; 0 until then.
  Window paintedWindow(SplashLink& link) {
    const Window w = shownWindow(link);
    return w != 0 && pixel(w, 480, 150) == rgb(188) ? w : 0;
  }

  static Display* display_;
};

Display* SplashTest::display_ = nullptr;

TEST_F(SplashTest, WindowComesUpCentredBorderlessAndOnTopBeforeTheTrackerGoesOn) {
  const auto started = Clock::now();
  auto link = start(uniqueSuffix());
  EXPECT_LT(msSince(started), SplashLink::kHandshakeTimeoutMs);
  ASSERT_TRUE(link->hasBlock());
  ASSERT_TRUE(link->splashRunning());

  // The handshake returns only once the window is up and the initial texts are in the block.
  const SplashBlock b = snapshot(*link);
  EXPECT_STREQ(b.titleText, "Polvarin/Kestrane Orvane");
  EXPECT_STRNE(b.secondText, "");
  EXPECT_STREQ(b.thirdText, "Program Loading");
  EXPECT_STREQ(b.statusText, "Initializing System");
  EXPECT_EQ(b.utilityProcess, getpid());
  const Window w = b.splashWindow;
  ASSERT_NE(w, 0u);

  ASSERT_TRUE(waitFor([&] { return shownWindow(*link) != 0; }, 3000));
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(display_, w, &a));
  EXPECT_EQ(a.width, kWidth);
  EXPECT_EQ(a.height, kHeight);
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(display_, w, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
  EXPECT_EQ(x, (DisplayWidth(display_, DefaultScreen(display_)) - kWidth) / 2);
  EXPECT_EQ(y, (DisplayHeight(display_, DefaultScreen(display_)) - kHeight) / 2);

  // Kept above other windows.
  Atom state = XInternAtom(display_, "_NET_WM_STATE", True);
  Atom above = XInternAtom(display_, "_NET_WM_STATE_ABOVE", True);
  ASSERT_NE(state, static_cast<Atom>(0));
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(display_, w, state, 0, 16, False, XA_ATOM, &type, &format, &count,
                               &after, &data),
            Success);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(reinterpret_cast<Atom*>(data)[0], above);
  XFree(data);

  // Findable by its class, as window tools look for it.
  FILE* search = popen("xdotool search --classname halvex_splash", "r");
  ASSERT_NE(search, nullptr);
  std::set<unsigned long> found;
  unsigned long id = 0;
  while (std::fscanf(search, "%lu", &id) == 1) found.insert(id);
  pclose(search);
  EXPECT_EQ(found.count(w), 1u);
}

TEST_F(SplashTest, ColoursBlinkingSquareAndAnimatedBar) {
  auto link = start(uniqueSuffix());
  Window w = 0;
  ASSERT_TRUE(waitFor([&] { return (w = paintedWindow(*link)) != 0; }, 3000));  // background
  EXPECT_EQ(pixel(w, 485, 32), rgb(15));                                        // title strip
  EXPECT_EQ(pixel(w, 468, 130), rgb(40));  // end of the trough, never filled (at most 98 %)

  std::set<unsigned long> squareColours;
  std::set<int> widths;
  const auto start = Clock::now();
  while (msSince(start) < 2500 && (squareColours.size() < 2 || widths.size() < 3)) {
    squareColours.insert(pixel(w, 15, 15));
    widths.insert(barWidth(w));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  EXPECT_EQ(squareColours, (std::set<unsigned long>{rgb(216), rgb(219)}));
  EXPECT_GE(widths.size(), 3u);
  // Every fill seen is progress × 445 / 100 for an even progress below 100.
  for (int width : widths) {
    bool matches = false;
    for (int p = 0; p < 100; p += 2) matches = matches || width == p * kBarWidth / 100;
    EXPECT_TRUE(matches) << width;
  }
}

TEST_F(SplashTest, TheTrackersProgressHoldsTheBarUntilTheSplashIsHidden) {
  auto link = start(uniqueSuffix());
  Window w = 0;
  ASSERT_TRUE(waitFor([&] { return (w = paintedWindow(*link)) != 0; }, 3000));
  link->setProgress(73);  // odd: never a step of the animation
  const int held = 73 * kBarWidth / 100;
  ASSERT_TRUE(waitFor([&] { return barWidth(w) == held; }, 2000));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));  // four animation ticks
  EXPECT_EQ(barWidth(w), held);
  link->hide();
  EXPECT_EQ(snapshot(*link).loadProgress, -1);
  link->show();
  ASSERT_TRUE(waitFor([&] { return (w = paintedWindow(*link)) != 0; }, 3000));
  EXPECT_TRUE(waitFor([&] { return barWidth(w) != held; }, 2000));
}

TEST_F(SplashTest, StatusTextReachesTheWindow) {
  auto link = start(uniqueSuffix());
  Window w = 0;
  ASSERT_TRUE(waitFor([&] { return (w = paintedWindow(*link)) != 0; }, 3000));
  // The status line, above the trough; the second and third lines end above it.
  auto statusArea = [&] { return areaHash(w, 0, 96, kWidth, 23); };
  unsigned long long initial = 0;
  ASSERT_TRUE(waitFor(
      [&] {
        const unsigned long long h = statusArea();
        const bool steady = h == initial;
        initial = h;
        return steady;
      },
      2000));

  link->setStatus("Loading map: northern sector @ 1:50000");
  EXPECT_STREQ(snapshot(*link).statusText, "Loading map: northern sector @ 1:50000");
  EXPECT_TRUE(waitFor([&] { return statusArea() != initial; }, 2000));
  link->setStatus("Initializing System");
  EXPECT_TRUE(waitFor([&] { return statusArea() == initial; }, 2000));

  // An over-long status is cut to the field; the splash keeps running with it.
  link->setStatus(std::string(1000, 'x').c_str());
  EXPECT_EQ(std::strlen(snapshot(*link).statusText), SplashBlock::kTextSize - 1);
  link->setStatus(nullptr);
  EXPECT_STREQ(snapshot(*link).statusText, "");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(link->splashRunning());
}

TEST_F(SplashTest, HideThenShowLeavesItShown) {
  auto link = start(uniqueSuffix());
  ASSERT_TRUE(waitFor([&] { return shownWindow(*link) != 0; }, 3000));

  link->hide();
  ASSERT_TRUE(waitFor([&] { return shownWindow(*link) == 0; }, 2000));
  EXPECT_TRUE(link->splashRunning());  // a hidden window does not end the splash
  link->show();
  ASSERT_TRUE(waitFor([&] { return shownWindow(*link) != 0; }, 2000));

  // Back to back, before the splash's next pass: the later request wins.
  link->hide();
  link->show();
  const SplashBlock b = snapshot(*link);
  EXPECT_EQ(b.hideRequest, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_NE(shownWindow(*link), 0u);
  link->show();
  link->hide();
  EXPECT_EQ(snapshot(*link).showRequest, 0);
  EXPECT_TRUE(waitFor([&] { return shownWindow(*link) == 0; }, 2000));
}

TEST_F(SplashTest, DestructionEndsTheSplashEvenWhenHidden) {
  ScratchDir dir;
  const std::string mark = dir.path("splash_result");
  ScopedEnv env("SPLASH_STUB_MARK", mark.c_str());
  auto link = start(uniqueSuffix());
  ASSERT_TRUE(waitFor([&] { return shownWindow(*link) != 0; }, 3000));
  link->hide();
  ASSERT_TRUE(waitFor([&] { return shownWindow(*link) == 0; }, 2000));
  const pid_t pid = link->splashProcess();
  ASSERT_GT(pid, 0);

  const auto start = Clock::now();
  link.reset();
  const long long took = msSince(start);
  EXPECT_LT(took, SplashLink::kCloseTimeoutMs);  // ended by itself, not terminated
  EXPECT_GE(took, 900);                          // after its 1000 ms pause
  std::printf("splash process ended %lld ms after the close request\n", took);
  EXPECT_EQ(kill(pid, 0), -1);
  EXPECT_EQ(dir.read("splash_result"), "0\n");
}

TEST_F(SplashTest, StaleNamesOfAKilledTrackerDoNotBlockTheNextStart) {
  const std::string suffix = uniqueSuffix();
  // What a tracker killed during its start leaves: a block of garbage and a semaphore held.
  const std::string tag = SplashLink::nameTag(getuid(), getpid(), suffix);
  SharedBlock staleBlock;
  ASSERT_TRUE(staleBlock.create(SplashLink::kBlockName + tag, 64));
  std::memset(staleBlock.data(), 0xFF, 64);
  NamedSemaphore staleSemaphore;
  ASSERT_TRUE(staleSemaphore.create(SplashLink::kSemaphoreName + tag, 0));

  const auto started = Clock::now();
  auto link = start(suffix);
  EXPECT_LT(msSince(started), 3000);
  ASSERT_TRUE(link->hasBlock());
  EXPECT_TRUE(link->splashRunning());
  EXPECT_STREQ(snapshot(*link).thirdText, "Program Loading");
  EXPECT_TRUE(waitFor([&] { return shownWindow(*link) != 0; }, 3000));
  // Once both sides hold them, the names are gone: nothing stale is left if this one is killed.
  EXPECT_EQ(link->blockName(), SplashLink::kBlockName + tag);
  SharedBlock reopened;
  EXPECT_FALSE(reopened.open(SplashLink::kBlockName + tag, 64));
  NamedSemaphore reopenedSemaphore;
  EXPECT_FALSE(reopenedSemaphore.open(SplashLink::kSemaphoreName + tag));
}

TEST_F(SplashTest, TwoTrackersAtOnceEachTalkToTheirOwnSplash) {
  auto first = start(uniqueSuffix());
  auto second = start(uniqueSuffix());
  ASSERT_TRUE(first->splashRunning());
  ASSERT_TRUE(second->splashRunning());
  EXPECT_NE(first->blockName(), second->blockName());
  EXPECT_NE(first->semaphoreName(), second->semaphoreName());
  Window a = 0, b = 0;
  ASSERT_TRUE(waitFor([&] { return (a = shownWindow(*first)) != 0; }, 3000));
  ASSERT_TRUE(waitFor([&] { return (b = shownWindow(*second)) != 0; }, 3000));
  EXPECT_NE(a, b);
  first->setStatus("first tracker");
  second->setStatus("second tracker");
  EXPECT_STREQ(snapshot(*first).statusText, "first tracker");
  EXPECT_STREQ(snapshot(*second).statusText, "second tracker");
  // Each splash answers its own tracker only.
  first->hide();
  ASSERT_TRUE(waitFor([&] { return shownWindow(*first) == 0; }, 2000));
  EXPECT_NE(shownWindow(*second), 0u);
  EXPECT_TRUE(second->splashRunning());
}

TEST_F(SplashTest, SplashEndsWhenItsTrackerIsKilled) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string suffix = uniqueSuffix();
  const pid_t tracker = fork();
  ASSERT_GE(tracker, 0);
  if (tracker == 0) {
    close(fds[0]);
    SplashLink link(SPLASH_STUB, suffix);
    const pid_t splash = link.splashRunning() ? link.splashProcess() : -1;
    if (write(fds[1], &splash, sizeof splash) != sizeof splash) _exit(1);
    for (;;) pause();
  }
  close(fds[1]);
  pid_t splash = -1;
  ASSERT_EQ(read(fds[0], &splash, sizeof splash), static_cast<ssize_t>(sizeof splash));
  close(fds[0]);
  ASSERT_GT(splash, 0);
  kill(tracker, SIGKILL);
  waitpid(tracker, nullptr, 0);
  const auto killed = Clock::now();
  EXPECT_TRUE(waitFor([&] { return processEnded(splash); }, 3000));
  std::printf("orphaned splash ended %lld ms after its tracker\n", msSince(killed));
  if (!processEnded(splash)) kill(splash, SIGKILL);
}

// --- The splash missing, dead or stuck: the tracker goes on. ---

TEST_F(SplashTest, SplashThatCannotStartOrDiesAtOnceDoesNotHoldUpTheTracker) {
  for (const char* program : {"/nonexistent/halvex", "/bin/false"}) {
    const auto started = Clock::now();
    SplashLink link(program, uniqueSuffix());
    EXPECT_LT(msSince(started), 500) << program;
    EXPECT_TRUE(link.hasBlock());
    EXPECT_FALSE(link.splashRunning());
    const auto requests = Clock::now();
    link.show();
    link.setStatus("still fine");
    EXPECT_LT(msSince(requests), 100);
    EXPECT_STREQ(snapshot(link).statusText, "still fine");
  }
  ScopedEnv mode("SPLASH_STUB_MODE", "abort");
  const auto started = Clock::now();
  auto link = start(uniqueSuffix());
  EXPECT_LT(msSince(started), 1000);
  EXPECT_FALSE(link->splashRunning());
}

TEST_F(SplashTest, SilentSplashIsEndedAfterTheHandshakeTimeOut) {
  ScopedEnv mode("SPLASH_STUB_MODE", "hang");
  const auto started = Clock::now();
  auto link = start(uniqueSuffix());
  const long long took = msSince(started);
  EXPECT_GE(took, SplashLink::kHandshakeTimeoutMs - 100);
  EXPECT_LT(took, SplashLink::kHandshakeTimeoutMs + 1500);
  EXPECT_FALSE(link->splashRunning());
  const auto requests = Clock::now();
  link->hide();
  EXPECT_LT(msSince(requests), 100);
  EXPECT_EQ(snapshot(*link).hideRequest, 1);
}

TEST_F(SplashTest, SplashStuckHoldingTheSemaphoreIsEndedOnce) {
  ScopedEnv mode("SPLASH_STUB_MODE", "hold");
  auto link = start(uniqueSuffix());
  ASSERT_TRUE(link->splashRunning());
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // it takes the semaphore
  auto started = Clock::now();
  link->show();
  const long long first = msSince(started);
  EXPECT_GE(first, SplashLink::kRequestTimeoutMs - 100);
  EXPECT_LT(first, SplashLink::kRequestTimeoutMs + 1500);
  EXPECT_FALSE(link->splashRunning());
  started = Clock::now();
  for (int i = 0; i < 100; ++i) link->hide();
  EXPECT_LT(msSince(started), 200);
  EXPECT_EQ(snapshot(*link).hideRequest, 1);
}

TEST_F(SplashTest, WithoutADisplayTheTrackerStartsQuickly) {
  ScopedEnv noDisplay("DISPLAY", nullptr);
  const auto started = Clock::now();
  auto link = start(uniqueSuffix());
  EXPECT_LT(msSince(started), 1000);
  ASSERT_TRUE(link->hasBlock());
  EXPECT_TRUE(waitFor([&] { return !link->splashRunning(); }, 1000));
  link->setProgress(30);
  EXPECT_EQ(snapshot(*link).progress, 30);
}

TEST(SplashLinkTest, WithoutABlockEveryRequestDoesNothing) {
  // The error box needs a display; without one the error only goes to the standard output.
  ScopedEnv noDisplay("DISPLAY", nullptr);
  const auto started = Clock::now();
  SplashLink link(SPLASH_STUB, "/not/a/name");
  EXPECT_LT(msSince(started), 500);
  EXPECT_FALSE(link.hasBlock());
  EXPECT_EQ(link.splashProcess(), -1);
  link.show();
  link.hide();
  link.setStatus("nothing");
  link.setProgress(50);
  SplashBlock b{};
  EXPECT_FALSE(link.snapshot(&b));
}

TEST(SplashLinkTest, ProgressIsClamped) {
  SplashLink link("/nonexistent/halvex", uniqueSuffix());  // a block and no splash to animate it
  ASSERT_TRUE(link.hasBlock());
  SplashBlock b{};
  const std::pair<int, int> cases[] = {{150, 100}, {-5, 0},    {0, 0},       {100, 100},
                                       {42, 42},   {101, 100}, {INT_MIN, 0}, {INT_MAX, 100}};
  for (const auto& [given, stored] : cases) {
    link.setProgress(given);
    ASSERT_TRUE(link.snapshot(&b));
    EXPECT_EQ(b.progress, stored) << given;
  }
}

TEST(SplashLinkTest, TextsAreCutWithinTheFieldAtACharacterBoundary) {
  char field[SplashBlock::kTextSize];
  std::memset(field, 'z', sizeof field);
  SplashLink::copyText(field, "short");
  EXPECT_STREQ(field, "short");
  SplashLink::copyText(field, nullptr);
  EXPECT_STREQ(field, "");

  const std::string exact(SplashBlock::kTextSize - 1, 'a');
  SplashLink::copyText(field, exact.c_str());
  EXPECT_EQ(std::string(field), exact);

  // 254 ASCII bytes and a two-byte "é": the "é" would straddle the end, so it goes whole.
  const std::string straddling = std::string(254, 'a') + "\xC3\xA9" + "tail";
  SplashLink::copyText(field, straddling.c_str());
  EXPECT_EQ(std::string(field), std::string(254, 'a'));
  // 253 bytes and "é" fit exactly.
  const std::string fitting = std::string(253, 'a') + "\xC3\xA9" + "tail";
  SplashLink::copyText(field, fitting.c_str());
  EXPECT_EQ(std::string(field), std::string(253, 'a') + "\xC3\xA9");
  // A four-byte character cut after its second byte.
  const std::string wide = std::string(253, 'a') + "\xF0\x9F\x97\xBA";
  SplashLink::copyText(field, wide.c_str());
  EXPECT_EQ(std::string(field), std::string(253, 'a'));
}

TEST(SplashLinkTest, NamesCarryTheUserAndTheTrackersProcess) {
  EXPECT_EQ(SplashLink::nameTag(1000, 4711), ".1000.4711");
  EXPECT_EQ(SplashLink::nameTag(0, 1, "_x"), ".0.1_x");
  EXPECT_NE(SplashLink::nameTag(1000, 4711), SplashLink::nameTag(1001, 4711));
  EXPECT_NE(SplashLink::nameTag(1000, 4711), SplashLink::nameTag(1000, 4712));

  const std::string suffix = uniqueSuffix();
  SplashLink link("/nonexistent/halvex", suffix);
  const std::string tag = SplashLink::nameTag(getuid(), getpid(), suffix);
  EXPECT_EQ(link.blockName(), std::string(SplashLink::kBlockName) + tag);
  EXPECT_EQ(link.semaphoreName(), std::string(SplashLink::kSemaphoreName) + tag);
  EXPECT_EQ(link.blockName().find('/', 1), std::string::npos);
}

TEST(SplashLinkTest, LinksOfOneProcessOrOfTwoProcessesDoNotMeet) {
  // One process, two suffixes.
  SplashLink one("/nonexistent/halvex", uniqueSuffix());
  SplashLink two("/nonexistent/halvex", uniqueSuffix());
  ASSERT_TRUE(one.hasBlock());
  ASSERT_TRUE(two.hasBlock());
  EXPECT_NE(one.blockName(), two.blockName());
  one.setStatus("one");
  two.setStatus("two");
  SplashBlock b{};
  ASSERT_TRUE(one.snapshot(&b));
  EXPECT_STREQ(b.statusText, "one");
  ASSERT_TRUE(two.snapshot(&b));
  EXPECT_STREQ(b.statusText, "two");

  // Two processes with the same suffix: the process ids set the names apart.
  const std::string suffix = uniqueSuffix();
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t other = fork();
  ASSERT_GE(other, 0);
  if (other == 0) {
    close(fds[0]);
    SplashLink link("/nonexistent/halvex", suffix);
    char name[256] = {};
    std::snprintf(name, sizeof name, "%s", link.blockName().c_str());
    if (write(fds[1], name, sizeof name) != sizeof name) _exit(1);
    _exit(link.hasBlock() ? 0 : 1);
  }
  close(fds[1]);
  SplashLink mine("/nonexistent/halvex", suffix);
  char name[256] = {};
  ASSERT_EQ(read(fds[0], name, sizeof name), static_cast<ssize_t>(sizeof name));
  close(fds[0]);
  int status = 0;
  ASSERT_EQ(waitpid(other, &status, 0), other);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(std::string(name),
            SplashLink::kBlockName + SplashLink::nameTag(getuid(), other, suffix));
  EXPECT_NE(mine.blockName(), std::string(name));
  EXPECT_TRUE(mine.hasBlock());
}

TEST(SplashLinkTest, AStaleBlockOfThisUsersNameIsReplacedByAFreshOne) {
  const std::string suffix = uniqueSuffix();
  const std::string tag = SplashLink::nameTag(getuid(), getpid(), suffix);
  // Too small and full of garbage: reused, it would give the tracker garbage or SIGBUS.
  SharedBlock stale;
  ASSERT_TRUE(stale.create(SplashLink::kBlockName + tag, 64));
  std::memset(stale.data(), 0xFF, 64);
  NamedSemaphore staleSemaphore;
  ASSERT_TRUE(staleSemaphore.create(SplashLink::kSemaphoreName + tag, 0));

  SplashLink link("/nonexistent/halvex", suffix);
  ASSERT_TRUE(link.hasBlock());
  SplashBlock b{};
  ASSERT_TRUE(link.snapshot(&b));  // the semaphore is a fresh one with its unit
  EXPECT_STREQ(b.titleText, "");
  EXPECT_STREQ(b.statusText, "");
  EXPECT_EQ(b.utilityProcess, getpid());
  EXPECT_EQ(static_cast<unsigned char*>(stale.data())[0], 0xFF);  // the old one is not written
}

TEST(SplashLinkTest, TheSplashSideOpensTheNamesItIsGivenOrItsParentsOwn) {
  const std::string tagA = SplashLink::nameTag(getuid(), getpid(), uniqueSuffix());
  const std::string tagB = SplashLink::nameTag(getuid(), getpid(), uniqueSuffix());
  const std::string parentTag = SplashLink::nameTag(getuid(), getpid());
  SharedBlock blocks[3];
  NamedSemaphore semaphores[3];
  const std::string tags[3] = {tagA, tagB, parentTag};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(blocks[i].create(SplashLink::kBlockName + tags[i], SplashLink::kBlockSize));
    ASSERT_TRUE(semaphores[i].create(SplashLink::kSemaphoreName + tags[i], 0));
    static_cast<SplashBlock*>(blocks[i].data())->progress = 10 + i;
  }
  for (int i = 0; i < 2; ++i) {
    SplashLink splash(SplashScreenSide{}, tags[i]);
    ASSERT_TRUE(splash.attached());
    EXPECT_EQ(splash.block()->progress, 10 + i);
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SplashLink splash(SplashScreenSide{});
    _exit(splash.attached() && splash.block()->progress == 12 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (const std::string& tag : tags) {
    SharedBlock::unlink(SplashLink::kBlockName + tag);
    NamedSemaphore::unlink(SplashLink::kSemaphoreName + tag);
  }
}

TEST(SplashLinkTest, ReadingABlockKeepsTextsInTheirFieldsAndProgressInRange) {
  SplashBlock block;
  std::memset(&block, 'x', sizeof block);  // no NUL anywhere
  block.progress = -7;
  block.showRequest = 0;
  block.hideRequest = 0xFE;
  block.closeRequest = 1;
  block.utilityProcess = -3;
  SplashView view;
  ASSERT_TRUE(SplashLink::readBlock(&block, sizeof block, view));
  for (const std::string& text : view.texts)
    EXPECT_EQ(text, std::string(SplashBlock::kTextSize, 'x'));
  EXPECT_EQ(view.progress, 0);
  EXPECT_FALSE(view.showRequest);
  EXPECT_TRUE(view.hideRequest);
  EXPECT_TRUE(view.closeRequest);
  EXPECT_EQ(view.utilityProcess, -1);

  SplashLink::copyText(block.statusText, "Loading");
  block.progress = 1000;
  block.utilityProcess = 4711;
  ASSERT_TRUE(SplashLink::readBlock(&block, sizeof block, view));
  EXPECT_EQ(view.texts[3], "Loading");
  EXPECT_EQ(view.progress, SplashLink::kMaxProgress);
  EXPECT_EQ(view.utilityProcess, 4711);

  SplashView untouched;
  EXPECT_FALSE(SplashLink::readBlock(&block, sizeof block - 1, untouched));
  EXPECT_FALSE(SplashLink::readBlock(nullptr, sizeof block, untouched));
  EXPECT_EQ(untouched.texts[3], "");
}

TEST(SplashScreenTest, SplashWithoutItsTrackerEndsAtOnce) {
  Process splash;
  ASSERT_TRUE(splash.start(SPLASH_STUB, {"TeSt", uniqueSuffix()}));  // no such block
  EXPECT_TRUE(splash.wait(2000));
  EXPECT_EQ(splash.exitStatus(), 1);
}

}  // namespace
