#include "halvex/streams/packet_builder.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr int64_t kMaxUtcMs = 253402300800000;  ///< 10000-01-01 00:00 UTC.
constexpr double kMinuteUnits = 600000.0;       ///< 1/10000 minutes per degree.
constexpr int kUnitsPerMinute = 10000;

/// Appends characters to a bounded buffer, remembering when one did not fit.
class TextWriter {
 public:
  TextWriter(char* out, int size) : out_(out), size_(size) {}

  void put(char c) {
    if (length_ + 1 < size_) {
      out_[length_++] = c;
    } else {
      full_ = true;
    }
  }
  void put(const char* text) {
    while (*text != '\0') put(*text++);
  }
  /// `value` in decimal with at least `digits` digits.
  void number(int64_t value, int digits = 1) {
    if (value < 0) {
      put('-');
      value = -value;
    }
    char reversed[24];
    int n = 0;
    do {
      reversed[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value > 0 || n < digits);
    while (n > 0) put(reversed[--n]);
  }
  void checksumFrom(int start) {
    static const char kHex[] = "0123456789ABCDEF";
    const unsigned sum = nmeaChecksum(out_ + start + 1, out_ + length_);
    put('*');
    put(kHex[(sum >> 4) & 0xF]);
    put(kHex[sum & 0xF]);
  }
  /// Ends the text; returns its length or -1 when something did not fit.
  int finish() {
    if (size_ > 0) out_[length_ < size_ ? length_ : size_ - 1] = '\0';
    return full_ || size_ <= 0 ? -1 : length_;
  }
  int length() const { return length_; }

 private:
  char* out_;
  int size_;
  int length_ = 0;
  bool full_ = false;
};

/// Year, month (1-12) and day of the civil date `days` after 1970-01-01.
void civilDate(int64_t days, int64_t& year, int& month, int& day) {
  days += 719468;  // from 0000-03-01
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;  // 0 = March
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

/// "hhmmss.sss" for the milliseconds of a day.
void putTimeOfDay(TextWriter& w, int64_t msOfDay) {
  w.number(msOfDay / 3600000, 2);
  w.number(msOfDay / 60000 % 60, 2);
  w.number(msOfDay / 1000 % 60, 2);
  w.put('.');
  w.number(msOfDay % 1000, 3);
}

/// "ddmm.mmmm" (or "dddmm.mmmm") and the hemisphere letter of an angle in degrees.
void putAngle(TextWriter& w, double degrees, int degreeDigits, char positive, char negative) {
  const int64_t units = std::llround(std::fabs(degrees) * kMinuteUnits);
  const int64_t minuteUnits = units % static_cast<int64_t>(kMinuteUnits);
  w.number(units / static_cast<int64_t>(kMinuteUnits), degreeDigits);
  w.number(minuteUnits / kUnitsPerMinute, 2);
  w.put('.');
  w.number(minuteUnits % kUnitsPerMinute, 4);
  w.put(',');
  w.put(degrees < 0 ? negative : positive);
}

bool usableComment(const char* text) {
  return text == nullptr || std::strchr(text, ',') == nullptr;
}

}  // namespace

unsigned nmeaChecksum(const char* begin, const char* end) {
  unsigned sum = 0;
  for (const char* p = begin; p < end; ++p) sum ^= static_cast<unsigned char>(*p);
  return sum;
}

int buildPositionPacket(const PacketFix& fix, char* out, int size) {
  if (out == nullptr || size <= 0) return -1;
  out[0] = '\0';
  if (!usableComment(fix.comment1) || !usableComment(fix.comment2)) return -1;
  if (!(std::fabs(fix.latitude) <= 90.0) || !(std::fabs(fix.longitude) <= 180.0)) return -1;
  if (fix.utcMilliseconds < 0 || fix.utcMilliseconds >= kMaxUtcMs) return -1;

  int64_t year = 0;
  int month = 0, day = 0;
  civilDate(fix.utcMilliseconds / kMsPerDay, year, month, day);
  const int64_t msOfDay = fix.utcMilliseconds % kMsPerDay;

  TextWriter w(out, size);
  w.number(fix.id);
  w.put(',');
  w.put(fix.comment1 != nullptr ? fix.comment1 : "");
  w.put(',');
  w.put(fix.comment2 != nullptr ? fix.comment2 : "");
  w.put(',');

  // Sample: "$GPZDA,123519.500,07,12,2026,00,00*5C"
  int start = w.length();
  w.put("$GPZDA,");
  putTimeOfDay(w, msOfDay);
  w.put(',');
  w.number(day, 2);
  w.put(',');
  w.number(month, 2);
  w.put(',');
  w.number(year, 4);
  w.put(",00,00");
  w.checksumFrom(start);

  // Sample: "$GPGLL,3242.5000,N,11709.6000,W,123519.500,A,A*49"
  start = w.length();
  w.put("$GPGLL,");
  putAngle(w, fix.latitude, 2, 'N', 'S');
  w.put(',');
  putAngle(w, fix.longitude, 3, 'E', 'W');
  w.put(',');
  putTimeOfDay(w, msOfDay);
  w.put(",A,A");
  w.checksumFrom(start);
  return w.finish();
}
