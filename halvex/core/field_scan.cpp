#include "halvex/core/field_scan.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace fieldscan {
namespace {

inline bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

inline bool isHexDigit(char c) {
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline const char* skipSpace(const char* p) {
  while (isSpace(*p)) ++p;
  return p;
}

/// What kind of number a float conversion collected.
enum class FloatKind { kDecimal, kHex, kInfNan };

/// Finds the characters sscanf's float conversions take at text: spaces skipped, an optional
/// sign, then "nan", "inf", "infinity" or a decimal/hex number with an optional exponent, in
/// the order glibc accepts them. Returns the end of the taken text (start is set to its first
/// character), or null when sscanf would report no conversion.
const char* collectFloat(const char* text, const char*& start, FloatKind& kind) {
  const char* p = skipSpace(text);
  if (*p == '\0') return nullptr;
  start = p;
  const bool sign = (*p == '+' || *p == '-');
  if (sign) ++p;

  const char c = lower(*p);
  if (c == 'n') {
    if (lower(p[1]) != 'a' || lower(p[2]) != 'n') return nullptr;
    kind = FloatKind::kInfNan;
    return p + 3;
  }
  if (c == 'i') {
    if (lower(p[1]) != 'n' || lower(p[2]) != 'f') return nullptr;
    kind = FloatKind::kInfNan;
    p += 3;
    if (lower(*p) != 'i') return p;
    // Once "infi" is taken, the rest of "infinity" must follow.
    if (lower(p[1]) != 'n' || lower(p[2]) != 'i' || lower(p[3]) != 't' || lower(p[4]) != 'y') {
      return nullptr;
    }
    return p + 5;
  }

  bool hex = false;
  bool gotDigit = false;
  if (*p == '0') {
    ++p;
    if (lower(*p) == 'x') {
      hex = true;
      ++p;
    } else {
      gotDigit = true;
    }
  }
  const char expChar = hex ? 'p' : 'e';
  bool gotDot = false;
  bool gotExp = false;
  for (;; ++p) {
    const char ch = *p;
    if (isDigit(ch)) {
      gotDigit = true;
    } else if (!gotExp && hex && isHexDigit(ch)) {
      gotDigit = true;
    } else if (gotExp && lower(p[-1]) == expChar && (ch == '-' || ch == '+')) {
      // exponent sign
    } else if (gotDigit && !gotExp && lower(ch) == expChar) {
      gotExp = gotDot = true;
    } else if (!gotDot && ch == '.') {
      gotDot = true;
    } else {
      break;
    }
  }
  const long size = p - start;
  if (size == (sign ? 1 : 0) || (hex && size == (sign ? 3 : 2))) return nullptr;
  if (!hex && !gotDigit) return nullptr;  // "." or "-.": strtod finds no number either
  kind = hex ? FloatKind::kHex : FloatKind::kDecimal;
  return p;
}

/// A decimal number split into sign, significant digits and power of ten.
struct DecimalParts {
  bool negative = false;
  uint64_t mantissa = 0;
  int exponent = 0;
  bool exact = true;  ///< false when digits beyond 19 were dropped
};

/// Splits the collected decimal text [p, end) (already known to be well-formed).
DecimalParts splitDecimal(const char* p, const char* end) {
  DecimalParts d;
  if (*p == '+' || *p == '-') d.negative = (*p++ == '-');
  int digits = 0;
  for (; p < end && isDigit(*p); ++p) {
    if (d.mantissa == 0 && *p == '0') continue;
    if (digits < 19) {
      d.mantissa = d.mantissa * 10 + static_cast<uint64_t>(*p - '0');
      ++digits;
    } else {
      ++d.exponent;
      d.exact = false;
    }
  }
  if (p < end && *p == '.') {
    for (++p; p < end && isDigit(*p); ++p) {
      if (d.mantissa == 0 && *p == '0') {
        --d.exponent;
        continue;
      }
      if (digits < 19) {
        d.mantissa = d.mantissa * 10 + static_cast<uint64_t>(*p - '0');
        ++digits;
        --d.exponent;
      } else {
        d.exact = false;
      }
    }
  }
  if (p < end && lower(*p) == 'e') {
    ++p;
    bool negativeExp = false;
    if (p < end && (*p == '+' || *p == '-')) negativeExp = (*p++ == '-');
    int e = 0;
    bool any = false;
    for (; p < end && isDigit(*p); ++p) {
      any = true;
      if (e < 100000) e = e * 10 + (*p - '0');
    }
    // "1e" and "1e+" leave the exponent out, as strtod does.
    if (any) d.exponent += negativeExp ? -e : e;
  }
  return d;
}

const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
const float kPow10f[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

/// Copies the short "inf"/"nan" text into a terminated buffer, so that strtod does not read a
/// "(payload)" after it that sscanf leaves alone.
void copySpecial(const char* start, const char* end, char (&buffer)[16]) {
  const size_t n = static_cast<size_t>(end - start);  // at most 9
  std::memcpy(buffer, start, n);
  buffer[n] = '\0';
}

/// The common case in one pass: an optional sign, digits with an optional point, no exponent,
/// at most 19 significant digits. Returns the end and sets the parts, or null when the text
/// needs the full rules (spaces, exponent, hex, inf/nan, long mantissa, no digits).
const char* quickDecimal(const char* p, DecimalParts& d) {
  // Locals, not d's members: stores through d could alias the text for the compiler.
  bool negative = false;
  if (*p == '-' || *p == '+') negative = (*p++ == '-');
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return nullptr;
  const char* first = p;
  while (*p == '0') ++p;  // leading zeros are not significant
  uint64_t mantissa = 0;
  const char* digits = p;
  for (; isDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
  long significant = p - digits;
  int exponent = 0;
  bool any = p != first;
  if (*p == '.') {
    const char* fraction = ++p;
    digits = fraction;  // the integer digits are counted already
    if (mantissa == 0) {
      while (*p == '0') ++p;
      digits = p;
    }
    for (; isDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    significant += p - digits;
    exponent = -static_cast<int>(std::min<long>(p - fraction, 100000));
    any = any || p != fraction;
  }
  // Beyond 19 digits the mantissa wrapped; leave those to the full rules.
  if (!any || significant > 19 || *p == 'e' || *p == 'E') return nullptr;
  d.negative = negative;
  d.mantissa = mantissa;
  d.exponent = exponent;
  return p;
}

}  // namespace

// Sample: "  -12345,rest" -> -12345
const char* scanLong(const char* text, long& value, int width) {
  const char* p = skipSpace(text);
  if (*p == '\0') return nullptr;
  int left = width > 0 ? width : -1;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = (*p++ == '-');
    if (left > 0) --left;
  }
  uint64_t magnitude = 0;
  bool overflow = false;
  const char* digits = p;
  while (left != 0 && isDigit(*p)) {
    const uint64_t d = static_cast<uint64_t>(*p - '0');
    uint64_t next = 0;
    if (__builtin_mul_overflow(magnitude, uint64_t{10}, &next) ||
        __builtin_add_overflow(next, d, &next)) {
      overflow = true;
    } else {
      magnitude = next;
    }
    ++p;
    if (left > 0) --left;
  }
  if (p == digits) return nullptr;
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  if (overflow || magnitude > limit) magnitude = limit;
  if (!negative) {
    value = static_cast<long>(magnitude);
  } else if (magnitude == (uint64_t{1} << 63)) {
    value = LONG_MIN;
  } else {
    value = -static_cast<long>(magnitude);
  }
  return p;
}

// Sample: "07,12" -> 7
const char* scanInt(const char* text, int& value, int width) {
  long wide = 0;
  const char* end = scanLong(text, wide, width);
  if (end == nullptr) return nullptr;
  // Keep the low 32 bits as a two's complement int, without implementation-defined casts.
  const uint32_t low = static_cast<uint32_t>(static_cast<uint64_t>(wide));
  value =
      low > static_cast<uint32_t>(INT_MAX) ? -static_cast<int>(~low) - 1 : static_cast<int>(low);
  return end;
}

namespace {

/// What reading a decimal number needs to know of each floating type: the largest mantissa and
/// power of ten that it holds exactly, the powers of ten, and the C library's converter.
template <class Real>
struct RealTraits;

template <>
struct RealTraits<double> {
  static constexpr uint64_t kExactMantissa = uint64_t{1} << 53;
  static constexpr int kExactExponent = 22;
  static double pow10(int e) { return kPow10[e]; }
  static double convert(const char* text, char** end) { return std::strtod(text, end); }
};

template <>
struct RealTraits<float> {
  static constexpr uint64_t kExactMantissa = uint64_t{1} << 24;
  static constexpr int kExactExponent = 10;
  static float pow10(int e) { return kPow10f[e]; }
  static float convert(const char* text, char** end) { return std::strtof(text, end); }
};

/// Reads a number as "%lf" or "%f" would: exact decimal cases with one correctly rounded IEEE
/// operation, everything else through the C library.
template <class Real>
const char* scanReal(const char* text, Real& value) {
  using Traits = RealTraits<Real>;
  {
    DecimalParts d;
    const char* end = quickDecimal(text, d);
    if (end != nullptr && d.mantissa <= Traits::kExactMantissa &&
        d.exponent >= -Traits::kExactExponent) {
      const Real m = static_cast<Real>(d.mantissa);
      const Real v = d.exponent == 0 ? m : m / Traits::pow10(-d.exponent);
      value = d.negative ? -v : v;
      return end;
    }
  }
  const char* start = nullptr;
  FloatKind kind = FloatKind::kDecimal;
  const char* end = collectFloat(text, start, kind);
  if (end == nullptr) return nullptr;
  if (kind == FloatKind::kDecimal) {
    const DecimalParts d = splitDecimal(start, end);
    if (d.mantissa == 0 && d.exact) {
      value = d.negative ? -Real(0) : Real(0);
      return end;
    }
    // Both operands exact, so one IEEE operation rounds correctly.
    if (d.exact && d.mantissa <= Traits::kExactMantissa && d.exponent >= -Traits::kExactExponent &&
        d.exponent <= Traits::kExactExponent) {
      const Real m = static_cast<Real>(d.mantissa);
      const Real v =
          d.exponent >= 0 ? m * Traits::pow10(d.exponent) : m / Traits::pow10(-d.exponent);
      value = d.negative ? -v : v;
      return end;
    }
  }
  if (kind == FloatKind::kInfNan) {
    char buffer[16];
    copySpecial(start, end, buffer);
    value = Traits::convert(buffer, nullptr);
    return end;
  }
  // The converter never reads further than the collected text here, so it sees the same number.
  char* used = nullptr;
  const Real v = Traits::convert(start, &used);
  if (used == start) return nullptr;
  value = v;
  return end;
}

}  // namespace

// Sample: "3242.5000,N" -> 3242.5
const char* scanDouble(const char* text, double& value) {
  return scanReal(text, value);
}

// Sample: ",1.25,3" at "1.25" -> 1.25f
const char* scanFloat(const char* text, float& value) {
  return scanReal(text, value);
}

// Sample: "N,11709.6000" with set "nNsS" -> 'N'
const char* scanCharIn(const char* text, const char* set, char& c) {
  if (*text == '\0') return nullptr;
  for (const char* s = set; *s != '\0'; ++s) {
    if (*s == *text) {
      c = *text;
      return text + 1;
    }
  }
  return nullptr;
}

// Sample: "GPZDA,123519.50" with width 5 -> "GPZDA"
const char* scanWord(const char* text, char* word, int width) {
  const char* p = skipSpace(text);
  if (*p == '\0') return nullptr;
  int n = 0;
  while (n < width && *p != '\0' && !isSpace(*p)) word[n++] = *p++;
  word[n] = '\0';
  return p;
}

}  // namespace fieldscan
