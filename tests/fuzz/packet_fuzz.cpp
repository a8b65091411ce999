// Position packets: the in-place cut against a plain strchr-based cut, and the full parse
// against the cut followed by the two sentence readers.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "halvex/streams/position_packet.h"

namespace {

/// The cut, written the obvious way: offsets of comment1, comment2, sentence1, sentence2.
bool referenceCut(const char* text, int& id, size_t offsets[4], size_t ends[4]) {
  if (std::sscanf(text, "%d", &id) != 1) id = 0;
  const char* c1 = std::strchr(text, ',');
  const char* c2 = c1 ? std::strchr(c1 + 1, ',') : nullptr;
  const char* c3 = c2 ? std::strchr(c2 + 1, ',') : nullptr;
  const char* d1 = c3 ? std::strchr(c3 + 1, '$') : nullptr;
  const char* d2 = d1 ? std::strchr(d1 + 1, '$') : nullptr;
  if (d2 == nullptr) return false;
  int stars = 0;
  const char* s1 = nullptr;
  for (const char* p = d1; p < d2; ++p) {
    if (*p == '*') {
      ++stars;
      if (!s1) s1 = p;
    }
  }
  const char* s2 = std::strchr(d2 + 1, '*');
  if (stars != 1 || s2 == nullptr) return false;
  offsets[0] = c1 + 1 - text, ends[0] = c2 - text;
  offsets[1] = c2 + 1 - text, ends[1] = c3 - text;
  offsets[2] = d1 - text, ends[2] = s1 - text;
  offsets[3] = d2 - text, ends[3] = s2 - text;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  const std::vector<char> original = text;

  int refId = 0;
  size_t offsets[4], ends[4];
  const bool refOk = referenceCut(original.data(), refId, offsets, ends);
  PacketParts parts;
  const bool ok = cutPositionPacket(text.data(), parts);
  if (ok != refOk) std::abort();
  if (!ok) {
    if (text != original) std::abort();  // a refused packet stays as it was
    return 0;
  }
  if (parts.id != refId) std::abort();
  char* pieces[4] = {parts.comment1, parts.comment2, parts.sentence1, parts.sentence2};
  for (int i = 0; i < 4; ++i) {
    if (pieces[i] != text.data() + offsets[i]) std::abort();
    if (std::strlen(pieces[i]) != ends[i] - offsets[i]) std::abort();
  }

  // The whole parse is the cut and both sentence readers.
  std::vector<char> again = original;
  PositionFix fix;
  const bool parsed = parsePositionPacket(again.data(), fix);
  ZdaFix zda;
  GllFix gll;
  const bool expected = parseGpzda(parts.sentence1, zda) && parseGpgll(parts.sentence2, gll);
  if (parsed != expected) std::abort();
  if (parsed &&
      (fix.id != parts.id || std::strcmp(fix.comment1, parts.comment1) != 0 ||
       std::strcmp(fix.zda.dateText, zda.dateText) != 0 ||
       fix.zda.time.seconds != zda.time.seconds || fix.gll.timeOfDayMs != gll.timeOfDayMs)) {
    std::abort();
  }
  return 0;
}
