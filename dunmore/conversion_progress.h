// How far a conversion of cast files has come: files done of the total and the share of their
// bytes read, measured as the scanner reads and passed to a listener a few times a second.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dunmore {

/// A conversion's counts at one moment.
struct ConversionProgress {
  int filesDone = 0;
  int fileCount = 0;
  std::uint64_t bytesRead = 0;   ///< of every file, each counted up to its size
  std::uint64_t bytesTotal = 0;  ///< the files' sizes when the conversion began
  double seconds = 0;            ///< since the conversion began

  /// The share done, 0 to 100: by bytes, or by files when they hold none.
  int percent() const;
};

/// Told how a conversion goes, on the thread that converts.
class ProgressListener {
 public:
  virtual ~ProgressListener() = default;
  /// At the start, then at most every ProgressMeter::kIntervalSeconds.
  virtual void update(const ConversionProgress& progress) = 0;
  /// The conversion is over.
  virtual void finish() = 0;
};

/// Keeps a conversion's counts and passes them on to its listener.
class ProgressMeter {
 public:
  static constexpr double kIntervalSeconds = 0.2;

  /// Sizes `files` (one that cannot be looked at counts 0 bytes) and tells `listener` the start.
  ProgressMeter(const std::vector<std::string>& files, ProgressListener& listener);
  ProgressMeter(const ProgressMeter&) = delete;
  ProgressMeter& operator=(const ProgressMeter&) = delete;

  /// `bytes` more of the current file were read.
  void read(std::size_t bytes);
  /// The current file is done, read to its end or not.
  void fileDone();
  /// The conversion is over.
  void finish();

  /// The counts now, whether told or not.
  const ConversionProgress& progress() const { return progress_; }

 private:
  /// Passes the counts on when kIntervalSeconds have gone by since the last time.
  void tell();

  ProgressListener& listener_;
  std::vector<std::uint64_t> sizes_;
  ConversionProgress progress_;
  std::uint64_t bytesBefore_ = 0;  ///< the sizes of the files done
  std::uint64_t fileRead_ = 0;     ///< bytes of the current file read
  std::int64_t start_;
  std::int64_t lastTold_;
};

}  // namespace dunmore
