#include "common/platform/termination_signals.h"

#include <pthread.h>

#include <cerrno>
#include <cmath>
#include <ctime>

TerminationSignals::TerminationSignals() {
  sigemptyset(&set_);
  sigaddset(&set_, SIGINT);
  sigaddset(&set_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set_, &previous_);
}

TerminationSignals::~TerminationSignals() {
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

bool TerminationSignals::wait(double seconds) {
  if (signal_ != 0) return true;
  int got;
  if (seconds < 0) {
    do got = sigwaitinfo(&set_, nullptr);
    while (got < 0 && errno == EINTR);
  } else {
    const double whole = std::floor(seconds);
    timespec limit{static_cast<time_t>(whole), static_cast<long>((seconds - whole) * 1e9)};
    got = sigtimedwait(&set_, nullptr, &limit);
  }
  if (got > 0) signal_ = got;
  return signal_ != 0;
}
