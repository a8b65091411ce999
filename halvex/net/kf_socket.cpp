#include "halvex/net/kf_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "common/platform/sleep.h"
#include "halvex/net/kf_ssub_socket.h"

namespace {

constexpr int kMaxPort = 65535;
/// Pending connections of the multi-client server: enough that clients connecting together are
/// queued rather than refused.
constexpr int kClientBacklog = SOMAXCONN;
/// The single-client server waits for exactly one connection.
constexpr int kSingleBacklog = 1;
/// Pause of receiveAll between polls that found nothing.
constexpr int kPollPauseMs = 10;
constexpr unsigned kDestroyPauseMs = 100;
constexpr unsigned kBadAcceptPauseMs = 100;
constexpr unsigned kRefusePauseMs = 10;
/// Empty datagrams one poll drops at most, so that a sender of nothing but empty datagrams
/// cannot hold a poll for ever; later polls drop the rest.
constexpr int kMaxEmptyDatagrams = 256;

std::atomic<int> liveSockets{0};

/// Closes `fd` when it is a descriptor.
void closeFd(int fd) {
  if (fd >= 0) ::close(fd);
}

int newSocket(int type) {
  return ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
}

bool setNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

/// recv retried when interrupted.
ssize_t receiveRetried(int fd, char* buffer, size_t length, int flags) {
  ssize_t got;
  do {
    got = ::recv(fd, buffer, length, flags);
  } while (got < 0 && errno == EINTR);
  return got;
}

/// Whether `fd` is shut down for reading: every receive then reads 0 at once, which on a datagram
/// socket is no empty datagram to go past.
bool receiveShutDown(int fd) {
  pollfd ready{fd, POLLRDHUP, 0};
  return ::poll(&ready, 1, 0) > 0 && (ready.revents & POLLRDHUP) != 0;
}

/// Receives and drops the datagram at the head of `fd`'s queue when it is empty; whether one was.
bool dropEmptyDatagram(int fd) {
  char probe;
  if (receiveRetried(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT) != 0) return false;
  return receiveRetried(fd, &probe, 1, MSG_DONTWAIT) == 0;
}

/// Lets a server be opened again on its port at once, while old connections linger.
void allowAddressReuse(int fd) {
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

sockaddr_in anyAddress(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

bool bindTo(int fd, const sockaddr_in& address) {
  return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

/// Connects `fd`; the unspecified address 0.0.0.0 (what a failed look-up leaves) never connects,
/// as it would silently mean the local host here.
bool connectTo(int fd, const sockaddr_in& address) {
  if (address.sin_addr.s_addr == htonl(INADDR_ANY)) return false;
  int result;
  do {
    result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

/// Dotted text and port of a peer address.
struct PeerText {
  char address[INET_ADDRSTRLEN] = "";
  int port = 0;
};

PeerText peerText(const sockaddr_in& peer) {
  PeerText text;
  if (::inet_ntop(AF_INET, &peer.sin_addr, text.address, sizeof text.address) == nullptr) {
    text.address[0] = '\0';
  }
  text.port = ntohs(peer.sin_port);
  return text;
}

/// IPv4 address of `host`: looked up when it starts with a letter ("localhost"), else read as a
/// dotted address ("127.0.0.1"). An unknown name gives 0.0.0.0, unreadable dots 255.255.255.255.
in_addr resolveHost(const char* host, bool udp) {
  in_addr address{};
  if (std::isalpha(static_cast<unsigned char>(host[0]))) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = udp ? SOCK_DGRAM : SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &found) == 0 && found != nullptr) {
      address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
      ::freeaddrinfo(found);
    } else {
      std::printf("could not find %s\n", host);
      if (udp) {
        std::printf("Trying to open SOCK_DGRAM Client\n");
      } else {
        std::printf("Trying to open SOCK_STREAM Client\n");
      }
      address.s_addr = htonl(INADDR_ANY);
    }
    return address;
  }
  if (::inet_pton(AF_INET, host, &address) != 1) address.s_addr = htonl(INADDR_NONE);
  if (udp) std::printf("phe->h_addr is %d\n", static_cast<int>(address.s_addr));
  return address;
}

}  // namespace

KF_Socket::KF_Socket() {
  ++liveSockets;
}

KF_Socket::~KF_Socket() {
  accepting_ = false;
  bool hadListener;
  {
    std::lock_guard<std::mutex> guard(listenerMutex_);
    hadListener = listener_.joinable();
  }
  close();
  --liveSockets;
  if (hadListener) {
    std::printf("Sleep 100 in KF_Socket::~KF_Socket\n");
    sleepMs(kDestroyPauseMs);
  }
}

int KF_Socket::liveCount() {
  return liveSockets.load();
}

int KF_Socket::isOpen() {
  return open_;
}

int KF_Socket::waitReadable(int ms) {
  if (!open_ || dataSocket_ < 0) return -1;
  pollfd ready{dataSocket_, POLLIN, 0};
  int result;
  do result = ::poll(&ready, 1, ms);
  while (result < 0 && errno == EINTR);
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

int KF_Socket::localPort() const {
  int fd = dataSocket_;
  if (fd < 0) fd = listenSocket_.load();
  if (fd < 0) return 0;
  sockaddr_in local{};
  socklen_t size = sizeof local;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) return 0;
  return ntohs(local.sin_port);
}

// ---- opening ----

int KF_Socket::openUdpServer(int port, int blocking) {
  close();
  if (port < 0 || port > kMaxPort) return 0;
  address_ = anyAddress(port);
  blocking_ = blocking;
  const int saved = mode_;
  mode_ = kUdpServer;
  if (makeDataSocket()) {
    open_ = 1;
    return 1;
  }
  mode_ = saved;
  return 0;
}

int KF_Socket::openUdpClient(const char* host, int port, int blocking) {
  return openClient(host, port, blocking, true);
}

int KF_Socket::openTcpClient(const char* host, int port, int blocking) {
  return openClient(host, port, blocking, false);
}

int KF_Socket::newLimitedSocket(int type) const {
  const int fd = newSocket(type);
  if (fd < 0 || timeoutMs_ == 0) return fd;
  // Connect on a blocking socket honours the send limit as well.
  const timeval limit{timeoutMs_ / 1000, (timeoutMs_ % 1000) * 1000};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  return fd;
}

int KF_Socket::openClient(const char* host, int port, int blocking, bool udp) {
  close();
  if (host == nullptr || port < 0 || port > kMaxPort) return 0;
  blocking_ = blocking;
  const int fd = newLimitedSocket(udp ? SOCK_DGRAM : SOCK_STREAM);
  if (fd < 0) return 0;
  address_ = sockaddr_in{};
  address_.sin_family = AF_INET;
  address_.sin_port = htons(static_cast<uint16_t>(port));
  address_.sin_addr = resolveHost(host, udp);
  if (!connectTo(fd, address_)) {
    ::close(fd);
    if (udp) std::printf("No connection\n");
    return 0;
  }
  dataSocket_ = fd;
  datagram_ = udp;
  mode_ = udp ? kUdpClient : kTcpClient;
  open_ = 1;
  return 1;
}

int KF_Socket::openTcpServer(int port, int blocking, KF_ClientCallback callback, void* user) {
  close();
  if (port < 0 || port > kMaxPort) return 0;
  const int fd = newSocket(SOCK_STREAM);
  if (fd < 0) return 0;
  allowAddressReuse(fd);
  address_ = anyAddress(port);
  blocking_ = blocking;

  if (callback != nullptr) {
    // Bound here rather than in the loop, so that a port in use fails the call and the port is
    // known on return.
    if (!bindTo(fd, address_) || ::listen(fd, kClientBacklog) != 0) {
      ::close(fd);
      return 0;
    }
    callback_ = callback;
    user_ = user;
    listenSocket_ = fd;
    lock_.wait();
    stop_ = false;
    if (blocking) {
      blockLoopNlisten();
      return 1;
    }
    try {
      std::lock_guard<std::mutex> guard(listenerMutex_);
      listener_ = std::thread(&KF_Socket::blockLoopNlisten, this);
    } catch (const std::system_error&) {
      lock_.release();
      endListening();
      return 0;
    }
    return 1;
  }

  // Single client: serve the first connection on this endpoint.
  if (!bindTo(fd, address_) || (!blocking && !setNonBlocking(fd)) ||
      ::listen(fd, kSingleBacklog) != 0) {
    ::close(fd);
    return 0;
  }
  listenSocket_ = fd;
  sockaddr_in peer{};
  socklen_t size = sizeof peer;
  int client;
  do {
    client = ::accept4(fd, reinterpret_cast<sockaddr*>(&peer), &size,
                       SOCK_CLOEXEC | (blocking ? 0 : SOCK_NONBLOCK));
  } while (client < 0 && errno == EINTR);
  listenSocket_ = -1;
  ::close(fd);
  if (client < 0) {
    std::printf("sicket_fd open failed with return vlaue %d\n", client);
    open_ = 0;
    mode_ = kNone;
    return 0;
  }
  const PeerText text = peerText(peer);
  std::printf("%s:%d connected\n", text.address, text.port);
  std::printf("sicket_fd is %d\n", client);
  dataSocket_ = client;
  datagram_ = false;
  mode_ = kTcpServer;
  open_ = 1;
  return 1;
}

int KF_Socket::openConnected(int fd, int blocking) {
  close();
  int type = 0;
  socklen_t size = sizeof type;
  if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 ||
      (type != SOCK_DGRAM && type != SOCK_STREAM) || (!blocking && !setNonBlocking(fd))) {
    return 0;
  }
  address_ = sockaddr_in{};
  blocking_ = blocking;
  dataSocket_ = fd;
  datagram_ = type == SOCK_DGRAM;
  mode_ = kConnected;
  open_ = 1;
  return 1;
}

int KF_Socket::reopen() {
  if (open_) close();
  if (mode_ == kNone) return 0;
  if (mode_ == kTcpServer) return 1;  // a served client cannot be called back
  if (!makeDataSocket()) return 0;
  open_ = 1;
  return 1;
}

int KF_Socket::makeDataSocket() {
  closeFd(dataSocket_);
  dataSocket_ = -1;
  const bool udp = mode_ == kUdpServer || mode_ == kUdpClient;
  const int fd = newLimitedSocket(udp ? SOCK_DGRAM : SOCK_STREAM);
  if (fd < 0) return 0;
  switch (mode_) {
    case kUdpServer:
      if (!bindTo(fd, address_) || (!blocking_ && !setNonBlocking(fd))) {
        ::close(fd);
        return 0;
      }
      break;
    case kUdpClient:
      if (!connectTo(fd, address_)) {
        ::close(fd);
        std::printf("No connection\n");
        return 0;
      }
      std::printf("Reopened the connection\n");
      break;
    case kTcpClient:
      if (!connectTo(fd, address_)) {
        ::close(fd);
        return 0;
      }
      std::printf("Got a connection\n");
      break;
    default:
      ::close(fd);
      return 0;
  }
  dataSocket_ = fd;
  datagram_ = udp;
  return 1;
}

// ---- closing ----

void KF_Socket::close() {
  wakeListener();
  endListening();
  if (!closeClients()) return;  // from a client callback: the clients end by themselves
  closeFd(dataSocket_);
  dataSocket_ = -1;
  joinFinishedClients();
  open_ = 0;
}

void KF_Socket::stopListening() {
  wakeListener();
  endListening();
}

void KF_Socket::wakeListener() {
  std::lock_guard<std::mutex> guard(listenerMutex_);
  stop_ = true;
  const int fd = listenSocket_.load();
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);  // a blocked accept returns
}

void KF_Socket::endListening() {
  // The loop holds the lock while it runs.
  lock_.wait();
  lock_.release();
  std::thread loop;
  {
    std::lock_guard<std::mutex> guard(listenerMutex_);
    if (listener_.joinable() && listener_.get_id() != std::this_thread::get_id()) {
      loop = std::move(listener_);
    }
    closeFd(listenSocket_.exchange(-1));
  }
  if (loop.joinable()) loop.join();
}

bool KF_Socket::closeClients() {
  std::vector<KF_SSubSocket*> served;
  bool fromCallback = false;
  {
    std::lock_guard<std::mutex> guard(clientsMutex_);
    for (KF_SSubSocket* client = clientHead_; client != nullptr; client = client->next_) {
      if (client->thread_.get_id() == std::this_thread::get_id()) fromCallback = true;
    }
    for (KF_SSubSocket* client = clientHead_; client != nullptr; client = client->next_) {
      ::shutdown(client->socket_, SHUT_RDWR);  // a blocked receive in the callback returns
      // A callback cannot wait for itself, nor for another callback that may be closing too:
      // then every client only ends, and destroys itself when its callback returns.
      if (fromCallback || client->ownerJoins_) continue;
      client->ownerJoins_ = true;
      served.push_back(client);
    }
  }
  for (KF_SSubSocket* client : served) delete client;
  return !fromCallback;
}

void KF_Socket::joinFinishedClients() {
  std::vector<std::thread> finished;
  {
    std::lock_guard<std::mutex> guard(clientsMutex_);
    finished.swap(finished_);
  }
  for (std::thread& thread : finished) thread.join();
}

// ---- the multi-client server ----

void KF_Socket::blockLoopNlisten() {
  const int fd = listenSocket_.load();
  for (;;) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    int client = -1;
    if (!stop_) client = ::accept4(fd, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
    // Checked whether or not a client came, so that destruction always ends the loop this way.
    if (!accepting_) {
      if (client >= 0) {
        const PeerText text = peerText(peer);
        std::printf("opend and now closing %s:%d\n", text.address, text.port);
        ::close(client);
      }
      std::printf("Sleep 10 in KF_Socket::blockLoopNlisten\n");
      sleepMs(kRefusePauseMs);
      break;
    }
    if (stop_) {  // woken by stopListening or close
      closeFd(client);
      break;
    }
    if (client < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      std::printf("Sleep 100 in KF_Socket::blockLoopNlisten\n");
      sleepMs(kBadAcceptPauseMs);
      std::printf("Got a bad socket, Did not start thread\n");
      continue;
    }
    joinFinishedClients();
    const PeerText text = peerText(peer);
    std::lock_guard<std::mutex> guard(clientsMutex_);
    auto* connection = new KF_SSubSocket(client, this);
    connection->setPeer(text.address, text.port);
    if (!connection->start()) {
      connection->unlinkLocked();
      delete connection;
    }
  }
  lock_.release();
}

// ---- data ----

int KF_Socket::send(const char* data, int length, int /*mode*/) {
  if (!open_) {
    if (mode_ == kNone) return 0;  // never opened
    std::printf("Attempting to re-connect with server\n");
    reopen();
    return 0;
  }
  if (data == nullptr || length < 0) return 0;
  const int sent = sendOnce(dataSocket_, data, length);
  if (sent < 0) {
    std::printf("did not send data: KF_Socket::send\n");
    close();
    return 0;
  }
  return sent;
}

int KF_Socket::receive(char* buffer, int length, int waitMode) {
  if (!open_) {
    if (mode_ == kNone) return 0;  // never opened
    std::printf("Attempting to re-connect with server\n");
    reopen();
    return -1;
  }
  if (buffer == nullptr || length < 0) return -1;
  const bool poll = (waitMode == 2 ? blocking_ : waitMode) == 0;
  if (poll) {
    const int waiting = bytesWaiting(dataSocket_, datagram_);
    if (waiting <= 0) return waiting;
  }
  int got;
  // An empty datagram reads as 0, which callers take for "nothing waiting" or "closed": a
  // blocking receive drops it and waits for the next one (a poll has dropped it already).
  do {
    got = receiveOnce(dataSocket_, buffer, length, !poll && !blocking_);
  } while (got == 0 && datagram_ && !poll && length > 0 && !receiveShutDown(dataSocket_));
  if (got < 0) {
    std::printf("in KF_Socket::receive, got an error on recv\n");
    close();
  }
  return got;
}

int KF_Socket::bytesWaiting(int fd, bool datagram) {
  std::printf("before ioctlsocket\n");
  int waiting = 0;
  for (int dropped = 0;; ++dropped) {
    if (::ioctl(fd, FIONREAD, &waiting) != 0) {
      std::fflush(stdout);
      std::perror("FIONREAD");
      std::printf("ERROR from ioctlsocket\n");
      return -1;
    }
    // On a datagram socket the count is the size of the first datagram alone, so an empty one
    // would read 0 for ever while others wait behind it.
    if (waiting != 0 || !datagram || dropped == kMaxEmptyDatagrams || !dropEmptyDatagram(fd)) {
      break;
    }
  }
  std::printf("got a n of %d\n", waiting);
  if (waiting == 0) std::printf("got n=0\n");
  return waiting;
}

int KF_Socket::receiveOnce(int fd, char* buffer, int length, bool waitFirst) {
  if (waitFirst) {
    pollfd ready{fd, POLLIN, 0};
    while (::poll(&ready, 1, -1) < 0 && errno == EINTR) {
    }
  }
  return static_cast<int>(receiveRetried(fd, buffer, static_cast<size_t>(length), 0));
}

int KF_Socket::sendOnce(int fd, const char* data, int length) {
  ssize_t sent;
  do {
    sent = ::send(fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
  return static_cast<int>(sent);
}

bool KF_Socket::endOfStream() {
  if (!datagram_) return streamEnded(dataSocket_);
  // A 0-byte peek here would be an empty datagram, not a closed peer: a datagram socket ends
  // only when shut down, else polling pauses briefly.
  return receiveShutDown(dataSocket_) || waitReadable(kPollPauseMs) < 0;
}

bool KF_Socket::streamEnded(int fd) {
  if (fd < 0) return true;
  pollfd ready{fd, POLLIN, 0};
  if (::poll(&ready, 1, kPollPauseMs) <= 0) return false;
  char probe;
  return ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}
