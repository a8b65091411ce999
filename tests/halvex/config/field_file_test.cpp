#include "halvex/config/field_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"

namespace {

using Lines = std::vector<std::vector<std::string>>;

/// Every stored line's fields, read through the public operations.
Lines linesOf(FieldFile& file) {
  Lines lines;
  for (int i = 0; i < file.lineCount(); ++i) {
    file.selectLine(i);
    std::vector<std::string> fields;
    for (int k = 0; k < file.fieldCount(); ++k) {
      std::string word;
      EXPECT_TRUE(file.fieldText(k, word));
      fields.push_back(word);
    }
    lines.push_back(fields);
  }
  return lines;
}

/// Reads text through an in-memory FILE*.
Lines read(const std::string& text, int fieldCount, const std::string& pattern = std::string()) {
  std::string buffer = text;
  std::FILE* memory = fmemopen(buffer.data(), buffer.size(), "r");
  EXPECT_NE(memory, nullptr);
  FieldFile file(memory, fieldCount, pattern);
  if (memory != nullptr) std::fclose(memory);
  return linesOf(file);
}

TEST(FieldFileTest, SkipsCommentsAndEmptyLinesAndStopsAtABlankLine) {
  EXPECT_EQ(read("# NodeFile a\n\na b\n\n#x\nc d\n", 2), (Lines{{"a", "b"}, {"c", "d"}}));
  // A line of blanks holds no field: it and everything after it are ignored.
  EXPECT_EQ(read("a b\n   \t \nc d\n", 2), (Lines{{"a", "b"}}));
  EXPECT_EQ(read("   \na b\n", 2), Lines{});
  // The last line needs no line feed; a "#" after blanks is a word, not a comment.
  EXPECT_EQ(read("a b\n  # c", 2), (Lines{{"a", "b"}, {"#", "c"}}));
}

TEST(FieldFileTest, KeepsAtMostNFieldsAndTheCountFound) {
  EXPECT_EQ(read("a b c d\n  x\t\ty  \n", 3), (Lines{{"a", "b", "c"}, {"x", "y"}}));
  std::string many;
  for (int i = 0; i < 20; ++i) many += "w" + std::to_string(i) + " ";
  EXPECT_EQ(read(many + "\n", 40).at(0).size(), 16u);  // N is at most 16
  EXPECT_EQ(read("a b\n", 0), (Lines{{"a"}}));         // and at least 1
}

TEST(FieldFileTest, WindowsLineEndsReadLikeUnixOnes) {
  EXPECT_EQ(read("a b\r\n\r\n# c\r\nd e\r\n", 2), (Lines{{"a", "b"}, {"d", "e"}}));
}

TEST(FieldFileTest, ALineStartingWithNulIsSkippedAndNulEndsALine) {
  EXPECT_EQ(read(std::string("\0x y\na b\0c\nd\n", 13), 3), (Lines{{"a", "b"}, {"d"}}));
}

TEST(FieldFileTest, LineSelectionIsClampedAndNextStopsAtTheLast) {
  std::string text = "a 1\nb 2 \nc 3\n";
  std::FILE* memory = fmemopen(text.data(), text.size(), "r");
  ASSERT_NE(memory, nullptr);
  FieldFile file(memory, 2);
  std::fclose(memory);
  ASSERT_EQ(file.lineCount(), 3);
  std::string word;
  EXPECT_EQ(file.selectedLine(), 0);
  EXPECT_TRUE(file.nextLine());
  EXPECT_TRUE(file.nextLine());
  EXPECT_FALSE(file.nextLine());
  EXPECT_EQ(file.selectedLine(), 2);
  file.selectLine(-5);
  EXPECT_EQ(file.selectedLine(), 0);
  file.selectLine(99);
  EXPECT_EQ(file.selectedLine(), 2);
  EXPECT_TRUE(file.fieldText(0, word));
  EXPECT_EQ(word, "c");
}

TEST(FieldFileTest, FieldAccessFailsAtOrBeyondTheLineFieldCount) {
  std::string text = "only\n";
  std::FILE* memory = fmemopen(text.data(), text.size(), "r");
  ASSERT_NE(memory, nullptr);
  FieldFile file(memory, 3);
  std::fclose(memory);
  std::string word = "unchanged";
  double d = 7.5;
  long l = 7;
  EXPECT_EQ(file.fieldCount(), 1);
  EXPECT_FALSE(file.fieldText(1, word));
  EXPECT_FALSE(file.fieldText(-1, word));
  EXPECT_FALSE(file.fieldDouble(1, d));
  EXPECT_FALSE(file.fieldLong(2, l));
  EXPECT_EQ(word, "unchanged");
  EXPECT_EQ(d, 7.5);
  EXPECT_EQ(l, 7);
}

TEST(FieldFileTest, MissingOrEmptyFilesYieldNoLines) {
  ScratchDir temp;
  for (const std::string& path : {temp.missing(), temp.write("empty", "")}) {
    FieldFile file(path, 2);
    EXPECT_EQ(file.lineCount(), 0);
    EXPECT_EQ(file.fieldCount(), 0);
    EXPECT_FALSE(file.nextLine());
    file.selectLine(3);
    EXPECT_EQ(file.selectedLine(), 0);
    std::string word;
    EXPECT_FALSE(file.fieldText(0, word));
  }
  EXPECT_FALSE(FieldFile(temp.missing(), 2).opened());
  EXPECT_FALSE(FieldFile(static_cast<std::FILE*>(nullptr), 2).opened());
  FieldFile real(temp.write("real", "a b\n"), 2);
  EXPECT_TRUE(real.opened());
  EXPECT_EQ(real.lineCount(), 1);
}

TEST(FieldFileTest, NumbersAreDecimalConversionsOfTheWord) {
  std::string text =
      "1.5e3 -2.5 +7 12abc abc 0x10 inf .5 1e999 -3.\n"
      "42 -7 x 99999999999999999999 -99999999999999999999 12.9 +3\n";
  std::FILE* memory = fmemopen(text.data(), text.size(), "r");
  ASSERT_NE(memory, nullptr);
  FieldFile file(memory, 16);
  std::fclose(memory);
  const double doubles[] = {1500.0, -2.5, 7.0, 12.0, 0.0, 0.0, 0.0, 0.5, HUGE_VAL, -3.0};
  for (int k = 0; k < 10; ++k) {
    double value = -1.0;
    EXPECT_TRUE(file.fieldDouble(k, value));
    EXPECT_EQ(value, doubles[k]) << "field " << k;
  }
  file.nextLine();
  const long longs[] = {42, -7, 0, LONG_MAX, LONG_MIN, 12, 3};
  for (int k = 0; k < 7; ++k) {
    long value = -1;
    EXPECT_TRUE(file.fieldLong(k, value));
    EXPECT_EQ(value, longs[k]) << "field " << k;
  }
}

TEST(FieldFileTest, LongLinesAreReadInBoundedPieces) {
  // 799 characters fit one piece; the line feed after them ends the line.
  const std::string full = std::string(790, ' ') + "a 123456";
  ASSERT_EQ(full.size(), 798u);
  EXPECT_EQ(read(full + "b\nc d\n", 2), (Lines{{"a", "123456b"}, {"c", "d"}}));
  // One character more: the rest of the line comes as a line of its own.
  EXPECT_EQ(read(full + "bc\nd e\n", 2), (Lines{{"a", "123456b"}, {"c"}, {"d", "e"}}));
  // A line of many pieces.
  std::string huge;
  for (int i = 0; i < 1000; ++i) huge += "word ";
  const Lines pieces = read(huge + "\nend\n", 1);
  EXPECT_EQ(pieces.size(), 8u);  // 5000 characters in pieces of 799, then "end"
  EXPECT_EQ(pieces.back(), Lines::value_type{"end"});
}

TEST(FieldFileTest, TheRestOfALongCommentOrOfBlanksIsNoLine) {
  const std::string comment = "#" + std::string(1500, 'x') + " NodeFile bad\n";
  EXPECT_EQ(read(comment + "a b\n", 2), (Lines{{"a", "b"}}));
  // Trailing blanks beyond the buffer do not end the reading as a blank line would.
  const std::string padded = "a b" + std::string(1000, ' ') + "\n";
  EXPECT_EQ(read(padded + "c d\n", 2), (Lines{{"a", "b"}, {"c", "d"}}));
}

TEST(FieldFileTest, ALineWithATooLongFieldIsDroppedWhole) {
  const std::string ok(99, 'k');
  const std::string tooLong(100, 'x');
  EXPECT_EQ(read("a " + ok + "\n", 2), (Lines{{"a", ok}}));
  EXPECT_EQ(read("a " + tooLong + "\nb c\n", 2), (Lines{{"b", "c"}}));
  EXPECT_EQ(read(tooLong + " a\nb c\n", 2), (Lines{{"b", "c"}}));
  // Beyond the N fields a long word is never scanned.
  EXPECT_EQ(read("a b " + tooLong + "\n", 2), (Lines{{"a", "b"}}));
  // An explicit width wider than the limit is bounded all the same.
  EXPECT_EQ(read(tooLong + "\nb\n", 1, "%500s"), Lines{{"b"}});
}

TEST(FieldFileTest, CustomPatternsScanLikeSscanf) {
  EXPECT_EQ(read("ab cd,ef gh\n", 3, "%[^,],%s%s"), (Lines{{"ab cd", "ef", "gh"}}));
  EXPECT_EQ(read("abcdef\n", 3, "%2s%c%s"), (Lines{{"ab", "c", "def"}}));
  EXPECT_EQ(read("key = value\n", 2, "%s = %s"), (Lines{{"key", "value"}}));
  EXPECT_EQ(read("skip keep\n", 2, "%*s%s"), (Lines{{"keep"}}));
  EXPECT_EQ(read("100% sure\n", 2, "%[0-9]%% %s"), (Lines{{"100", "sure"}}));
  EXPECT_EQ(read("a]b c\n", 2, "%[]a]%s"), (Lines{{"a]", "b"}}));
  // A literal that does not match ends the fields of a line; before the first field, the file.
  EXPECT_EQ(read("x=1 y\nz:2\n", 2, "%[a-z]=%s"), (Lines{{"x", "1"}, {"z"}}));
  EXPECT_EQ(read("1=x\ny=2\n", 2, "%[a-z]=%s"), Lines{});
  // Only text conversions fill fields; malformed patterns end the scan.
  EXPECT_EQ(read("1 2\n", 2, "%s%d"), (Lines{{"1"}}));
  EXPECT_EQ(read("1 2\n", 2, "%d%s"), Lines{});
  EXPECT_EQ(read("ab\n", 2, "%[ab"), Lines{});
  EXPECT_EQ(read("ab\n", 2, "%0s"), Lines{});
  EXPECT_EQ(read("ab\n", 2, "%"), Lines{});
  EXPECT_EQ(read("ab cd\n", 2, "%ls%lls"), (Lines{{"ab", "cd"}}));
  // The pattern ends at a NUL, as a C string does.
  EXPECT_EQ(read("a b\n", 2, std::string("%s\0%s", 5)), (Lines{{"a"}}));
  // Never more than N fields, whatever the pattern asks.
  EXPECT_EQ(read("a b c\n", 2, "%s%s%s"), (Lines{{"a", "b"}}));
}

}  // namespace
