#include "halvex/splash/splash_link.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "halvex/splash/splash_window.h"

namespace {

/// Step of the handshake wait, between checks that the splash process still runs.
constexpr unsigned kHandshakeStepMs = 20;

}  // namespace

void SplashLink::copyText(char (&field)[SplashBlock::kTextSize], const char* text) {
  std::size_t n = text == nullptr ? 0 : strnlen(text, SplashBlock::kTextSize - 1);
  // A cut inside a UTF-8 sequence (continuation bytes are 10xxxxxx) drops that whole character.
  if (text != nullptr) {
    while (n > 0 && text[n] != '\0' && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  if (n > 0) std::memcpy(field, text, n);
  field[n] = '\0';
}

std::string SplashLink::nameTag(uid_t user, pid_t tracker, const std::string& extra) {
  return "." + std::to_string(user) + "." + std::to_string(tracker) + extra;
}

bool SplashLink::readBlock(const void* data, std::size_t size, SplashView& out) {
  if (data == nullptr || size < sizeof(SplashBlock)) return false;
  // A copy, so that what is checked is what is used while the other side writes on.
  SplashBlock b;
  std::memcpy(&b, data, sizeof b);
  const char* fields[4] = {b.titleText, b.secondText, b.thirdText, b.statusText};
  for (int i = 0; i < 4; ++i) {
    out.texts[i].assign(fields[i], strnlen(fields[i], SplashBlock::kTextSize));
  }
  out.progress = b.progress < 0 ? 0 : (b.progress > kMaxProgress ? kMaxProgress : b.progress);
  out.showRequest = b.showRequest != 0;
  out.hideRequest = b.hideRequest != 0;
  out.closeRequest = b.closeRequest != 0;
  out.utilityProcess = b.utilityProcess > 0 ? static_cast<pid_t>(b.utilityProcess) : -1;
  out.loadProgress = b.loadProgress < 0 ? -1 : std::min<std::int32_t>(b.loadProgress, kMaxProgress);
  return true;
}

SplashLink::SplashLink(const std::string& programPath, const std::string& extraSuffix)
    : utility_(true),
      tag_(nameTag(getuid(), getpid(), extraSuffix)),
      blockName_(kBlockName + tag_),
      semaphoreName_(kSemaphoreName + tag_) {
  // Fresh names every time: a block or semaphore of this name left by a killed process of this
  // user (its count may be stuck at 0) is removed and made anew, so it cannot hold up this start.
  if (!semaphore_.create(semaphoreName_, 1)) {
    showSplashError("sem_open", semaphore_.lastError());
    return;
  }
  semaphore_.tryWait();  // new, so the unit is there; held across the splash's start-up
  if (!block_.create(blockName_, kBlockSize)) {
    showSplashError(block_.failedCall(), block_.lastError());
    semaphore_.post();
    semaphore_.close();
    NamedSemaphore::unlink(semaphoreName_);
    return;
  }
  SplashBlock* b = block();
  b->titleText[0] = b->secondText[0] = b->thirdText[0] = b->statusText[0] = '\0';
  b->showRequest = b->hideRequest = 0;
  b->progress = 0;
  b->closeRequest = 0;
  b->splashWindow = 0;
  b->utilityProcess = static_cast<std::int32_t>(getpid());
  b->loadProgress = -1;
  startSplash(programPath);
  semaphore_.post();
  // Both sides have opened them by now (or never will); nothing is left behind if the tracker
  // is killed later.
  SharedBlock::unlink(blockName_);
  NamedSemaphore::unlink(semaphoreName_);
}

void SplashLink::startSplash(const std::string& programPath) {
  // The tag tells the splash which names to open.
  const std::vector<std::string> args{kSplashArgument, tag_};
  if (!splash_.start(programPath, args)) {
    std::printf("Cannot start the splash process %s: error %d\n", programPath.c_str(),
                splash_.lastError());
    std::fflush(stdout);
    return;
  }
  // The splash releases the semaphore once its window is up. A splash that ends first (no
  // display, a crash) is noticed at the next step; one that stays silent is ended.
  for (unsigned waited = 0; waited < kHandshakeTimeoutMs; waited += kHandshakeStepMs) {
    if (semaphore_.wait(kHandshakeStepMs)) return;
    if (!splash_.running()) {
      semaphore_.tryWait();  // a release just before its end
      return;
    }
  }
  splash_.terminate();
  semaphore_.tryWait();
}

SplashLink::SplashLink(SplashScreenSide, const std::string& tag)
    : utility_(false),
      tag_(!tag.empty() ? tag : nameTag(getuid(), getppid())),
      blockName_(kBlockName + tag_),
      semaphoreName_(kSemaphoreName + tag_) {
  if (!semaphore_.open(semaphoreName_) || !block_.open(blockName_, kBlockSize)) {
    block_.close();
    semaphore_.close();
    return;
  }
  handshakeOpen_ = true;
  // Written before the tracker started this process and not touched since.
  SplashView view;
  readBlock(block(), kBlockSize, view);
  utilityPid_ = view.utilityProcess > 0 ? view.utilityProcess : getppid();
}

SplashLink::~SplashLink() {
  if (!utility_) {
    if (handshakeOpen_) finishHandshake();
    return;
  }
  if (lockRequest()) {
    block()->closeRequest = 1;
    semaphore_.post();
  }
  if (!splash_.wait(kCloseTimeoutMs)) splash_.terminate();
}

void SplashLink::finishHandshake() {
  if (!handshakeOpen_) return;
  handshakeOpen_ = false;
  semaphore_.post();
}

bool SplashLink::utilityAlive() const {
  // A tracker that ends leaves this process to another parent.
  return utilityPid_ > 0 && getppid() == utilityPid_;
}

bool SplashLink::lockRequest() {
  if (!utility_ || !block_.valid()) return false;
  if (!splash_.running()) {
    // Nobody else uses the semaphore now. A count of 0 means the splash ended while holding it,
    // and the unit is ours either way.
    semaphore_.tryWait();
    return true;
  }
  if (semaphore_.wait(kRequestTimeoutMs)) return true;
  // A healthy splash holds the semaphore for microseconds; this one is stuck.
  std::printf("The splash process does not respond; ending it\n");
  std::fflush(stdout);
  splash_.terminate();
  semaphore_.tryWait();
  return true;
}

void SplashLink::show() {
  if (!lockRequest()) return;
  block()->showRequest = 1;
  block()->hideRequest = 0;
  semaphore_.post();
}

void SplashLink::hide() {
  if (!lockRequest()) return;
  block()->hideRequest = 1;
  block()->showRequest = 0;
  block()->loadProgress = -1;
  semaphore_.post();
}

void SplashLink::setStatus(const char* text) {
  if (!lockRequest()) return;
  copyText(block()->statusText, text);
  semaphore_.post();
}

void SplashLink::setProgress(int percent) {
  if (!lockRequest()) return;
  block()->progress = percent < 0 ? 0 : (percent > kMaxProgress ? kMaxProgress : percent);
  block()->loadProgress = block()->progress;
  semaphore_.post();
}

bool SplashLink::snapshot(SplashBlock* out) {
  if (out == nullptr || !block_.valid()) return false;
  if (utility_) {
    if (!lockRequest()) return false;
  } else if (!semaphore_.wait(kRequestTimeoutMs)) {
    return false;
  }
  std::memcpy(out, block(), sizeof(SplashBlock));
  semaphore_.post();
  return true;
}
