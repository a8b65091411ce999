#include "halvex/streams/dgc_reader.h"

#include <algorithm>
#include <cstring>

#include "halvex/core/field_scan.h"
#include "halvex/tracking/ring_marker.h"

namespace {

// Sample: "<INDEX id=\"12\" time=\"...\">" -> 12
/// Reads the marker-set index as sscanf(line, "<INDEX id=\"%d", &index) does: the blank of the
/// pattern matches any run of white space, none included.
bool readIndex(const char* line, int& index) {
  if (std::strncmp(line, "<INDEX", 6) != 0) return false;
  const char* p = line + 6;
  while (fieldscan::isSpace(*p)) ++p;
  if (std::strncmp(p, "id=\"", 4) != 0) return false;
  return fieldscan::scanInt(p + 4, index) != nullptr;
}

/// Cuts a byte stream into the lines a 2048-byte fgets buffer would give and feeds them.
class LineFeeder {
 public:
  explicit LineFeeder(DgcSectionReader& reader) : reader_(reader) {}

  /// Feeds the complete lines of the next size bytes; false once the reader has stopped.
  bool push(const char* data, size_t size) {
    while (size > 0) {
      size_t take = std::min(size, static_cast<size_t>(kDgcMaxLine) - length_);
      const char* lineFeed = static_cast<const char*>(std::memchr(data, '\n', take));
      if (lineFeed != nullptr) take = static_cast<size_t>(lineFeed - data) + 1;
      std::memcpy(line_ + length_, data, take);
      length_ += take;
      data += take;
      size -= take;
      if ((lineFeed != nullptr || length_ == static_cast<size_t>(kDgcMaxLine)) && !deliver()) {
        return false;
      }
    }
    return true;
  }

  /// Feeds what is left after the last line feed.
  void finish() {
    if (length_ > 0) deliver();
  }

 private:
  bool deliver() {
    line_[length_] = '\0';
    length_ = 0;
    return reader_.feedLine(line_);
  }

  DgcSectionReader& reader_;
  char line_[kDgcMaxLine + 1];
  size_t length_ = 0;
};

}  // namespace

DgcSectionReader::DgcSectionReader(DgcHandler& handler, MarkerIndex& index, DgcSource source)
    : handler_(handler), index_(index), source_(source) {}

bool DgcSectionReader::feedLine(char* line) {
  if (state_ == State::kDone) return false;
  if (line[0] == '\n') return true;
  switch (state_) {
    case State::kOutside:
      if (fieldscan::tagPrefix(line, "<dgc>", 5)) {
        state_ = State::kStateRecords;
      } else if (fieldscan::tagPrefix(line, "<irq1>", 5)) {
        state_ = State::kIndex2d;
      } else if (fieldscan::tagPrefix(line, "<irq2>", 5)) {
        state_ = State::kIndex3d;
      }
      return true;
    case State::kStateRecords:
      if (fieldscan::tagPrefix(line, "</dgc>", source_ == DgcSource::kHttpBody ? 6 : 5)) break;
      handler_.stateRecord(line);
      return true;
    case State::kIndex2d:
      return indexLine(line, State::kMarkers2d);
    case State::kIndex3d:
      return indexLine(line, State::kMarkers3d);
    case State::kMarkers2d:
    case State::kMarkers3d: {
      const bool flat = state_ == State::kMarkers2d;
      if (fieldscan::tagPrefix(line, flat ? "</irq1>" : "</irq2>", 7)) break;
      if (RingMarker* marker = parseRingMarker(line, flat ? 2 : 3)) handler_.addMarker(marker);
      return true;
    }
    case State::kDone:
      break;
  }
  state_ = State::kDone;
  return false;
}

bool DgcSectionReader::indexLine(const char* line, State markerState) {
  int index = 0;
  if (readIndex(line, index)) index_.parsed = index;
  if (index_.parsed == index_.last) {
    // Same marker set as held: keep it and read no further.
    state_ = State::kDone;
    return false;
  }
  handler_.clearMarkers();
  index_.last = index_.parsed;
  state_ = markerState;
  return true;
}

bool readDgcStream(std::FILE* file, DgcSectionReader& reader) {
  if (file == nullptr) return false;
  reader.restart();
  LineFeeder feeder(reader);
  char chunk[16384];
  for (;;) {
    const size_t n = std::fread(chunk, 1, sizeof chunk, file);
    if (n == 0) break;
    if (!feeder.push(chunk, n)) return true;
  }
  feeder.finish();
  return true;
}

bool readDgcFile(const char* name, DgcSectionReader& reader) {
  if (name == nullptr || name[0] == '\0') return false;
  std::FILE* file = std::fopen(name, "rb");
  if (file == nullptr) return false;
  readDgcStream(file, reader);
  std::fclose(file);
  return true;
}

void readDgcText(const char* text, size_t size, DgcSectionReader& reader) {
  reader.restart();
  LineFeeder feeder(reader);
  if (feeder.push(text, size)) feeder.finish();
}
