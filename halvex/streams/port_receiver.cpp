#include "halvex/streams/port_receiver.h"

#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "common/platform/sleep.h"
#include "halvex/net/multicast_socket.h"

namespace {

/// Pause after a failed receive, so that a lasting socket error does not spin the thread.
constexpr unsigned kReceiveErrorPauseMs = 10;

/// Socket receive queue asked for, so that bursts wait in the kernel while the thread is not
/// scheduled; the system may grant less.
constexpr int kReceiveQueueBytes = 1 << 20;

}  // namespace

PortReceiver::PortReceiver(const char* group, long port, int bufferBytes, int bufferCount)
    : group_(group != nullptr ? group : ""),
      port_(port),
      bufferBytes_(bufferBytes),
      bufferCount_(bufferCount),
      rings_{PacketRing(bufferBytes, bufferCount), PacketRing(bufferBytes, bufferCount)} {
  // The rings raise sizes they cannot hold; the receiver takes theirs.
  bufferBytes_ = rings_[0].bufferBytes();
  bufferCount_ = rings_[0].bufferCount();
  work_.reset(new char[static_cast<size_t>(bufferBytes_)]());
}

PortReceiver::~PortReceiver() {
  stop();
}

bool PortReceiver::open() {
  if (thread_.joinable()) return true;
  if (port_ < kMinPort || port_ > kMaxPort) return false;
  socket_ = openMulticastReceiver(group_.c_str(), port_);
  if (socket_ < 0) return false;
  ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &kReceiveQueueBytes, sizeof kReceiveQueueBytes);
  stopping_.store(false);
  try {
    thread_ = std::thread(&PortReceiver::receiveLoop, this);
  } catch (const std::system_error&) {
    ::close(socket_);
    socket_ = -1;
    return false;
  }
  return true;
}

void PortReceiver::stop() {
  if (thread_.joinable()) {
    stopping_.store(true);
    // A blocked receive on a shut-down socket returns at once, and so does every later one.
    ::shutdown(socket_, SHUT_RDWR);
    thread_.join();
  }
  if (socket_ >= 0) {
    ::close(socket_);
    socket_ = -1;
  }
}

PacketRing& PortReceiver::swapRings() {
  lock_.wait();
  std::swap(fill_, read_);
  fill_->clear();
  lock_.release();
  read_->rewind();
  return *read_;
}

void PortReceiver::deliver(const char* text, int length) {
  lock_.wait();
  if (fill_->store(text, length)) {
    received_.fetch_add(1, std::memory_order_relaxed);
  } else {
    dropped_.fetch_add(1, std::memory_order_relaxed);
  }
  lock_.release();
}

PortStatistics PortReceiver::statistics() const {
  PortStatistics counts;
  counts.received = received_.load(std::memory_order_relaxed);
  counts.dropped = dropped_.load(std::memory_order_relaxed);
  return counts;
}

void PortReceiver::receiveLoop() {
  char* work = work_.get();
  const size_t capacity = static_cast<size_t>(bufferBytes_);
  while (!stopping_.load()) {
    const ssize_t received = ::recv(socket_, work, capacity, 0);
    if (stopping_.load()) break;
    if (received < 0) {
      if (errno != EINTR) sleepMs(kReceiveErrorPauseMs);
      continue;
    }
    // A datagram that filled the buffer may have been cut by the socket: its last byte gives way
    // to the terminator, so at most B - 1 characters remain.
    const int length =
        static_cast<size_t>(received) < capacity ? static_cast<int>(received) : bufferBytes_ - 1;
    work[length] = '\0';
    deliver(work, length);
  }
}
