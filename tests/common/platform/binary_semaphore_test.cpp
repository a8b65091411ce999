#include "common/platform/binary_semaphore.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(BinarySemaphoreTest, ReleaseAtMaximumKeepsCountAtOne) {
  BinarySemaphore sem;
  EXPECT_FALSE(sem.release());
  sem.wait();
  EXPECT_TRUE(sem.release());
  EXPECT_FALSE(sem.release());
  sem.wait();  // one unit left, taken without blocking
  EXPECT_TRUE(sem.release());
}

TEST(BinarySemaphoreTest, ExcludesConcurrentHolders) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 2000;
  BinarySemaphore sem;
  long counter = 0;  // protected by the semaphore alone
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        sem.wait();
        ++counter;
        sem.release();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
}

TEST(BinarySemaphoreTest, AnotherThreadMayRelease) {
  BinarySemaphore sem;
  bool released = false;  // handed over by the semaphore
  sem.wait();
  std::thread releaser([&] {
    released = true;
    EXPECT_TRUE(sem.release());
  });
  sem.wait();  // blocks until the other thread releases
  EXPECT_TRUE(released);
  releaser.join();
}

}  // namespace
