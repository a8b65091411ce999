// Node states from a remote state server: one HTTP/1.0 GET per poll over a fresh TCP connection,
// whose body is a section of state records and an optional refresh value:
//   <dgc>
//   $007,32.712345,-117.160000,1126531205,250,0,0.125,north gate,moving,Truck 7*
//   </dgc>
//   <REFRESH> 5
#pragma once

#include <atomic>
#include <cstddef>

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

/// Reads a response to its end: lines up to the one beginning "<dgc>" are skipped, then each
/// line is a state record applied to `table` until the line beginning "</dgc>", after which a
/// "<REFRESH>" line gives the refresh value in whole seconds to *refreshOut (set to 0 first
/// when given). A record cut off by the end of the response (no line feed, no closing "*") is
/// not applied. Returns the number of records applied.
int readRemoteResponse(const NodeTable& table, HttpLineReader& lines, int* refreshOut);

/// Fetches `path` from the server at host (a name or dotted address) and port, applying its
/// state records to `table` as they arrive. Returns true when the connection was made, whatever
/// the body held; false, with nothing applied, when the request is refused by
/// formatRemoteRequest, the host name does not resolve or the connection fails (within
/// kRemoteStallMs). A response that stalls for kRemoteStallMs, or runs longer than
/// kRemoteFetchLimitMs, ends there, and so does one whose `cancel` flag is set (checked at
/// least every 100 ms). *refreshOut, when given, is set to 0 first.
bool fetchRemoteState(const NodeTable& table, const char* host, int port, const char* path,
                      int* refreshOut, const std::atomic<bool>* cancel = nullptr);
