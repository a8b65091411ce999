#include "halvex/core/text_escape.h"

#include <cstdint>

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  ///< U+FFFD in UTF-8.
constexpr unsigned char kDelete = 0x7F;
constexpr unsigned char kFirstPrintable = 0x20;

bool isContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

/// Walks `text`, handing each ASCII byte to `ascii(out, c)` and appending every other character
/// whole, or U+FFFD for a byte that starts no character (and, with `xmlChars`, for the
/// noncharacters U+FFFE and U+FFFF that XML refuses).
template <typename Ascii>
void appendCleaned(std::string& out, std::string_view text, bool xmlChars, Ascii ascii) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ascii(out, c);
      ++i;
      continue;
    }
    const size_t length = utf8Length(text.substr(i));
    const bool refused = length == 3 && xmlChars && c == 0xEF && text[i + 1] == '\xBF' &&
                         (text[i + 2] == '\xBE' || text[i + 2] == '\xBF');
    if (length == 0 || refused) {
      out += kReplacement;
      i += length == 0 ? 1 : length;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
}

}  // namespace

size_t utf8Length(std::string_view text) {
  const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  if (length == 0 || text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (!isContinuation(byte(i))) return 0;
  return length;
}

void appendXmlText(std::string& out, std::string_view text) {
  appendCleaned(out, text, true, [](std::string& o, unsigned char c) {
    switch (c) {
      case '&':
        o += "&amp;";
        break;
      case '<':
        o += "&lt;";
        break;
      case '>':
        o += "&gt;";
        break;
      case '"':
        o += "&quot;";
        break;
      case '\'':
        o += "&apos;";
        break;
      case '\t':
        o += "&#9;";
        break;
      case '\n':
        o += "&#10;";
        break;
      case '\r':
        o += "&#13;";
        break;
      default:
        if (c < kFirstPrintable) {
          o += kReplacement;
        } else {
          o += static_cast<char>(c);
        }
    }
  });
}

void appendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  appendCleaned(out, text, false, [](std::string& o, unsigned char c) {
    switch (c) {
      case '"':
        o += "\\\"";
        break;
      case '\\':
        o += "\\\\";
        break;
      case '\b':
        o += "\\b";
        break;
      case '\f':
        o += "\\f";
        break;
      case '\n':
        o += "\\n";
        break;
      case '\r':
        o += "\\r";
        break;
      case '\t':
        o += "\\t";
        break;
      default:
        if (c < kFirstPrintable) {
          o += "\\u00";
          o += kHex[c >> 4];
          o += kHex[c & 0xF];
        } else {
          o += static_cast<char>(c);
        }
    }
  });
  out += '"';
}

void appendCsvField(std::string& out, std::string_view text) {
  const bool quoted = text.find_first_of(",\"") != std::string_view::npos;
  if (quoted) out += '"';
  appendCleaned(out, text, false, [](std::string& o, unsigned char c) {
    if (c < kFirstPrintable || c == kDelete) {
      o += ' ';
    } else if (c == '"') {
      o += "\"\"";
    } else {
      o += static_cast<char>(c);
    }
  });
  if (quoted) out += '"';
}
