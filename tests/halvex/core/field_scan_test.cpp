// The fast scanners and formatters against the C library they replace, on inputs chosen to
// reach each acceptance rule and rounding case.
#include "halvex/core/field_scan.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "halvex/core/fixed_format.h"

namespace {

// Texts for every conversion, separated by "|".
const char kNumberTexts[] =
    "0|-0|+0|7|  42|\t\n\v\f\r 9|-|+||  |-x|+-1|007|0x10|12abc|2147483648|-2147483649|4294967297|"
    "9223372036854775808|-9223372036854775808|-9223372036854775809|-99999999999999999999999|1.5|"
    ".5|5.|.|-.5e1|1e|1e+|1E5x|0e5|1e5.5|1.2.3|0x|0x.|0x.p|0xg|0x1p|0x1.8p1|-0X1P-3|0x1e+5|0xp1|"
    "-INF|info|INFINITYx|infinit|in|nan|-nan|NaN(123)|na|3242.5000|1e-400|1e400|"
    "123456789012345678901234567890|0.1000000000000000055511151231257827|4.9406564584124654e-324|"
    "9007199254740993|16777217|0.000000000000000000000000001|1e22|1e23|-1,5|12 34|5*";

/// The texts of a "|"-separated list.
std::vector<std::string> split(const char* list) {
  std::vector<std::string> texts(1);
  for (const char* p = list; *p != '\0'; ++p) {
    if (*p == '|') {
      texts.emplace_back();
    } else {
      texts.back() += *p;
    }
  }
  return texts;
}

template <class T>
bool sameBits(T a, T b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(FieldScan, IntegersMatchSscanf) {
  for (const std::string& s : split(kNumberTexts)) {
    const char* text = s.c_str();
    for (int width = 0; width <= 3; ++width) {
      const std::string w = width ? std::to_string(width) : "";
      int expected = 0, ours = 0, consumed = -1;
      long expectedLong = 0, oursLong = 0;
      const bool ok = std::sscanf(text, ("%" + w + "d%n").c_str(), &expected, &consumed) == 1;
      const char* end = fieldscan::scanInt(text, ours, width);
      ASSERT_EQ(ok, end != nullptr) << '"' << text << "\" width " << width;
      EXPECT_TRUE(!ok || (expected == ours && consumed == end - text)) << text;
      const bool okLong =
          std::sscanf(text, ("%" + w + "ld%n").c_str(), &expectedLong, &consumed) == 1;
      end = fieldscan::scanLong(text, oursLong, width);
      ASSERT_EQ(okLong, end != nullptr) << text;
      EXPECT_TRUE(!okLong || (expectedLong == oursLong && consumed == end - text)) << text;
    }
  }
}

TEST(FieldScan, FloatsMatchSscanfBitForBit) {
  for (const std::string& s : split(kNumberTexts)) {
    const char* text = s.c_str();
    double expected = 0, ours = 0;
    float expectedF = 0, oursF = 0;
    int consumed = -1;
    const bool ok = std::sscanf(text, "%lf%n", &expected, &consumed) == 1;
    const char* end = fieldscan::scanDouble(text, ours);
    ASSERT_EQ(ok, end != nullptr) << '"' << text << '"';
    EXPECT_TRUE(!ok || (sameBits(expected, ours) && consumed == end - text)) << text;
    const bool okF = std::sscanf(text, "%f", &expectedF) == 1;
    ASSERT_EQ(okF, fieldscan::scanFloat(text, oursF) != nullptr) << text;
    EXPECT_TRUE(!okF || sameBits(expectedF, oursF)) << text;
  }
  // Short decimals take the fast path and must round exactly as the library does.
  std::mt19937_64 rng(7);
  for (int i = 0; i < 50000; ++i) {
    char text[40];
    const double v = std::ldexp(static_cast<double>(rng() >> 11), -static_cast<int>(rng() % 60));
    std::snprintf(text, sizeof text, "%.*f", static_cast<int>(rng() % 12), (i & 1) ? v : -v);
    double ours = 0;
    float oursF = 0;
    fieldscan::scanDouble(text, ours);
    fieldscan::scanFloat(text, oursF);
    ASSERT_TRUE(sameBits(std::strtod(text, nullptr), ours)) << text;
    ASSERT_TRUE(sameBits(std::strtof(text, nullptr), oursF)) << text;
  }
}

TEST(FieldScan, CharacterSetAndWord) {
  char c = 0;
  EXPECT_NE(fieldscan::scanCharIn("S,x", "nNsS", c), nullptr);
  EXPECT_EQ(c, 'S');
  EXPECT_EQ(fieldscan::scanCharIn(" N", "nNsS", c), nullptr);  // no space skip for a set
  EXPECT_EQ(fieldscan::scanCharIn("", "nNsS", c), nullptr);
  for (const char* text : {"GPZDA,1", "  GPZDAX", "GP ZDA", "", "   ", "\tGPGLL"}) {
    char expected[6] = "?", ours[6] = "?";
    int consumed = -1;
    const bool ok = std::sscanf(text, "%5s%n", expected, &consumed) == 1;
    const char* end = fieldscan::scanWord(text, ours, 5);
    ASSERT_EQ(ok, end != nullptr) << text;
    EXPECT_TRUE(!ok || (std::strcmp(expected, ours) == 0 && consumed == end - text)) << text;
  }
}

std::string fixed(double v, int precision, int width) {
  char out[fixedfmt::kNumberBufferSize];
  return std::string(out, static_cast<size_t>(fixedfmt::formatFixed(v, precision, width, out)));
}

std::string printed(double v, int precision, int width) {
  char out[400];
  std::snprintf(out, sizeof out, "%0*.*f", width, precision, v);
  return out;
}

TEST(FixedFormat, MatchesPrintf) {
  // Ties on the exact binary value round to even (0.0625 -> 0.062), values just below a tie
  // round down, negative values rounding to zero keep their sign.
  for (const std::string& text :
       split("0|-0|0.5|1.5|2.5|0.0625|5e-4|5e-7|-4e-7|12.5|32.712345|-117.16|1000000000000000.5|"
             "9007199254740993|4.9406564584124654e-324|18446744073709549568")) {
    const double v = std::strtod(text.c_str(), nullptr);
    for (int precision : {0, 3, 6, 9}) {
      EXPECT_EQ(printed(v, precision, 0), fixed(v, precision, 0)) << v;
      EXPECT_EQ(printed(-v, precision, 6), fixed(-v, precision, 6)) << v;
    }
  }
  std::mt19937_64 rng(11);
  for (int i = 0; i < 100000; ++i) {
    const double v =
        std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 100) - 90);
    ASSERT_EQ(printed(v, (i & 1) ? 6 : 3, 0), fixed(v, (i & 1) ? 6 : 3, 0)) << v;
  }
  // What the fast path leaves to printf.
  EXPECT_EQ(fixedfmt::formatFixed(18446744073709551616.0, 6, 0, nullptr), 0);
  EXPECT_EQ(fixedfmt::formatFixed(INFINITY, 6, 0, nullptr), 0);
  EXPECT_EQ(fixedfmt::formatFixed(NAN, 6, 0, nullptr), 0);
}

TEST(FixedFormat, IntegersWithZeroPadding) {
  for (long v : {0L, 7L, -5L, -50L, 1000L, LONG_MIN, LONG_MAX}) {
    for (int width : {0, 2, 3}) {
      char expected[64], ours[fixedfmt::kNumberBufferSize];
      std::snprintf(expected, sizeof expected, "%0*ld", width, v);
      EXPECT_EQ(std::string(expected),
                std::string(ours, static_cast<size_t>(fixedfmt::formatInt(v, width, ours))));
    }
  }
}

}  // namespace
