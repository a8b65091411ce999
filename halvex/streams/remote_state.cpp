#include "halvex/streams/remote_state.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "halvex/core/field_scan.h"
#include "halvex/net/kf_socket.h"
#include "halvex/streams/http_line_reader.h"
#include "halvex/streams/node_updates.h"
#include "halvex/streams/state_record.h"
#include "halvex/tracking/node_table.h"

namespace {

constexpr int kReceiveWaitBlock = 1;  ///< Receive wait mode: block until bytes or the end.
constexpr int kRefreshTagChars = 9;   ///< "<REFRESH>", the widest word the tag read takes.

// Sample: "<REFRESH> 30"
/// Reads the refresh value as sscanf(line, "%9s%f", tag, &value) does, truncated to whole
/// seconds. Values beyond int saturate; a line without a number (or with NaN) gives none.
bool readRefresh(const char* line, int& seconds) {
  char tag[kRefreshTagChars + 1];
  const char* rest = fieldscan::scanWord(line, tag, kRefreshTagChars);
  float value = 0;
  if (rest == nullptr || fieldscan::scanFloat(rest, value) == nullptr) return false;
  if (std::isnan(value)) return false;
  if (value >= static_cast<float>(INT_MAX)) {
    seconds = INT_MAX;
  } else if (value <= static_cast<float>(INT_MIN)) {
    seconds = INT_MIN;
  } else {
    seconds = static_cast<int>(value);
  }
  return true;
}

/// Whether text holds a line break: it would end the request line early.
bool hasLineBreak(const char* text) {
  return std::strpbrk(text, "\r\n") != nullptr;
}

/// The dotted address openTcpClient should connect to. A host name (first character a letter)
/// is looked up here and anything else must be a dotted IPv4 address, so that a host that does
/// not resolve fails instead of connecting elsewhere. False when it does not resolve.
bool resolveHost(const char* host, char (&address)[INET_ADDRSTRLEN]) {
  in_addr found{};
  if (std::isalpha(static_cast<unsigned char>(host[0]))) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) != 0 || list == nullptr) return false;
    found = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr;
    freeaddrinfo(list);
  } else if (inet_pton(AF_INET, host, &found) != 1) {
    return false;
  }
  return inet_ntop(AF_INET, &found, address, INET_ADDRSTRLEN) != nullptr;
}

/// Feeds the line reader from a connected socket. The reader asks for at most 799 bytes at a
/// time; taking what the socket holds in larger receives saves a system call per refill and
/// changes nothing the reader sees.
class SocketFeed {
 public:
  static constexpr int kChunkBytes = 64 * 1024;  ///< Bytes asked of the socket at once.

  /// Steps of the wait for data, ms: how soon a cancel is seen.
  static constexpr int kWaitStepMs = 100;

  SocketFeed(KF_Socket& socket, const std::atomic<bool>* cancel)
      : socket_(socket),
        cancel_(cancel),
        deadline_(Clock::now() + std::chrono::milliseconds(kRemoteFetchLimitMs)) {}

  static int receive(void* source, char* buffer, int length) {
    return static_cast<SocketFeed*>(source)->take(buffer, length);
  }

 private:
  using Clock = std::chrono::steady_clock;

  /// Waits for data in short steps, giving up on a cancel, a stall or the fetch's time limit.
  bool dataReady() {
    const auto stallLimit = Clock::now() + std::chrono::milliseconds(kRemoteStallMs);
    for (;;) {
      if (cancel_ != nullptr && cancel_->load()) return false;
      const auto now = Clock::now();
      if (now >= stallLimit || now >= deadline_) return false;
      const int ready = socket_.waitReadable(kWaitStepMs);
      if (ready != 0) return ready > 0;
    }
  }

  int take(char* buffer, int length) {
    if (position_ == fill_) {
      if (!dataReady()) return 0;
      const int got = socket_.receive(chunk_.get(), kChunkBytes, kReceiveWaitBlock);
      if (got <= 0) return got;
      fill_ = got;
      position_ = 0;
    }
    const int n = std::min(length, fill_ - position_);
    std::memcpy(buffer, chunk_.get() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
  }

  KF_Socket& socket_;
  const std::atomic<bool>* cancel_;  ///< Set by the owner to end the fetch; may be null.
  Clock::time_point deadline_;       ///< End of the whole fetch.
  std::unique_ptr<char[]> chunk_{new char[kChunkBytes]};
  int fill_ = 0;
  int position_ = 0;
};

/// Sends the whole request; false when the connection fails before it is out.
bool sendAll(KF_Socket& socket, const char* data, int length) {
  while (length > 0) {
    const int n = socket.send(data, length, 0);
    if (n <= 0) return false;
    data += n;
    length -= n;
  }
  return true;
}

}  // namespace

int formatRemoteRequest(char* buffer, size_t size, const char* host, const char* path) {
  if (buffer == nullptr || size == 0) return -1;
  buffer[0] = '\0';
  if (host == nullptr || path == nullptr || host[0] == '\0' || hasLineBreak(host) ||
      hasLineBreak(path)) {
    return -1;
  }
  const int n = std::snprintf(buffer, size, "GET %s HTTP/1.0\r\nHost: %s\r\n\r\n", path, host);
  if (n < 0 || static_cast<size_t>(n) >= size) {
    buffer[0] = '\0';
    return -1;
  }
  return n;
}

int readRemoteRecords(HttpLineReader& lines, const RemoteRecordSink& sink, int* refreshOut) {
  enum class Part { kHeader, kRecords, kTrailer };
  if (refreshOut != nullptr) *refreshOut = 0;
  Part part = Part::kHeader;
  int applied = 0;
  while (char* line = lines.nextLine()) {
    switch (part) {
      case Part::kHeader:
        if (fieldscan::tagPrefix(line, "<dgc>", 5)) part = Part::kRecords;
        break;
      case Part::kRecords:
        if (fieldscan::tagPrefix(line, "</dgc>", 6)) {
          part = Part::kTrailer;
        } else if (!lines.lineUnterminated() || std::strchr(line, '*') != nullptr) {
          // A record the connection cut off before its "*" may hold half a name: not applied.
          if (sink(line)) ++applied;
        }
        break;
      case Part::kTrailer: {
        int seconds = 0;
        if (fieldscan::tagPrefix(line, "<refresh>", 5) && readRefresh(line, seconds) &&
            refreshOut != nullptr) {
          *refreshOut = seconds;
        }
        break;
      }
    }
  }
  return applied;
}

int readRemoteResponse(const NodeTable& table, HttpLineReader& lines, int* refreshOut) {
  return readRemoteRecords(
      lines, [&table](char* line) { return applyStateRecordLine(table, line); }, refreshOut);
}

bool fetchRemoteRecords(const char* host, int port, const char* path, const RemoteRecordSink& sink,
                        int* refreshOut, const std::atomic<bool>* cancel) {
  if (refreshOut != nullptr) *refreshOut = 0;
  char request[kRemoteRequestBytes];
  const int length = formatRemoteRequest(request, sizeof request, host, path);
  if (length < 0) return false;
  char address[INET_ADDRSTRLEN];
  if (!resolveHost(host, address)) return false;

  KF_Socket socket;
  socket.setTimeout(kRemoteStallMs);
  if (!socket.openTcpClient(address, port, 1)) return false;
  if (sendAll(socket, request, length)) {
    SocketFeed feed(socket, cancel);
    HttpLineReader lines(SocketFeed::receive, &feed);
    readRemoteRecords(lines, sink, refreshOut);
  }
  socket.close();
  return true;
}

bool fetchRemoteState(const NodeTable& table, const char* host, int port, const char* path,
                      int* refreshOut, const std::atomic<bool>* cancel) {
  return fetchRemoteRecords(
      host, port, path, [&table](char* line) { return applyStateRecordLine(table, line); },
      refreshOut, cancel);
}

bool RemoteRecords::keep(const char* line) {
  scratch_.assign(line);
  StateRecord record;
  if (!parseStateRecord(&scratch_[0], record) || record.id < 0 || record.id > NodeTable::kMaxId) {
    return false;
  }
  if (indexOfId_.empty()) indexOfId_.assign(NodeTable::kMaxId + 1, -1);
  int& index = indexOfId_[static_cast<size_t>(record.id)];
  if (index < 0) {
    index = static_cast<int>(lines_.size());
    lines_.emplace_back(line);
  } else {
    lines_[static_cast<size_t>(index)].assign(line);
  }
  return true;
}

int RemoteRecords::applyTo(const NodeTable& table) const {
  int applied = 0;
  std::string line;
  for (const std::string& kept : lines_) {
    line = kept;  // applying cuts the line
    if (applyStateRecordLine(table, &line[0])) ++applied;
  }
  return applied;
}
