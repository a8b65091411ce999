// Servers on 127.0.0.1 run as child processes for the state fetch tests and benchmark: the
// python HTTP file server over a directory, and the raw byte server of the streams tests.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"

namespace testserver {

using testsupport::ChildOutput;
using testsupport::ChildProcess;

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
                                   std::to_string(port), "--directory", dir});
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
    process_ = std::make_unique<ChildProcess>(argv, ChildOutput::kPipe);
    port_ = std::atoi(process_->outputLine().c_str());
  }

  /// The port served, 0 when the server did not start.
  int port() const { return port_; }

 private:
  std::unique_ptr<ChildProcess> process_;
  int port_ = 0;
};

}  // namespace testserver
