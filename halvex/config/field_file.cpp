#include "halvex/config/field_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace {

bool isBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool isDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

const char* skipBlanks(const char* in) {
  while (isBlank(*in)) ++in;
  return in;
}

/// Reads one piece of a line: characters up to and including the line feed, at most maxChars.
/// lineEnded tells whether the piece ends its line (line feed or end of file) rather than being
/// cut at maxChars. False when nothing is left to read.
bool readPiece(std::FILE* file, int maxChars, std::string& piece, bool& lineEnded) {
  piece.clear();
  lineEnded = false;
  while (static_cast<int>(piece.size()) < maxChars) {
    int c = std::getc(file);
    if (c == EOF) {
      lineEnded = true;
      return !piece.empty();
    }
    if (c == '\r') {
      const int next = std::getc(file);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        std::ungetc(next, file);
      }
    }
    piece.push_back(static_cast<char>(c));
    if (c == '\n') {
      lineEnded = true;
      return true;
    }
  }
  // Full buffer: the line ends here when the file does or a line feed follows at once. Such a
  // line feed would be a piece of its own, skipped as a blank line, so it is consumed here.
  const int next = std::getc(file);
  if (next == EOF || next == '\n') {
    lineEnded = true;
  } else {
    std::ungetc(next, file);
  }
  return true;
}

/// Reads a %[...] set starting after the '[' at pattern[p]; on success p is past the ']'.
bool parseSet(const std::string& pattern, std::size_t& p, bool (&inSet)[256]) {
  std::fill(std::begin(inSet), std::end(inSet), false);
  bool negate = false;
  if (p < pattern.size() && pattern[p] == '^') {
    negate = true;
    ++p;
  }
  const std::size_t first = p;
  for (; p < pattern.size(); ++p) {
    const unsigned char c = static_cast<unsigned char>(pattern[p]);
    if (c == ']' && p != first) break;
    if (c == '-' && p != first && p + 1 < pattern.size() && pattern[p + 1] != ']') {
      const unsigned char low = static_cast<unsigned char>(pattern[p - 1]);
      const unsigned char high = static_cast<unsigned char>(pattern[p + 1]);
      for (int x = low; x <= high; ++x) inSet[x] = true;
      ++p;
      continue;
    }
    inSet[c] = true;
  }
  if (p >= pattern.size()) return false;  // no closing ']'
  ++p;
  if (negate) {
    for (bool& b : inSet) b = !b;
  }
  inSet[0] = false;  // the end of the text is never part of a field
  return true;
}

/// Scans text with pattern the way sscanf does for text conversions, appending at most maxFields
/// fields. Stops at the first conversion that fails; tooLong is set when it stopped at a field of
/// maxFieldLength characters or more.
void scanLine(const char* text, const std::string& pattern, int maxFields, int maxFieldLength,
              std::vector<std::string>& fields, bool& tooLong) {
  tooLong = false;
  const char* in = text;
  std::size_t p = 0;
  const std::size_t wanted = static_cast<std::size_t>(maxFields);
  while (p < pattern.size() && fields.size() < wanted) {
    const char pc = pattern[p];
    if (isBlank(pc)) {
      in = skipBlanks(in);
      ++p;
      continue;
    }
    if (pc != '%') {
      if (*in == '\0' || *in != pc) return;
      ++in;
      ++p;
      continue;
    }
    ++p;
    if (p < pattern.size() && pattern[p] == '%') {
      in = skipBlanks(in);
      if (*in != '%') return;
      ++in;
      ++p;
      continue;
    }
    bool keep = true;
    if (p < pattern.size() && pattern[p] == '*') {
      keep = false;
      ++p;
    }
    std::size_t width = 0;
    bool hasWidth = false;
    for (; p < pattern.size() && isDigit(pattern[p]); ++p) {
      width =
          std::min<std::size_t>(width * 10 + static_cast<std::size_t>(pattern[p] - '0'), 1u << 20);
      hasWidth = true;
    }
    if (hasWidth && width == 0) return;
    while (p < pattern.size() && std::strchr("hlLqjzt", pattern[p]) != nullptr) ++p;
    if (p >= pattern.size()) return;
    const char conversion = pattern[p++];
    const std::size_t limit = hasWidth ? width : static_cast<std::size_t>(-1);
    std::string value;
    switch (conversion) {
      case 's':
        in = skipBlanks(in);
        if (*in == '\0') return;
        while (*in != '\0' && !isBlank(*in) && value.size() < limit) value.push_back(*in++);
        break;
      case 'c': {
        const std::size_t count = hasWidth ? width : 1;
        for (std::size_t i = 0; i < count; ++i) {
          if (*in == '\0') return;
          value.push_back(*in++);
        }
        break;
      }
      case '[': {
        bool inSet[256];
        if (!parseSet(pattern, p, inSet)) return;
        while (inSet[static_cast<unsigned char>(*in)] && value.size() < limit) {
          value.push_back(*in++);
        }
        if (value.empty()) return;
        break;
      }
      default:
        return;  // only text conversions fill fields
    }
    if (!keep) continue;
    if (static_cast<int>(value.size()) >= maxFieldLength) {
      tooLong = true;
      return;
    }
    fields.push_back(std::move(value));
  }
}

}  // namespace

FieldFile::FieldFile(const std::string& path, int fieldCount, const std::string& pattern,
                     int maxLineLength, int maxFieldLength)
    : path_(path) {
  init(fieldCount, pattern, maxLineLength, maxFieldLength);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return;
  opened_ = true;
  readAll(file);
  std::fclose(file);
}

FieldFile::FieldFile(std::FILE* file, int fieldCount, const std::string& pattern, int maxLineLength,
                     int maxFieldLength) {
  init(fieldCount, pattern, maxLineLength, maxFieldLength);
  if (file == nullptr) return;
  opened_ = true;
  readAll(file);
}

void FieldFile::init(int fieldCount, const std::string& pattern, int maxLineLength,
                     int maxFieldLength) {
  maxFields_ = std::clamp(fieldCount, 1, kMaxFields);
  maxLineLength_ = std::max(maxLineLength, 2);
  maxFieldLength_ = std::max(maxFieldLength, 2);
  if (pattern.empty()) {
    for (int i = 0; i < maxFields_; ++i) pattern_ += "%s";
  } else {
    pattern_ = pattern.substr(0, pattern.find('\0'));  // a pattern is a C string
  }
}

void FieldFile::readAll(std::FILE* file) {
  std::string piece;
  bool lineEnded = true;
  bool inComment = false;  // skipping the rest of a cut comment line
  while (true) {
    const bool continuation = !lineEnded;
    if (!readPiece(file, maxLineLength_ - 1, piece, lineEnded)) break;
    if (continuation && inComment) {
      inComment = !lineEnded;
      continue;
    }
    inComment = false;
    // Scanning stops at a NUL byte, as it would in a C string.
    const char* text = piece.c_str();
    if (text[0] == '#') {
      inComment = !lineEnded;
      continue;
    }
    if (text[0] == '\n' || text[0] == '\0') continue;
    Line line;
    bool tooLong = false;
    scanLine(text, pattern_, maxFields_, maxFieldLength_, line.fields, tooLong);
    if (tooLong) continue;
    if (line.fields.empty()) {
      if (continuation) continue;
      break;
    }
    lines_.push_back(std::move(line));
  }
}

void FieldFile::selectLine(int i) {
  selected_ = std::clamp(i, 0, std::max(lineCount() - 1, 0));
}

bool FieldFile::nextLine() {
  if (selected_ + 1 >= lineCount()) return false;
  ++selected_;
  return true;
}

int FieldFile::fieldCount() const {
  if (lines_.empty()) return 0;
  return static_cast<int>(lines_[static_cast<std::size_t>(selected_)].fields.size());
}

const std::string* FieldFile::field(int k) const {
  if (k < 0 || k >= fieldCount()) return nullptr;
  return &lines_[static_cast<std::size_t>(selected_)].fields[static_cast<std::size_t>(k)];
}

bool FieldFile::fieldText(int k, std::string& out) const {
  const std::string* word = field(k);
  if (word == nullptr) return false;
  out = *word;
  return true;
}

bool FieldFile::fieldDouble(int k, double& out) const {
  const std::string* word = field(k);
  if (word == nullptr) return false;
  // Take the leading decimal number only: no hexadecimal, "inf" or "nan", whatever the locale.
  const char* start = skipBlanks(word->c_str());
  const char* s = start;
  if (*s == '+' || *s == '-') ++s;
  const char* digitsStart = s;
  int digits = 0;
  for (; isDigit(*s); ++s) ++digits;
  if (*s == '.') {
    for (++s; isDigit(*s); ++s) ++digits;
  }
  if (digits == 0) {
    out = 0.0;
    return true;
  }
  if (*s == 'e' || *s == 'E') {
    const char* e = s + 1;
    if (*e == '+' || *e == '-') ++e;
    if (isDigit(*e)) {
      while (isDigit(*e)) ++e;
      s = e;
    }
  }
  double value = 0.0;
  const auto result = std::from_chars(digitsStart, s, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Overflow gives HUGE_VAL, underflow a tiny value or 0, as the C conversion does.
    value = std::strtod(std::string(digitsStart, s).c_str(), nullptr);
  }
  out = *start == '-' ? -value : value;
  return true;
}

bool FieldFile::fieldLong(int k, long& out) const {
  const std::string* word = field(k);
  if (word == nullptr) return false;
  out = std::strtol(word->c_str(), nullptr, 10);
  return true;
}
