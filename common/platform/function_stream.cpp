#include "common/platform/function_stream.h"

#include <sys/types.h>

#include <utility>

namespace {

ssize_t writeThrough(void* cookie, const char* data, size_t size) {
  (*static_cast<FunctionStream::Write*>(cookie))(data, size);
  return static_cast<ssize_t>(size);
}

}  // namespace

FunctionStream::FunctionStream(Write write) : write_(std::move(write)) {
  cookie_io_functions_t functions{};
  functions.write = writeThrough;
  file_ = fopencookie(&write_, "w", functions);
  if (file_ != nullptr) std::setvbuf(file_, nullptr, _IONBF, 0);
}

FunctionStream::~FunctionStream() {
  if (file_ != nullptr) std::fclose(file_);
}
