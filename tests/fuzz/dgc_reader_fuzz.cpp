// The section reader on arbitrary text, fed from memory and through a FILE*: both ways must
// hand over the same events, and the marker index must follow its rules.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "halvex/streams/dgc_reader.h"
#include "halvex/tracking/ring_marker.h"

namespace {

/// Writes every event down as text and owns the markers.
class Journal : public DgcHandler {
 public:
  ~Journal() override { clearMarkers(); }
  void stateRecord(char* line) override {
    events += "R:";
    events += line;
    events += '\n';
  }
  void clearMarkers() override {
    DlinkList::deleteAll(head_);
    tail_ = nullptr;
    events += "C\n";
    ++clears;
  }
  void addMarker(RingMarker* marker) override {
    events += "M:" + std::to_string(marker->root().childCount()) + ":" +
              std::to_string(marker->labelCount()) + "\n";
    marker->appendTo(head_, tail_, 0);
  }
  std::string events;
  int clears = 0;

 private:
  DlinkList* head_ = nullptr;
  DlinkList* tail_ = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const DgcSource source = (data[0] & 1) ? DgcSource::kHttpBody : DgcSource::kFile;
  const int startIndex = static_cast<int>(data[0] >> 1) - 1;
  const char* text = reinterpret_cast<const char*>(data + 1);
  const size_t length = size - 1;

  Journal fromMemory, fromFile;
  MarkerIndex indexA{startIndex, 0}, indexB{startIndex, 0};
  DgcSectionReader readerA(fromMemory, indexA, source), readerB(fromFile, indexB, source);
  readDgcText(text, length, readerA);

  std::string copy(text, length);
  std::FILE* file = fmemopen(copy.empty() ? nullptr : &copy[0], copy.size(), "r");
  if (copy.empty()) file = std::tmpfile();
  if (file == nullptr) return 0;
  readDgcStream(file, readerB);
  std::fclose(file);

  if (fromMemory.events != fromFile.events) std::abort();
  if (indexA.last != indexB.last || indexA.parsed != indexB.parsed) std::abort();
  // The held index changes only together with a clear.
  if (indexA.last != startIndex && fromMemory.clears == 0) std::abort();
  // Reading the same text again finds the index it now holds and keeps the markers.
  const int clearsBefore = fromMemory.clears;
  readDgcText(text, length, readerA);
  if (fromMemory.clears != clearsBefore) std::abort();
  return 0;
}
