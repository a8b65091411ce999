#include "halvex/net/stream_client.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int kMsPerSecond = 1000;
constexpr int kMaxPort = 65535;

/// Why the last call failed, as the operator reads it.
std::string errnoText(int number) {
  char buffer[256];
  // The GNU strerror_r returns its text, which may or may not be in the buffer.
  return strerror_r(number, buffer, sizeof buffer);
}

}  // namespace

bool splitHostPort(const std::string& text, std::string* host, int* port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return false;
  std::string name = text.substr(0, colon);
  if (name.front() == '[') {
    if (name.size() < 3 || name.back() != ']') return false;
    name = name.substr(1, name.size() - 2);
  } else if (name.find(':') != std::string::npos) {
    return false;  // An IPv6 address needs its brackets.
  }
  long number = 0;
  for (size_t i = colon + 1; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    number = number * 10 + (text[i] - '0');
    if (number > kMaxPort) return false;
  }
  if (number < 1) return false;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) <= ' ') return false;
  }
  *host = name;
  *port = static_cast<int>(number);
  return true;
}

/// One run of the client, shared with its thread so that a thread left inside a name lookup
/// keeps what it touches.
struct StreamClient::Session {
  std::string name;
  std::string host;
  std::string service;   ///< The port as text.
  std::string hostPort;  ///< "HOST:PORT" for the messages.
  DataHandler onData;
  ConnectHandler onConnect;
  int wakeRead = -1;  ///< Readable once stopping: ends every wait of the thread.
  int wakeWrite = -1;
  std::atomic<bool> connected{false};

  std::mutex mutex;  // Guards the members below.
  bool stopping = false;
  bool resolving = false;  ///< The thread is inside a name lookup.
  int socket = -1;         ///< The connected socket, -1 when none.

  bool outageSaid = false;  ///< Thread only: the present outage was reported.

  ~Session() {
    if (wakeRead >= 0) ::close(wakeRead);
    if (wakeWrite >= 0) ::close(wakeWrite);
  }

  void say(const std::string& text) const {
    std::fprintf(stderr, "halvex: %s: %s\n", name.c_str(), text.c_str());
  }

  /// Waits up to `ms` (-1: for ever) for `fd` to be ready for `events`; false when stopping.
  bool waitFor(int fd, short events, int ms, bool* ready) {
    pollfd fds[2] = {{wakeRead, POLLIN, 0}, {fd, events, 0}};
    const int count = fd >= 0 ? 2 : 1;
    int rc;
    do {
      rc = ::poll(fds, static_cast<nfds_t>(count), ms);
    } while (rc < 0 && errno == EINTR);
    if (fds[0].revents != 0) return false;
    *ready = rc > 0 && count == 2 && fds[1].revents != 0;
    return true;
  }

  /// A socket connected to the server, or -1 with the reason in `reason`; -1 with an empty
  /// reason when stopping.
  int connectOnce(std::string* reason);
  /// Reads the connection until it ends; false when stopping.
  bool serve(int fd, std::string* reason);
  /// Connection attempts, the reading and the pauses between attempts, until stopping.
  void run();
};

int StreamClient::Session::connectOnce(std::string* reason) {
  {
    std::lock_guard<std::mutex> hold(mutex);
    if (stopping) return -1;
    resolving = true;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int lookup = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  {
    std::lock_guard<std::mutex> hold(mutex);
    resolving = false;
    if (stopping) {
      if (found != nullptr) ::freeaddrinfo(found);
      return -1;
    }
  }
  if (lookup != 0) {
    *reason = ::gai_strerror(lookup);
    return -1;
  }
  int fd = -1;
  for (const addrinfo* at = found; at != nullptr && fd < 0; at = at->ai_next) {
    fd = ::socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, at->ai_protocol);
    if (fd < 0) {
      *reason = errnoText(errno);
      continue;
    }
    int rc = ::connect(fd, at->ai_addr, at->ai_addrlen);
    if (rc < 0 && errno == EINPROGRESS) {
      bool ready = false;
      if (!waitFor(fd, POLLOUT, kConnectTimeoutSeconds * kMsPerSecond, &ready)) {
        ::close(fd);
        ::freeaddrinfo(found);
        reason->clear();
        return -1;
      }
      int problem = ETIMEDOUT;
      socklen_t size = sizeof problem;
      if (ready) ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &problem, &size);
      errno = problem;
      rc = problem == 0 ? 0 : -1;
    }
    if (rc < 0) {
      *reason = errnoText(errno);
      ::close(fd);
      fd = -1;
    }
  }
  ::freeaddrinfo(found);
  return fd;
}

bool StreamClient::Session::serve(int fd, std::string* reason) {
  std::vector<char> buffer(kReadBytes);
  for (;;) {
    bool ready = false;
    if (!waitFor(fd, POLLIN, -1, &ready)) return false;
    const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
    if (got > 0) {
      if (onData) onData(buffer.data(), static_cast<size_t>(got));
      continue;
    }
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    *reason = got == 0 ? "closed by the server" : errnoText(errno);
    return true;
  }
}

void StreamClient::Session::run() {
  int delaySeconds = kFirstRetrySeconds;
  for (;;) {
    std::string reason;
    const int fd = connectOnce(&reason);
    bool wasUp = false;
    if (fd >= 0) {
      {
        std::lock_guard<std::mutex> hold(mutex);
        if (stopping) {
          ::close(fd);
          return;
        }
        socket = fd;
      }
      connected = true;
      if (outageSaid) say("connected to " + hostPort);
      outageSaid = false;
      if (onConnect) onConnect();
      bool more = serve(fd, &reason);
      connected = false;
      {
        std::lock_guard<std::mutex> hold(mutex);
        socket = -1;
        // A shut-down socket reads as closed before the pipe says why.
        more = more && !stopping;
      }
      ::close(fd);
      if (!more) return;
      wasUp = true;
      delaySeconds = kFirstRetrySeconds;
    } else if (reason.empty()) {
      return;  // Stopping.
    }
    if (!outageSaid) {
      say(wasUp ? "connection to " + hostPort + " lost; retrying"
                : "cannot reach " + hostPort + " (" + reason + "); retrying");
      outageSaid = true;
    }
    bool ignored = false;
    if (!waitFor(-1, 0, delaySeconds * kMsPerSecond, &ignored)) return;
    delaySeconds = std::min(delaySeconds * 2, kLastRetrySeconds);
  }
}

struct StreamClient::State {
  mutable std::mutex mutex;  // Guards every member.
  std::string name = "stream";
  DataHandler onData;
  ConnectHandler onConnect;
  std::string hostPort;
  std::shared_ptr<Session> session;  ///< The present run; null when stopped.
  std::thread thread;
};

StreamClient::StreamClient() : state_(std::make_unique<State>()) {}

StreamClient::~StreamClient() {
  stop();
}

void StreamClient::setDataHandler(DataHandler handler) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->onData = std::move(handler);
}

void StreamClient::setConnectHandler(ConnectHandler handler) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->onConnect = std::move(handler);
}

void StreamClient::setName(std::string name) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->name = std::move(name);
}

bool StreamClient::start(const std::string& hostPort, std::string* error) {
  stop();
  std::string host;
  int port = 0;
  if (!splitHostPort(hostPort, &host, &port)) {
    if (error != nullptr) *error = "not HOST:PORT: " + hostPort;
    return false;
  }
  auto session = std::make_shared<Session>();
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
    if (error != nullptr) *error = "cannot make a pipe: " + errnoText(errno);
    return false;
  }
  session->wakeRead = pipeEnds[0];
  session->wakeWrite = pipeEnds[1];
  session->host = host;
  session->service = std::to_string(port);
  session->hostPort = hostPort;
  std::lock_guard<std::mutex> hold(state_->mutex);
  session->name = state_->name;
  session->onData = state_->onData;
  session->onConnect = state_->onConnect;
  try {
    state_->thread = std::thread([session] { session->run(); });
  } catch (const std::system_error& failure) {
    if (error != nullptr) *error = std::string("cannot start a thread: ") + failure.what();
    return false;
  }
  state_->session = std::move(session);
  state_->hostPort = hostPort;
  return true;
}

void StreamClient::stop() {
  std::lock_guard<std::mutex> hold(state_->mutex);
  if (!state_->session) return;
  Session& session = *state_->session;
  bool resolving;
  {
    std::lock_guard<std::mutex> sessionHold(session.mutex);
    session.stopping = true;
    resolving = session.resolving;
    // A blocked call on a shut-down socket returns at once; the pipe ends every other wait.
    if (session.socket >= 0) ::shutdown(session.socket, SHUT_RDWR);
  }
  const char byte = 0;
  while (::write(session.wakeWrite, &byte, 1) < 0 && errno == EINTR) {
  }
  if (resolving) {
    state_->thread.detach();
  } else {
    state_->thread.join();
  }
  state_->session.reset();
}

bool StreamClient::running() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->session != nullptr;
}

bool StreamClient::connected() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->session && state_->session->connected;
}

std::string StreamClient::hostPort() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->hostPort;
}
