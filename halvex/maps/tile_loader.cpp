#include "halvex/maps/tile_loader.h"

#include <algorithm>
#include <iterator>
#include <system_error>

TileLoader::TileLoader(int threads, ReadTile read, size_t maxFinished)
    : read_(std::move(read)), maxFinished_(std::max<size_t>(maxFinished, 1)) {
  threads = std::clamp(threads, 1, kMaxThreads);
  for (int i = 0; i < threads; ++i) {
    try {
      threads_.emplace_back(&TileLoader::run, this);
    } catch (const std::system_error&) {
      break;  // fewer readers; with none, requests wait forever but nothing breaks
    }
  }
}

TileLoader::~TileLoader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    queue_.clear();
    queuedKeys_.clear();
  }
  work_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void TileLoader::setWake(std::function<void()> wake) {
  std::lock_guard<std::mutex> lock(mutex_);
  wake_ = std::move(wake);
}

void TileLoader::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] {
      return stopping_ ||
             (!queue_.empty() && finished_.size() + loadingKeys_.size() < maxFinished_);
    });
    if (stopping_) return;
    const TileKey key = queue_.begin()->key;
    queuedKeys_.erase(key);
    queue_.erase(queue_.begin());
    loadingKeys_.insert(key);
    lock.unlock();

    TileImage image;
    std::string error;
    bool ok = read_ && read_(key, image, &error);
    if (ok && (image.width <= 0 || image.height <= 0 ||
               image.rgba.size() != size_t(image.width) * size_t(image.height) * 4)) {
      ok = false;
      error = "the tile read has the wrong size";
    } else if (!ok && error.empty()) {
      error = "the tile could not be read";
    }

    lock.lock();
    loadingKeys_.erase(key);
    if (stopping_) return;
    if (ok) {
      finishedKeys_.insert(key);
      finished_.emplace_back(key, std::move(image));
    } else if (failedKeys_.insert(key).second) {
      failures_.emplace_back(key, std::move(error));
    }
    if (wake_) {
      const std::function<void()> wake = wake_;
      lock.unlock();
      wake();
      lock.lock();
    }
  }
}

void TileLoader::requestLocked(const TileKey& key, int priority) {
  auto queued = queuedKeys_.find(key);
  if (queued != queuedKeys_.end()) {
    if (queued->second->priority == priority) return;
    unqueueLocked(queued);
  } else if (loadingKeys_.count(key) != 0 || finishedKeys_.count(key) != 0 ||
             failedKeys_.count(key) != 0) {
    return;
  }
  queuedKeys_.emplace(key, queue_.insert(Place{priority, sequence_++, key}).first);
}

void TileLoader::unqueueLocked(
    std::unordered_map<TileKey, std::set<Place>::iterator>::iterator it) {
  queue_.erase(it->second);
  queuedKeys_.erase(it);
}

void TileLoader::request(const TileKey& key, int priority) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    requestLocked(key, priority);
  }
  work_.notify_one();
}

void TileLoader::retainOnly(const std::function<bool(const TileKey&)>& wanted) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = queuedKeys_.begin(); it != queuedKeys_.end();) {
    auto next = std::next(it);
    if (!wanted(it->first)) unqueueLocked(it);
    it = next;
  }
}

void TileLoader::setWanted(const std::vector<TileKey>& inOrder) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    const std::unordered_set<TileKey> wanted(inOrder.begin(), inOrder.end());
    for (auto it = queuedKeys_.begin(); it != queuedKeys_.end();) {
      auto next = std::next(it);
      if (wanted.count(it->first) == 0) unqueueLocked(it);
      it = next;
    }
    int priority = 0;
    for (const TileKey& key : inOrder) requestLocked(key, priority++);
  }
  work_.notify_all();
}

void TileLoader::takeFinished(std::vector<std::pair<TileKey, TileImage>>& out, size_t most) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const size_t n = std::min(most, finished_.size());
    if (n == 0) return;
    for (size_t i = 0; i < n; ++i) {
      finishedKeys_.erase(finished_[i].first);
      out.push_back(std::move(finished_[i]));
    }
    finished_.erase(finished_.begin(), finished_.begin() + std::ptrdiff_t(n));
  }
  work_.notify_all();
}

void TileLoader::takeFailures(std::vector<std::pair<TileKey, std::string>>& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& f : failures_) out.push_back(std::move(f));
  failures_.clear();
}

void TileLoader::forgetFailures() {
  std::lock_guard<std::mutex> lock(mutex_);
  failedKeys_.clear();
  failures_.clear();
}

size_t TileLoader::queued() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

size_t TileLoader::loading() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return loadingKeys_.size();
}

size_t TileLoader::finished() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_.size();
}
