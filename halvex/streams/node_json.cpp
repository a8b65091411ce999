// The node state message, read strictly:
//   {"id":7,"name":"Patrol 2","lat":32.781234567,"lon":-116.980012345,
//    "time":"2026-12-11T09:30:15.250Z","status":"alive","age":0.4,"comment1":"","comment2":"",
//    "source":"halvex-ops1-4711-9f3a","sent":1797154215312}
// One flat object of known members (any order, each at most once) and unknown ones, whose
// values are checked and skipped. The reader stops at the first fault; texts are decoded into
// one buffer on the stack and copied only when kept.
#include "halvex/streams/node_json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "halvex/core/fixed_format.h"
#include "halvex/core/text_escape.h"
#include "halvex/core/utc_time.h"

namespace {

/// Deepest nesting of arrays and objects inside an unknown member's value.
constexpr int kMaxSkipDepth = 8;
/// Longest number read, characters: more digits than a double holds, far from any real value.
constexpr size_t kMaxNumberChars = 64;
/// Largest node id: ids are 16-bit across the exercise.
constexpr int kMaxNodeId = 65535;
/// Largest "sent" time, ms: integers up to 2^53 are exact in a double.
constexpr double kMaxSentMs = 9007199254740992.0;
/// Decimals of latitude and longitude: 9 keep a millimetre and round-trip the trackers' values.
constexpr int kDegreeDecimals = 9;
/// Most decimals of the age, s.
constexpr int kAgeDecimals = 3;
/// Largest age either way, s: a century, far past any node still listed, and well inside what
/// the writer prints exactly.
constexpr double kMaxAgeSeconds = 100.0 * 366 * 24 * 3600;

/// Appends `code` (a Unicode scalar value) in UTF-8 to `out`; returns the bytes written.
size_t putUtf8(unsigned code, char* out) {
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code >> 6));
    out[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (code >> 12));
    out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (code >> 18));
  out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (code & 0x3F));
  return 4;
}

/// The members the reader knows, as bits of a mask of those seen.
enum Member : unsigned {
  kId = 1u << 0,
  kName = 1u << 1,
  kLat = 1u << 2,
  kLon = 1u << 3,
  kTime = 1u << 4,
  kStatus = 1u << 5,
  kAge = 1u << 6,
  kComment1 = 1u << 7,
  kComment2 = 1u << 8,
  kSource = 1u << 9,
  kSent = 1u << 10,
  kUnknown = 0,
};

constexpr unsigned kRequired = kId | kLat | kLon | kTime;

Member memberOf(std::string_view key) {
  static constexpr struct {
    const char* key;
    Member member;
  } kMembers[] = {{"id", kId},         {"name", kName},         {"lat", kLat},
                  {"lon", kLon},       {"time", kTime},         {"status", kStatus},
                  {"age", kAge},       {"comment1", kComment1}, {"comment2", kComment2},
                  {"source", kSource}, {"sent", kSent}};
  for (const auto& m : kMembers) {
    if (key == m.key) return m.member;
  }
  return kUnknown;
}

/// A cursor over the message; every step checks the end first.
class Reader {
 public:
  Reader(const char* data, size_t bytes) : p_(data), end_(data + bytes) {}

  NodeJsonError read(NodeState& out);

 private:
  void skipBlanks() {
    while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r')) ++p_;
  }
  /// Consumes `c` after blanks; false when another byte (or the end) comes.
  bool take(char c) {
    skipBlanks();
    if (p_ == end_ || *p_ != c) return false;
    ++p_;
    return true;
  }
  bool takeWord(const char* word) {
    const size_t n = std::strlen(word);
    if (static_cast<size_t>(end_ - p_) < n || std::memcmp(p_, word, n) != 0) return false;
    p_ += n;
    return true;
  }
  bool readHex4(unsigned& code);
  /// Reads a string (opening quote next) into text_/textLength_.
  bool readString();
  /// Reads a number (first character next) with strtod; `integral` tells whether it had
  /// neither fraction nor exponent. kMalformed for bad syntax, kNotFinite when out of range.
  NodeJsonError readNumber(double& value, bool& integral);
  /// Checks and skips any value, nested `depth` deep.
  NodeJsonError skipValue(int depth);
  NodeJsonError readMember(Member member, NodeState& out);

  const char* p_;
  const char* end_;
  char text_[kNodeJsonMaxBytes];  ///< The last string read, decoded (never longer than its source).
  size_t textLength_ = 0;
};

bool Reader::readHex4(unsigned& code) {
  if (end_ - p_ < 4) return false;
  code = 0;
  for (int i = 0; i < 4; ++i) {
    const char c = *p_++;
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    code = code * 16 + digit;
  }
  return true;
}

bool Reader::readString() {
  if (!take('"')) return false;
  textLength_ = 0;
  while (p_ < end_) {
    const auto c = static_cast<unsigned char>(*p_);
    if (c == '"') {
      ++p_;
      return true;
    }
    if (c < 0x20) return false;
    if (c >= 0x80) {
      const size_t length = utf8Length(std::string_view(p_, static_cast<size_t>(end_ - p_)));
      if (length == 0) return false;
      std::memcpy(text_ + textLength_, p_, length);
      textLength_ += length;
      p_ += length;
      continue;
    }
    ++p_;
    if (c != '\\') {
      text_[textLength_++] = static_cast<char>(c);
      continue;
    }
    if (p_ == end_) return false;
    const char escape = *p_++;
    const char* simple = escape != '\0' ? std::strchr("\"\\/bfnrt", escape) : nullptr;
    if (simple != nullptr) {
      static constexpr char kDecoded[] = "\"\\/\b\f\n\r\t";
      text_[textLength_++] = kDecoded[simple - "\"\\/bfnrt"];
      continue;
    }
    unsigned code;
    if (escape != 'u' || !readHex4(code)) return false;
    if (code >= 0xDC00 && code <= 0xDFFF) return false;  // a low surrogate alone
    if (code >= 0xD800 && code <= 0xDBFF) {
      unsigned low;
      if (!takeWord("\\u") || !readHex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    // An escape of n source bytes decodes to fewer than n bytes, so text_ never overflows.
    textLength_ += putUtf8(code, text_ + textLength_);
  }
  return false;
}

NodeJsonError Reader::readNumber(double& value, bool& integral) {
  skipBlanks();
  const char* start = p_;
  const auto digits = [this] {
    const char* from = p_;
    while (p_ < end_ && *p_ >= '0' && *p_ <= '9') ++p_;
    return p_ > from;
  };
  if (p_ < end_ && *p_ == '-') ++p_;
  if (p_ < end_ && *p_ == '0') {
    ++p_;
  } else if (!digits()) {
    return NodeJsonError::kMalformed;
  }
  integral = true;
  if (p_ < end_ && *p_ == '.') {
    ++p_;
    integral = false;
    if (!digits()) return NodeJsonError::kMalformed;
  }
  if (p_ < end_ && (*p_ == 'e' || *p_ == 'E')) {
    ++p_;
    integral = false;
    if (p_ < end_ && (*p_ == '+' || *p_ == '-')) ++p_;
    if (!digits()) return NodeJsonError::kMalformed;
  }
  const size_t length = static_cast<size_t>(p_ - start);
  if (length > kMaxNumberChars) return NodeJsonError::kNotFinite;
  char copy[kMaxNumberChars + 1];
  std::memcpy(copy, start, length);
  copy[length] = '\0';
  value = std::strtod(copy, nullptr);
  return std::isfinite(value) ? NodeJsonError::kNone : NodeJsonError::kNotFinite;
}

NodeJsonError Reader::skipValue(int depth) {
  skipBlanks();
  if (p_ == end_) return NodeJsonError::kMalformed;
  const char c = *p_;
  if (c == '"') return readString() ? NodeJsonError::kNone : NodeJsonError::kMalformed;
  if (c == 't') return takeWord("true") ? NodeJsonError::kNone : NodeJsonError::kMalformed;
  if (c == 'f') return takeWord("false") ? NodeJsonError::kNone : NodeJsonError::kMalformed;
  if (c == 'n') return takeWord("null") ? NodeJsonError::kNone : NodeJsonError::kMalformed;
  if (c == '[' || c == '{') {
    if (depth >= kMaxSkipDepth) return NodeJsonError::kMalformed;
    const bool object = c == '{';
    const char close = object ? '}' : ']';
    ++p_;
    if (take(close)) return NodeJsonError::kNone;
    do {
      if (object && (!readString() || !take(':'))) return NodeJsonError::kMalformed;
      const NodeJsonError e = skipValue(depth + 1);
      if (e != NodeJsonError::kNone) return e;
    } while (take(','));
    return take(close) ? NodeJsonError::kNone : NodeJsonError::kMalformed;
  }
  double ignored;
  bool integral;
  const NodeJsonError e = readNumber(ignored, integral);
  // An unknown member's number need not fit a double.
  return e == NodeJsonError::kNotFinite ? NodeJsonError::kNone : e;
}

NodeJsonError Reader::readMember(Member member, NodeState& out) {
  if (member == kUnknown) return skipValue(0);
  skipBlanks();
  if (p_ == end_) return NodeJsonError::kMalformed;
  const bool isString = *p_ == '"';
  const bool isNumber = *p_ == '-' || (*p_ >= '0' && *p_ <= '9');
  const bool wantsString = member == kName || member == kTime || member == kStatus ||
                           member == kComment1 || member == kComment2 || member == kSource;
  if (wantsString ? !isString : !isNumber) {
    // The value must still be well-formed for the message to count as JSON at all.
    const NodeJsonError e = skipValue(0);
    return e == NodeJsonError::kNone ? NodeJsonError::kWrongType : e;
  }
  if (isString) {
    if (!readString()) return NodeJsonError::kMalformed;
    const std::string_view text(text_, textLength_);
    switch (member) {
      case kTime:
        return parseUtcTime(text, out.timeMs) ? NodeJsonError::kNone : NodeJsonError::kWrongType;
      case kStatus:
        if (text == "alive") {
          out.status = 0;
        } else if (text == "idle") {
          out.status = 1;
        } else if (text == "lost") {
          out.status = 2;
        } else {
          return NodeJsonError::kWrongType;
        }
        return NodeJsonError::kNone;
      default:
        break;
    }
    std::string& kept = member == kName       ? out.name
                        : member == kComment1 ? out.comment1
                        : member == kComment2 ? out.comment2
                                              : out.source;
    kept.assign(text);
    // Kept texts end up in state files and windows, one line each: control characters (a line
    // break in a comment) as blanks.
    for (char& c : kept) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return NodeJsonError::kNone;
  }
  double value;
  bool integral;
  const NodeJsonError e = readNumber(value, integral);
  if (e != NodeJsonError::kNone) return e;
  switch (member) {
    case kId:
      if (!integral) return NodeJsonError::kWrongType;
      if (value < 0 || value > kMaxNodeId) return NodeJsonError::kNotFinite;
      out.id = static_cast<int>(value);
      break;
    case kLat:
      if (value < -90 || value > 90) return NodeJsonError::kNotFinite;
      out.latitude = value;
      break;
    case kLon:
      if (value < -180 || value > 180) return NodeJsonError::kNotFinite;
      out.longitude = value;
      break;
    case kAge:
      if (std::fabs(value) > kMaxAgeSeconds) return NodeJsonError::kNotFinite;
      out.age = value;
      break;
    default:  // kSent
      if (!integral) return NodeJsonError::kWrongType;
      if (value < 0 || value > kMaxSentMs) return NodeJsonError::kNotFinite;
      out.sentMs = static_cast<int64_t>(value);
      break;
  }
  return NodeJsonError::kNone;
}

NodeJsonError Reader::read(NodeState& out) {
  if (!take('{')) return NodeJsonError::kMalformed;
  unsigned seen = 0;
  if (!take('}')) {
    do {
      if (!readString() || !take(':')) return NodeJsonError::kMalformed;
      const Member member = memberOf(std::string_view(text_, textLength_));
      if ((seen & member) != 0) return NodeJsonError::kMalformed;  // given twice
      seen |= member;
      const NodeJsonError e = readMember(member, out);
      if (e != NodeJsonError::kNone) return e;
    } while (take(','));
    if (!take('}')) return NodeJsonError::kMalformed;
  }
  skipBlanks();
  if (p_ != end_) return NodeJsonError::kMalformed;
  return (seen & kRequired) == kRequired ? NodeJsonError::kNone : NodeJsonError::kMissing;
}

/// Appends `value` with `decimals` decimals, or null (which readers refuse) when not finite.
void appendFixed(std::string& out, double value, int decimals) {
  char buffer[fixedfmt::kNumberBufferSize];
  const int n = fixedfmt::formatFixed(value, decimals, 0, buffer);
  if (n > 0) {
    out.append(buffer, static_cast<size_t>(n));
  } else if (std::isfinite(value)) {
    // |value| >= 2^64: far outside any real value, but still a number.
    char wide[32];
    out.append(wide, static_cast<size_t>(std::snprintf(wide, sizeof wide, "%.17g", value)));
  } else {
    out += "null";
  }
}

}  // namespace

std::string nodeStateJson(const NodeState& state) {
  std::string out;
  out.reserve(256);
  out += '{';
  appendNodeStateMembers(out, state);
  if (state.sentMs != 0) {
    out += ",\"sent\":";
    out += std::to_string(state.sentMs);
  }
  out += '}';
  return out;
}

void appendNodeStateMembers(std::string& out, const NodeState& state) {
  out += "\"id\":";
  out += std::to_string(state.id);
  out += ",\"name\":";
  appendJsonString(out, state.name);
  out += ",\"lat\":";
  appendNodeDegrees(out, state.latitude);
  out += ",\"lon\":";
  appendNodeDegrees(out, state.longitude);
  out += ",\"time\":\"";
  char time[kUtcTextSize];
  out.append(time, static_cast<size_t>(formatUtcTime(state.timeMs, UtcStyle::kIso, time)));
  out += "\",\"status\":\"";
  out += nodeStatusWord(state.status);
  out += "\",\"age\":";
  appendNodeSeconds(out, state.age);
  out += ",\"comment1\":";
  appendJsonString(out, state.comment1);
  out += ",\"comment2\":";
  appendJsonString(out, state.comment2);
  out += ",\"source\":";
  appendJsonString(out, state.source);
}

const char* nodeStatusWord(int status) {
  return status == 0 ? "alive" : status == 1 ? "idle" : "lost";
}

void appendNodeDegrees(std::string& out, double degrees) {
  appendFixed(out, degrees, kDegreeDecimals);
}

void appendNodeSeconds(std::string& out, double seconds) {
  const size_t start = out.size();
  appendFixed(out, seconds, kAgeDecimals);
  // 0.400 as 0.4: drop trailing zeros but keep one decimal.
  const size_t point = out.find('.', start);
  if (point != std::string::npos) {
    while (out.size() > point + 2 && out.back() == '0') out.pop_back();
  }
}

NodeJsonError readNodeStateJson(const char* data, size_t bytes, NodeState& state) {
  if (bytes > kNodeJsonMaxBytes) return NodeJsonError::kTooLarge;
  if (data == nullptr) return NodeJsonError::kMalformed;
  Reader reader(data, bytes);
  NodeState read;
  const NodeJsonError e = reader.read(read);
  if (e == NodeJsonError::kNone) state = std::move(read);
  return e;
}

const char* nodeJsonErrorWord(NodeJsonError error) {
  switch (error) {
    case NodeJsonError::kNone:
      return "none";
    case NodeJsonError::kTooLarge:
      return "too large";
    case NodeJsonError::kMalformed:
      return "malformed";
    case NodeJsonError::kWrongType:
      return "wrong type";
    case NodeJsonError::kNotFinite:
      return "not finite";
    case NodeJsonError::kMissing:
      return "missing";
  }
  return "malformed";
}
