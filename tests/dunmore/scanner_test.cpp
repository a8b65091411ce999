// The cast scanner: tokens by report phase, start conditions, line counting and error reports,
// the token limit, and the file stack.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cast_test_support.h"

using casttest::Captured;
using casttest::tokens;
using dunmore::CastScanner;

TEST(CastScanner, DateTimeGroupOnlyAtLineStart) {
  EXPECT_EQ(tokens("071230Dec hit.\n071231Dec go\n"),
            "DTG(071230Dec) ACTION(hit) STOP(.) DTG(071231Dec) ACTION(go) STOP(\n)");
  // After a blank, or followed by a further letter or digit, it is a word.
  EXPECT_EQ(tokens("071230Dec hit 071231Dec.\n"),
            "DTG(071230Dec) ACTION(hit) ACTION(071231Dec) STOP(.)");
  EXPECT_EQ(tokens("071230Dec hit.\n071231Decx go\n"),
            "DTG(071230Dec) ACTION(hit) STOP(.) COMMENT(071231Decx) COMMENT(go)");
  // A line feed right after the group does not end the report.
  EXPECT_EQ(tokens("071230Dec\nhit.\n"), "DTG(071230Dec) ACTION(hit) STOP(.)");
}

TEST(CastScanner, ZoneOnlyBetweenDateAndActionWords) {
  EXPECT_EQ(tokens("071230Dec ZONE 38S hit."),
            "DTG(071230Dec) ZONE( ZONE ) WORD(38S) ACTION(hit) STOP(.)");
  EXPECT_EQ(tokens("071230Dec\tzOnE  38S hit."),
            "DTG(071230Dec) ZONE(\tzOnE  ) WORD(38S) ACTION(hit) STOP(.)");
  // No blank after it: an action word.
  EXPECT_EQ(tokens("071230Dec Zone\n"), "DTG(071230Dec) ACTION(Zone) STOP(\n)");
  // Once the action words have begun, "zone" is a word wherever it appears.
  EXPECT_EQ(tokens("071230Dec hit zone 4. enemy zone cleared\n"),
            "DTG(071230Dec) ACTION(hit) ACTION(zone) ACTION(4) STOP(.) COMMENT(enemy) "
            "COMMENT(zone) COMMENT(cleared)");
}

TEST(CastScanner, OnAndAtKeywordsNeedExactlyOneBlankEachSide) {
  EXPECT_EQ(tokens("071230Dec hit on convoy."),
            "DTG(071230Dec) ACTION(hit) ON1( on ) WORD(convoy) STOP(.)");
  EXPECT_EQ(tokens("071230Dec hit  on convoy."),
            "DTG(071230Dec) ACTION(hit) ACTION(on) ACTION(convoy) STOP(.)");
  EXPECT_EQ(tokens("071230Dec hit on\n"), "DTG(071230Dec) ACTION(hit) ACTION(on) STOP(\n)");
  EXPECT_EQ(tokens("071230Dec hit\tAT\tbase."),
            "DTG(071230Dec) ACTION(hit) AT1(\tAT\t) WORD(base) STOP(.)");
  // Before the action words the keywords are dropped.
  EXPECT_EQ(tokens("071230Dec on patrol."), "DTG(071230Dec) ACTION(patrol) STOP(.)");
}

TEST(CastScanner, ThirdKeywordStaysWithThePhraseBeforeIt) {
  EXPECT_EQ(tokens("071230Dec hit on a on b on c at d at e at f."),
            "DTG(071230Dec) ACTION(hit) ON1( on ) WORD(a) ON2( on ) WORD(b) WORD(c) AT1( at ) "
            "WORD(d) AT2( at ) WORD(e) WORD(f) STOP(.)");
  // The counts start again with every report.
  EXPECT_EQ(tokens("071230Dec x on a on b.\n071231Dec y on c."),
            "DTG(071230Dec) ACTION(x) ON1( on ) WORD(a) ON2( on ) WORD(b) STOP(.) "
            "DTG(071231Dec) ACTION(y) ON1( on ) WORD(c) STOP(.)");
}

TEST(CastScanner, CommentKeepsPeriodsCommasAndKeywords) {
  EXPECT_EQ(tokens("071230Dec hit* a . b , c \" d\n e On f AT g"),
            "DTG(071230Dec) ACTION(hit) STOP(*) COMMENT(a) COMMENT(.) COMMENT(b) COMMENT(,) "
            "COMMENT(c) COMMENT(d) COMMENT(e) COMMENT(on) COMMENT(f) COMMENT( AT ) COMMENT(g)");
}

TEST(CastScanner, EveryStopMarkEndsTheActionPart) {
  for (const char mark : std::string(".,\"*+{}\n")) {
    const std::string text = std::string("071230Dec hit on a") + mark + "b";
    EXPECT_EQ(tokens(text), "DTG(071230Dec) ACTION(hit) ON1( on ) WORD(a) STOP(" +
                                std::string(1, mark) + ") COMMENT(b)")
        << text;
  }
}

TEST(CastScanner, OtherBytesAreDroppedAndHighBytesEchoed) {
  Captured c;
  const char text[] = "071230Dec M-16/a:b\x1c\0c\xe9z.";
  EXPECT_EQ(tokens(std::string(text, sizeof text - 1), c),
            "DTG(071230Dec) ACTION(M) ACTION(16) ACTION(a) ACTION(b) ACTION(c) ACTION(z) STOP(.)");
  EXPECT_EQ(c.out.text(), "\xe9");
}

TEST(CastScanner, WordsBeforeTheFirstReportAreReportedAndSkipped) {
  Captured c;
  EXPECT_EQ(tokens("stray words. on\n071230Dec hit.", c), "DTG(071230Dec) ACTION(hit) STOP(.)");
  // "stray", "words" and "on", which is no keyword without a blank after it.
  EXPECT_EQ(c.out.text(), "String ImNONE error\nString ImNONE error\nString ImNONE error\n");
  // Each scanner starts before the first report, whatever an earlier one read.
  Captured again;
  EXPECT_EQ(tokens("late words\n071230Dec hit.", again), "DTG(071230Dec) ACTION(hit) STOP(.)");
  EXPECT_EQ(again.out.text(), "String ImNONE error\nString ImNONE error\n");
}

TEST(CastScanner, TokensOfTheBufferSizeFailTheFile) {
  const std::string fits(499, 'a'), full(500, 'a');
  EXPECT_EQ(tokens("071230Dec " + fits + "."), "DTG(071230Dec) ACTION(" + fits + ") STOP(.)");

  Captured first;
  EXPECT_EQ(tokens("071230Dec " + full + ".", first), "DTG(071230Dec) FAILED");
  EXPECT_EQ(first.err.text(), "Token buffer overflow\n");  // first line: no prefix

  Captured blanks;
  EXPECT_EQ(tokens("071230Dec hit.\n\n" + std::string(600, ' ') + "x", blanks),
            "DTG(071230Dec) ACTION(hit) STOP(.) FAILED");
  EXPECT_EQ(blanks.err.text(), "t.cast: 2: Token buffer overflow\n");
}

namespace {

/// A stream of `size` bytes: a date-time group, a blank and then `fill` to the end; counts the
/// bytes read from it.
struct EndlessToken {
  std::size_t size;
  char fill;
  std::size_t read = 0;

  static ssize_t readSome(void* cookie, char* buffer, std::size_t length) {
    auto* self = static_cast<EndlessToken*>(cookie);
    static const char kHead[] = "071230Dec ";
    std::size_t n = 0;
    for (; n < length && self->read < self->size; ++n, ++self->read)
      buffer[n] = self->read < sizeof kHead - 1 ? kHead[self->read] : self->fill;
    return static_cast<ssize_t>(n);
  }

  std::FILE* open() { return fopencookie(this, "rb", {readSome, nullptr, nullptr, nullptr}); }
};

}  // namespace

TEST(CastScanner, RunawayTokenFailsWithoutReadingTheRest) {
  // A word or blank run far past the buffer fails as soon as it is known to be too long: the
  // rest of it is neither read nor held.
  for (const char fill : {'a', ' '}) {
    EndlessToken input{std::size_t{8} << 20, fill};
    Captured c;
    dunmore::ReportSet set;
    EXPECT_EQ(dunmore::parseCastStream(input.open(), "big.cast", set, c.output()),
              dunmore::ParseResult::kFailed);
    EXPECT_EQ(c.err.text(), "Token buffer overflow\n");
    EXPECT_LT(input.read, std::size_t{1} << 20) << "fill '" << fill << "'";
  }
}

TEST(CastScanner, LineCounterCountsLineFeedsBeforeTheToken) {
  Captured c;
  CastScanner scanner(c.out.file(), c.err.file());
  EXPECT_EQ(scanner.line(), 1);
  ASSERT_TRUE(scanner.pushStream(casttest::textStream("071230Dec a\nb\n\nc"), "f.cast"));
  EXPECT_EQ(scanner.line(), 0);
  std::string_view v;
  std::vector<int> lines;
  while (scanner.next(v) != 0) lines.push_back(scanner.line());
  // DTG, a and its line feed on line 0; comment words b and c after one and three.
  EXPECT_EQ(lines, (std::vector<int>{0, 0, 0, 1, 3}));
  EXPECT_EQ(scanner.line(), 3);
  scanner.reportError("late %d", 7);
  EXPECT_EQ(c.err.text(), "f.cast: 3: late 7\n");
}

TEST(CastFileStack, OpenFailureAndRecursionAreReportedAndRefused) {
  ScratchDir dir;
  const std::string a = dir.write("a.cast", "071230Dec a.\n"), b = dir.write("b.cast", "");
  Captured c;
  CastScanner scanner(c.out.file(), c.err.file());
  EXPECT_FALSE(scanner.pushFile(dir.path("missing.cast")));
  EXPECT_EQ(c.err.text(), ": 1: Unable to open file ||" + dir.dir() + "/missing.cast||\n\n");

  ASSERT_TRUE(scanner.pushFile(a));
  std::string_view v;
  scanner.next(v);
  scanner.next(v);
  scanner.next(v);  // the line feed: line 1 from the next token on
  ASSERT_TRUE(scanner.pushFile(b));
  EXPECT_EQ(scanner.files().at(0).resumeLine, 1);
  // Names are compared exactly; the error is on the first line of b, without a prefix.
  EXPECT_FALSE(scanner.pushFile(a));
  EXPECT_EQ(scanner.files().size(), 2u);
  const std::string expected = ": 1: Unable to open file ||" + dir.dir() + "/missing.cast||\n\n" +
                               "Can not recursively include cast files\n\n\tFile:\t" + a +
                               " \ncalls " + b + " \ncalls " + a + " again!\n\n\nFile: " + a +
                               " skipped\n\n\n";
  EXPECT_EQ(c.err.text(), expected);
}

TEST(CastFileStack, EndOfAFileReturnsToTheOneBelow) {
  ScratchDir dir;
  const std::string outer = dir.write("outer.cast", "071230Dec a.\n\nrest\n");
  const std::string inner = dir.write("inner.cast", "071231Dec b.");
  Captured c;
  CastScanner scanner(c.out.file(), c.err.file());
  ASSERT_TRUE(scanner.pushFile(outer));
  std::string_view v;
  for (int i = 0; i < 3; ++i) scanner.next(v);  // DTG a .
  ASSERT_TRUE(scanner.pushFile(inner));
  std::string dump;
  for (int t; (t = scanner.next(v)) != 0;) dump += std::string(v) + "|";
  EXPECT_EQ(dump, "071231Dec|b|.|rest|");
  EXPECT_EQ(c.out.text(), "\n#\tReturn to file " + outer + " line 1\n");
  // The bottom file stays open to the end, so late reports still name it.
  EXPECT_EQ(scanner.files().size(), 1u);
}

TEST(CastFileStack, UnreadableFileFailsWithAReport) {
  ScratchDir dir;
  Captured c;
  CastScanner scanner(c.out.file(), c.err.file());
  ASSERT_TRUE(scanner.pushFile(dir.dir()));  // a folder opens but does not read
  std::string_view v;
  EXPECT_EQ(scanner.next(v), dunmore::kScanFailedToken);
  EXPECT_EQ(c.err.text(), "Unable to read file ||" + dir.dir() + "||\n");
}
