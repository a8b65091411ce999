// The position packet: one multicast datagram per fix of one node, holding its id, two comments
// and a GPZDA and a GPGLL sentence:
//   7,north gate,moving,$GPZDA,123519.50,07,12,2026,00,00*6C$GPGLL,3242.5000,N,...,A,A*79
#pragma once

#include "halvex/streams/nmea.h"

/// The pieces of a cut packet; every pointer points into the packet text.
struct PacketParts {
  int id = 0;                 ///< node id ("%d" at the start; 0 when it does not read)
  char* comment1 = nullptr;   ///< text between the first and second comma
  char* comment2 = nullptr;   ///< text between the second and third comma
  char* sentence1 = nullptr;  ///< first sentence from its "$" up to its "*"
  char* sentence2 = nullptr;  ///< second sentence from its "$" up to its "*"
};

/// A packet cut and both sentences read.
struct PositionFix {
  int id = 0;
  const char* comment1 = nullptr;  ///< points into the packet text
  const char* comment2 = nullptr;  ///< points into the packet text
  ZdaFix zda;
  GllFix gll;
};

/// Cuts a NUL-terminated packet in place: the first three commas and the "*" of each sentence
/// become terminators. The "$" that opens the first sentence is searched after the third comma,
/// so comments may hold "$" and "*". The first sentence runs to the next "$" and must hold
/// exactly one "*"; the second runs to its "*", which must be there. The checksum digits after
/// each "*" are not read. Returns false, leaving the text as it was, when the packet does not
/// have this form.
bool cutPositionPacket(char* text, PacketParts& parts);

/// Cuts the packet and reads its sentences as GPZDA and GPGLL. Returns false when any step
/// fails; fix is then not to be used.
bool parsePositionPacket(char* text, PositionFix& fix);
