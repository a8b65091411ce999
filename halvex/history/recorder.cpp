#include "halvex/history/recorder.h"

#include <chrono>
#include <cstring>

#include "halvex/history/track_state.h"

namespace {

constexpr int kMaxId = 1000;  ///< Highest node id the table holds.
constexpr int kTexts = 3;     ///< comment1, comment2, name.

const char* textOf(const FixEvent& fix, int k) {
  const char* text = k == 0 ? fix.comment1 : k == 1 ? fix.comment2 : fix.name;
  return text != nullptr ? text : "";
}

}  // namespace

Recorder::~Recorder() {
  stop();
}

bool Recorder::start(const std::string& path, uint64_t maxBytes, std::string* error) {
  stop();
  if (!writer_.open(path, maxBytes, error)) return false;
  last_.assign(kMaxId + 1, Last());
  writerTexts_.assign((kMaxId + 1) * kTexts, std::string());
  recorded_.store(0);
  bytes_.store(writer_.bytesWritten());
  lost_.store(0);
  failed_.store(false);
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = false;
    error_.clear();
    path_ = writer_.currentPath();
    staged_.fixes.clear();
    staged_.texts.clear();
  }
  thread_ = std::thread([this] { run(); });
  return true;
}

void Recorder::stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void Recorder::fixAccepted(const FixEvent& fix) {
  if (fix.id < 0 || fix.id > kMaxId || failed_.load(std::memory_order_relaxed)) return;
  Last& last = last_[static_cast<size_t>(fix.id)];
  uint8_t mask = 0;
  for (int k = 0; k < kTexts; ++k) {
    if (!last.known || last.texts[k] != textOf(fix, k)) mask |= static_cast<uint8_t>(1u << k);
  }
  if (last.known && mask == 0 && fix.kind == FixKind::kStateRecord && last.kind == fix.kind &&
      last.fixMs == fix.fixMs && last.latitude == fix.latitude && last.longitude == fix.longitude &&
      last.status == fix.status) {
    return;  // the same record read again
  }
  last.known = true;
  last.kind = fix.kind;
  last.fixMs = fix.fixMs;
  last.latitude = fix.latitude;
  last.longitude = fix.longitude;
  last.status = fix.status;
  std::lock_guard<std::mutex> hold(mutex_);
  if (staged_.fixes.size() >= kMaxStaged) {
    lost_.fetch_add(1, std::memory_order_relaxed);
    // The texts are sent again with the next fix that is staged.
    last.known = false;
    return;
  }
  Staged staged{fix.id,    fix.kind,      mask,         fix.status,   0,
                fix.fixMs, fix.arrivalMs, fix.latitude, fix.longitude};
  staged.textOffset = static_cast<uint32_t>(staged_.texts.size());
  for (int k = 0; k < kTexts; ++k) {
    if ((mask & (1u << k)) == 0) continue;
    const char* text = textOf(fix, k);
    last.texts[k] = text;
    staged_.texts.append(text, std::strlen(text) + 1);
  }
  staged_.fixes.push_back(staged);
}

void Recorder::run() {
  using Clock = std::chrono::steady_clock;
  Batch batch;
  auto lastSync = Clock::now();
  bool ok = true;
  for (;;) {
    bool stopping;
    {
      std::unique_lock<std::mutex> hold(mutex_);
      wake_.wait_for(hold, std::chrono::milliseconds(kFlushMs), [this] { return stopping_; });
      stopping = stopping_;
      std::swap(batch, staged_);
    }
    if (ok) {
      ok = write(batch) && writer_.flush();
      if (ok && Clock::now() - lastSync >= std::chrono::milliseconds(kSyncMs)) {
        ok = writer_.sync();
        lastSync = Clock::now();
      }
      bytes_.store(writer_.bytesWritten());
      {
        std::lock_guard<std::mutex> hold(mutex_);
        path_ = writer_.currentPath();
        if (!ok) error_ = writer_.error();
      }
      if (!ok) failed_.store(true);
    }
    batch.fixes.clear();
    batch.texts.clear();
    if (stopping) break;
  }
  if (ok) writer_.close();
  bytes_.store(writer_.bytesWritten());
}

bool Recorder::write(const Batch& batch) {
  for (const Staged& staged : batch.fixes) {
    std::string* texts = &writerTexts_[static_cast<size_t>(staged.id) * kTexts];
    const char* next = batch.texts.data() + staged.textOffset;
    for (int k = 0; k < kTexts; ++k) {
      if ((staged.textMask & (1u << k)) == 0) continue;
      texts[k] = next;
      next += texts[k].size() + 1;
    }
    FixEvent fix;
    fix.id = staged.id;
    fix.kind = staged.kind;
    fix.fixMs = staged.fixMs;
    fix.arrivalMs = staged.arrivalMs;
    fix.latitude = staged.latitude;
    fix.longitude = staged.longitude;
    fix.status = staged.status;
    fix.comment1 = texts[0].c_str();
    fix.comment2 = texts[1].c_str();
    fix.name = texts[2].c_str();
    if (!writer_.append(fix)) return false;
    recorded_.fetch_add(1, std::memory_order_relaxed);
  }
  return true;
}

std::string Recorder::currentPath() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return path_;
}

std::string Recorder::error() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return error_;
}
