#include "halvex/net/kf_ssub_socket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <system_error>

#include "common/platform/sleep.h"

namespace {
constexpr unsigned kDestroyPauseMs = 100;
}  // namespace

KF_SSubSocket::KF_SSubSocket(int socket, KF_Socket* owner)
    : socket_(socket),
      owner_(owner),
      callback_(owner->callback_),
      user_(owner->user_),
      blocking_(owner->blocking_) {
  std::printf("creating KF_SubSocket::KF_SubSocket\n");
  next_ = owner->clientHead_;
  if (next_ != nullptr) {
    next_->previous_ = this;
  } else {
    owner->clientTail_ = this;
  }
  owner->clientHead_ = this;
  linked_ = true;
}

KF_SSubSocket::~KF_SSubSocket() {
  std::printf("KF_SSubSocket::~KF_SSubSocket() in process %d %d\n", static_cast<int>(::getpid()),
              static_cast<int>(::gettid()));
  if (thread_.joinable()) {
    // The owner has shut the socket down, so a receive in the callback returns.
    thread_.join();
    std::printf("Sleep 100 in KF_SSubSocket::~KF_SSubSocket\n");
    sleepMs(kDestroyPauseMs);
  }
  if (socket_ >= 0) ::close(socket_);
  if (address_ != nullptr) {
    std::printf("Deleting KF_SubSocket::KF_SubSocket for client ip:%s port %d\n", address_, port_);
    delete[] address_;
  } else {
    std::printf("Deleting KF_SubSocket::KF_SubSocket\n");
  }
  if (linked_) {
    std::lock_guard<std::mutex> guard(owner_->clientsMutex_);
    unlinkLocked();
  }
}

void KF_SSubSocket::setPeer(const char* address, int port) {
  delete[] address_;
  address_ = nullptr;
  if (address != nullptr) {
    const size_t size = std::strlen(address) + 1;
    address_ = new char[size];
    std::memcpy(address_, address, size);
  }
  port_ = port;
  std::printf("%s:%d connected\n", peerAddress(), port_);
}

bool KF_SSubSocket::start() {
  try {
    thread_ = std::thread(&KF_SSubSocket::run, this);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void KF_SSubSocket::run() {
  if (socket_ < 0) {
    std::printf("Got a bad socket, Will be shutting down\n");
  } else if (callback_ != nullptr) {
    callback_(this, this, user_);
  }
  {
    std::lock_guard<std::mutex> guard(owner_->clientsMutex_);
    if (ownerJoins_) return;
    // Gone by itself: the owner joins this thread later, and no longer sees the connection.
    unlinkLocked();
    owner_->finished_.push_back(std::move(thread_));
  }
  delete this;
}

void KF_SSubSocket::unlinkLocked() {
  if (!linked_) return;
  if (previous_ != nullptr) {
    previous_->next_ = next_;
  } else {
    owner_->clientHead_ = next_;
  }
  if (next_ != nullptr) {
    next_->previous_ = previous_;
  } else {
    owner_->clientTail_ = previous_;
  }
  previous_ = next_ = nullptr;
  linked_ = false;
}

int KF_SSubSocket::send(const char* data, int length, int /*mode*/) {
  if (socket_ < 0 || data == nullptr || length < 0) return 0;
  const int sent = KF_Socket::sendOnce(socket_, data, length);
  if (sent < 0) {
    std::printf("did not send data: KF_SSubSocket::send\n");
    return 0;
  }
  return sent;
}

int KF_SSubSocket::receive(char* buffer, int length, int waitMode) {
  if (socket_ < 0 || buffer == nullptr || length < 0) return -1;
  const bool poll = (waitMode == 2 ? blocking_ : waitMode) == 0;
  if (poll) {
    const int waiting = KF_Socket::bytesWaiting(socket_);
    if (waiting <= 0) return waiting;
  }
  const int got = KF_Socket::receiveOnce(socket_, buffer, length, false);
  if (got < 0) std::printf("in KF_SSubSocket::receive, got an error on recv\n");
  return got;
}
