// A write-only stdio stream whose bytes go to a function: for text that must pass through the
// program on its way out, as when a progress line clears itself before other text reaches the
// terminal.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>

class FunctionStream {
 public:
  using Write = std::function<void(const char* data, std::size_t size)>;

  /// An unbuffered stream: every write reaches `write` at once.
  explicit FunctionStream(Write write);
  /// Closes the stream.
  ~FunctionStream();
  FunctionStream(const FunctionStream&) = delete;
  FunctionStream& operator=(const FunctionStream&) = delete;

  /// The stream, or null when it could not be made.
  std::FILE* file() const { return file_; }

 private:
  Write write_;
  std::FILE* file_ = nullptr;
};
