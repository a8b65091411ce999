// Scanner of cast report files: turns the bytes of a cast file into the grammar's tokens.
//
// A longest-match scanner (rules in cast_scanner.l) with two start conditions and a report phase
// that decides what an ordinary word means at each point of a report. It reads from a stack of
// open files. One scanner serves one parse; everything it keeps, the phase and keyword counts
// included, starts fresh with it, so a file scans the same whatever was scanned before.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "dunmore/cast_file_stack.h"

namespace dunmore {

class CastScanner {
 public:
  /// Size of the token buffer: a token this long or longer cannot be held and fails the file.
  static constexpr int kTokenBufferSize = 500;
  /// Token values are copies of the matched text cut to this many characters.
  static constexpr std::size_t kMaxTokenText = 1023;
  /// Rule result meaning "consumed, nothing for the parser".
  static constexpr int kIgnored = -1;

  /// What the report phase stands for, as the scanner moves through a report.
  enum Phase {
    kBeforeFirstReport = 0,
    kAfterDtg = 1,
    kAfterZone = 2,
    kAfterZoneWord = 3,
    kActionWords = 4,
    kAfterOnFirst = 5,
    kAfterOnSecond = 6,
    kAfterAtFirst = 7,
    kAfterAtSecond = 8,
    kComment = 9,
  };

  /// `out` receives the scanner's diagnostic lines and the bytes no rule matches; `err` the
  /// error reports (of the parser as well).
  explicit CastScanner(std::FILE* out = stdout, std::FILE* err = stderr);
  CastScanner(const CastScanner&) = delete;
  CastScanner& operator=(const CastScanner&) = delete;
  ~CastScanner();

  /// False when the scanner could not be set up ("No space for scanner!" has been reported);
  /// such a scanner returns the end of input at once.
  bool ready() const { return flex_ != nullptr; }

  /// Opens `name` for binary reading and makes it the input. Refuses, with reports through
  /// reportError, a name already on the stack and a file that cannot be opened.
  bool pushFile(const std::string& name);

  /// As pushFile, for a stream opened by the caller; the scanner takes ownership (a refused
  /// stream is closed).
  bool pushStream(std::FILE* stream, const std::string& name);

  /// Calls `observer` with the count of the bytes of every read from a file.
  void observeReads(std::function<void(std::size_t)> observer) {
    readObserver_ = std::move(observer);
  }

  /// Reads the next token. Returns its code (the grammar's token numbers) with the text in
  /// `value`, 0 at the end of input, or the grammar's error token after a reported failure that
  /// ends the file (a token that overflows the buffer, a read error). `value` stays valid until
  /// four more tokens have been read.
  int next(std::string_view& value);

  /// Writes an error report to the error stream: "NAME: LINE: " (the top file's name, empty
  /// when no file is open) unless the line counter is 0, then the message and a line feed.
  void reportError(const char* format, ...) __attribute__((format(printf, 2, 3)));

  /// Line counter: line feeds read in the current file before the token being matched.
  int line() const { return line_; }
  int phase() const { return phase_; }
  const CastFileStack& files() const { return files_; }

  // The operations below are the scanner rules' effects; only cast_scanner.l calls them.

  /// Starts a matched token: counts the line feeds of the previous one and checks the length.
  /// False after reporting "Token buffer overflow".
  bool beginToken(const char* text, int length);
  int dateTimeGroup(const char* text, int length);
  int zone(const char* text, int length);
  int word(const char* text, int length);
  int onKeyword(const char* text, int length);
  int atKeyword(const char* text, int length);
  int stopMark(const char* text, int length);
  /// A byte that no rule matches: copied to the output stream and skipped.
  void unmatched(char byte);
  /// The input is exhausted: returns 0 (end of input), the error token after a read error, or
  /// kIgnored when the file below has been resumed and scanning goes on.
  int endOfInput();
  /// Reads up to `size` bytes of the current file; a read error ends the file and is remembered.
  /// `pending` is the length of the token being matched so far: once that is sure to overflow
  /// the token buffer nothing more is read, which ends the token there.
  std::size_t readInput(std::FILE* stream, char* buffer, std::size_t size, std::size_t pending);

 private:
  /// Where the phase stands within a report: before its action words, in its action words and
  /// phrases, in its comment, or at a phase that cannot arise.
  enum class Part { kHead, kBody, kComment, kInvalid };
  Part part() const;
  /// Reports a push of a name already on the stack; true when it did.
  bool refuseRecursion(const std::string& name);
  /// Returns to the file below the top one at the end of the top file. The bottom file stays
  /// on the stack until the scanner goes, so reports at the end of input still name it.
  bool popFile();
  /// The shared step of the two keywords.
  int keyword(int& count, int firstPhase, int firstToken, int secondToken);
  /// Stores a token's text as its value and returns `token`.
  int setValue(int token, const char* text, std::size_t length);

  void* flex_ = nullptr;  ///< the rules' matching state
  CastFileStack files_;
  std::FILE* out_;
  std::FILE* err_;
  int line_ = 1;
  int pendingLines_ = 0;  ///< line feeds of the previous token, counted when the next begins
  int phase_ = kBeforeFirstReport;
  int onCount_ = 0;
  int atCount_ = 0;
  bool readError_ = false;
  bool runaway_ = false;               ///< reading stopped inside a token too long for the buffer
  std::array<std::string, 4> values_;  ///< recent token texts, used in turn
  unsigned nextValue_ = 0;
  std::string_view value_;
  std::function<void(std::size_t)> readObserver_;
};

}  // namespace dunmore
