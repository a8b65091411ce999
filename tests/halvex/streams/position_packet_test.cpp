#include "halvex/streams/position_packet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

/// A writable copy of a packet text, as the receive buffers hold them.
std::vector<char> packet(const std::string& text) {
  return std::vector<char>(text.c_str(), text.c_str() + text.size() + 1);
}

TEST(PositionPacket, CutsAndParsesTheDocumentedExample) {
  const std::string example =
      "7,north gate,moving,$GPZDA,123519.50,07,12,2026,00,00*6C"
      "$GPGLL,3242.5000,N,11709.6000,W,123519.50,A,A*79";
  std::vector<char> text = packet(example);
  PacketParts parts;
  ASSERT_TRUE(cutPositionPacket(text.data(), parts));
  EXPECT_EQ(parts.id, 7);
  EXPECT_STREQ(parts.comment1, "north gate");
  EXPECT_STREQ(parts.comment2, "moving");
  EXPECT_STREQ(parts.sentence1, "$GPZDA,123519.50,07,12,2026,00,00");
  EXPECT_STREQ(parts.sentence2, "$GPGLL,3242.5000,N,11709.6000,W,123519.50,A,A");

  text = packet(example);
  PositionFix fix;
  ASSERT_TRUE(parsePositionPacket(text.data(), fix));
  EXPECT_EQ(fix.id, 7);
  EXPECT_STREQ(fix.comment2, "moving");
  EXPECT_STREQ(fix.zda.dateText, "2026/12/07,12:35:19.500");
  EXPECT_NEAR(fix.gll.latitude, 32.708333, 5e-7);
}

TEST(PositionPacket, RejectsMalformedPacketsAndLeavesThemAlone) {
  for (const char* text : {// a second "*" in the first sentence
                           "7,a,b,$GPZDA,1,07,12,2026,00,00*6C*1$GPGLL,3242.5,N,11709.6,W,1,A,A*79",
                           // the second sentence without "*"
                           "7,a,b,$GPZDA,1,07,12,2026,00,00*6C$GPGLL,3242.5,N,11709.6,W,1,A,A",
                           // no "*" in the first sentence, only one sentence, two commas only
                           "7,a,b,$GPZDA,1,07,12,2026,00,00$GPGLL,3242.5,N,11709.6,W,1,A,A*79",
                           "7,a,b,$GPZDA,1,07,12,2026,00,00*6C",
                           "7,a$GPZDA,1,2,3,4,5,6*6C$GPGLL,1,N,2,E,3,A,A*1", ""}) {
    std::vector<char> copy = packet(text);
    PacketParts parts;
    EXPECT_FALSE(cutPositionPacket(copy.data(), parts)) << text;
    EXPECT_EQ(std::string(copy.data()), text);
  }
  // Cut right, but the sentences are swapped.
  std::vector<char> swapped = packet("7,a,b,$GPGLL,1,N,2,E,3,A,A*79$GPZDA,1,07,12,2026,00,00*6C");
  PositionFix fix;
  EXPECT_FALSE(parsePositionPacket(swapped.data(), fix));
}

TEST(PositionPacket, IdCommentsAndFiller) {
  // An id that does not read is 0; comments may be empty or hold "$" and "*"; text between the
  // third comma and the first "$" is ignored; checksum digits are not checked.
  std::vector<char> text =
      packet("x7,pay$*,,filler$GPZDA,1,2,3,4,5,6*ZZ$GPGLL,1,N,2,E,3,A,A*ZZ $ and *");
  PacketParts parts;
  ASSERT_TRUE(cutPositionPacket(text.data(), parts));
  EXPECT_EQ(parts.id, 0);
  EXPECT_STREQ(parts.comment1, "pay$*");
  EXPECT_STREQ(parts.comment2, "");
  EXPECT_STREQ(parts.sentence1, "$GPZDA,1,2,3,4,5,6");
  EXPECT_STREQ(parts.sentence2, "$GPGLL,1,N,2,E,3,A,A");
  std::vector<char> spaced = packet(" -12,c1,c2,$A*1$B*2");
  ASSERT_TRUE(cutPositionPacket(spaced.data(), parts));
  EXPECT_EQ(parts.id, -12);
}

}  // namespace
