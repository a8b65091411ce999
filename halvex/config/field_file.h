// Reader of the line-field text files that hold the tracker's configuration and projects.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

/// A text file read whole into lines of up to N fields.
///
/// Lines are read with a bounded buffer: a piece holds at most maxLineLength - 1 characters, and
/// the rest of a longer line is read as the next piece, as a fixed-size line buffer would. The
/// rest of a "#" comment line is skipped with it, and a continuation piece that holds no field is
/// skipped too. A CR before the LF is dropped, so files written on Windows read the same.
///
/// Pieces that begin with "#", that are empty or hold only the line feed are skipped. Every other
/// piece is scanned with the pattern into at most N fields. A piece that yields no field at all
/// (only blanks, or a pattern that does not match) ends the reading: it and everything after it
/// are ignored.
///
/// A field must be shorter than maxFieldLength. A line with a longer field is dropped whole (no
/// cut word is ever passed on) and the reading goes on with the next line.
class FieldFile {
 public:
  static constexpr int kMaxFields = 16;        ///< Largest field count N.
  static constexpr int kMaxLineLength = 800;   ///< Line buffer size of every tracker file.
  static constexpr int kMaxFieldLength = 100;  ///< Fields are shorter than this.

  /// Reads the file at path. N is clamped to 1..16. An empty pattern means "%s" N times. The
  /// pattern understands what sscanf does for text: blanks (skip any blanks), literal characters,
  /// "%%", and the conversions %s, %c and %[set] with an optional "*" (scan, do not keep) and
  /// width; length modifiers are ignored. Any other conversion ends the scan of the line. A file
  /// that cannot be opened yields zero lines.
  FieldFile(const std::string& path, int fieldCount, const std::string& pattern = std::string(),
            int maxLineLength = kMaxLineLength, int maxFieldLength = kMaxFieldLength);

  /// Reads from the current position of an open file to its end; the file is not closed. A null
  /// file yields zero lines.
  FieldFile(std::FILE* file, int fieldCount, const std::string& pattern = std::string(),
            int maxLineLength = kMaxLineLength, int maxFieldLength = kMaxFieldLength);

  /// Path given at construction (empty when read from a FILE*).
  const std::string& path() const { return path_; }

  /// True when the file could be opened (or a non-null FILE* was given).
  bool opened() const { return opened_; }

  /// Number of stored lines.
  int lineCount() const { return static_cast<int>(lines_.size()); }

  /// Selects line i, clamped to 0 .. lineCount() - 1.
  void selectLine(int i);

  /// Index of the selected line (0 when there are no lines).
  int selectedLine() const { return selected_; }

  /// Selects the next line; false, without moving, at the last line or when there are no lines.
  bool nextLine();

  /// Number of fields of the selected line (0 when there are no lines).
  int fieldCount() const;

  /// Field k of the selected line; false, leaving out unchanged, when k is not below fieldCount().
  bool fieldText(int k, std::string& out) const;

  /// Decimal conversion of field k: the longest leading decimal number of the word ([sign] digits
  /// [. digits] [exponent]); a word that does not begin with one gives 0. False, leaving out
  /// unchanged, when k is not below fieldCount().
  bool fieldDouble(int k, double& out) const;

  /// Integer conversion of field k: leading decimal digits with an optional sign, clamped to the
  /// range of long; a word that does not begin with one gives 0. False, leaving out unchanged,
  /// when k is not below fieldCount().
  bool fieldLong(int k, long& out) const;

 private:
  /// The fields of one stored line.
  struct Line {
    std::vector<std::string> fields;
  };

  void init(int fieldCount, const std::string& pattern, int maxLineLength, int maxFieldLength);
  void readAll(std::FILE* file);
  const std::string* field(int k) const;

  std::string path_;
  bool opened_ = false;
  int maxFields_ = 1;
  std::string pattern_;
  int maxLineLength_ = kMaxLineLength;
  int maxFieldLength_ = kMaxFieldLength;
  std::vector<Line> lines_;
  int selected_ = 0;
};

/// Reads the file at `path` as lines of three words and calls fn(file, first, second, third) for
/// every line of exactly three (a fourth word makes the line count as another form and skips it).
/// Returns whether the file could be opened.
template <class Fn>
bool forEachThreeWordLine(const std::string& path, Fn fn) {
  FieldFile file(path, 4);
  for (int i = 0; i < file.lineCount(); ++i) {
    file.selectLine(i);
    if (file.fieldCount() != 3) continue;
    std::string first, second, third;
    file.fieldText(0, first);
    file.fieldText(1, second);
    file.fieldText(2, third);
    fn(file, first, second, third);
  }
  return file.opened();
}
