// Saving under injected faults: a file size limit that makes writes fail half way, and a
// SIGKILL that lands in the middle of a save. The save runs in a forked child, so the test
// process keeps its own limits and signals.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace faults {

/// What a save in a child process came to.
enum class SaveOutcome { kSucceeded, kFailed, kCrashed };

/// Runs `save` in a child whose writes fail (EFBIG) once a file would pass `limitBytes`.
inline SaveOutcome saveUnderFileSizeLimit(rlim_t limitBytes, const std::function<bool()>& save) {
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{limitBytes, limitBytes};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(save() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    return SaveOutcome::kCrashed;
  }
  return WEXITSTATUS(status) == 0 ? SaveOutcome::kSucceeded : SaveOutcome::kFailed;
}

/// Runs `saveOnce` over and over in a child and kills it with SIGKILL after `delayMicros`.
inline void killDuringSaves(const std::function<void()>& saveOnce, useconds_t delayMicros) {
  const pid_t child = fork();
  if (child == 0) {
    for (;;) saveOnce();
  }
  if (child < 0) return;
  usleep(delayMicros);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
}

}  // namespace faults
