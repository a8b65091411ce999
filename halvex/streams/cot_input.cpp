#include "halvex/streams/cot_input.h"

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/platform/sleep.h"
#include "halvex/net/multicast_socket.h"
#include "halvex/net/stream_client.h"
#include "halvex/streams/cot_event.h"
#include "halvex/streams/cot_uid_table.h"
#include "halvex/streams/node_state_inbox.h"
#include "halvex/tracking/node_record.h"

namespace {

constexpr int kMinPort = 1;
constexpr int kMaxPort = 65535;
/// Pause after a failed receive, so that a lasting socket error does not spin the thread.
constexpr unsigned kReceiveErrorPauseMs = 10;

/// What of an event waits for the loop: texts cut to what a node keeps, so that the waiting
/// events cost memory by uids, not by what senders put in them.
struct WaitingEvent {
  int64_t timeMs = 0;
  double latitude = 0;
  double longitude = 0;
  std::string callsign;
  std::string remarks;
};

/// `text` cut to fit a node's text field, never inside a UTF-8 sequence.
std::string fieldText(std::string&& text) {
  size_t length = NodeRecord::kTextBytes - 1;
  if (text.size() <= length) return std::move(text);
  while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xc0) == 0x80) --length;
  text.resize(length);
  return std::move(text);
}

}  // namespace

struct CotInput::Shared {
  // Set by start() before the threads start, read on them.
  std::string ownPrefix;
  std::function<void()> wake;

  std::mutex mutex;
  /// The newest event of each uid not yet applied; guarded by mutex.
  std::unordered_map<std::string, WaitingEvent> waiting;

  // Loop thread (start, stop, apply).
  CotUidTable uids;
  NodeStateInbox inbox;
  std::vector<std::pair<std::string, WaitingEvent>> batch;

  mutable std::mutex runMutex;  // Guards the members below.
  int socket = -1;
  std::thread thread;
  std::unique_ptr<StreamClient> client;
  std::string listening;  ///< "GROUP:PORT" while running.
  std::string error;      ///< Why the last start failed.
  std::atomic<bool> stopping{false};

  // Stream thread only.
  CotStreamSplitter splitter;
  long oversizedSeen = 0;  ///< splitter.oversized() already counted.

  std::atomic<long> received{0};
  std::atomic<long> applied{0};
  std::atomic<long> dropped{0};
  std::atomic<long> ignored{0};
  std::atomic<long> binary{0};
  std::atomic<bool> binarySaid{false};

  void count(std::atomic<long>& counter) { counter.fetch_add(1, std::memory_order_relaxed); }

  /// One datagram or stream event (a receive thread), counted as received once it waits or its
  /// other count is made, so that a reader of the counts sees the one with the other.
  void take(const char* data, size_t bytes) {
    sort(data, bytes);
    received.fetch_add(1, std::memory_order_release);
  }

  void sort(const char* data, size_t bytes) {
    if (bytes > 0 && static_cast<unsigned char>(data[0]) == kBinaryMagic) {
      count(binary);
      if (!binarySaid.exchange(true)) {
        std::fprintf(stderr,
                     "halvex: CoT input: binary (protocol) datagrams are not read; send XML "
                     "events\n");
      }
      return;
    }
    CotEvent event;
    if (readCotEvent(data, bytes, event) != CotError::kNone) {
      count(dropped);
      return;
    }
    // Own events first: a tracker with CoT in and out on one group must not hear itself. A uid
    // too long for the table cannot be in it.
    if (event.uid.compare(0, ownPrefix.size(), ownPrefix) == 0 && !ownPrefix.empty()) {
      count(ignored);
      return;
    }
    if (event.uid.size() > CotUidTable::kMaxUidBytes) {
      count(ignored);
      return;
    }
    WaitingEvent entry;
    entry.timeMs = event.timeMs;
    entry.latitude = event.latitude;
    entry.longitude = event.longitude;
    entry.callsign = fieldText(std::move(event.callsign));
    entry.remarks = fieldText(std::move(event.remarks));
    std::lock_guard<std::mutex> hold(mutex);
    auto found = waiting.find(event.uid);
    if (found == waiting.end()) {
      if (waiting.size() >= static_cast<size_t>(kMaxWaitingUids)) {
        count(dropped);
        return;
      }
      waiting.emplace(std::move(event.uid), std::move(entry));
      if (waiting.size() == 1 && wake) wake();
      return;
    }
    // One of the two is not applied; the newer fix stays.
    count(ignored);
    if (entry.timeMs >= found->second.timeMs) found->second = std::move(entry);
  }

  /// Bytes of the TCP stream (the stream client's thread).
  void takeStream(const char* data, size_t bytes) {
    splitter.feed(data, bytes, [this](const char* event, size_t length) { take(event, length); });
    const long oversized = splitter.oversized();
    if (oversized > oversizedSeen) {
      dropped.fetch_add(oversized - oversizedSeen, std::memory_order_relaxed);
      received.fetch_add(oversized - oversizedSeen, std::memory_order_release);
      oversizedSeen = oversized;
    }
  }

  /// A new connection: a part event of the last one must not join the first of this one.
  void restartStream() {
    splitter = CotStreamSplitter();
    oversizedSeen = 0;
  }

  /// The receive thread: one datagram at a time, read and left waiting.
  void receiveLoop() {
    // One byte over the largest event read, so that a longer datagram shows as one.
    std::vector<char> buffer(kCotMaxBytes + 1);
    while (!stopping.load()) {
      const ssize_t got = ::recv(socket, buffer.data(), buffer.size(), MSG_TRUNC);
      if (stopping.load()) break;
      if (got < 0) {
        if (errno != EINTR) sleepMs(kReceiveErrorPauseMs);
        continue;
      }
      if (static_cast<size_t>(got) > kCotMaxBytes) {
        count(dropped);
        received.fetch_add(1, std::memory_order_release);
        continue;
      }
      take(buffer.data(), static_cast<size_t>(got));
    }
  }
};

CotInput::CotInput() : shared_(std::make_unique<Shared>()) {}

CotInput::~CotInput() {
  stop();
}

bool CotInput::start(const CotSettings& settings, const std::string& uidTablePath,
                     const std::string& ownUidPrefix, std::string* error) {
  stop();
  Shared& s = *shared_;
  std::string problem;
  auto fail = [&](const std::string& reason) {
    std::lock_guard<std::mutex> hold(s.runMutex);
    s.error = reason;
    if (error != nullptr) *error = reason;
    return false;
  };
  if (settings.port < kMinPort || settings.port > kMaxPort) {
    return fail("port " + std::to_string(settings.port) + " is not 1 to 65535");
  }
  // Without a uid table no event has a node to go to.
  if (uidTablePath.empty()) return fail("no uid table: the master file names none (CotNodes FILE)");
  if (!s.uids.load(uidTablePath, &problem)) return fail("CoT nodes: " + problem);
  std::unique_ptr<StreamClient> client;
  if (!settings.tcp.empty()) {
    client = std::make_unique<StreamClient>();
    client->setName("CoT input");
    client->setConnectHandler([&s] { s.restartStream(); });
    client->setDataHandler([&s](const char* data, size_t bytes) { s.takeStream(data, bytes); });
  }
  {
    std::lock_guard<std::mutex> hold(s.mutex);
    s.waiting.clear();
  }
  s.ownPrefix = ownUidPrefix;
  const int fd = openMulticastReceiver(settings.group.c_str(), settings.port);
  if (fd < 0) return fail("cannot open a socket for " + settings.group);
  // The forced size passes the system's ceiling where the process may; else as much as it allows.
  if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveQueueBytes,
                   sizeof kReceiveQueueBytes) != 0) {
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kReceiveQueueBytes, sizeof kReceiveQueueBytes);
  }
  std::lock_guard<std::mutex> hold(s.runMutex);
  s.socket = fd;
  s.stopping.store(false);
  try {
    s.thread = std::thread([&s] { s.receiveLoop(); });
  } catch (const std::system_error& failure) {
    ::close(fd);
    s.socket = -1;
    s.error = std::string("cannot start a thread: ") + failure.what();
    if (error != nullptr) *error = s.error;
    return false;
  }
  if (client && !client->start(settings.tcp, &problem)) {
    s.stopping.store(true);
    ::shutdown(fd, SHUT_RDWR);
    s.thread.join();
    ::close(fd);
    s.socket = -1;
    s.error = "tcp " + problem;
    if (error != nullptr) *error = s.error;
    return false;
  }
  s.client = std::move(client);
  s.listening = settings.group + ":" + std::to_string(settings.port);
  s.error.clear();
  return true;
}

void CotInput::stop() {
  Shared& s = *shared_;
  std::lock_guard<std::mutex> hold(s.runMutex);
  if (s.client) {
    s.client->stop();
    s.client.reset();
  }
  if (s.thread.joinable()) {
    s.stopping.store(true);
    // A blocked receive on a shut-down socket returns at once, and so does every later one.
    ::shutdown(s.socket, SHUT_RDWR);
    s.thread.join();
  }
  if (s.socket >= 0) {
    ::close(s.socket);
    s.socket = -1;
  }
  s.listening.clear();
}

bool CotInput::running() const {
  std::lock_guard<std::mutex> hold(shared_->runMutex);
  return shared_->thread.joinable();
}

void CotInput::setWakeHandler(std::function<void()> wake) {
  shared_->wake = std::move(wake);
}

int CotInput::apply(const NodeTable& table) {
  Shared& s = *shared_;
  s.batch.clear();
  {
    std::lock_guard<std::mutex> hold(s.mutex);
    if (s.waiting.empty()) return 0;
    for (auto& entry : s.waiting) s.batch.emplace_back(entry.first, std::move(entry.second));
    s.waiting.clear();
  }
  long ignored = 0;
  for (auto& [uid, event] : s.batch) {
    const int id = s.uids.assign(uid, table);
    if (id < 0) {
      ++ignored;
      continue;
    }
    NodeState state;
    state.id = id;
    state.name = std::move(event.callsign);
    state.latitude = event.latitude;
    state.longitude = event.longitude;
    state.timeMs = event.timeMs;
    state.comment1 = std::move(event.remarks);
    if (s.inbox.put(std::move(state)) != NodeStateInbox::Put::kWaiting) ++ignored;
  }
  // New pairs of this step replace the file once.
  s.uids.writeBack();
  const NodeStateInbox::Applied done = s.inbox.apply(table);
  s.applied.fetch_add(done.applied, std::memory_order_relaxed);
  s.ignored.fetch_add(ignored + done.ignored, std::memory_order_relaxed);
  return done.applied;
}

std::string CotInput::status() const {
  const Shared& s = *shared_;
  std::string line;
  {
    std::lock_guard<std::mutex> hold(s.runMutex);
    if (s.listening.empty()) {
      return s.error.empty() ? std::string("stopped") : "not started: " + s.error;
    }
    line = "listening on " + s.listening;
    if (s.client) {
      line +=
          ", tcp " + s.client->hostPort() + (s.client->connected() ? " connected" : " retrying");
    }
  }
  return line + "; " + std::to_string(received()) + " received, " + std::to_string(applied()) +
         " applied, " + std::to_string(dropped()) + " dropped, " + std::to_string(ignored()) +
         " ignored, " + std::to_string(binary()) + " binary";
}

long CotInput::received() const {
  return shared_->received.load(std::memory_order_acquire);
}

long CotInput::applied() const {
  return shared_->applied.load(std::memory_order_relaxed);
}

long CotInput::dropped() const {
  return shared_->dropped.load(std::memory_order_relaxed);
}

long CotInput::ignored() const {
  return shared_->ignored.load(std::memory_order_relaxed);
}

long CotInput::binary() const {
  return shared_->binary.load(std::memory_order_relaxed);
}
