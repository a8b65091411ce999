// Node states from a remote state server: one HTTP/1.0 GET per poll over a fresh TCP connection,
// whose body is a section of state records and an optional refresh value:
//   <dgc>
//   $007,32.712345,-117.160000,1126531205,250,0,0.125,north gate,moving,Truck 7*
//   </dgc>
//   <REFRESH> 5
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class HttpLineReader;
class NodeTable;

/// Room for the request line and Host header; a host and path that need more are refused.
constexpr int kRemoteRequestBytes = 2048;
/// Longest wait for a connection, or for the next bytes of a response, ms: a server that stalls
/// ends the fetch instead of holding the poll (and the tracker's shutdown) forever.
constexpr int kRemoteStallMs = 5000;
/// Longest whole fetch, ms: a server that trickles its response ends there too.
constexpr int kRemoteFetchLimitMs = 30000;

/// Writes "GET <path> HTTP/1.0\r\nHost: <host>\r\n\r\n" into buffer (size bytes, terminator
/// included). Returns its length, or -1 when host or path is null or holds a line break, the host
/// is empty or the request does not fit; nothing usable is written then.
int formatRemoteRequest(char* buffer, size_t size, const char* host, const char* path);

/// Takes one state record line of a response (it may cut the line in place); returns whether it
/// counts as applied.
using RemoteRecordSink = std::function<bool(char* line)>;

/// Reads a response to its end: lines up to the one beginning "<dgc>" are skipped, then each
/// line is a state record handed to `sink` until the line beginning "</dgc>", after which a
/// "<REFRESH>" line gives the refresh value in whole seconds to *refreshOut (set to 0 first
/// when given). A record cut off by the end of the response (no line feed, no closing "*") is
/// not handed on. Returns the number of records the sink applied.
int readRemoteRecords(HttpLineReader& lines, const RemoteRecordSink& sink, int* refreshOut);

/// readRemoteRecords applying each record to `table`.
int readRemoteResponse(const NodeTable& table, HttpLineReader& lines, int* refreshOut);

/// Fetches `path` from the server at host (a name or dotted address) and port, handing its state
/// records to `sink` as they arrive (see readRemoteRecords). Returns true when the connection was
/// made, whatever the body held; false, with nothing handed on, when the request is refused by
/// formatRemoteRequest, the host name does not resolve or the connection fails (within
/// kRemoteStallMs). A response that stalls for kRemoteStallMs, or runs longer than
/// kRemoteFetchLimitMs, ends there, and so does one whose `cancel` flag is set (checked at
/// least every 100 ms). *refreshOut, when given, is set to 0 first.
bool fetchRemoteRecords(const char* host, int port, const char* path, const RemoteRecordSink& sink,
                        int* refreshOut, const std::atomic<bool>* cancel = nullptr);

/// fetchRemoteRecords applying each record to `table` as it arrives.
bool fetchRemoteState(const NodeTable& table, const char* host, int port, const char* path,
                      int* refreshOut, const std::atomic<bool>* cancel = nullptr);

/// The records of one response held to be applied later, on another thread than the fetch's:
/// the last record of each node id that can name a node (0 to NodeTable::kMaxId), so that a
/// response of any length takes bounded memory (at most one longest line per id). Applied, they
/// leave each node's position, status, texts and age as applying the whole response in order
/// does.
class RemoteRecords {
 public:
  /// Keeps `line` as the record of its node id, in place of one kept before. False, keeping
  /// nothing, when the line is no record or its id is outside 0 to NodeTable::kMaxId.
  bool keep(const char* line);
  /// Applies the records kept to `table`, in the order their ids first came. Returns how many
  /// nodes took one.
  int applyTo(const NodeTable& table) const;
  /// Records kept.
  int count() const { return static_cast<int>(lines_.size()); }

 private:
  std::vector<int> indexOfId_;      ///< Index into lines_ by node id, -1 for none; sized at need.
  std::vector<std::string> lines_;  ///< Record lines, in the order their ids first came.
  std::string scratch_;             ///< The line being read for its id.
};
