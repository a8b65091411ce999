#include "halvex/core/rate_tables.h"

#include <cctype>
#include <cstdlib>
#include <iterator>

namespace {

constexpr RateEntry kDisplayRates[] = {
    {"60 fps", 1.0 / 60}, {"30 fps", 1.0 / 30}, {"20 fps", 0.05}, {"15 fps", 1.0 / 15},
    {"10 fps", 0.1},      {"5 fps", 0.2},       {"1 fps", 1.0},   {"2 spf", 2.0},
    {"5 spf", 5.0},       {"10 spf", 10.0},     {"20 spf", 20.0}, {"30 spf", 30.0},
};
constexpr RateEntry kLocalRates[] = {
    {"5 pps", 0.2},
    {"2 pps", 0.5},
    {"1 pps", 1.0},
    {"2 spp", 2.0},
};
constexpr RateEntry kRemoteRates[] = {
    {"1 spp", 1.0},   {"2 spp", 2.0},   {"5 spp", 5.0},   {"10 spp", 10.0},
    {"20 spp", 20.0}, {"30 spp", 30.0}, {"45 spp", 45.0}, {"60 spp", 60.0},
};

/// Compares two labels ignoring letter case and blanks.
bool sameLabel(const char* a, const char* b) {
  for (;;) {
    while (*a == ' ') ++a;
    while (*b == ' ') ++b;
    if (*a == '\0' || *b == '\0') return *a == *b;
    if (std::tolower(static_cast<unsigned char>(*a)) !=
        std::tolower(static_cast<unsigned char>(*b))) {
      return false;
    }
    ++a;
    ++b;
  }
}

}  // namespace

const RateEntry* rateEntries(RateTable table) {
  switch (table) {
    case RateTable::kDisplay:
      return kDisplayRates;
    case RateTable::kLocal:
      return kLocalRates;
    case RateTable::kRemote:
      break;
  }
  return kRemoteRates;
}

int rateCount(RateTable table) {
  switch (table) {
    case RateTable::kDisplay:
      return static_cast<int>(std::size(kDisplayRates));
    case RateTable::kLocal:
      return static_cast<int>(std::size(kLocalRates));
    case RateTable::kRemote:
      break;
  }
  return static_cast<int>(std::size(kRemoteRates));
}

double ratePeriod(RateTable table, int index) {
  if (index < 0 || index >= rateCount(table)) return kRateOutsideTable;
  return rateEntries(table)[index].seconds;
}

int rateIndexOf(RateTable table, const char* text) {
  if (text == nullptr || *text == '\0') return -1;
  for (int k = 0; k < rateCount(table); ++k) {
    if (sameLabel(rateEntries(table)[k].label, text)) return k;
  }
  char* end = nullptr;
  const long index = std::strtol(text, &end, 10);
  if (*end != '\0' || !std::isdigit(static_cast<unsigned char>(*text))) return -1;
  return index < rateCount(table) ? static_cast<int>(index) : -1;
}
