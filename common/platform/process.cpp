#include "common/platform/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace {

constexpr unsigned kPollMs = 5;  ///< Step of the wait for a child's end.
constexpr int kSignalStatusBase = 128;

/// Milliseconds on the monotonic clock.
long long monotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void sleepShort(unsigned ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

}  // namespace

Process::~Process() {
  if (pid_ > 0) terminate();
}

bool Process::start(const std::string& program, const std::vector<std::string>& args) {
  if (pid_ > 0 && running()) {
    error_ = EBUSY;
    return false;
  }
  status_ = -1;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  // A caller that blocks SIGTERM for its own loop must not pass that on: terminate() relies on
  // the child dying from it.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = -1;
  const bool searchPath = program.find('/') == std::string::npos;
  const int rc = searchPath
                     ? posix_spawnp(&pid, program.c_str(), nullptr, &attr, argv.data(), environ)
                     : posix_spawn(&pid, program.c_str(), nullptr, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    error_ = rc;
    pid_ = -1;
    return false;
  }
  pid_ = pid;
  error_ = 0;
  return true;
}

bool Process::reap(bool block) {
  if (pid_ <= 0) return true;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return false;  // still running
  if (r == pid_) {
    if (WIFEXITED(status)) status_ = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) status_ = kSignalStatusBase + WTERMSIG(status);
  }
  // r < 0 (ECHILD): someone else reaped it; either way it is gone.
  pid_ = -1;
  return true;
}

bool Process::running() {
  return pid_ > 0 && !reap(false);
}

bool Process::wait(unsigned timeoutMs) {
  const long long deadline = monotonicMs() + timeoutMs;
  for (;;) {
    if (!running()) return true;
    const long long left = deadline - monotonicMs();
    if (left <= 0) return false;
    sleepShort(left < kPollMs ? static_cast<unsigned>(left) : kPollMs);
  }
}

void Process::terminate(unsigned graceMs) {
  if (!running()) return;
  ::kill(pid_, SIGTERM);
  if (wait(graceMs)) return;
  ::kill(pid_, SIGKILL);
  reap(true);
}
