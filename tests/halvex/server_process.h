// Servers on 127.0.0.1 run as child processes for the state fetch tests and benchmark: the
// python HTTP file server over a directory, and the raw byte server beside this file.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace testserver {

/// A child process, terminated and reaped when this goes.
class ChildProcess {
 public:
  /// Starts argv[0] (looked up in PATH) with standard error discarded. With captureOutput its
  /// standard output can be read through outputLine(), otherwise it is discarded too.
  ChildProcess(const std::vector<std::string>& argv, bool captureOutput) {
    int pipeFds[2] = {-1, -1};
    if (captureOutput && ::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (captureOutput) {
      posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    } else {
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (captureOutput) {
      ::close(pipeFds[1]);
      output_ = pipeFds[0];
    }
  }
  ~ChildProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) ::close(output_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  /// Waits for the process to end by itself; its exit status, or -1.
  int wait() {
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  /// Asks the process to end (SIGTERM) and waits for it; its exit status, or -1.
  int terminate() {
    if (pid_ > 0) ::kill(pid_, SIGTERM);
    return wait();
  }

  /// Whether the process was started and has not ended.
  bool running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

  /// The next line of the child's standard output, without its line feed; empty at its end.
  std::string outputLine() {
    std::string line;
    char c;
    while (output_ >= 0 && ::read(output_, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

/// A TCP port on 127.0.0.1 that was free a moment ago.
inline int freeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

/// Whether something accepts TCP connections on 127.0.0.1:port.
inline bool accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

/// "python3 -m http.server" serving a directory on a free loopback port.
class HttpFileServer {
 public:
  static constexpr int kAttempts = 5;         ///< Ports tried when another process takes one first.
  static constexpr int kStartWaitMs = 10000;  ///< Longest wait for the server to accept.

  explicit HttpFileServer(const std::string& dir) {
    for (int attempt = 0; attempt < kAttempts && port_ == 0; ++attempt) {
      const int port = freeLoopbackPort();
      process_ = std::make_unique<ChildProcess>(
          std::vector<std::string>{"python3", "-m", "http.server", "--bind", "127.0.0.1",
                                   std::to_string(port), "--directory", dir},
          false);
      const auto deadline =
          std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartWaitMs);
      while (process_->running() && std::chrono::steady_clock::now() < deadline) {
        if (accepts(port)) {
          port_ = port;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
  }

  /// The port served, 0 when the server did not start.
  int port() const { return port_; }

 private:
  std::unique_ptr<ChildProcess> process_;
  int port_ = 0;
};

/// The raw byte server (raw_http_server.py) with the given options.
class RawServer {
 public:
  RawServer(const std::string& script, const std::vector<std::string>& options) {
    std::vector<std::string> argv{"python3", script};
    argv.insert(argv.end(), options.begin(), options.end());
    process_ = std::make_unique<ChildProcess>(argv, true);
    port_ = std::atoi(process_->outputLine().c_str());
  }

  /// The port served, 0 when the server did not start.
  int port() const { return port_; }

 private:
  std::unique_ptr<ChildProcess> process_;
  int port_ = 0;
};

}  // namespace testserver
