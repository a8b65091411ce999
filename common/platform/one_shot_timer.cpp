#include "common/platform/one_shot_timer.h"

#include <utility>

OneShotTimer::OneShotTimer(Callback callback) : callback_(std::move(callback)) {}

OneShotTimer::~OneShotTimer() {
  stop();
}

void OneShotTimer::arm(int delayMs) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (stopping_) return;
  deadline_ = Clock::now() + std::chrono::milliseconds(delayMs > 0 ? delayMs : 0);
  pending_ = true;
  if (!thread_.joinable()) thread_ = std::thread(&OneShotTimer::run, this);
  changed_.notify_one();
}

void OneShotTimer::stop() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = true;
    pending_ = false;
    changed_.notify_one();
  }
  if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) return;
  thread_.join();
  // Joined from outside: ready to be armed again, on a new thread.
  std::lock_guard<std::mutex> hold(mutex_);
  stopping_ = false;
}

bool OneShotTimer::armed() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return pending_;
}

void OneShotTimer::run() {
  std::unique_lock<std::mutex> hold(mutex_);
  while (!stopping_) {
    if (!pending_) {
      changed_.wait(hold);
      continue;
    }
    if (changed_.wait_until(hold, deadline_) == std::cv_status::no_timeout) continue;
    if (!pending_ || stopping_ || Clock::now() < deadline_) continue;
    pending_ = false;
    // The callback runs unlocked so that it can arm again.
    hold.unlock();
    callback_();
    hold.lock();
  }
}
