// The command line's progress line on a terminal: "dunmore: 3 of 12 files done, 41%" redrawn in
// place on standard error. Every other text the conversion sends to the terminal passes through
// the line, which clears itself first, so that error lines and the listing come out whole.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

#include "common/platform/function_stream.h"
#include "dunmore/conversion_progress.h"
#include "dunmore/converter.h"

namespace dunmore {

class ProgressLine : public ProgressListener {
 public:
  /// When output.err is a terminal, draws the line there: becomes output's progress listener
  /// and sends its error stream, and its output and listing streams when they go to a terminal,
  /// through the line. Otherwise leaves output as it is and does nothing. Outlives the
  /// conversion.
  explicit ProgressLine(ConvertOutput& output);
  /// Clears the line.
  ~ProgressLine() override;
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void update(const ConversionProgress& progress) override;
  void finish() override { clear(); }

 private:
  /// Writes text bound for `target`, the line cleared first.
  void pass(std::FILE* target, const char* data, std::size_t size);
  void clear();

  std::FILE* terminal_;
  std::size_t drawn_ = 0;    ///< characters of the line on the terminal now
  bool atLineStart_ = true;  ///< the text passed on so far ends its line
  std::unique_ptr<FunctionStream> err_;
  std::unique_ptr<FunctionStream> out_;
};

}  // namespace dunmore
