// The fast scanners against sscanf on arbitrary text: the same acceptance, the same value bit
// for bit, and the same number of characters consumed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "halvex/core/field_scan.h"

namespace {

template <class T>
void expectSame(bool refOk, const char* end, const char* text, int consumed, T expected, T ours) {
  if (refOk != (end != nullptr)) std::abort();
  if (!refOk) return;
  if (end - text != consumed) std::abort();
  if (std::memcmp(&expected, &ours, sizeof expected) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int choice = data[0] % 8;
  const int width = (data[0] >> 3) % 5;  // 0: none
  const std::string copy(reinterpret_cast<const char*>(data + 1), size - 1);
  const char* text = copy.c_str();
  int consumed = -1;
  switch (choice) {
    case 0: {
      int expected = 0, ours = 0;
      const std::string pattern = width ? "%" + std::to_string(width) + "d%n" : "%d%n";
      const bool ok = std::sscanf(text, pattern.c_str(), &expected, &consumed) == 1;
      expectSame(ok, fieldscan::scanInt(text, ours, width), text, consumed, expected, ours);
      break;
    }
    case 1: {
      long expected = 0, ours = 0;
      const std::string pattern = width ? "%" + std::to_string(width) + "ld%n" : "%ld%n";
      const bool ok = std::sscanf(text, pattern.c_str(), &expected, &consumed) == 1;
      expectSame(ok, fieldscan::scanLong(text, ours, width), text, consumed, expected, ours);
      break;
    }
    case 2:
    case 3: {
      double expected = 0, ours = 0;
      const bool ok = std::sscanf(text, "%lf%n", &expected, &consumed) == 1;
      expectSame(ok, fieldscan::scanDouble(text, ours), text, consumed, expected, ours);
      break;
    }
    case 4: {
      float expected = 0, ours = 0;
      const bool ok = std::sscanf(text, "%f%n", &expected, &consumed) == 1;
      expectSame(ok, fieldscan::scanFloat(text, ours), text, consumed, expected, ours);
      break;
    }
    case 5: {
      char expected[2] = {0, 0};
      char ours = 0;
      const bool ok = std::sscanf(text, "%1[aAdDnN]%n", expected, &consumed) == 1;
      expectSame(ok, fieldscan::scanCharIn(text, "aAdDnN", ours), text, consumed, expected[0],
                 ours);
      break;
    }
    case 6: {
      char expected[6] = {}, ours[6] = {};
      const bool ok = std::sscanf(text, "%5s%n", expected, &consumed) == 1;
      const char* end = fieldscan::scanWord(text, ours, 5);
      if (ok != (end != nullptr)) std::abort();
      if (ok && (end - text != consumed || std::strcmp(expected, ours) != 0)) std::abort();
      break;
    }
    default: {
      // Chained as the time fields read: "%2d%2d%lf".
      int h = 0, m = 0, oh = 0, om = 0;
      double s = 0, os = 0;
      const int n = std::sscanf(text, "%2d%2d%lf%n", &h, &m, &s, &consumed);
      const char* p = fieldscan::scanInt(text, oh, 2);
      if (p) p = fieldscan::scanInt(p, om, 2);
      if (p) p = fieldscan::scanDouble(p, os);
      expectSame(n == 3, p, text, consumed, s, os);
      if (n == 3 && (h != oh || m != om)) std::abort();
      break;
    }
  }
  return 0;
}
