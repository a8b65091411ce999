// One broker connection on a thread of its own. The name lookup of a connection attempt waits
// inside the library (it resolves before it connects), so every attempt, the traffic and the
// pauses between attempts run on that thread, never on the caller's.
#include "halvex/net/mqtt_link.h"

#include <fcntl.h>
#include <mosquitto.h>
#include <netdb.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <thread>
#include <utility>
#include <vector>

#include "common/platform/host_name.h"

namespace {

/// Longest wait of one pass of the library's loop, ms: the thread looks at its stop flag at
/// least this often even when nothing wakes it.
constexpr int kLoopTimeoutMs = 500;
/// Longest wait for the broker to accept a connection, s: a host that drops the attempt
/// silently would otherwise hold it for the system's TCP timeout of minutes.
constexpr int kAnswerSeconds = 10;
/// Longest client id, bytes: what the brokers of this system are known to accept.
constexpr size_t kMaxClientIdBytes = 64;
/// Longest password read from a password file, bytes (MQTT allows 65535).
constexpr size_t kMaxPasswordBytes = 65535;

/// The library's process-wide set-up, once, whichever thread comes first.
void initLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { mosquitto_lib_init(); });
}

/// `text` without the full stop the library ends its sentences with.
std::string clause(const char* text) {
  std::string s = text;
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

/// Why a library call failed, from its result and the errno it left.
std::string reasonOf(int rc, int savedErrno) {
  if (rc == MOSQ_ERR_ERRNO) return std::strerror(savedErrno);
  // A failed name lookup leaves the resolver's code in errno.
  if (rc == MOSQ_ERR_EAI) return gai_strerror(savedErrno);
  return clause(mosquitto_strerror(rc));
}

/// Reads the first line of the password file at `path` into `password`; false with the reason
/// in `error` when it cannot be read or when group or others may read it.
bool readPasswordFile(const std::string& path, std::string& password, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    *error = path + ": not a regular file";
    ::close(fd);
    return false;
  }
  if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    *error = path + ": readable by others; make it mode 0600";
    ::close(fd);
    return false;
  }
  password.clear();
  char buffer[4096];
  bool lineEnded = false;
  while (!lineEnded && password.size() <= kMaxPasswordBytes) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = path + ": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    const char* end = static_cast<const char*>(std::memchr(buffer, '\n', static_cast<size_t>(n)));
    lineEnded = end != nullptr;
    password.append(buffer, lineEnded ? static_cast<size_t>(end - buffer) : static_cast<size_t>(n));
  }
  ::close(fd);
  if (!password.empty() && password.back() == '\r') password.pop_back();
  if (password.size() > kMaxPasswordBytes) {
    *error = path + ": password too long";
    return false;
  }
  return true;
}

/// Adds `pattern` at `qos` to `list`, or sets the QoS of the pattern already there.
void remember(std::vector<std::pair<std::string, int>>& list, const std::string& pattern, int qos) {
  for (auto& entry : list) {
    if (entry.first == pattern) {
      entry.second = qos;
      return;
    }
  }
  list.emplace_back(pattern, qos);
}

/// One run of the link, from start() to stop(): the library's client and what its thread and
/// callbacks share. The thread holds it too, so that it can outlive a stop() that does not wait
/// for a name lookup.
struct LinkSession {
  std::string name;      ///< For the operator's messages ("output", "input"); may be empty.
  std::string hostPort;  ///< "HOST:PORT".
  std::string host;
  int port = 0;
  MqttLink::MessageHandler onMessage;
  MqttLink::ConnectHandler onConnect;
  mosquitto* mosq = nullptr;

  std::atomic<bool> connected{false};
  /// Held alone while an attempt resets the client (socket, wake-up pipe, queues); publish()
  /// and subscribe() share it, and skip rather than wait while an attempt looks up the name.
  std::shared_mutex clientMutex;
  std::atomic<long> disconnects{0};

  std::mutex mutex;  // Guards the members below.
  std::condition_variable wake;
  bool stopping = false;
  bool resolving = false;   ///< The thread is inside a connection attempt (name lookup).
  bool up = false;          ///< The present attempt reached the broker and was accepted.
  bool outageSaid = false;  ///< The present outage was reported on standard error.
  std::string refusal;      ///< Why the broker refused the last connection, empty if it did not.
  std::string statusText;
  std::vector<std::pair<std::string, int>> subscriptions;

  ~LinkSession() {
    if (mosq != nullptr) mosquitto_destroy(mosq);
  }

  /// "halvex: MQTT NAME: TEXT" on standard error.
  void say(const std::string& text) const {
    std::fprintf(stderr, "halvex: MQTT%s%s: %s\n", name.empty() ? "" : " ", name.c_str(),
                 text.c_str());
  }

  /// The connection attempts, the traffic and the pauses between attempts, until stopping.
  void run();
  /// One pass of the library's loop after a successful attempt, until the connection ends;
  /// the reason it ended (empty when stopping).
  std::string serve();

  static void connectCallback(mosquitto*, void* self, int rc) {
    static_cast<LinkSession*>(self)->handleConnect(rc);
  }
  static void disconnectCallback(mosquitto*, void* self, int) {
    static_cast<LinkSession*>(self)->handleDisconnect();
  }
  static void messageCallback(mosquitto*, void* self, const mosquitto_message* message) {
    static_cast<LinkSession*>(self)->onMessage(message->topic, message->payload,
                                               message->payloadlen);
  }

  void handleConnect(int rc);
  void handleDisconnect();
};

void LinkSession::run() {
  int delaySeconds = MqttLink::kFirstRetrySeconds;
  bool first = true;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (stopping) return;
      resolving = true;
      up = false;
      refusal.clear();
    }
    std::unique_lock<std::shared_mutex> attempt(clientMutex);
    // The first attempt sets the client up; later ones keep its set-up.
    const int rc =
        first ? mosquitto_connect_async(mosq, host.c_str(), port, MqttLink::kKeepAliveSeconds)
              : mosquitto_reconnect_async(mosq);
    const int savedErrno = errno;
    attempt.unlock();
    first = false;
    {
      std::lock_guard<std::mutex> lock(mutex);
      resolving = false;
      if (stopping) return;
    }
    std::string reason = rc == MOSQ_ERR_SUCCESS ? serve() : reasonOf(rc, savedErrno);
    bool wasUp;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (stopping) return;
      if (!refusal.empty()) reason = refusal;
      wasUp = up;
      const bool sayIt = !outageSaid;
      outageSaid = true;
      if (wasUp) {
        statusText = "connection to " + hostPort + " lost; retrying";
        if (sayIt) say(statusText);
      } else {
        statusText = "cannot reach " + hostPort + ": " + reason + "; retrying";
        if (sayIt) say("cannot reach " + hostPort + " (" + reason + "); retrying");
      }
    }
    if (wasUp) delaySeconds = MqttLink::kFirstRetrySeconds;
    std::unique_lock<std::mutex> lock(mutex);
    wake.wait_for(lock, std::chrono::seconds(delaySeconds), [this] { return stopping; });
    delaySeconds = std::min(delaySeconds * 2, MqttLink::kLastRetrySeconds);
  }
}

std::string LinkSession::serve() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kAnswerSeconds);
  for (;;) {
    const int rc = mosquitto_loop(mosq, kLoopTimeoutMs, 1);
    const int savedErrno = errno;
    std::lock_guard<std::mutex> lock(mutex);
    if (stopping) return std::string();
    if (rc != MOSQ_ERR_SUCCESS) return reasonOf(rc, savedErrno);
    if (!up && std::chrono::steady_clock::now() > deadline) return "no answer";
  }
}

void LinkSession::handleConnect(int rc) {
  std::vector<std::pair<std::string, int>> patterns;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (rc != 0) {
      // The library ends the connection after this; run() reports the refusal.
      refusal = clause(mosquitto_connack_string(rc));
      return;
    }
    connected = true;
    up = true;
    statusText = "connected to " + hostPort;
    if (outageSaid) say("connected to " + hostPort);
    outageSaid = false;
    patterns = subscriptions;
  }
  for (const auto& [pattern, qos] : patterns) {
    mosquitto_subscribe(mosq, nullptr, pattern.c_str(), qos);
  }
  if (onConnect) onConnect();
}

void LinkSession::handleDisconnect() {
  if (connected.exchange(false)) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!stopping) ++disconnects;
  }
}

}  // namespace

/// What the link keeps from one run to the next.
struct MqttLink::State {
  mutable std::mutex mutex;  // Guards every member.
  std::string name;
  MessageHandler onMessage;
  ConnectHandler onConnect;
  std::vector<std::pair<std::string, int>> subscriptions;
  std::shared_ptr<LinkSession> session;  ///< The present run; null when stopped.
  std::thread thread;
  long pastDisconnects = 0;  ///< Of the runs before the present one.
};

MqttLink::MqttLink(std::string clientId)
    : clientId_(std::move(clientId)), state_(std::make_unique<State>()) {}

MqttLink::~MqttLink() {
  stop();
}

void MqttLink::setMessageHandler(MessageHandler handler) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->onMessage = std::move(handler);
}

void MqttLink::setConnectHandler(ConnectHandler handler) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->onConnect = std::move(handler);
}

void MqttLink::setName(std::string name) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->name = std::move(name);
}

bool MqttLink::start(const MqttSettings& settings, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  stop();
  if (settings.host.empty()) {
    *error = "no broker host";
    return false;
  }
  if (settings.port < 1 || settings.port > 65535) {
    *error = "broker port " + std::to_string(settings.port) + " is outside 1 to 65535";
    return false;
  }
  std::string password;
  if (!settings.passwordFile.empty()) {
    if (settings.user.empty()) {
      *error = settings.passwordFile + ": a password needs a user name";
      return false;
    }
    if (!readPasswordFile(settings.passwordFile, password, error)) return false;
  }
  if (!settings.caFile.empty() && ::access(settings.caFile.c_str(), R_OK) != 0) {
    *error = settings.caFile + ": " + std::strerror(errno);
    return false;
  }

  initLibrary();
  auto session = std::make_shared<LinkSession>();
  session->host = settings.host;
  session->port = settings.port;
  session->hostPort = settings.host + ":" + std::to_string(settings.port);
  session->statusText = "connecting to " + session->hostPort;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    session->name = state_->name;
    session->onMessage = state_->onMessage;
    session->onConnect = state_->onConnect;
    session->subscriptions = state_->subscriptions;
  }
  session->mosq = mosquitto_new(clientId_.c_str(), true, session.get());
  if (session->mosq == nullptr) {
    *error = std::string("cannot make an MQTT client: ") + std::strerror(errno);
    return false;
  }
  mosquitto* mosq = session->mosq;
  mosquitto_threaded_set(mosq, true);
  // Small state messages: send each at once rather than wait to fill a segment.
  mosquitto_int_option(mosq, MOSQ_OPT_TCP_NODELAY, 1);
  mosquitto_connect_callback_set(mosq, &LinkSession::connectCallback);
  mosquitto_disconnect_callback_set(mosq, &LinkSession::disconnectCallback);
  if (session->onMessage) mosquitto_message_callback_set(mosq, &LinkSession::messageCallback);
  int rc = MOSQ_ERR_SUCCESS;
  if (!settings.user.empty()) {
    rc = mosquitto_username_pw_set(mosq, settings.user.c_str(),
                                   settings.passwordFile.empty() ? nullptr : password.c_str());
  }
  if (rc == MOSQ_ERR_SUCCESS && !settings.caFile.empty()) {
    rc = mosquitto_tls_set(mosq, settings.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
  }
  std::fill(password.begin(), password.end(), '\0');
  if (rc != MOSQ_ERR_SUCCESS) {
    *error = std::string("cannot set up the MQTT client: ") + mosquitto_strerror(rc);
    return false;
  }

  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->session = session;
  state_->thread = std::thread([session] { session->run(); });
  return true;
}

void MqttLink::stop() {
  std::shared_ptr<LinkSession> session;
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    session = std::move(state_->session);
    thread = std::move(state_->thread);
    state_->session.reset();
    if (session != nullptr) state_->pastDisconnects += session->disconnects;
  }
  if (session == nullptr) return;
  bool resolving;
  {
    std::lock_guard<std::mutex> lock(session->mutex);
    session->stopping = true;
    resolving = session->resolving;
  }
  session->wake.notify_all();
  if (resolving) {
    // A name lookup may take the resolver's whole timeout; the thread ends by itself after it,
    // calls no handler, and frees the session.
    thread.detach();
    return;
  }
  mosquitto_disconnect(session->mosq);  // Wakes the loop; the thread sees the stop flag.
  thread.join();
  session->connected = false;
}

void MqttLink::subscribe(const std::string& pattern, int qos) {
  std::shared_ptr<LinkSession> session;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    remember(state_->subscriptions, pattern, qos);
    session = state_->session;
  }
  if (session == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(session->mutex);
    remember(session->subscriptions, pattern, qos);
    if (!session->connected) return;  // The connect handler subscribes it.
  }
  std::shared_lock<std::shared_mutex> client(session->clientMutex, std::try_to_lock);
  // Not owned: an attempt is under way, and its connect handler subscribes it.
  if (client.owns_lock()) mosquitto_subscribe(session->mosq, nullptr, pattern.c_str(), qos);
}

bool MqttLink::publish(const std::string& topic, const std::string& payload, int qos, bool retain) {
  std::shared_ptr<LinkSession> session;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    session = state_->session;
  }
  if (session == nullptr) return false;
  std::shared_lock<std::shared_mutex> client(session->clientMutex, std::try_to_lock);
  if (!client.owns_lock() || !session->connected) return false;
  return mosquitto_publish(session->mosq, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                           payload.data(), qos, retain) == MOSQ_ERR_SUCCESS;
}

bool MqttLink::connected() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->session != nullptr && state_->session->connected;
}

std::string MqttLink::status() const {
  std::shared_ptr<LinkSession> session;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    session = state_->session;
  }
  if (session == nullptr) return "stopped";
  std::lock_guard<std::mutex> lock(session->mutex);
  return session->statusText;
}

long MqttLink::disconnects() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->pastDisconnects +
         (state_->session != nullptr ? state_->session->disconnects.load() : 0);
}

std::string MqttLink::uniqueClientId(const char* program) {
  const std::string hostPart = hostName();
  std::random_device random;
  char tail[32];
  std::snprintf(tail, sizeof tail, "-%ld-%08x", static_cast<long>(::getpid()),
                static_cast<unsigned>(random()));
  std::string head = program != nullptr && program[0] != '\0' ? program : "halvex";
  // The pid and random part are what make the id unique: cut the host name, then the program.
  const size_t room = kMaxClientIdBytes - std::strlen(tail);
  head = head.substr(0, room);
  if (!hostPart.empty() && head.size() + 1 < room) {
    head += "-" + hostPart.substr(0, room - head.size() - 1);
  }
  return head + tail;
}

std::string mqttLinkStatus(const MqttLink* link, const std::string& startError) {
  if (link) return link->status();
  return startError.empty() ? "stopped" : "not started: " + startError;
}
