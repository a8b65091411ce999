// A program run as a child process by the tests and benchmarks: started from PATH, its standard
// output discarded, piped to the test or kept in a file with its standard error, and killed and
// reaped when the object goes. The one child-process helper of every test.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scratch_dir.h"

extern char** environ;

namespace testsupport {

/// Where a child's standard output and error go.
enum class ChildOutput {
  kDiscard,  ///< Both to /dev/null.
  kPipe,     ///< Output to a pipe read by outputLine(); errors to /dev/null.
  kFiles,    ///< Both to files of their own, read into output and errors by wait().
};

class ChildProcess {
 public:
  /// Longest wait() by default, s: a child that runs longer is taken for hung and killed.
  static constexpr double kDefaultWaitSeconds = 60;

  /// Starts argv[0], looked up in PATH, with its output sent as `mode` says.
  explicit ChildProcess(const std::vector<std::string>& argv,
                        ChildOutput mode = ChildOutput::kDiscard) {
    int pipeFds[2] = {-1, -1};
    if (mode == ChildOutput::kPipe && ::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC;
    if (mode == ChildOutput::kFiles) {
      files_ = std::make_unique<ScratchDir>();
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, files_->path("out").c_str(), flags,
                                       0600);
      posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, files_->path("err").c_str(), flags,
                                       0600);
    } else {
      if (mode == ChildOutput::kPipe) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
      } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
      }
      posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (mode == ChildOutput::kPipe) {
      ::close(pipeFds[1]);
      pipe_ = pipeFds[0];
    }
  }
  ~ChildProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (pipe_ >= 0) ::close(pipe_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  /// Sends the signal `number` while the child runs.
  void signal(int number) {
    if (pid_ > 0) ::kill(pid_, number);
  }

  /// Waits at most `seconds` for the child to end by itself and, with ChildOutput::kFiles,
  /// reads what it wrote; its exit status, or -1 when it was killed by a signal or did not end
  /// in time (it is then killed).
  int wait(double seconds = kDefaultWaitSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = -1;
    while (pid_ > 0) {
      int raw = 0;
      if (::waitpid(pid_, &raw, WNOHANG) == pid_) {
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        pid_ = -1;
      } else if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    if (files_ != nullptr) {
      output = files_->read("out");
      errors = files_->read("err");
    }
    return status;
  }

  /// Asks the child to end (SIGTERM) and waits for it; its exit status, or -1.
  int terminate() {
    signal(SIGTERM);
    return wait();
  }

  /// Its process id while it runs (for /proc), -1 before start or after the end.
  pid_t pid() const { return pid_; }

  /// Whether the child was started and has not ended.
  bool running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

  /// The next line of the child's piped standard output, without its line feed; empty at its
  /// end.
  std::string outputLine() {
    std::string line;
    char c;
    while (pipe_ >= 0 && ::read(pipe_, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }

  std::string output;  ///< Standard output, read by wait() with ChildOutput::kFiles.
  std::string errors;  ///< Standard error, read by wait() with ChildOutput::kFiles.

 private:
  pid_t pid_ = -1;
  int pipe_ = -1;
  std::unique_ptr<ScratchDir> files_;
};

}  // namespace testsupport
