// Cursor on Target events: written with the tracker's own formatters, read with expat with every
// DTD refused, so no entity is ever declared or expanded, and cut from TCP streams.
#include "halvex/streams/cot_event.h"

#include <expat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "halvex/core/field_scan.h"
#include "halvex/core/fixed_format.h"
#include "halvex/core/text_escape.h"
#include "halvex/core/utc_time.h"

namespace {

/// Decimals of latitude and longitude: 9 keep a millimetre and round-trip the trackers' values.
constexpr int kDegreeDecimals = 9;
/// Most decimals of heights, errors, course and speed: a millimetre (or a thousandth of a
/// degree) is far below what any source measures.
constexpr int kMeasureDecimals = 3;
/// Longest text kept from an event, bytes: callsigns and remarks are short; a client sending
/// more is cut rather than filling windows and files.
constexpr size_t kMaxTextBytes = 1024;

/// Appends `value` with `decimals` decimals, or (when `trim`) with trailing zeros dropped but one
/// decimal kept ("87.5", "9999999.0"). The C locale's digits whatever the process locale; values
/// past 2^64 in their shortest exact form, non-finite ones as "nan" or "inf", which readers
/// refuse.
void appendNumber(std::string& out, double value, int decimals, bool trim) {
  char buffer[fixedfmt::kNumberBufferSize];
  int n = fixedfmt::formatFixed(value, decimals, 0, buffer);
  if (n == 0) {
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
    return;
  }
  if (trim) {
    while (n > 2 && buffer[n - 1] == '0' && buffer[n - 2] != '.') --n;
  }
  out.append(buffer, static_cast<size_t>(n));
}

void appendAttribute(std::string& out, const char* name, std::string_view text) {
  out += ' ';
  out += name;
  out += "=\"";
  appendXmlText(out, text);
  out += '"';
}

void appendTimeAttribute(std::string& out, const char* name, int64_t ms) {
  char text[kUtcTextSize];
  const int n = formatUtcTime(ms, UtcStyle::kIso, text);
  appendAttribute(out, name, std::string_view(text, static_cast<size_t>(n)));
}

void appendNumberAttribute(std::string& out, const char* name, double value, int decimals,
                           bool trim) {
  out += ' ';
  out += name;
  out += "=\"";
  appendNumber(out, value, decimals, trim);
  out += '"';
}

/// The fields an event must have, as bits of a mask of those seen.
enum Required : unsigned {
  kUid = 1u << 0,
  kType = 1u << 1,
  kTime = 1u << 2,
  kStart = 1u << 3,
  kStale = 1u << 4,
  kLat = 1u << 5,
  kLon = 1u << 6,
  kAllRequired = (1u << 7) - 1,
};

/// Where the parser stands, for the expat callbacks.
struct ReadState {
  XML_Parser parser = nullptr;
  CotEvent event;
  CotError error = CotError::kNone;
  unsigned seen = 0;
  int depth = 0;         ///< Elements open; the event is depth 1.
  int detailDepth = 0;   ///< Depth of the event's detail element while it is open, else 0.
  int remarksDepth = 0;  ///< Depth of detail/remarks while it is open, else 0.
  bool hadPoint = false, hadContact = false, hadRemarks = false, hadTrack = false;
};

void fail(ReadState& s, CotError error) {
  if (s.error == CotError::kNone) s.error = error;
  XML_StopParser(s.parser, XML_FALSE);
}

/// Cuts `text` to kMaxTextBytes at a character boundary and blanks control characters, so that
/// a kept text stays one line of bounded length.
void keepText(std::string& text) {
  if (text.size() > kMaxTextBytes) {
    size_t end = kMaxTextBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
  }
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
}

void keepAttribute(std::string& kept, const char* value) {
  kept.assign(value, std::min(std::strlen(value), kMaxTextBytes + 4));
  keepText(kept);
}

/// Reads an attribute's number: blanks around it allowed, nothing else; false when it does not
/// read or is not finite.
bool readNumber(const char* text, double& value) {
  const char* end = fieldscan::scanDouble(text, value);
  if (end == nullptr) return false;
  while (fieldscan::isSpace(*end)) ++end;
  return *end == '\0' && std::isfinite(value);
}

void readEventAttributes(ReadState& s, const XML_Char** attributes) {
  for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
    const std::string_view name = a[0];
    if (name == "uid") {
      keepAttribute(s.event.uid, a[1]);
      if (!s.event.uid.empty()) s.seen |= kUid;  // an empty uid names nothing
    } else if (name == "type") {
      keepAttribute(s.event.type, a[1]);
      s.seen |= kType;
    } else if (name == "how") {
      keepAttribute(s.event.how, a[1]);
    } else if (name == "time" || name == "start" || name == "stale") {
      const bool time = name == "time", start = name == "start";
      int64_t& ms = time ? s.event.timeMs : start ? s.event.startMs : s.event.staleMs;
      if (!parseUtcTime(a[1], ms)) return fail(s, CotError::kBadTime);
      s.seen |= time ? kTime : start ? kStart : kStale;
    }
  }
}

void readPointAttributes(ReadState& s, const XML_Char** attributes) {
  for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
    const std::string_view name = a[0];
    double* value = name == "lat"   ? &s.event.latitude
                    : name == "lon" ? &s.event.longitude
                    : name == "hae" ? &s.event.hae
                    : name == "ce"  ? &s.event.ce
                    : name == "le"  ? &s.event.le
                                    : nullptr;
    if (value == nullptr) continue;
    if (!readNumber(a[1], *value)) return fail(s, CotError::kNotFinite);
    if (value == &s.event.latitude) {
      if (std::fabs(*value) > 90) return fail(s, CotError::kNotFinite);
      s.seen |= kLat;
    } else if (value == &s.event.longitude) {
      if (std::fabs(*value) > 180) return fail(s, CotError::kNotFinite);
      s.seen |= kLon;
    }
  }
}

void readTrackAttributes(ReadState& s, const XML_Char** attributes) {
  for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
    const std::string_view name = a[0];
    double* value = name == "course" ? &s.event.course : name == "speed" ? &s.event.speed : nullptr;
    if (value != nullptr && !readNumber(a[1], *value)) return fail(s, CotError::kNotFinite);
  }
  s.event.hasTrack = true;
}

void XMLCALL onStart(void* user, const XML_Char* element, const XML_Char** attributes) {
  ReadState& s = *static_cast<ReadState*>(user);
  const std::string_view name = element;
  ++s.depth;
  if (s.depth == 1) {
    if (name != "event") return fail(s, CotError::kMalformed);
    readEventAttributes(s, attributes);
  } else if (s.depth == 2) {
    // A repeated element is skipped: the first one counts.
    if (name == "point" && !s.hadPoint) {
      s.hadPoint = true;
      readPointAttributes(s, attributes);
    } else if (name == "detail" && s.detailDepth == 0) {
      s.detailDepth = s.depth;
    }
  } else if (s.depth == 3 && s.detailDepth == 2) {
    if (name == "contact" && !s.hadContact) {
      s.hadContact = true;
      for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
        if (std::string_view(a[0]) == "callsign") keepAttribute(s.event.callsign, a[1]);
      }
    } else if (name == "remarks" && !s.hadRemarks) {
      s.hadRemarks = true;
      s.remarksDepth = s.depth;
    } else if (name == "track" && !s.hadTrack) {
      s.hadTrack = true;
      readTrackAttributes(s, attributes);
    }
  }
}

void XMLCALL onEnd(void* user, const XML_Char*) {
  ReadState& s = *static_cast<ReadState*>(user);
  if (s.depth == s.remarksDepth) s.remarksDepth = 0;
  if (s.depth == s.detailDepth) s.detailDepth = -1;  // only the first detail is read
  --s.depth;
}

void XMLCALL onText(void* user, const XML_Char* text, int length) {
  ReadState& s = *static_cast<ReadState*>(user);
  // The text comes in pieces (at every line break and reference): join them, up to a little
  // past the limit so that keepText can cut at a character boundary.
  if (s.remarksDepth == 0 || s.depth != s.remarksDepth) return;
  std::string& remarks = s.event.remarks;
  const size_t room = kMaxTextBytes + 4 - std::min(remarks.size(), kMaxTextBytes + 4);
  remarks.append(text, std::min(static_cast<size_t>(length), room));
}

void XMLCALL onDoctype(void* user, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  fail(*static_cast<ReadState*>(user), CotError::kMalformed);
}

void XMLCALL onEntity(void* user, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                      const XML_Char*, const XML_Char*, const XML_Char*) {
  fail(*static_cast<ReadState*>(user), CotError::kMalformed);
}

/// "<event" and the character after it: a blank or the tag's end (an "<eventually>" is not one).
constexpr size_t kOpenBytes = 7;
/// "</event" and at least the tag's '>' after it.
constexpr size_t kCloseBytes = 8;

bool startsEvent(const char* p) {
  return std::memcmp(p, "<event", kOpenBytes - 1) == 0 &&
         (fieldscan::isSpace(p[kOpenBytes - 1]) || p[kOpenBytes - 1] == '>');
}

/// Frees an expat parser on every way out.
struct ParserDeleter {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

}  // namespace

std::string cotEventXml(const CotEvent& event) {
  std::string out;
  out.reserve(512 + event.uid.size() + event.callsign.size() + event.remarks.size());
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><event version=\"2.0\"";
  appendAttribute(out, "uid", event.uid);
  appendAttribute(out, "type", event.type);
  appendAttribute(out, "how", event.how);
  appendTimeAttribute(out, "time", event.timeMs);
  appendTimeAttribute(out, "start", event.startMs);
  appendTimeAttribute(out, "stale", event.staleMs);
  out += "><point";
  appendNumberAttribute(out, "lat", event.latitude, kDegreeDecimals, false);
  appendNumberAttribute(out, "lon", event.longitude, kDegreeDecimals, false);
  // A height or error that is not a number is one not known.
  for (const auto& [name, value] :
       {std::pair<const char*, double>{"hae", event.hae}, {"ce", event.ce}, {"le", event.le}}) {
    appendNumberAttribute(out, name, std::isfinite(value) ? value : kCotUnknown, kMeasureDecimals,
                          true);
  }
  out += "/><detail>";
  if (!event.callsign.empty()) {
    out += "<contact";
    appendAttribute(out, "callsign", event.callsign);
    out += "/>";
  }
  if (!event.remarks.empty()) {
    out += "<remarks>";
    appendXmlText(out, event.remarks);
    out += "</remarks>";
  }
  if (event.hasTrack && std::isfinite(event.course) && std::isfinite(event.speed)) {
    out += "<track";
    appendNumberAttribute(out, "course", event.course, kMeasureDecimals, true);
    appendNumberAttribute(out, "speed", event.speed, kMeasureDecimals, true);
    out += "/>";
  }
  out += "</detail></event>";
  return out;
}

CotError readCotEvent(const char* data, size_t bytes, CotEvent& event) {
  if (bytes > kCotMaxBytes) return CotError::kTooLarge;
  // Datagrams often end in a line break or NULs after the element.
  while (bytes > 0 && (data[bytes - 1] == '\0' || fieldscan::isSpace(data[bytes - 1]))) --bytes;

  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate("UTF-8"));
  if (!parser) return CotError::kMalformed;
  ReadState s;
  s.parser = parser.get();
  s.event.how.clear();
  XML_SetUserData(s.parser, &s);
  XML_SetParamEntityParsing(s.parser, XML_PARAM_ENTITY_PARSING_NEVER);
  XML_SetElementHandler(s.parser, onStart, onEnd);
  XML_SetCharacterDataHandler(s.parser, onText);
  XML_SetStartDoctypeDeclHandler(s.parser, onDoctype);
  XML_SetEntityDeclHandler(s.parser, onEntity);
  const XML_Status status = XML_Parse(s.parser, data, static_cast<int>(bytes), XML_TRUE);
  if (s.error != CotError::kNone) return s.error;
  if (status != XML_STATUS_OK) return CotError::kMalformed;
  if ((s.seen & kAllRequired) != kAllRequired) return CotError::kMissing;
  keepText(s.event.remarks);
  event = std::move(s.event);
  return CotError::kNone;
}

const char* cotErrorWord(CotError error) {
  switch (error) {
    case CotError::kNone:
      return "none";
    case CotError::kTooLarge:
      return "too large";
    case CotError::kMalformed:
      return "malformed";
    case CotError::kMissing:
      return "missing";
    case CotError::kBadTime:
      return "bad time";
    case CotError::kNotFinite:
      return "not finite";
  }
  return "malformed";
}

size_t CotStreamSplitter::take(const char* data, size_t bytes) {
  if (data != nullptr) {
    pending_ = data;
    pendingBytes_ = bytes;
  }
  for (;;) {
    const size_t length = cut();
    if (length > 0) return length;
    // cut() leaves little more than one event's bytes from begin_ on; topping up to twice the
    // limit at a time keeps the buffer within it, however much a read brought.
    buffer_.erase(0, begin_);
    scanned_ -= begin_;
    begin_ = 0;
    if (pendingBytes_ == 0) {
      pending_ = nullptr;
      return 0;
    }
    if (buffer_.capacity() < 2 * kCotMaxBytes) buffer_.reserve(2 * kCotMaxBytes);
    const size_t piece = std::min(pendingBytes_, 2 * kCotMaxBytes - buffer_.size());
    buffer_.append(pending_, piece);
    pending_ += piece;
    pendingBytes_ -= piece;
  }
}

size_t CotStreamSplitter::cut() {
  const char* b = buffer_.data();
  const size_t size = buffer_.size();
  const size_t from = scanned_;
  const size_t skip = closeSkip_;
  closeSkip_ = 0;
  size_t i = from;
  size_t edge = size;  // where the search stopped, the first place an event could still end
  for (;; ++i) {
    const void* lt = i < size ? std::memchr(b + i, '<', size - i) : nullptr;
    if (lt == nullptr) {
      i = size;
      break;
    }
    i = static_cast<size_t>(static_cast<const char*>(lt) - b);
    if (size - i < kOpenBytes) {  // too few bytes to tell yet
      edge = i;
      break;
    }
    if (startsEvent(b + i)) {
      if (inEvent_ && i - begin_ <= kCotMaxBytes) {
        // Events do not nest: the one before was cut short. Hand it over for the reader to
        // refuse (and count); the new one starts at i.
        scanned_ = i;
        return i - begin_;
      }
      if (inEvent_) ++oversized_;
      inEvent_ = true;
      begin_ = i;
      i += kOpenBytes - 1;
      continue;
    }
    if (!inEvent_ || std::memcmp(b + i, "</event", kCloseBytes - 1) != 0) continue;
    // Blanks looked at before are not looked at again, so that they cost nothing arriving
    // one byte at a time.
    size_t j = i + std::max(kCloseBytes - 1, i == from ? skip : 0);
    while (j < size && fieldscan::isSpace(b[j])) ++j;
    if (j == size) {  // "</event" and blanks so far
      closeSkip_ = j - i;
      break;
    }
    if (b[j] != '>') continue;
    const size_t length = j + 1 - begin_;
    if (length <= kCotMaxBytes) {
      scanned_ = j + 1;
      return length;
    }
    ++oversized_;
    inEvent_ = false;
    i = j;
  }
  scanned_ = i;
  if (!inEvent_) {
    begin_ = i;  // nothing before a possible "<event" is kept
  } else if (edge - begin_ > kCotMaxBytes) {
    // Neither its end nor the start of the next can come within the limit: drop what is held
    // and look for the next "<event" from where the search stands. (Deciding on what is
    // certain, not on what happens to be held, gives the same events whatever the pieces.)
    ++oversized_;
    inEvent_ = false;
    begin_ = i;
  }
  return 0;
}

void CotStreamSplitter::consume(size_t bytes) {
  closeSkip_ = 0;
  begin_ += bytes;
  scanned_ = begin_;
  inEvent_ = false;
}
