// Building position packets, for senders and for tests that feed the receive side:
//   7,north gate,moving,$GPZDA,123519.500,07,12,2026,00,00*5C$GPGLL,3242.5000,N,...,A,A*49
#pragma once

#include <cstdint>

/// One fix of one vehicle.
struct PacketFix {
  int id = 0;                   ///< Node id.
  const char* comment1 = "";    ///< First comment; no commas (null for none).
  const char* comment2 = "";    ///< Second comment; no commas (null for none).
  double latitude = 0;          ///< Degrees, -90 to 90, south negative.
  double longitude = 0;         ///< Degrees, -180 to 180, west negative.
  int64_t utcMilliseconds = 0;  ///< Time of the fix since 1970-01-01 00:00 UTC, up to year 9999.
};

/// Largest packet buildPositionPacket writes with comments of 127 characters, terminator
/// included.
constexpr int kMaxBuiltPacketBytes = 400;

/// Writes the packet of `fix` into `out` (`size` bytes): id, the two comments, a GPZDA sentence
/// with the UTC date and time (zone fields 00) and a GPGLL sentence with the position in degrees
/// and minutes to 1/10000 minute, each with its checksum. Returns the length of the text, or -1
/// when a comment holds a comma, a value lies outside its range or the text does not fit.
int buildPositionPacket(const PacketFix& fix, char* out, int size);

/// NMEA checksum of the characters from `begin` up to `end`: all of them XOR-ed together.
unsigned nmeaChecksum(const char* begin, const char* end);
