#include "dunmore/progress_line.h"

#include <string>

#include "common/platform/terminal.h"

namespace dunmore {

ProgressLine::ProgressLine(ConvertOutput& output) : terminal_(output.err) {
  if (!isTerminal(terminal_)) return;
  std::FILE* err = output.err;
  std::FILE* out = output.out;
  err_ = std::make_unique<FunctionStream>(
      [this, err](const char* data, std::size_t size) { pass(err, data, size); });
  if (isTerminal(out)) {
    out_ = std::make_unique<FunctionStream>(
        [this, out](const char* data, std::size_t size) { pass(out, data, size); });
  }
  // A line that could not clear itself before other text would garble it: none at all then.
  if (err_->file() == nullptr || (out_ && out_->file() == nullptr)) return;
  output.err = err_->file();
  if (out_) {
    if (output.listing == out) output.listing = out_->file();
    output.out = out_->file();
  }
  output.progress = this;
}

ProgressLine::~ProgressLine() {
  clear();
}

void ProgressLine::update(const ConversionProgress& progress) {
  // Text that has not ended its line yet keeps the cursor; the line waits.
  if (!atLineStart_) return;
  const std::string text = "dunmore: " + std::to_string(progress.filesDone) + " of " +
                           std::to_string(progress.fileCount) + " files done, " +
                           std::to_string(progress.percent()) + "%";
  // Blanks over the rest of a longer line drawn before.
  const std::size_t blanks = drawn_ > text.size() ? drawn_ - text.size() : 0;
  std::fprintf(terminal_, "\r%s%*s", text.c_str(), static_cast<int>(blanks), "");
  std::fflush(terminal_);
  drawn_ = text.size() + blanks;
}

void ProgressLine::pass(std::FILE* target, const char* data, std::size_t size) {
  if (size == 0) return;
  clear();
  std::fwrite(data, 1, size, target);
  std::fflush(target);
  atLineStart_ = data[size - 1] == '\n';
}

void ProgressLine::clear() {
  if (drawn_ == 0) return;
  std::fprintf(terminal_, "\r%*s\r", static_cast<int>(drawn_), "");
  std::fflush(terminal_);
  drawn_ = 0;
}

}  // namespace dunmore
