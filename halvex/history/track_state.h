// One node's state as a recording holds it: its last fix, status and texts.
#pragma once

#include <cstdint>
#include <string>

#include "halvex/tracking/fix_listener.h"

/// A node's state after a recorded entry: the fix, its times, status and the texts in force.
struct TrackState {
  int id = -1;                      ///< Node id, 0 to 1000; -1 while the node has no entry.
  FixKind kind = FixKind::kPacket;  ///< Input of the last entry.
  int64_t fixMs = 0;                ///< UTC time of the fix, ms since 1970.
  int64_t arrivalMs = 0;            ///< UTC time the tracker took it, ms since 1970.
  double latitude = 0;              ///< Degrees, south negative (kept to 1e-9 degree).
  double longitude = 0;             ///< Degrees, west negative (kept to 1e-9 degree).
  int status = 0;                   ///< 0 alive, 1 idle, 2 lost, as recorded.
  std::string comment1;
  std::string comment2;
  std::string name;

  bool known() const { return id >= 0; }
};

/// Which texts an entry changed.
enum TrackTextChange : unsigned {
  kComment1Changed = 1u << 0,
  kComment2Changed = 1u << 1,
  kNameChanged = 1u << 2,
};
