#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "common/platform/named_semaphore.h"
#include "common/platform/process.h"
#include "common/platform/shared_block.h"

namespace {

using Clock = std::chrono::steady_clock;

/// A name of this process's own, so that parallel runs do not meet.
std::string uniqueName(const char* what) {
  static int serial = 0;
  return std::string("/halvex_test_") + what + "_" + std::to_string(getpid()) + "_" +
         std::to_string(serial++);
}

long long msSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

constexpr std::size_t kPage = 4096;

TEST(SharedBlockTest, SecondMappingSeesTheFirstOnesWritesAndBack) {
  const std::string name = uniqueName("block");
  SharedBlock first;
  ASSERT_TRUE(first.create(name, kPage));
  SharedBlock second;
  ASSERT_TRUE(second.open(name, kPage));
  ASSERT_NE(first.data(), second.data());  // two mappings of one object
  auto* a = static_cast<unsigned char*>(first.data());
  auto* b = static_cast<unsigned char*>(second.data());
  EXPECT_EQ(b[0], 0);
  EXPECT_EQ(b[kPage - 1], 0);
  std::strcpy(reinterpret_cast<char*>(a), "from the first");
  a[kPage - 1] = 0x5A;
  EXPECT_STREQ(reinterpret_cast<char*>(b), "from the first");
  EXPECT_EQ(b[kPage - 1], 0x5A);
  b[100] = 7;
  EXPECT_EQ(a[100], 7);

  // Removing the name leaves both mappings working, and new opens fail.
  EXPECT_TRUE(SharedBlock::unlink(name));
  b[101] = 9;
  EXPECT_EQ(a[101], 9);
  SharedBlock third;
  EXPECT_FALSE(third.open(name, kPage));
  EXPECT_STREQ(third.failedCall(), "shm_open");
  EXPECT_EQ(third.lastError(), ENOENT);
  EXPECT_FALSE(SharedBlock::unlink(name));
}

TEST(SharedBlockTest, CreateReplacesAStaleBlockWithAFreshZeroedOne) {
  const std::string name = uniqueName("block");
  {
    SharedBlock stale;
    ASSERT_TRUE(stale.create(name, 64));  // smaller than a page, as garbage
    std::memset(stale.data(), 0xFF, 64);
  }  // unmapped, but the name stays as a killed process would leave it
  SharedBlock holder;
  ASSERT_TRUE(holder.open(name, 64));

  SharedBlock fresh;
  ASSERT_TRUE(fresh.create(name, kPage));
  auto* p = static_cast<unsigned char*>(fresh.data());
  for (std::size_t i = 0; i < kPage; ++i) ASSERT_EQ(p[i], 0) << i;
  // The old object is no longer reachable by name: writes to it do not show in the new one.
  static_cast<unsigned char*>(holder.data())[0] = 1;
  EXPECT_EQ(p[0], 0);
  SharedBlock::unlink(name);
}

TEST(SharedBlockTest, RefusesBlocksSmallerThanAskedAndBadNames) {
  const std::string name = uniqueName("block");
  SharedBlock small;
  ASSERT_TRUE(small.create(name, 100));
  SharedBlock reader;
  // Mapping a page over a 100-byte object would fault on touching its end.
  EXPECT_FALSE(reader.open(name, kPage));
  EXPECT_FALSE(reader.valid());
  EXPECT_TRUE(reader.open(name, 100));
  SharedBlock::unlink(name);

  SharedBlock bad;
  EXPECT_FALSE(bad.create("/two/slashes", kPage));
  EXPECT_STREQ(bad.failedCall(), "shm_open");
  EXPECT_NE(bad.lastError(), 0);
  EXPECT_FALSE(bad.create(uniqueName("block"), 0));
  EXPECT_EQ(bad.data(), nullptr);
}

TEST(NamedSemaphoreTest, TimedWaitReturnsFalseAfterItsTimeOut) {
  const std::string name = uniqueName("sem");
  NamedSemaphore sem;
  ASSERT_TRUE(sem.create(name, 0));
  const auto start = Clock::now();
  EXPECT_FALSE(sem.wait(150));
  const long long waited = msSince(start);
  EXPECT_GE(waited, 140);
  EXPECT_LT(waited, 1000);
  EXPECT_FALSE(sem.tryWait());
  EXPECT_TRUE(sem.post());
  EXPECT_EQ(sem.value(), 1);
  EXPECT_TRUE(sem.wait(0));
  EXPECT_FALSE(sem.wait(0));
  NamedSemaphore::unlink(name);
}

TEST(NamedSemaphoreTest, HandlesOfOneNameShareTheCountAcrossProcesses) {
  const std::string name = uniqueName("sem");
  NamedSemaphore sem;
  ASSERT_TRUE(sem.create(name, 0));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    NamedSemaphore other;
    if (!other.open(name)) _exit(1);
    usleep(200 * 1000);
    _exit(other.post() ? 0 : 2);
  }
  const auto start = Clock::now();
  EXPECT_TRUE(sem.wait(5000));
  EXPECT_GE(msSince(start), 150);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  NamedSemaphore::unlink(name);
}

TEST(NamedSemaphoreTest, CreateReplacesAStaleSemaphoreStuckAtZero) {
  const std::string name = uniqueName("sem");
  NamedSemaphore stale;
  ASSERT_TRUE(stale.create(name, 0));  // as left by a process killed while holding it
  NamedSemaphore fresh;
  ASSERT_TRUE(fresh.create(name, 1));
  EXPECT_TRUE(fresh.wait(0));
  EXPECT_FALSE(stale.tryWait());  // the two are separate now
  NamedSemaphore missing;
  EXPECT_TRUE(NamedSemaphore::unlink(name));
  EXPECT_FALSE(missing.open(name));
  EXPECT_EQ(missing.lastError(), ENOENT);
  EXPECT_FALSE(missing.wait(10));
  EXPECT_FALSE(missing.post());
  EXPECT_EQ(missing.value(), -1);
}

TEST(ProcessTest, StartsWaitsAndReportsTheExitCode) {
  Process p;
  ASSERT_TRUE(p.start("/bin/sh", {"-c", "exit 3"}));
  EXPECT_GT(p.pid(), 0);
  EXPECT_TRUE(p.wait(5000));
  EXPECT_FALSE(p.running());
  EXPECT_EQ(p.exitStatus(), 3);
  EXPECT_EQ(p.pid(), -1);

  // A bare name is looked up in PATH; the same object starts again once the first has ended.
  ASSERT_TRUE(p.start("sleep", {"0.1"}));
  EXPECT_TRUE(p.running());
  EXPECT_TRUE(p.wait(5000));
  EXPECT_EQ(p.exitStatus(), 0);
}

TEST(ProcessTest, WaitTimesOutOnARunningChildAndTerminateEndsIt) {
  Process p;
  ASSERT_TRUE(p.start("/bin/sleep", {"30"}));
  EXPECT_FALSE(p.start("/bin/sleep", {"30"}));  // one child per object
  const auto start = Clock::now();
  EXPECT_FALSE(p.wait(100));
  EXPECT_GE(msSince(start), 90);
  EXPECT_TRUE(p.running());
  const pid_t pid = p.pid();
  p.terminate();
  EXPECT_FALSE(p.running());
  EXPECT_EQ(p.exitStatus(), 128 + SIGTERM);
  EXPECT_EQ(kill(pid, 0), -1);  // reaped, not a zombie
  EXPECT_EQ(errno, ESRCH);
}

TEST(ProcessTest, ChildDoesNotInheritBlockedTerminationSignals) {
  // A tracker blocks SIGTERM for its own loop; its children must still die from it.
  sigset_t term, previous;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &term, &previous), 0);
  Process p;
  const bool started = p.start("/bin/sleep", {"30"});
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ASSERT_TRUE(started);
  const auto start = Clock::now();
  p.terminate(3000);
  EXPECT_EQ(p.exitStatus(), 128 + SIGTERM);  // not SIGKILL after the grace time
  EXPECT_LT(msSince(start), 2000);
}

TEST(ProcessTest, TerminateKillsAChildThatIgnoresSigterm) {
  Process p;
  ASSERT_TRUE(p.start("/bin/sh", {"-c", "trap '' TERM; exec sleep 30"}));
  usleep(200 * 1000);  // let the shell ignore SIGTERM and hand that on to sleep
  p.terminate(200);
  EXPECT_FALSE(p.running());
  EXPECT_EQ(p.exitStatus(), 128 + SIGKILL);
}

TEST(ProcessTest, MissingProgramIsNotStartedAndDestructionEndsARunningChild) {
  Process missing;
  EXPECT_FALSE(missing.start("/nonexistent/program", {}));
  EXPECT_EQ(missing.lastError(), ENOENT);
  EXPECT_FALSE(missing.running());
  EXPECT_TRUE(missing.wait(0));
  missing.terminate();  // nothing to do

  pid_t pid = -1;
  {
    Process p;
    ASSERT_TRUE(p.start("/bin/sleep", {"30"}));
    pid = p.pid();
  }
  EXPECT_EQ(kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

}  // namespace
