#include "halvex/splash/splash_link.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

SplashLink::SplashLink(const std::string& programPath, const std::string& nameSuffix)
    : utility_(true),
      blockName_(kBlockName + nameSuffix),
      semaphoreName_(kSemaphoreName + nameSuffix) {
  // Fresh names every time: a block or semaphore left by a killed tracker (its count may be
  // stuck at 0) must not hold up this start.
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
  startSplash(programPath, nameSuffix);
  semaphore_.post();
  // Both sides have opened them by now (or never will); nothing is left behind if the tracker
  // is killed later.
  SharedBlock::unlink(blockName_);
  NamedSemaphore::unlink(semaphoreName_);
}

void SplashLink::startSplash(const std::string& programPath, const std::string& nameSuffix) {
  std::vector<std::string> args{kSplashArgument};
  if (!nameSuffix.empty()) args.push_back(nameSuffix);
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

SplashLink::SplashLink(SplashScreenSide, const std::string& nameSuffix)
    : utility_(false),
      blockName_(kBlockName + nameSuffix),
      semaphoreName_(kSemaphoreName + nameSuffix) {
  if (!semaphore_.open(semaphoreName_) || !block_.open(blockName_, kBlockSize)) {
    block_.close();
    semaphore_.close();
    return;
  }
  handshakeOpen_ = true;
  // Written before the tracker started this process and not touched since.
  const std::int32_t tracker = block()->utilityProcess;
  utilityPid_ = tracker > 0 ? static_cast<pid_t>(tracker) : getppid();
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
