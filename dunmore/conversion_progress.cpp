#include "dunmore/conversion_progress.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/platform/perf_counter.h"

namespace dunmore {

namespace {

constexpr int kWhole = 100;

}  // namespace

int ConversionProgress::percent() const {
  const std::uint64_t done = bytesTotal > 0 ? bytesRead : static_cast<std::uint64_t>(filesDone);
  const std::uint64_t total = bytesTotal > 0 ? bytesTotal : static_cast<std::uint64_t>(fileCount);
  if (total == 0 || done >= total) return kWhole;
  return static_cast<int>(static_cast<double>(done) * kWhole / static_cast<double>(total));
}

ProgressMeter::ProgressMeter(const std::vector<std::string>& files, ProgressListener& listener)
    : listener_(listener), start_(perfCounter()), lastTold_(start_) {
  for (const std::string& name : files) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(name, error);
    sizes_.push_back(error ? 0 : size);
    progress_.bytesTotal += sizes_.back();
  }
  progress_.fileCount = static_cast<int>(files.size());
  listener_.update(progress_);
}

void ProgressMeter::read(std::size_t bytes) {
  fileRead_ += bytes;
  const auto file = static_cast<std::size_t>(progress_.filesDone);
  const std::uint64_t size = file < sizes_.size() ? sizes_[file] : 0;
  progress_.bytesRead = bytesBefore_ + std::min(fileRead_, size);
  tell();
}

void ProgressMeter::fileDone() {
  const auto file = static_cast<std::size_t>(progress_.filesDone);
  if (file < sizes_.size()) bytesBefore_ += sizes_[file];
  fileRead_ = 0;
  ++progress_.filesDone;
  progress_.bytesRead = bytesBefore_;
  tell();
}

void ProgressMeter::finish() {
  listener_.finish();
}

void ProgressMeter::tell() {
  const std::int64_t now = perfCounter();
  if (static_cast<double>(now - lastTold_) < kIntervalSeconds * perfFrequency()) return;
  lastTold_ = now;
  progress_.seconds = static_cast<double>(now - start_) / perfFrequency();
  listener_.update(progress_);
}

}  // namespace dunmore
