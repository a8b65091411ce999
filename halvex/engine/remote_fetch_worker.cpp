#include "halvex/engine/remote_fetch_worker.h"

#include <chrono>
#include <condition_variable>
#include <system_error>
#include <utility>

/// What the thread shares with the worker; it outlives the worker when the thread is left to
/// finish on its own.
struct RemoteFetchWorker::State {
  std::mutex mutex;
  std::condition_variable changed;
  std::optional<Request> waiting;   ///< Posted, not yet taken up by the thread.
  bool busy = false;                ///< A request is waiting or in flight.
  std::optional<Result> done;       ///< The last result not taken yet.
  bool stopping = false;            ///< Every fetch starts cancelled.
  bool quit = false;                ///< The thread ends.
  bool exited = false;              ///< The thread has left its loop.
  std::atomic<bool> cancel{false};  ///< Ends the fetch in flight; read by the fetch unlocked.
  std::shared_ptr<std::atomic<long>> fetches;
};

RemoteFetchWorker::~RemoteFetchWorker() {
  stop();
}

void RemoteFetchWorker::run(const std::shared_ptr<State>& state) {
  State& s = *state;
  std::unique_lock<std::mutex> lock(s.mutex);
  for (;;) {
    s.changed.wait(lock, [&s] { return s.quit || s.waiting.has_value(); });
    if (s.quit) break;
    const Request request = std::move(*s.waiting);
    s.waiting.reset();
    s.cancel.store(s.stopping);
    lock.unlock();

    Result result;
    result.generation = request.generation;
    result.connected = fetchRemoteRecords(
        request.host.c_str(), request.port, request.path.c_str(),
        [&result](char* line) { return result.records.keep(line); }, &result.refresh, &s.cancel);

    lock.lock();
    s.done = std::move(result);
    s.busy = false;
    ++*s.fetches;
  }
  s.exited = true;
  s.changed.notify_all();
}

bool RemoteFetchWorker::post(Request request) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (state_ == nullptr) {
    auto state = std::make_shared<State>();
    state->stopping = stopping_;
    state->fetches = fetches_;
    try {
      thread_ = std::thread(run, state);
    } catch (const std::system_error&) {
      return false;
    }
    state_ = std::move(state);
  }
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->busy) return false;
  state_->waiting = std::move(request);
  state_->busy = true;
  state_->changed.notify_all();
  return true;
}

std::optional<RemoteFetchWorker::Result> RemoteFetchWorker::take() {
  std::lock_guard<std::mutex> hold(mutex_);
  if (state_ == nullptr) return std::nullopt;
  std::lock_guard<std::mutex> lock(state_->mutex);
  return std::exchange(state_->done, std::nullopt);
}

bool RemoteFetchWorker::busy() const {
  std::lock_guard<std::mutex> hold(mutex_);
  if (state_ == nullptr) return false;
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->busy;
}

void RemoteFetchWorker::cancelCurrent() {
  std::lock_guard<std::mutex> hold(mutex_);
  if (state_ == nullptr) return;
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->waiting.has_value()) {
    state_->waiting.reset();
    state_->busy = false;
  }
  state_->cancel.store(true);
}

void RemoteFetchWorker::setStopping(bool on) {
  std::lock_guard<std::mutex> hold(mutex_);
  stopping_ = on;
  if (state_ == nullptr) return;
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->stopping = on;
  if (on) state_->cancel.store(true);
}

void RemoteFetchWorker::stop() {
  std::shared_ptr<State> state;
  std::thread thread;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    state = std::move(state_);
    thread = std::move(thread_);
  }
  if (state == nullptr) return;
  bool exited = false;
  {
    std::unique_lock<std::mutex> lock(state->mutex);
    state->quit = true;
    state->waiting.reset();
    state->cancel.store(true);
    state->changed.notify_all();
    exited = state->changed.wait_for(lock, std::chrono::milliseconds(kStopWaitMs),
                                     [&state] { return state->exited; });
  }
  if (exited) {
    thread.join();
  } else {
    thread.detach();  // inside a lookup or connect: it ends by itself within their limits
  }
}
