#include "halvex/streams/state_record.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "halvex/core/field_scan.h"
#include "halvex/core/fixed_format.h"

namespace {

/// Appends to a caller's buffer as snprintf fills it: whatever does not fit is counted but not
/// written.
class BoundedWriter {
 public:
  BoundedWriter(char* buffer, size_t size) : buffer_(buffer), size_(size) {}

  void put(const char* text, size_t n) {
    if (length_ + n < size_) {
      std::memcpy(buffer_ + length_, text, n);
    } else if (length_ + 1 < size_) {
      std::memcpy(buffer_ + length_, text, size_ - 1 - length_);
    }
    length_ += n;
  }
  void put(char c) {
    if (length_ + 1 < size_) buffer_[length_] = c;
    ++length_;
  }
  void putText(const char* text) {
    if (text != nullptr) put(text, std::strlen(text));
  }

  /// Terminates the text (cut when it did not fit) and returns the full length.
  int finish() {
    if (size_ > 0) buffer_[length_ < size_ ? length_ : size_ - 1] = '\0';
    return static_cast<int>(length_);
  }

 private:
  char* buffer_;
  size_t size_;
  size_t length_ = 0;
};

void putInt(BoundedWriter& out, long value, int width) {
  char text[fixedfmt::kNumberBufferSize];
  out.put(text, static_cast<size_t>(fixedfmt::formatInt(value, width, text)));
}

/// "%f" (precision 6) or "%05.3lf" (precision 3, width 5).
void putFixed(BoundedWriter& out, double value, int precision, int width) {
  // Large enough for "%f" of the largest double (309 digits and the decimals).
  char text[400];
  int n = fixedfmt::formatFixed(value, precision, width, text);
  if (n == 0) n = std::snprintf(text, sizeof text, "%0*.*f", width, precision, value);
  out.put(text, static_cast<size_t>(n));
}

}  // namespace

// Sample: "$007,32.712345,-117.160000,1126531205,250,0,0.125,north gate,moving,Truck 7*\n"
bool parseStateRecord(char* line, StateRecord& record) {
  char* open = std::strchr(line, '$');
  if (open == nullptr) return false;
  char* commas[9];
  int count = 0;
  char* close = nullptr;
  // NUL, "*" and "," all sort at or below ",": most characters take one comparison.
  for (char* p = open + 1;; ++p) {
    const char c = *p;
    if (static_cast<unsigned char>(c) > ',') continue;
    if (c == '\0') break;
    if (c == ',') {
      if (count < 9) commas[count++] = p;
    } else if (c == '*' && count >= 8) {
      close = p;
      break;
    }
  }
  if (count != 9 && !(count == 8 && close != nullptr)) return false;

  StateRecord r;
  using namespace fieldscan;
  if (!scanInt(open + 1, r.id) || !scanDouble(commas[0] + 1, r.latitude) ||
      !scanDouble(commas[1] + 1, r.longitude) || !scanLong(commas[2] + 1, r.time) ||
      !scanInt(commas[3] + 1, r.milliseconds) || !scanLong(commas[4] + 1, r.status) ||
      !scanDouble(commas[5] + 1, r.age)) {
    return false;
  }
  // "nan" and "inf" read as numbers, but no position or age is one.
  if (!std::isfinite(r.latitude) || !std::isfinite(r.longitude) || !std::isfinite(r.age)) {
    return false;
  }

  char* name = nullptr;
  if (count == 9) {
    *commas[8] = '\0';
    name = commas[8] + 1;
    if (close != nullptr) *close = '\0';
  } else {
    *close = '\0';
    name = close + 1;
  }
  *commas[6] = '\0';
  *commas[7] = '\0';
  name[std::strcspn(name, "\r\n")] = '\0';
  r.comment1 = commas[6] + 1;
  r.comment2 = commas[7] + 1;
  r.name = name;
  record = r;
  return true;
}

int formatStateRecord(char* buffer, size_t size, int id, double latitude, double longitude,
                      long time, int milliseconds, int status, double age, const char* comment1,
                      const char* comment2, const char* name) {
  BoundedWriter out(buffer, size);
  out.put('$');
  putInt(out, id, 3);
  out.put(',');
  putFixed(out, latitude, 6, 0);
  out.put(',');
  putFixed(out, longitude, 6, 0);
  out.put(',');
  putInt(out, time, 0);
  out.put(',');
  putInt(out, milliseconds, 0);
  out.put(',');
  putInt(out, status, 0);
  out.put(',');
  putFixed(out, age, 3, 5);
  out.put(',');
  out.putText(comment1);
  out.put(',');
  out.putText(comment2);
  out.put(',');
  out.putText(name);
  out.put("*\n", 2);
  return out.finish();
}
