// Starting a program as a child process, watching it and ending it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

/// A child process started by this object. If it still runs when this goes, it is terminated;
/// an ended child is always reaped, so none is left as a zombie.
class Process {
 public:
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  /// Starts `program` with `args` (not counting the program itself). A program name without '/'
  /// is looked up in PATH. The child starts with no blocked signals and default dispositions
  /// for the termination signals, whatever the caller has. False when it could not be started
  /// (or one is still running), with lastError() set.
  bool start(const std::string& program, const std::vector<std::string>& args);

  /// Whether the child was started and has not ended yet.
  bool running();

  /// Waits at most timeoutMs milliseconds for the child to end; true when it has ended (or none
  /// was started).
  bool wait(unsigned timeoutMs);

  /// Asks the child to end (SIGTERM), kills it (SIGKILL) when it has not ended after graceMs,
  /// and reaps it.
  void terminate(unsigned graceMs = kDefaultGraceMs);

  /// The child's process id while it runs or is unreaped, otherwise -1.
  pid_t pid() const { return pid_; }

  /// The exit code of a child that ended by exit(), 128 + the signal number of one that was
  /// killed, -1 while unknown.
  int exitStatus() const { return status_; }

  int lastError() const { return error_; }

  static constexpr unsigned kDefaultGraceMs = 500;

 private:
  /// Reaps the child if it has ended; with block, waits for it.
  bool reap(bool block);

  pid_t pid_ = -1;
  int status_ = -1;
  int error_ = 0;
};
