// A node's state as one small JSON object, as published on PREFIX/nodes/ID:
//   {"id":7,"name":"Patrol 2","lat":32.781234567,"lon":-116.980012345,
//    "time":"2026-12-11T09:30:15.250Z","status":"alive","age":0.4,"comment1":"","comment2":"",
//    "source":"halvex-ops1-4711-9f3a","sent":1797154215312}
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// The largest message read; longer ones are dropped unread.
constexpr size_t kNodeJsonMaxBytes = 4096;

/// What a message says of one node.
struct NodeState {
  int id = 0;
  std::string name;
  double latitude = 0;   ///< Degrees, south negative.
  double longitude = 0;  ///< Degrees, west negative.
  int64_t timeMs = 0;    ///< UTC time of the fix, ms since 1970 ("time", ISO 8601).
  int status = 0;        ///< 0 alive, 1 idle, 2 lost ("alive", "idle", "lost").
  double age = 0;        ///< Seconds since the fix as the publisher saw it.
  std::string comment1;
  std::string comment2;
  std::string source;  ///< Client id of the publishing tracker.
  int64_t sentMs = 0;  ///< UTC time it was handed to the broker, ms since 1970; 0: not given.
};

/// Why a message was not read.
enum class NodeJsonError {
  kNone,
  kTooLarge,   ///< Over kNodeJsonMaxBytes.
  kMalformed,  ///< Not one JSON object (bad syntax, bad escape, invalid UTF-8, nesting).
  kWrongType,  ///< A known member of the wrong type, or an unknown status word or bad time.
  kNotFinite,  ///< A number that is not finite or out of range (lat, lon, id, age, sent).
  kMissing,    ///< id, lat, lon or time missing.
};

/// The message for `state`: members in the order above, texts escaped, "sent" left out when 0.
std::string nodeStateJson(const NodeState& state);

/// The message's pieces, for the formats that say the same of a node (the GeoJSON feed).
/// Appends the members of `state` from "id" to "source" as the message writes them, without the
/// braces around them and without "sent".
void appendNodeStateMembers(std::string& out, const NodeState& state);
/// The status word of `status`: "alive" (0), "idle" (1), "lost" (anything else).
const char* nodeStatusWord(int status);
/// Appends a latitude or longitude, degrees, as the message writes it: 9 decimals, a point
/// whatever the locale; null when not finite.
void appendNodeDegrees(std::string& out, double degrees);
/// Appends a time span, seconds, as the message writes the age: up to 3 decimals, at least one
/// ("0.4", "12.0"); null when not finite.
void appendNodeSeconds(std::string& out, double seconds);

/// Reads a message of `bytes` bytes into `state`. Unknown members are skipped (newer publishers
/// may add some); missing optional members read as empty or 0; control characters in kept
/// texts read as blanks. On any error `state` is left unchanged. Never reads past `bytes` and
/// allocates only the texts it keeps.
NodeJsonError readNodeStateJson(const char* data, size_t bytes, NodeState& state);

/// A word for the operator: "too large", "malformed", "wrong type", "not finite", "missing".
const char* nodeJsonErrorWord(NodeJsonError error);
