// Where the tracker sends and hears Cursor on Target events, and where it writes its GeoJSON
// feed, as the input/output definitions file says.
#pragma once

#include <string>

/// One direction of CoT: "Output CotGroup ADDR", "Output CotPort N", ... or "Input CotGroup
/// ADDR", "Input CotPort N", "Input CotTcp HOST:PORT".
struct CotSettings {
  static constexpr const char* kDefaultGroup = "239.2.3.1";  ///< The clients' usual group.
  static constexpr int kDefaultPort = 6969;                  ///< The clients' usual port.
  static constexpr int kDefaultTtl = 1;  ///< Multicast hops: the local network only.
  static constexpr const char* kDefaultType = "a-f-G-E-V";  ///< Friendly ground vehicle.

  std::string group = kDefaultGroup;  ///< Dotted IPv4 multicast group.
  int port = kDefaultPort;            ///< UDP port.
  int ttl = kDefaultTtl;              ///< Output: multicast time to live, 0 to 255.
  std::string site;                   ///< Output: SITE of "halvex.SITE.ID"; empty: the host name.
  std::string type = kDefaultType;    ///< Output: the events' type.
  std::string tcp;  ///< Input: "HOST:PORT" of a server streaming events; empty: none.
};

/// "Output GeoJsonFile PATH": the GeoJSON feed and the KML files beside it.
struct GeoJsonSettings {
  std::string path;  ///< The GeoJSON file; empty: none.
};
