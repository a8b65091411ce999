// The packet fields of a fix known by its UTC time: what a position packet carrying that GPS
// date and time would have left in a node record.
#pragma once

#include <cstdint>
#include <ctime>

#include "halvex/core/time_stamp.h"
#include "halvex/streams/nmea.h"

/// A fix time as a position packet gives it to NodeRecord::applyPacket and restoreFix.
struct PacketTime {
  std::tm calendar = {};              ///< UTC calendar fields read with the local calendar.
  TimeStamp stamp;                    ///< Calendar time of those fields in the local zone.
  char dateText[kDateTextSize] = {};  ///< "yyyy/mm/dd,hh:mm:ss.sss"
};

/// The packet fields of the fix at `utcMs` (UTC ms since 1970): the GPS date and time (UTC)
/// read with the local calendar, as the packet path reads them.
PacketTime packetTimeOfUtc(int64_t utcMs);
