// The event reader on any bytes: it never reads past them, and whatever it takes, written again
// by the writer, reads back as the same event to the written precision. The same bytes go
// through the stream splitter whole and in pieces: both give the same events, each from an
// "<event" and at most the limit long, with the buffer within its bound.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "halvex/streams/cot_event.h"

namespace {

/// Reads a heap copy of its exact size, so that a read past the end is caught.
CotError readCopy(const char* data, size_t bytes, CotEvent& event) {
  const std::vector<char> copy(data, data + bytes);
  return readCotEvent(copy.data(), copy.size(), event);
}

/// Whether `back` is `value` as written with `decimals` decimals (or exactly, past 2^64).
bool near(double back, double value, int decimals) {
  return std::fabs(back - value) <= 0.5 * std::pow(10.0, -decimals) + std::fabs(value) * 1e-15;
}

void checkRoundTrip(const CotEvent& event) {
  if (event.uid.empty() || std::fabs(event.latitude) > 90 || std::fabs(event.longitude) > 180 ||
      !std::isfinite(event.hae) || !std::isfinite(event.ce) || !std::isfinite(event.le) ||
      !std::isfinite(event.course) || !std::isfinite(event.speed)) {
    std::abort();
  }
  const std::string xml = cotEventXml(event);
  CotEvent back;
  if (readCopy(xml.data(), xml.size(), back) != CotError::kNone) std::abort();
  if (back.uid != event.uid || back.type != event.type || back.how != event.how ||
      back.timeMs != event.timeMs || back.startMs != event.startMs ||
      back.staleMs != event.staleMs || back.callsign != event.callsign ||
      back.remarks != event.remarks || back.hasTrack != event.hasTrack ||
      !near(back.latitude, event.latitude, 9) || !near(back.longitude, event.longitude, 9) ||
      !near(back.hae, event.hae, 3) || !near(back.ce, event.ce, 3) || !near(back.le, event.le, 3) ||
      !near(back.course, event.course, 3) || !near(back.speed, event.speed, 3)) {
    std::abort();
  }
}

struct Cut {
  std::vector<std::string> events;
  long oversized = 0;
};

Cut cutStream(const char* data, size_t size, size_t piece) {
  Cut cut;
  CotStreamSplitter splitter;
  for (size_t at = 0; at < size; at += piece) {
    const size_t bytes = size - at < piece ? size - at : piece;
    splitter.feed(data + at, bytes, [&cut](const char* event, size_t length) {
      if (length < 7 || length > kCotMaxBytes || std::string(event, 6) != "<event") {
        std::abort();
      }
      cut.events.emplace_back(event, length);
    });
    if (splitter.buffered() > 2 * kCotMaxBytes) std::abort();
  }
  cut.oversized = splitter.oversized();
  return cut;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const char* data = reinterpret_cast<const char*>(bytes);
  CotEvent event;
  if (readCopy(data, size, event) == CotError::kNone) checkRoundTrip(event);

  const Cut whole = cutStream(data, size, size == 0 ? 1 : size);
  const Cut pieces = cutStream(data, size, size == 0 ? 1 : bytes[0] % 13 + 1);
  if (whole.events != pieces.events || whole.oversized != pieces.oversized) std::abort();
  for (const std::string& piece : whole.events) {
    if (readCopy(piece.data(), piece.size(), event) == CotError::kNone) checkRoundTrip(event);
  }
  return 0;
}
