// A TCP server on 127.0.0.1 run by threads of the calling process, for the state fetch tests,
// benchmark and fuzz target: every connection gets its request head read and then fixed bytes,
// either all at once followed by a close, or a first part at once and the rest one byte per
// interval (a server that trickles its response; each connection has a thread of its own). It
// can also listen without ever accepting, so that its queue is full and a connect to it hangs.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testserver {

class LoopbackByteServer {
 public:
  struct Options {
    std::string response;  ///< Bytes every connection gets.
    size_t burst =
        std::string::npos;  ///< Bytes sent at once (npos: all); the rest one per `trickle`.
    std::chrono::milliseconds trickle{1000};  ///< Interval between the trickled bytes.
    bool accepting = true;  ///< false: never accepts, its one-place queue held full.
  };

  static constexpr int kPollMs = 20;                ///< How soon the thread sees the stop.
  static constexpr int kRequestWaitMs = 2000;       ///< Longest wait for a request head.
  static constexpr size_t kRequestLimit = 1 << 16;  ///< Request bytes read at most.

  explicit LoopbackByteServer(Options options) : options_(std::move(options)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    // Backlog 0 queues one connection: the one made below fills it.
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_, options_.accepting ? 64 : 0) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    if (!options_.accepting) {
      filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (::connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) port_ = 0;
      return;
    }
    thread_ = std::thread([this] { run(); });
  }

  ~LoopbackByteServer() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    for (std::thread& t : connectionThreads_) t.join();
    if (filler_ >= 0) ::close(filler_);
    if (listen_ >= 0) ::close(listen_);
  }

  LoopbackByteServer(const LoopbackByteServer&) = delete;
  LoopbackByteServer& operator=(const LoopbackByteServer&) = delete;

  /// The port served, 0 when the server did not start.
  int port() const { return port_; }
  /// Connections accepted so far.
  int connections() const { return connections_.load(); }
  /// The bytes the next connections get.
  void setResponse(std::string response) {
    std::lock_guard<std::mutex> hold(mutex_);
    options_.response = std::move(response);
  }

 private:
  /// Waits `ms` or until the server stops; true when it stops.
  bool stopWithin(std::chrono::milliseconds ms) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, ms, [this] { return stop_; });
  }

  bool stopping() {
    std::lock_guard<std::mutex> hold(mutex_);
    return stop_;
  }

  void run() {
    while (!stopping()) {
      pollfd wait{listen_, POLLIN, 0};
      if (::poll(&wait, 1, kPollMs) <= 0) continue;
      const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++connections_;
      if (options_.burst == std::string::npos) {
        serve(fd);  // answered at once: no thread needed
      } else {
        connectionThreads_.emplace_back([this, fd] { serve(fd); });
      }
    }
  }

  /// Reads the request head (so that closing never resets the connection over unread bytes),
  /// then sends the response.
  void serve(int fd) {
    answer(fd);
    ::close(fd);
  }

  void answer(int fd) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < kRequestLimit) {
      pollfd wait{fd, POLLIN, 0};
      if (::poll(&wait, 1, kRequestWaitMs) <= 0) return;
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      request.append(buffer, static_cast<size_t>(n));
    }
    std::string response;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      response = options_.response;
    }
    const size_t burst = std::min(options_.burst, response.size());
    if (!sendAll(fd, response.data(), burst)) return;
    for (size_t k = burst; k < response.size(); ++k) {
      if (stopWithin(options_.trickle) || !sendAll(fd, response.data() + k, 1)) return;
    }
  }

  static bool sendAll(int fd, const char* data, size_t length) {
    while (length > 0) {
      const ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL);
      if (n <= 0) return false;
      data += n;
      length -= static_cast<size_t>(n);
    }
    return true;
  }

  Options options_;
  int listen_ = -1;
  int filler_ = -1;
  int port_ = 0;
  std::atomic<int> connections_{0};
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  std::thread thread_;
  std::vector<std::thread> connectionThreads_;  ///< Trickling connections; joined at the end.
};

}  // namespace testserver
