// Ring-marker records of both kinds from arbitrary lines: never a crash, and the bounds on
// rings and labels always hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "halvex/tracking/ring_marker.h"

namespace {

/// Slots of a ring and all rings inside it; checks every ring's bounds on the way.
int countSlots(const RingSlot& slot) {
  if (slot.childCount() > RingMarker::kMaxSlots) std::abort();
  int total = slot.childCount();
  for (int i = 0; i < slot.childCount(); ++i) {
    const RingSlot& child = slot.children[static_cast<size_t>(i)];
    if (child.index != i) std::abort();
    total += countSlots(child);
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int dimension = (data[0] & 1) ? 3 : 2;
  std::string line(reinterpret_cast<const char*>(data + 1), size - 1);
  line = line.c_str();
  RingMarker* marker = parseRingMarker(line.c_str(), dimension);
  if (marker == nullptr) return 0;
  if (marker->dimension() != dimension || !marker->root().visible) std::abort();
  if (countSlots(marker->root()) > RingMarker::kMaxTotalSlots) std::abort();
  size_t commas = 0;
  for (char c : line) commas += c == ',';
  if (static_cast<size_t>(marker->labelCount()) > commas) std::abort();
  for (int k = 0; k < marker->labelCount(); ++k) {
    if (marker->label(k).size() > line.size()) std::abort();
  }
  delete marker;
  return 0;
}
