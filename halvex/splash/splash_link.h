// The link between the tracker and its splash process: a named status block guarded by a named
// semaphore. The tracker (utility side) writes texts and requests; the splash process (splash
// side) shows them and animates its progress bar.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/platform/named_semaphore.h"
#include "common/platform/process.h"
#include "common/platform/shared_block.h"

/// The shared status block at the start of the 4096-byte named block. Texts are NUL-terminated.
/// Every access from either side holds the semaphore.
struct SplashBlock {
  static constexpr std::size_t kTextSize = 256;

  char titleText[kTextSize];   ///< First text line.
  char secondText[kTextSize];  ///< Second text line.
  char thirdText[kTextSize];   ///< Third text line.
  char statusText[kTextSize];  ///< Text above the progress bar.
  std::uint8_t showRequest;    ///< 1: show the splash window and put it on top.
  std::uint8_t hideRequest;    ///< 1: hide the splash window.
  std::int32_t progress;       ///< 0 to 100, the progress bar's filled percentage.
  std::uint8_t closeRequest;   ///< 1: the splash process ends.
  std::uint32_t splashWindow;  ///< X window id of the splash window, 0 while unknown.
  /// Process id of the tracker that started the splash; the splash ends when it is gone.
  std::int32_t utilityProcess;
  /// The tracker's measure of its load, 0 to 100, which the bar then shows; -1 while it has
  /// none and the bar animates.
  std::int32_t loadProgress;
};

static_assert(offsetof(SplashBlock, titleText) == 0, "shared layout");
static_assert(offsetof(SplashBlock, secondText) == 256, "shared layout");
static_assert(offsetof(SplashBlock, thirdText) == 512, "shared layout");
static_assert(offsetof(SplashBlock, statusText) == 768, "shared layout");
static_assert(offsetof(SplashBlock, showRequest) == 1024, "shared layout");
static_assert(offsetof(SplashBlock, hideRequest) == 1025, "shared layout");
static_assert(offsetof(SplashBlock, progress) == 1028, "shared layout");
static_assert(offsetof(SplashBlock, closeRequest) == 1032, "shared layout");
static_assert(offsetof(SplashBlock, splashWindow) == 1036, "shared layout");
static_assert(offsetof(SplashBlock, utilityProcess) == 1040, "shared layout");
static_assert(offsetof(SplashBlock, loadProgress) == 1044, "shared layout");

/// What the splash process takes from the block on one pass.
struct SplashView {
  /// The title, second, third and status texts, each up to its NUL or the end of its field.
  std::string texts[4];
  int progress = 0;          ///< The block's progress clamped to 0..100.
  bool showRequest = false;  ///< Any non-zero byte is a request.
  bool hideRequest = false;
  bool closeRequest = false;
  /// The tracker that started the splash: the block's process id when positive, else -1.
  pid_t utilityProcess = -1;
  /// The block's load progress clamped to 0..100, or -1 when it is negative (none).
  int loadProgress = -1;
};

/// Chooses the splash side's constructor.
struct SplashScreenSide {};

/// One side of the link. The utility side lives in the tracker and owns the splash process; the
/// splash side lives in that process. Without a mapped block every operation does nothing.
class SplashLink {
 public:
  /// The start of the block's and the semaphore's names; nameTag() makes them whole.
  static constexpr const char* kBlockName = "/sm_map_t1";
  static constexpr const char* kSemaphoreName = "/kf_sem_t1";
  static constexpr std::size_t kBlockSize = 4096;
  /// First argument that makes the program the splash process; the name tag is the second.
  static constexpr const char* kSplashArgument = "TeSt";
  static constexpr int kMaxProgress = 100;
  /// How long the tracker waits for the splash window to come up.
  static constexpr unsigned kHandshakeTimeoutMs = 5000;
  /// Longest time either side waits for the semaphore for one request or one pass; a splash
  /// that holds it longer is taken as hung and ended.
  static constexpr unsigned kRequestTimeoutMs = 1000;
  /// How long destruction waits for the splash process to end by itself (it pauses 1 s).
  static constexpr unsigned kCloseTimeoutMs = 3000;

  /// The end of both names that makes them one user's and one tracker's, so that users and
  /// trackers on one host never meet: ".<user id>.<tracker's process id>" and `extra`, e.g.
  /// ".1000.4711" ("/sm_map_t1.1000.4711").
  static std::string nameTag(uid_t user, pid_t tracker, const std::string& extra = "");

  /// Utility side: creates the block and semaphore named with nameTag(getuid(), getpid(),
  /// extraSuffix) afresh (a stale pair of that name, left by an earlier process of this user
  /// with the same process id, is removed), starts `programPath TeSt <name tag>` (a name without
  /// '/' is looked up in PATH) and returns once the splash window is up, the splash process has
  /// ended, or kHandshakeTimeoutMs has passed. The names are removed again once both sides hold
  /// them. A non-empty extraSuffix sets pairs of one process apart.
  explicit SplashLink(const std::string& programPath, const std::string& extraSuffix = "");

  /// Splash side: opens the block and semaphore made by the tracker that started this process,
  /// named with `tag` (the process's second argument), or without one with the tag of this
  /// user and the parent process.
  explicit SplashLink(SplashScreenSide, const std::string& tag = "");

  SplashLink(const SplashLink&) = delete;
  SplashLink& operator=(const SplashLink&) = delete;

  /// Utility side: sets closeRequest, waits up to kCloseTimeoutMs for the splash process to end
  /// and terminates it when it has not. Both sides: unmaps the block.
  ~SplashLink();

  /// Asks the splash to show its window on top (cancels an earlier hide()).
  void show();
  /// Asks the splash to hide its window (cancels an earlier show()); its bar animates again.
  void hide();
  /// Sets the text above the progress bar; null clears it. Long texts are cut to 255 bytes.
  void setStatus(const char* text);
  /// Stores percent clamped to 0..100 as the bar's fill, which stays until the next
  /// setProgress or hide() instead of the splash's animation.
  void setProgress(int percent);

  bool hasBlock() const { return block_.valid(); }

  /// The names of this link's block and semaphore.
  const std::string& blockName() const { return blockName_; }
  const std::string& semaphoreName() const { return semaphoreName_; }

  /// Utility side: whether the splash process runs.
  bool splashRunning() { return splash_.running(); }
  /// Utility side: the splash process's id, or -1 when it is not running.
  pid_t splashProcess() const { return splash_.pid(); }

  /// Copies the block into *out under the semaphore; false without a block.
  bool snapshot(SplashBlock* out);

  /// Splash side: whether the block and semaphore were opened.
  bool attached() const { return block_.valid() && semaphore_.valid(); }
  /// Splash side: the block, to be touched only between lock() and unlock(), or during the
  /// start-up handshake (before finishHandshake()), when the tracker holds the semaphore for us.
  SplashBlock* block() const { return static_cast<SplashBlock*>(block_.data()); }
  /// Splash side: takes the semaphore, waiting at most timeoutMs; false on time-out.
  bool lock(unsigned timeoutMs) { return attached() && semaphore_.wait(timeoutMs); }
  void unlock() { semaphore_.post(); }
  /// Splash side: releases the tracker waiting in its constructor. Call once, window up or not.
  void finishHandshake();
  /// Splash side: whether the tracker that started this process is still there.
  bool utilityAlive() const;

  /// Copies text into a block text field, NUL-terminated, cut at a character boundary.
  static void copyText(char (&field)[SplashBlock::kTextSize], const char* text);

  /// Reads the `size` bytes at `data` as a block's contents, the way the splash process takes
  /// them: whatever the other side wrote there, texts end within their fields and the progress
  /// lies in 0..kMaxProgress. False, with `out` untouched, when fewer bytes than a SplashBlock
  /// are given.
  static bool readBlock(const void* data, std::size_t size, SplashView& out);

 private:
  /// Utility side: takes the semaphore for a request. Recovers it from a splash process that has
  /// ended or holds it beyond kRequestTimeoutMs (that one is ended). False without a block.
  bool lockRequest();
  void startSplash(const std::string& programPath);

  bool utility_;
  std::string tag_;
  std::string blockName_;
  std::string semaphoreName_;
  SharedBlock block_;
  NamedSemaphore semaphore_;
  Process splash_;         ///< Utility side: the splash process.
  pid_t utilityPid_ = -1;  ///< Splash side: the tracker that must stay alive.
  bool handshakeOpen_ = false;
};
