#include "halvex/engine/data_set_watch.h"

#include <chrono>
#include <utility>

#include "common/platform/file_stamp.h"

namespace {

/// Messages kept for take() at most: a GUI that has not taken for a while needs only the latest.
constexpr size_t kMaxPendingMessages = 16;

}  // namespace

DataSetWatch::DataSetWatch() {
  thread_ = std::thread(&DataSetWatch::run, this);
}

DataSetWatch::~DataSetWatch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void DataSetWatch::watch(const std::string& path) {
  path_ = path;
  std::shared_ptr<const CsvDataSet> stale;  // released outside the lock
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wanted_ = path;
    ++generation_;
    ready_ = false;  // a result of the path watched before is no longer wanted
    stale.swap(set_);
    messages_.clear();
  }
  wake_.notify_one();
}

bool DataSetWatch::take(std::shared_ptr<const CsvDataSet>& set,
                        std::vector<std::string>& messages) {
  std::shared_ptr<const CsvDataSet> taken;
  std::vector<std::string> said;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!ready_) return false;
    ready_ = false;
    taken.swap(set_);
    said.swap(messages_);
  }
  // The set the caller held before may be the last owner: it goes here, not under the lock.
  set = std::move(taken);
  messages = std::move(said);
  return true;
}

long DataSetWatch::reads() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reads_;
}

std::shared_ptr<const CsvDataSet> DataSetWatch::publish(std::shared_ptr<const CsvDataSet> set,
                                                        std::vector<std::string> messages) {
  if (!ready_) messages_.clear();
  for (std::string& message : messages) {
    if (messages_.size() >= kMaxPendingMessages) messages_.erase(messages_.begin());
    messages_.push_back(std::move(message));
  }
  set.swap(set_);
  ready_ = true;
  return set;
}

void DataSetWatch::run() {
  std::string path;                           // the file watched, empty for none
  long seen = 0;                              // generation_ the thread last followed
  FileStamp last;                             // the file as last read or found missing
  std::shared_ptr<const CsvDataSet> current;  // what the last read gave
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    const auto woken = [&] { return stop_ || generation_ != seen; };
    // With no file watched there is nothing to look at until watch() or the destructor wakes it.
    if (path.empty()) {
      wake_.wait(lock, woken);
    } else {
      wake_.wait_for(lock, std::chrono::milliseconds(kCheckMs), woken);
    }
    if (stop_) return;
    const bool named = generation_ != seen;
    seen = generation_;
    if (named) path = wanted_;
    lock.unlock();

    // Sets let go here may be large: they go with the lock free, so take() never waits on them.
    std::shared_ptr<const CsvDataSet> retired;
    if (named) {
      last = FileStamp();
      retired = std::move(current);
    }
    bool tell = named;  // a watch() always gets an answer, if only a null set
    bool read = false;
    std::vector<std::string> messages;
    if (!path.empty()) {
      // The stamp is taken before the read: a write that goes on during it changes the stamp
      // again, and the next look reads the file anew.
      const FileStamp stamp = fileStamp(path);
      const bool vanished = !named && last.exists && !stamp.exists;
      read = named || (stamp != last && !vanished);
      if (read) {
        auto set = std::make_shared<CsvDataSet>();
        std::string error;
        if (readCsvDataSet(path, *set, &error)) {
          const std::string skipped = csvSkippedMessage(path, *set);
          if (!skipped.empty()) messages.push_back(skipped);
          current = std::move(set);
        } else {
          messages.push_back(error);
          current.reset();
        }
        tell = true;
      } else if (vanished) {
        messages.push_back(path + ": gone; the rows read before stay");
        tell = true;
      }
      last = stamp;
    }

    lock.lock();
    if (read) ++reads_;
    // A result for a file no longer watched is dropped; the next turn follows the new one.
    std::shared_ptr<const CsvDataSet> replaced;
    if (tell && generation_ == seen) replaced = publish(current, std::move(messages));
    lock.unlock();
    retired.reset();
    replaced.reset();
    lock.lock();
  }
}
