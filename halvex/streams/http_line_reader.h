// Cuts an HTTP response into lines as it arrives, through a small fixed buffer that is refilled
// by one receive whenever it runs dry.
#pragma once

/// Takes the next bytes of a response: at most `length` bytes into `buffer`. Returns the count,
/// 0 when the response has ended, -1 on error.
using HttpReceive = int (*)(void* source, char* buffer, int length);

/// Line reader over a receive function. A line ends after its line feed, or when kMaxLine
/// characters have been taken, or when the response ends; longer lines come in kMaxLine pieces.
/// The first receive that yields nothing ends the reading: the function is not called again.
/// Nothing is allocated.
class HttpLineReader {
 public:
  static constexpr int kBufferBytes = 800;                ///< Receive buffer.
  static constexpr int kReceiveBytes = kBufferBytes - 1;  ///< Most asked of one receive.
  static constexpr int kMaxLine = 2047;                   ///< Longest line piece.

  HttpLineReader(HttpReceive receive, void* source) : receive_(receive), source_(source) {}
  HttpLineReader(const HttpLineReader&) = delete;
  HttpLineReader& operator=(const HttpLineReader&) = delete;

  /// The next line, NUL-terminated with its line feed kept, valid until the next call; null once
  /// the response has ended and no characters are left.
  char* nextLine();

  /// Characters of the line returned last (a NUL byte inside a line counts).
  int lineLength() const { return length_; }
  /// Whether the line returned last was cut short by the end of the response: no line feed and
  /// fewer than kMaxLine characters.
  bool lineUnterminated() const { return unterminated_; }
  /// Whether the response has ended.
  bool ended() const { return ended_; }

 private:
  /// Refills the buffer with one receive; false when the response has ended.
  bool refill();

  HttpReceive receive_;
  void* source_;
  char buffer_[kBufferBytes];  ///< Bytes received and not yet taken.
  int fill_ = 0;               ///< Bytes in buffer_.
  int position_ = 0;           ///< Next byte of buffer_ to take.
  bool ended_ = false;         ///< A receive yielded nothing.
  char line_[kMaxLine + 1];    ///< The line handed out, terminated.
  int length_ = 0;             ///< Characters in line_.
  bool unterminated_ = false;  ///< See lineUnterminated().
};
