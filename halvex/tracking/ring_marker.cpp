#include "halvex/tracking/ring_marker.h"

#include <algorithm>
#include <cstring>

#include "halvex/core/field_scan.h"

void RingSlot::makeChildren(int count) {
  children.clear();
  children.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) children[static_cast<size_t>(i)].index = i;
}

void RingSlot::show(long newColour, float newScale) {
  visible = true;
  colour = newColour;
  scale = newScale;
  entryCount = 0;
  children.clear();
}

RingMarker::RingMarker(int dimension, double x, double y, double z, long colour, int labelCount)
    : dimension_(dimension), x_(x), y_(y), z_(z), labels_(static_cast<size_t>(labelCount)) {
  root_.visible = true;
  root_.colour = colour;
}

RingMarker::~RingMarker() = default;

const std::string& RingMarker::label(int k) const {
  static const std::string kEmpty;
  return (k >= 0 && k < labelCount()) ? labels_[static_cast<size_t>(k)] : kEmpty;
}

void RingMarker::setLabel(int k, const char* text, size_t length) {
  if (k >= 0 && k < labelCount()) labels_[static_cast<size_t>(k)].assign(text, length);
}

namespace {

/// Most separators a record may have (a line of the section reader has at most 2047).
constexpr int kMaxSeparators = 2048;

/// The separators of one record: seps[0] is the "$", seps[1..fields-1] the commas, and
/// seps[fields] the end of the last field (the closing "*" or the end of the text).
struct Separators {
  const char* seps[kMaxSeparators + 1];
  int fields = 0;       ///< number of fields (one per separator before the end)
  bool closed = false;  ///< whether a "*" closes the record

  /// Separators counted as the format counts them, the closing "*" included.
  int count() const { return fields + (closed ? 1 : 0); }

  bool readLong(int k, long& v) const {
    return k >= 1 && k < fields && fieldscan::scanLong(seps[k] + 1, v) != nullptr;
  }
  bool readDouble(int k, double& v) const {
    return k < fields && fieldscan::scanDouble(seps[k] + 1, v) != nullptr;
  }
  bool readFloat(int k, float& v) const {
    return k >= 1 && k < fields && fieldscan::scanFloat(seps[k] + 1, v) != nullptr;
  }
};

/// Finds the separators of line; false when it has no "$" or too many separators.
bool findSeparators(const char* line, Separators& s) {
  const char* open = std::strchr(line, '$');
  if (open == nullptr) return false;
  const char* end = open + std::strlen(open);
  const char* contentEnd = end;
  while (contentEnd > open + 1 && (contentEnd[-1] == '\n' || contentEnd[-1] == '\r')) {
    --contentEnd;
  }
  // The closing "*": within the last two characters, or last before the line break.
  const char* close = nullptr;
  const long length = end - open;
  for (long back : {2L, 1L, end - contentEnd + 1}) {
    if (back < length && end[-back] == '*' && (close == nullptr || end - back < close)) {
      close = end - back;
    }
  }
  const char* stop = close != nullptr ? close : contentEnd;

  s.seps[0] = open;
  int n = 1;
  for (const char* p = open + 1; p < stop; ++p) {
    p = static_cast<const char*>(std::memchr(p, ',', static_cast<size_t>(stop - p)));
    if (p == nullptr) break;
    if (n == kMaxSeparators) return false;
    s.seps[n++] = p;
  }
  s.fields = n;
  s.seps[n] = stop;
  s.closed = close != nullptr;
  return true;
}

/// Reads the 2D entries from field k on into the root ring.
void read2dEntries(const Separators& s, int k, long entries, RingSlot& root) {
  for (long e = 0; e < entries && k < s.fields; ++e, k += 2) {
    long index = 0, colour = 0;
    if (!s.readLong(k, index) || !s.readLong(k + 1, colour)) continue;
    if (index < 1 || index > root.childCount()) continue;
    root.children[static_cast<size_t>(index - 1)].show(colour, 1.0f);
  }
}

/// Reads the 3D entries and their sub-entries from field k on into the root ring.
void read3dEntries(const Separators& s, int k, long entries, RingSlot& root, int slotBudget) {
  for (long e = 0; e < entries && k < s.fields; ++e) {
    long index = 0, colour = 0, subEntries = 0, subSlots = 0;
    float scale = 0;
    const bool head = s.readLong(k, index) && s.readLong(k + 1, colour);
    const bool ring =
        s.readFloat(k + 2, scale) && s.readLong(k + 3, subEntries) && s.readLong(k + 4, subSlots);
    const int first = k + 5;  // first sub-entry field
    // Where the next entry starts; sub-entry counts beyond the line only run to its end.
    const long skipped = (ring && subEntries > 0) ? std::min<long>(subEntries, s.fields) : 0;
    k = static_cast<int>(first + 3 * skipped);
    if (!head || index < 1 || index > root.childCount()) continue;

    RingSlot& slot = root.children[static_cast<size_t>(index - 1)];
    if (!ring) {
      slot.show(colour, 0.0f);
      continue;
    }
    if (subEntries < 0 || subSlots < 0 || subSlots > RingMarker::kMaxSlots ||
        subSlots > slotBudget) {
      continue;
    }
    slotBudget -= static_cast<int>(subSlots);
    slot.show(colour, scale);
    slot.entryCount = subEntries;
    slot.makeChildren(static_cast<int>(subSlots));
    for (long q = 0; q < skipped; ++q) {
      const int f = first + static_cast<int>(3 * q);
      long subIndex = 0, subColour = 0;
      float subScale = 0;
      if (!s.readLong(f, subIndex) || !s.readLong(f + 1, subColour) ||
          !s.readFloat(f + 2, subScale)) {
        continue;
      }
      if (subIndex < 1 || subIndex > slot.childCount()) continue;
      slot.children[static_cast<size_t>(subIndex - 1)].show(subColour, subScale);
    }
  }
}

}  // namespace

// Sample 2D: "$-117.16,32.71,3,2,8,1,1,4,3,5,North post*\n"
// Sample 3D: "$-117.16,32.71,120.5,3,1,8,1,2,4,1.5,1,6,3,2,0.5,Mast*\n"
RingMarker* parseRingMarker(const char* line, int dimension) {
  if (dimension != 2 && dimension != 3) return nullptr;
  Separators s;
  if (!findSeparators(line, s)) return nullptr;
  const int header = dimension == 2 ? 6 : 7;  // fields before the entries
  if (s.count() < header) return nullptr;

  double x = 0, y = 0, z = 0;
  long colour = 0, entries = 0, slots = 0, labels = 0;
  int k = 2;
  if (!s.readDouble(0, x) || !s.readDouble(1, y)) return nullptr;
  if (dimension == 3 && !s.readDouble(k++, z)) return nullptr;
  if (!s.readLong(k, colour) || !s.readLong(k + 1, entries) || !s.readLong(k + 2, slots) ||
      !s.readLong(k + 3, labels)) {
    return nullptr;
  }
  if (entries < 0 || slots < 0 || labels < 0 || slots > RingMarker::kMaxSlots ||
      labels > s.fields - header) {
    return nullptr;
  }

  auto* marker = new RingMarker(dimension, x, y, z, colour, static_cast<int>(labels));
  RingSlot& root = marker->root();
  root.entryCount = entries;
  root.makeChildren(static_cast<int>(slots));
  if (dimension == 2) {
    read2dEntries(s, header, entries, root);
  } else {
    read3dEntries(s, header, entries, root, RingMarker::kMaxTotalSlots - static_cast<int>(slots));
  }
  for (int q = 0; q < labels; ++q) {
    const int f = s.fields - static_cast<int>(labels) + q;
    const char* text = s.seps[f] + 1;
    marker->setLabel(q, text, static_cast<size_t>(s.seps[f + 1] - text));
  }
  return marker;
}
