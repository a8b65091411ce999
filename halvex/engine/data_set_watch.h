// Keeps a CSV data set read while the tracker runs: a thread of its own reads the file when it
// is named and again whenever its modification time or size changes, checked once a second, so
// the GUI thread never waits on a read.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "halvex/streams/csv_data_set.h"

class DataSetWatch {
 public:
  static constexpr int kCheckMs = 1000;  ///< Between two looks at the file's time and size.

  DataSetWatch();
  /// Stops and joins the thread.
  ~DataSetWatch();
  DataSetWatch(const DataSetWatch&) = delete;
  DataSetWatch& operator=(const DataSetWatch&) = delete;

  /// Watches `path` from now on and reads it at once; empty stops watching (take() then gives
  /// a null set once).
  void watch(const std::string& path);
  const std::string& path() const { return path_; }

  /// Takes what was read since the last call: true with the set (null when none is watched or
  /// the file was refused) and the read's messages (a refusal, the skipped-rows line), false
  /// when nothing new came. Never waits on a read.
  bool take(std::shared_ptr<const CsvDataSet>& set, std::vector<std::string>& messages);

  /// Reads finished so far (for tests).
  long reads() const;

 private:
  void run();
  /// Hands a result to take(), under the lock; messages add to those not yet taken. Gives back
  /// the set it replaces, to be let go with the lock free.
  std::shared_ptr<const CsvDataSet> publish(std::shared_ptr<const CsvDataSet> set,
                                            std::vector<std::string> messages);

  std::string path_;  ///< GUI thread's copy.
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::string wanted_;   ///< Path the thread should watch.
  long generation_ = 0;  ///< Counts watch() calls: the thread reads at once when it moves.
  bool stop_ = false;
  bool ready_ = false;  ///< A result waits in set_/messages_.
  std::shared_ptr<const CsvDataSet> set_;
  std::vector<std::string> messages_;
  long reads_ = 0;
  std::thread thread_;
};
