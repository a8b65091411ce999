#include "common/platform/named_semaphore.h"

#include <fcntl.h>
#include <time.h>

#include <cerrno>

namespace {
constexpr mode_t kOwnerOnly = 0600;  ///< Only processes of the same user may open it.
constexpr long kNsPerMs = 1000000L;
constexpr long kNsPerS = 1000000000L;
}  // namespace

bool NamedSemaphore::create(const std::string& name, unsigned initial) {
  close();
  // A semaphore left by a killed process may have count 0 forever, so it is never reused.
  for (int attempt = 0; attempt < 2 && sem_ == nullptr; ++attempt) {
    ::sem_unlink(name.c_str());
    sem_t* s = ::sem_open(name.c_str(), O_CREAT | O_EXCL, kOwnerOnly, initial);
    if (s != SEM_FAILED) {
      sem_ = s;
    } else {
      error_ = errno;
      if (error_ != EEXIST) break;
    }
  }
  return sem_ != nullptr;
}

bool NamedSemaphore::open(const std::string& name) {
  close();
  sem_t* s = ::sem_open(name.c_str(), 0);
  if (s == SEM_FAILED) {
    error_ = errno;
    return false;
  }
  sem_ = s;
  return true;
}

void NamedSemaphore::close() {
  if (sem_ != nullptr) ::sem_close(sem_);
  sem_ = nullptr;
}

bool NamedSemaphore::unlink(const std::string& name) {
  return ::sem_unlink(name.c_str()) == 0;
}

bool NamedSemaphore::wait(unsigned timeoutMs) {
  if (sem_ == nullptr) return false;
  // The monotonic clock, so that a change of the wall clock neither ends nor stretches the wait.
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += timeoutMs / 1000;
  deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * kNsPerMs;
  if (deadline.tv_nsec >= kNsPerS) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= kNsPerS;
  }
  for (;;) {
    if (::sem_clockwait(sem_, CLOCK_MONOTONIC, &deadline) == 0) return true;
    if (errno != EINTR) {
      error_ = errno;
      return false;
    }
  }
}

bool NamedSemaphore::tryWait() {
  if (sem_ == nullptr) return false;
  for (;;) {
    if (::sem_trywait(sem_) == 0) return true;
    if (errno != EINTR) return false;
  }
}

bool NamedSemaphore::post() {
  return sem_ != nullptr && ::sem_post(sem_) == 0;
}

int NamedSemaphore::value() {
  int v = -1;
  if (sem_ == nullptr || ::sem_getvalue(sem_, &v) != 0) return -1;
  return v;
}
