// The state record: one line per node in state files and state server bodies,
//   $007,32.712345,-117.160000,1126531205,250,0,0.125,north gate,moving,Truck 7*
// holding id, latitude, longitude, time (s), its milliseconds, status, age (s), two comments
// and the node's name.
#pragma once

#include <cstddef>

/// Longest state record line, without terminator.
constexpr int kStateRecordMaxLine = 2047;

/// One state record as read; the texts point into the line.
struct StateRecord {
  int id = 0;
  double latitude = 0;
  double longitude = 0;
  long time = 0;         ///< seconds since 1970 of the node's last packet
  int milliseconds = 0;  ///< millisecond part of time
  long status = 0;       ///< 0 alive, 1 idle, 2 lost
  double age = 0;        ///< seconds since the writer last heard of the node
  const char* comment1 = nullptr;
  const char* comment2 = nullptr;
  const char* name = nullptr;
};

/// Reads a state record from a NUL-terminated line, cutting its texts in place.
///
/// The first "$" opens the record. Commas after it separate fields until nine have been seen;
/// later commas belong to the name. A "*" closes the record once eight or nine commas have been
/// seen. The record is complete with nine commas, or with eight or nine and the "*". The name
/// follows the ninth comma up to the "*" (or the end of the line); with eight commas it is the
/// text after the "*". The name ends at its first line break. The id is read as "%d" up to its
/// comma, so ids of four digits and more read whole. Returns false, leaving line and record
/// unchanged, when the line is not a complete record, one of the seven numeric fields does not
/// read, or latitude, longitude or age is not finite (NaN or infinity).
bool parseStateRecord(char* line, StateRecord& record);

/// Writes a state record line, ending in "*\n", byte for byte as
///   snprintf(buffer, size, "$%03d,%f,%f,%ld,%d,%d,%05.3lf,%s,%s,%s*\n", ...)
/// would, except that a null text is written as an empty one. Never writes more than size bytes
/// (terminator included; nothing when size is 0) and returns the length the whole line needs.
int formatStateRecord(char* buffer, size_t size, int id, double latitude, double longitude,
                      long time, int milliseconds, int status, double age, const char* comment1,
                      const char* comment2, const char* name);
