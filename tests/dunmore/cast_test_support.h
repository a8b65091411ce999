// Helpers of the converter tests: captured message streams, in-memory cast files, temporary
// files and a token dump of the scanner.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "cast_grammar.tab.h"
#include "dunmore/cast_scanner.h"
#include "dunmore/converter.h"
#include "tests/support/scratch_dir.h"

namespace casttest {

/// A stream whose text can be read back.
class MemoryStream {
 public:
  MemoryStream() : file_(open_memstream(&data_, &size_)) {}
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;
  ~MemoryStream() {
    std::fclose(file_);
    std::free(data_);
  }
  std::FILE* file() { return file_; }
  std::string text() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

/// Captures the three message streams of a conversion.
struct Captured {
  MemoryStream out, err, listing;
  dunmore::ConvertOutput output(bool withListing = false) {
    dunmore::ConvertOutput o;
    o.out = out.file();
    o.err = err.file();
    o.listing = withListing ? listing.file() : nullptr;
    return o;
  }
};

/// A read-only stream over a copy of `text`; the copy lives as long as the stream.
inline std::FILE* textStream(const std::string& text) {
  static std::deque<std::string> keep;  // test inputs, kept for the process where they are
  std::string& copy = keep.emplace_back(text);
  return fmemopen(copy.data(), copy.size(), "rb");
}

/// Parses `text` as the cast file `name`.
inline dunmore::ParseResult parseText(const std::string& text, dunmore::ReportSet& set,
                                      Captured& captured, const std::string& name = "t.cast",
                                      bool withListing = false) {
  return dunmore::parseCastStream(textStream(text), name, set, captured.output(withListing));
}

inline std::string readFile(const std::string& path) {
  std::string text;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
  }
  return text;
}

/// Short name of a token code.
inline std::string tokenName(int token) {
  switch (token) {
    case CAST_WORD:
      return "WORD";
    case CAST_STOP:
      return "STOP";
    case CAST_DTG:
      return "DTG";
    case CAST_ZONE:
      return "ZONE";
    case CAST_ACTION_WORD:
      return "ACTION";
    case CAST_ON_FIRST:
      return "ON1";
    case CAST_ON_SECOND:
      return "ON2";
    case CAST_AT_FIRST:
      return "AT1";
    case CAST_AT_SECOND:
      return "AT2";
    case CAST_COMMENT_WORD:
      return "COMMENT";
    default:
      return "?" + std::to_string(token);
  }
}

/// The tokens of `text` as "NAME(value)" items joined by blanks, up to the end of input or a
/// failure ("FAILED").
inline std::string tokens(const std::string& text, Captured& captured) {
  dunmore::CastScanner scanner(captured.out.file(), captured.err.file());
  if (!scanner.pushStream(textStream(text), "t.cast")) return "NOT PUSHED";
  std::string dump;
  std::string_view value;
  for (int token; (token = scanner.next(value)) != 0;) {
    if (!dump.empty()) dump += ' ';
    if (token == dunmore::kScanFailedToken) return dump + "FAILED";
    dump += tokenName(token) + "(" + std::string(value) + ")";
  }
  return dump;
}

inline std::string tokens(const std::string& text) {
  Captured captured;
  return tokens(text, captured);
}

}  // namespace casttest
