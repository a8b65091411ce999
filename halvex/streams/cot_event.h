// One Cursor on Target event as the situational-awareness clients exchange it:
//   <?xml version="1.0" encoding="UTF-8" standalone="yes"?>
//   <event version="2.0" uid="halvex.ops1.7" type="a-f-G-E-V" how="m-g"
//          time="2026-12-11T09:30:15.250Z" start="2026-12-11T09:30:15.250Z"
//          stale="2026-12-11T09:31:15.250Z">
//     <point lat="32.781234567" lon="-116.980012345" hae="9999999.0" ce="9999999.0"
//            le="9999999.0"/>
//     <detail><contact callsign="Patrol 2"/><remarks>moving; fuel low</remarks>
//       <track course="87.5" speed="12.3"/></detail>
//   </event>
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// Largest event read; longer ones are dropped unread.
constexpr size_t kCotMaxBytes = 64 * 1024;
/// What CoT writes for an unknown height or error, m.
constexpr double kCotUnknown = 9999999.0;

/// What one event says. Texts are kept as read (entities resolved, control characters blanked,
/// each cut to 1 KiB at a character boundary).
struct CotEvent {
  std::string uid;           ///< Unique id of the thing reported ("halvex.SITE.ID", "ANDROID-...").
  std::string type;          ///< "a-f-G-E-V": atom, friendly, ground, equipment, vehicle.
  std::string how = "m-g";   ///< How the position was had: "m-g" machine, GPS.
  int64_t timeMs = 0;        ///< When the event was made, UTC ms since 1970.
  int64_t startMs = 0;       ///< Start of its validity, UTC ms since 1970.
  int64_t staleMs = 0;       ///< End of its validity, UTC ms since 1970.
  double latitude = 0;       ///< Degrees, south negative, -90 to 90.
  double longitude = 0;      ///< Degrees, west negative, -180 to 180.
  double hae = kCotUnknown;  ///< Height above the ellipsoid, m.
  double ce = kCotUnknown;   ///< Circular error, m.
  double le = kCotUnknown;   ///< Linear (vertical) error, m.
  std::string callsign;      ///< detail/contact callsign; empty: none.
  std::string remarks;       ///< detail/remarks text; empty: none.
  bool hasTrack = false;     ///< detail/track given.
  double course = 0;         ///< Degrees clockwise from true north, 0 to 360.
  double speed = 0;          ///< m/s.
};

/// Why an event was not read.
enum class CotError {
  kNone,
  kTooLarge,   ///< Over kCotMaxBytes.
  kMalformed,  ///< Not well-formed XML, a DOCTYPE or entity declaration, or not one <event>.
  kMissing,    ///< uid, type, time, start, stale or point (lat, lon) missing.
  kBadTime,    ///< A time that does not read as ISO 8601 UTC.
  kNotFinite,  ///< A number that does not read, is not finite or is out of its range.
};

/// The event as XML text, one line, attributes in the order of the sample above; texts escaped.
/// The track element is written when hasTrack (and course and speed are finite), the contact
/// and remarks when not empty; heights and errors that are not finite as unknown.
std::string cotEventXml(const CotEvent& event);

/// Reads the event in `bytes` bytes at `data` into `event`. Elements and attributes it does not
/// know (clients add many under detail) are skipped. Entity declarations and DOCTYPEs are
/// refused, so nothing expands. On any error `event` is left unchanged.
CotError readCotEvent(const char* data, size_t bytes, CotEvent& event);

/// A word for the operator: "too large", "malformed", "missing", "bad time", "not finite".
const char* cotErrorWord(CotError error);

/// Cuts a TCP stream of events sent back to back (as servers send them, with or without an XML
/// declaration before each and blanks between) into whole events. Bytes that cannot start an
/// event are skipped; an event growing past kCotMaxBytes is dropped and counted. Memory stays
/// below twice kCotMaxBytes whatever the stream holds.
class CotStreamSplitter {
 public:
  /// Takes `bytes` more bytes of the stream, calling `onEvent(const char* data, size_t bytes)`
  /// for every whole event they complete (from its "<event" to its "</event>"). An event cut
  /// short by the start of the next is handed over as it is, for the reader to refuse.
  template <class OnEvent>
  void feed(const char* data, size_t bytes, OnEvent onEvent);
  long oversized() const { return oversized_; }       ///< Events dropped for size.
  size_t buffered() const { return buffer_.size(); }  ///< Bytes held now, at most 2 kCotMaxBytes.

 private:
  /// Takes `bytes` at `data` (null: goes on with those of the last call) and cuts; returns the
  /// next whole event's length at begin_ in buffer_ (0: none yet, all bytes taken).
  size_t take(const char* data, size_t bytes);
  /// Looks for the next event in buffer_ from scanned_; returns its length at begin_, or 0.
  size_t cut();
  /// Drops the event of `bytes` bytes at begin_, handed over.
  void consume(size_t bytes);
  std::string buffer_;
  size_t begin_ = 0;      ///< Where the event being cut (or the bytes still to look at) starts.
  size_t scanned_ = 0;    ///< Where the search goes on: no event edge starts in between.
  size_t closeSkip_ = 0;  ///< Bytes at scanned_ known to be "</event" and blanks.
  bool inEvent_ = false;  ///< An "<event" was found at begin_.
  const char* pending_ = nullptr;  ///< Bytes of the current feed() not yet appended.
  size_t pendingBytes_ = 0;
  long oversized_ = 0;
};

template <class OnEvent>
void CotStreamSplitter::feed(const char* data, size_t bytes, OnEvent onEvent) {
  for (size_t length = take(data, bytes); length > 0; length = take(nullptr, 0)) {
    onEvent(buffer_.data() + begin_, length);
    consume(length);
  }
}
