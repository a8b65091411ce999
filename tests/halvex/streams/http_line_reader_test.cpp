// The response line reader on bytes handed over in pieces of every size, as a socket may.
#include "halvex/streams/http_line_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

/// Hands out a text in pieces of a fixed size and watches how it is asked.
struct PieceSource {
  std::string text;
  int pieceSize = 1;
  int endResult = 0;  ///< What a receive returns once the text is out: 0 or -1.
  size_t position = 0;
  int calls = 0;
  int callsAfterEnd = 0;
  int largestAsk = 0;
  bool ended = false;

  static int receive(void* self, char* buffer, int length) {
    auto& s = *static_cast<PieceSource*>(self);
    ++s.calls;
    s.largestAsk = std::max(s.largestAsk, length);
    if (s.ended) ++s.callsAfterEnd;
    if (s.position == s.text.size()) {
      s.ended = true;
      return s.endResult;
    }
    const size_t n = std::min({static_cast<size_t>(length), static_cast<size_t>(s.pieceSize),
                               s.text.size() - s.position});
    s.text.copy(buffer, n, s.position);
    s.position += n;
    return static_cast<int>(n);
  }
};

/// Every line the reader gives, with "|u" after those cut short by the end of the text.
std::vector<std::string> readAll(PieceSource& source) {
  HttpLineReader reader(PieceSource::receive, &source);
  std::vector<std::string> lines;
  while (const char* line = reader.nextLine()) {
    lines.emplace_back(line, static_cast<size_t>(reader.lineLength()));
    if (reader.lineUnterminated()) lines.back() += "|u";
  }
  EXPECT_EQ(reader.nextLine(), nullptr);
  return lines;
}

TEST(HttpLineReader, LinesDoNotDependOnHowTheBytesArrive) {
  std::string text = "HTTP/1.0 200 OK\r\n\r\n<dgc>\n";
  for (int i = 0; i < 300; ++i) text += std::string(static_cast<size_t>(i * 13 % 2500), 'a') + "\n";
  text += "\n\n</dgc>\n<REFRESH> 5";
  PieceSource whole{text, 1 << 20};
  const std::vector<std::string> expected = readAll(whole);
  ASSERT_GT(expected.size(), 300u);
  for (int piece : {1, 2, 7, 798, 799, 800, 2047, 5000}) {
    for (int end : {0, -1}) {
      PieceSource source{text, piece, end};
      EXPECT_EQ(readAll(source), expected) << piece << " " << end;
      EXPECT_LE(source.largestAsk, HttpLineReader::kReceiveBytes);
      EXPECT_EQ(source.callsAfterEnd, 0);
    }
  }
  EXPECT_EQ(expected.back(), "<REFRESH> 5|u");
}

TEST(HttpLineReader, LongLinesComeIn2047CharacterPieces) {
  // 2046 characters and the line feed fit one line; 2047 without it fill one, and the line feed
  // that follows is a line of its own, as a 2048-byte line buffer gives them.
  const std::string fits(2046, 'f'), full(2047, 'g');
  const std::string huge = std::string(1 << 20, 'h');
  PieceSource source{fits + "\n" + full + "\n" + huge + "\n" + "tail", 799};
  const std::vector<std::string> lines = readAll(source);
  ASSERT_EQ(lines.size(), 2u + 1 + (1 << 20) / 2047 + 1 + 1);
  EXPECT_EQ(lines[0], fits + "\n");
  EXPECT_EQ(lines[1], full);
  EXPECT_EQ(lines[2], "\n");
  size_t total = 0;
  for (size_t i = 3; i + 2 < lines.size(); ++i) {
    EXPECT_EQ(lines[i].size(), 2047u);
    total += lines[i].size();
  }
  EXPECT_EQ(lines[lines.size() - 2], std::string((1 << 20) - total, 'h') + "\n");
  EXPECT_EQ(lines.back(), "tail|u");
}

TEST(HttpLineReader, EmptyResponseAndErrorEndAtTheFirstReceive) {
  for (int end : {0, -1}) {
    PieceSource source{"", 1, end};
    HttpLineReader reader(PieceSource::receive, &source);
    EXPECT_EQ(reader.nextLine(), nullptr);
    EXPECT_EQ(reader.nextLine(), nullptr);
    EXPECT_TRUE(reader.ended());
    EXPECT_EQ(source.calls, 1);
  }
}

}  // namespace
