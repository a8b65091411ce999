#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "common/platform/one_shot_timer.h"
#include "common/platform/termination_signals.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

/// Waits until pred holds or two seconds pass.
template <typename Pred>
bool eventually(Pred pred) {
  const auto limit = Clock::now() + std::chrono::seconds(2);
  while (!pred()) {
    if (Clock::now() > limit) return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}

TEST(OneShotTimer, FiresOnceAfterItsDelay) {
  std::atomic<int> calls{0};
  OneShotTimer timer([&] { ++calls; });
  const auto armedAt = Clock::now();
  std::atomic<long> firedAfterMs{-1};
  OneShotTimer timed([&] {
    firedAfterMs = std::chrono::duration_cast<milliseconds>(Clock::now() - armedAt).count();
  });
  timed.arm(40);
  timer.arm(0);
  ASSERT_TRUE(eventually([&] { return firedAfterMs >= 0; }));
  EXPECT_GE(firedAfterMs, 40);
  EXPECT_TRUE(eventually([&] { return calls == 1; }));
  std::this_thread::sleep_for(milliseconds(30));
  EXPECT_EQ(calls, 1);  // one-shot: no repeat without a new arm
  EXPECT_FALSE(timer.armed());
}

TEST(OneShotTimer, CallbackReArmsStopEndsTheChainAndArmRestartsIt) {
  std::atomic<int> calls{0};
  OneShotTimer* self = nullptr;
  OneShotTimer timer([&] {
    ++calls;
    self->arm(1);
  });
  self = &timer;
  timer.arm(1);
  ASSERT_TRUE(eventually([&] { return calls >= 5; }));
  timer.stop();
  const int atStop = calls;
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(calls, atStop);
  // A stopped timer starts again when armed (the engine stops and restarts its poll).
  timer.arm(0);
  ASSERT_TRUE(eventually([&] { return calls >= atStop + 3; }));
  timer.stop();
}

TEST(OneShotTimer, ArmReplacesThePendingCallAndStopCancelsIt) {
  std::atomic<int> calls{0};
  OneShotTimer timer([&] { ++calls; });
  timer.arm(10000);
  timer.arm(5);  // the earlier, later call is replaced
  ASSERT_TRUE(eventually([&] { return calls == 1; }));
  timer.arm(10000);
  EXPECT_TRUE(timer.armed());
  const auto before = Clock::now();
  timer.stop();
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(5));
  EXPECT_EQ(calls, 1);
}

TEST(OneShotTimer, StopWaitsForARunningCallback) {
  std::atomic<bool> inside{false};
  std::atomic<bool> finished{false};
  OneShotTimer timer([&] {
    inside = true;
    std::this_thread::sleep_for(milliseconds(100));
    finished = true;
  });
  timer.arm(0);
  ASSERT_TRUE(eventually([&] { return inside.load(); }));
  timer.stop();
  EXPECT_TRUE(finished);
}

TEST(OneShotTimer, StopFromItsOwnCallbackPreventsFurtherCalls) {
  std::atomic<int> calls{0};
  OneShotTimer* self = nullptr;
  OneShotTimer timer([&] {
    ++calls;
    self->stop();
    self->arm(0);
  });
  self = &timer;
  timer.arm(0);
  ASSERT_TRUE(eventually([&] { return calls == 1; }));
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(calls, 1);
}

TEST(TerminationSignals, SignalEndsTheWaitInsteadOfTheProcess) {
  TerminationSignals signals;
  EXPECT_FALSE(signals.wait(0.02));
  EXPECT_FALSE(signals.received());
  // A signal sent while another thread runs reaches the waiting one, which blocks without limit.
  std::thread sender([] {
    std::this_thread::sleep_for(milliseconds(20));
    kill(getpid(), SIGTERM);
  });
  EXPECT_TRUE(signals.wait(-1));
  sender.join();
  EXPECT_EQ(signals.signalNumber(), SIGTERM);
  EXPECT_TRUE(signals.received());  // stays received
}

TEST(TerminationSignals, PendingInterruptIsTakenWithoutWaiting) {
  TerminationSignals signals;
  kill(getpid(), SIGINT);
  EXPECT_TRUE(signals.received());
  EXPECT_EQ(signals.signalNumber(), SIGINT);
}

}  // namespace
