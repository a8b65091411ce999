// Plain sockets on 127.0.0.1 playing the other end of the endpoints under test.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace loopback {

/// Longest wait of any read in the tests, so that a fault fails a test instead of hanging it.
constexpr int kWaitMs = 5000;

/// An owned descriptor.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

inline sockaddr_in local(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

inline int portOf(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

/// A TCP listener on a free loopback port.
inline Fd listenTcp(int* port) {
  Fd fd(::socket(AF_INET, SOCK_STREAM, 0));
  const sockaddr_in address = local(0);
  ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  ::listen(fd.get(), 64);
  *port = portOf(fd.get());
  return fd;
}

/// A port nobody listens on at the moment (bound once, then released).
inline int freePort() {
  int port = 0;
  listenTcp(&port);
  return port;
}

/// Connects to a loopback TCP port; invalid when refused.
inline Fd connectTcp(int port) {
  Fd fd(::socket(AF_INET, SOCK_STREAM, 0));
  const sockaddr_in address = local(port);
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    fd.reset();
  }
  return fd;
}

/// Connects, retrying while the server is not listening yet (at most kWaitMs).
inline Fd connectTcpWhenUp(int port) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  for (;;) {
    Fd fd = connectTcp(port);
    if (fd.valid() || std::chrono::steady_clock::now() > deadline) return fd;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

/// Accepts one connection, waiting at most kWaitMs.
inline Fd acceptOne(const Fd& listener) {
  pollfd ready{listener.get(), POLLIN, 0};
  if (::poll(&ready, 1, kWaitMs) != 1) return Fd();
  return Fd(::accept(listener.get(), nullptr, nullptr));
}

inline bool writeAll(const Fd& fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t sent = ::send(fd.get(), text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    done += static_cast<size_t>(sent);
  }
  return true;
}

/// Reads until `count` bytes, end of stream or kWaitMs of silence.
inline std::string readUpTo(const Fd& fd, size_t count) {
  std::string text;
  char buffer[512];
  while (text.size() < count) {
    pollfd ready{fd.get(), POLLIN, 0};
    if (::poll(&ready, 1, kWaitMs) != 1) break;
    const size_t want = count - text.size() < sizeof buffer ? count - text.size() : sizeof buffer;
    const ssize_t got = ::recv(fd.get(), buffer, want, 0);
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  return text;
}

/// Whether the peer of `fd` closes its end within kWaitMs (reads and drops data first).
inline bool seesEnd(const Fd& fd) {
  char buffer[256];
  for (;;) {
    pollfd ready{fd.get(), POLLIN, 0};
    if (::poll(&ready, 1, kWaitMs) != 1) return false;
    const ssize_t got = ::recv(fd.get(), buffer, sizeof buffer, 0);
    if (got <= 0) return true;
  }
}

/// Closes with a reset instead of an orderly close, so that the peer's next send fails.
inline void resetConnection(Fd& fd) {
  const linger abort{1, 0};
  ::setsockopt(fd.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  fd.reset();
}

}  // namespace loopback
