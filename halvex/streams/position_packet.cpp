#include "halvex/streams/position_packet.h"

#include <cstring>

#include "halvex/core/field_scan.h"

// Sample: "7,north gate,moving,$GPZDA,123519.50,07,12,2026,00,00*6C$GPGLL,3242.5000,N,11709.6000,
//          W,123519.50,A,A*79"
bool cutPositionPacket(char* text, PacketParts& parts) {
  int id = 0;
  if (fieldscan::scanInt(text, id) == nullptr) id = 0;

  // One pass over the text. The characters that matter (NUL, "$", "*", ",") all sort at or
  // below ",", so most characters are passed over with one comparison.
  char* commas[3];
  int commaCount = 0;
  char* dollar1 = nullptr;
  char* dollar2 = nullptr;
  char* star1 = nullptr;
  for (char* p = text;; ++p) {
    const char c = *p;
    if (static_cast<unsigned char>(c) > ',') continue;
    if (c == '\0') return false;
    if (commaCount < 3) {
      if (c == ',') commas[commaCount++] = p;
    } else if (c == '$') {
      if (dollar1 != nullptr) {
        dollar2 = p;
        break;
      }
      dollar1 = p;
    } else if (c == '*' && dollar1 != nullptr) {
      if (star1 != nullptr) return false;  // a second "*" in the first sentence
      star1 = p;
    }
  }
  if (star1 == nullptr) return false;
  char* star2 = std::strchr(dollar2 + 1, '*');
  if (star2 == nullptr) return false;

  *commas[0] = *commas[1] = *commas[2] = '\0';
  *star1 = *star2 = '\0';
  parts.id = id;
  parts.comment1 = commas[0] + 1;
  parts.comment2 = commas[1] + 1;
  parts.sentence1 = dollar1;
  parts.sentence2 = dollar2;
  return true;
}

bool parsePositionPacket(char* text, PositionFix& fix) {
  PacketParts parts;
  if (!cutPositionPacket(text, parts)) return false;
  if (!parseGpzda(parts.sentence1, fix.zda) || !parseGpgll(parts.sentence2, fix.gll)) {
    return false;
  }
  fix.id = parts.id;
  fix.comment1 = parts.comment1;
  fix.comment2 = parts.comment2;
  return true;
}
