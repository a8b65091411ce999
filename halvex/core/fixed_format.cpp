#include "halvex/core/fixed_format.h"

#include <cstdint>
#include <cstring>

namespace fixedfmt {
namespace {

constexpr uint64_t kPow10[] = {1ULL,      10ULL,      100ULL,      1000ULL,      10000ULL,
                               100000ULL, 1000000ULL, 10000000ULL, 100000000ULL, 1000000000ULL};

const char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

/// Number of decimal digits of v (at least 1).
int digitCount(uint64_t v) {
  int n = 1;
  for (; v >= 10000; v /= 10000) n += 4;
  if (v >= 10) ++n;
  if (v >= 100) ++n;
  if (v >= 1000) ++n;
  return n;
}

/// Writes the decimal digits of v at out; returns their count.
int writeDigits(uint64_t v, char* out) {
  const int n = digitCount(v);
  char* p = out + n;
  while (v >= 100) {
    const unsigned pair = static_cast<unsigned>(v % 100) * 2;
    v /= 100;
    *--p = kDigitPairs[pair + 1];
    *--p = kDigitPairs[pair];
  }
  if (v >= 10) {
    const unsigned pair = static_cast<unsigned>(v) * 2;
    *--p = kDigitPairs[pair + 1];
    *--p = kDigitPairs[pair];
  } else {
    *--p = static_cast<char>('0' + v);
  }
  return n;
}

/// Writes exactly count digits of v (v < 10^count), with leading zeros.
void writeFixedDigits(uint64_t v, int count, char* out) {
  char* p = out + count;
  for (; count >= 2; count -= 2) {
    const unsigned pair = static_cast<unsigned>(v % 100) * 2;
    v /= 100;
    *--p = kDigitPairs[pair + 1];
    *--p = kDigitPairs[pair];
  }
  if (count == 1) *--p = static_cast<char>('0' + v);
}

/// Moves the digits after a sign of a result of length n right so that it is width long,
/// filling with zeros after the sign, as the "0" flag does. Returns the new length.
int padWithZeros(char* out, int n, int width, bool negative) {
  if (n >= width) return n;
  const int shift = width - n;
  const int from = negative ? 1 : 0;
  std::memmove(out + from + shift, out + from, static_cast<size_t>(n - from));
  std::memset(out + from, '0', static_cast<size_t>(shift));
  return width;
}

}  // namespace

namespace {

/// formatFixed for one precision; a constant scale lets the compiler divide by multiplying.
template <int kPrecision>
int formatFixedAt(double value, int width, char* out) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  if (biased == 0x7ff) return 0;  // infinity or NaN
  const uint64_t mantissa = biased == 0 ? fraction : (fraction | (uint64_t{1} << 52));
  const int exponent = biased == 0 ? -1074 : biased - 1075;  // value = mantissa * 2^exponent

  constexpr uint64_t kScale = kPow10[kPrecision];
  uint64_t intPart = 0;
  uint64_t fracPart = 0;
  if (mantissa == 0) {
    // zero keeps its sign
  } else if (exponent >= 0) {
    if (exponent > 11) return 0;  // 2^64 or more
    intPart = mantissa << exponent;
  } else {
    // Scale to an integer count of 10^-precision units and round half to even on the exact
    // binary value. mantissa * 10^9 < 2^83, so the product fits and anything shifted by 128 or
    // more bits is below one half.
    const int shift = -exponent;
    const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * kScale;
    unsigned __int128 units = 0;
    if (shift < 128) {
      units = scaled >> shift;
      const unsigned __int128 rest = scaled - (units << shift);
      const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
      if (rest > half || (rest == half && (units & 1) != 0)) ++units;
    }
    if ((units >> 64) == 0) {
      const uint64_t u = static_cast<uint64_t>(units);
      intPart = u / kScale;
      fracPart = u % kScale;
    } else {
      intPart = static_cast<uint64_t>(units / kScale);
      fracPart = static_cast<uint64_t>(units % kScale);
    }
  }

  int n = 0;
  if (negative) out[n++] = '-';
  n += writeDigits(intPart, out + n);
  if (kPrecision > 0) {
    out[n++] = '.';
    writeFixedDigits(fracPart, kPrecision, out + n);
    n += kPrecision;
  }
  return padWithZeros(out, n, width, negative);
}

}  // namespace

int formatFixed(double value, int precision, int width, char* out) {
  switch (precision) {
    case 0:
      return formatFixedAt<0>(value, width, out);
    case 1:
      return formatFixedAt<1>(value, width, out);
    case 2:
      return formatFixedAt<2>(value, width, out);
    case 3:
      return formatFixedAt<3>(value, width, out);
    case 4:
      return formatFixedAt<4>(value, width, out);
    case 5:
      return formatFixedAt<5>(value, width, out);
    case 6:
      return formatFixedAt<6>(value, width, out);
    case 7:
      return formatFixedAt<7>(value, width, out);
    case 8:
      return formatFixedAt<8>(value, width, out);
    default:
      return formatFixedAt<9>(value, width, out);
  }
}

int formatInt(long value, int width, char* out) {
  const bool negative = value < 0;
  const uint64_t magnitude =
      negative ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  int n = 0;
  if (negative) out[n++] = '-';
  n += writeDigits(magnitude, out + n);
  return padWithZeros(out, n, width, negative);
}

}  // namespace fixedfmt
