// The multicast benchmarks' shared parts: starting programs, pktsend runs, the kernel's drop
// count and the plain receive loop every multicast rate is measured against. Used inside the
// private network namespace the benchmarks run themselves in.
#pragma once

#include <spawn.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "halvex/net/multicast_socket.h"

extern char** environ;

namespace bench {

constexpr long kRawPackets = 1000000;  ///< Datagrams of the raw run.
constexpr int kRawBytes = 200;         ///< Receive buffer of the raw loop: a packet's size.

/// Starts a program with arguments; its standard output goes to `outFd` when not -1.
inline pid_t spawn(const std::vector<std::string>& args, int outFd = -1) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

/// Waits for a child and returns its exit status (-1 when it did not exit normally).
inline int waitChild(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

/// Sends `count` packets of eight vehicles at `rate` per second (0: as fast as possible).
/// Returns the rate the sender reached, per second, or 0 when it failed.
inline double sendPackets(const std::string& pktsend, const char* group, int port, long count,
                          double rate) {
  int out[2];
  if (pipe(out) != 0) return 0;
  const pid_t pid = spawn({pktsend, "--group", group, "--port", std::to_string(port), "--ids",
                           "1-8", "--count", std::to_string(count), "--rate", std::to_string(rate)},
                          out[1]);
  close(out[1]);
  // "pktsend: N packets sent in T s (R per second)"
  FILE* from = fdopen(out[0], "r");
  char line[256] = "";
  double reached = 0;
  if (from != nullptr && std::fgets(line, sizeof line, from) != nullptr) {
    std::sscanf(line, "pktsend: %*s packets sent in %*s s (%lf per second)", &reached);
  }
  if (from != nullptr) std::fclose(from);
  return waitChild(pid) == 0 ? reached : 0;
}

/// Datagrams the kernel dropped on full receive queues in this namespace so far.
inline long long kernelDrops() {
  std::ifstream snmp("/proc/net/snmp");
  std::string header, values;
  while (std::getline(snmp, header) && std::getline(snmp, values)) {
    if (header.rfind("Udp:", 0) != 0) continue;
    std::istringstream names(header), numbers(values);
    std::string name, number;
    long long drops = 0;
    while (names >> name && numbers >> number) {
      if (name == "RcvbufErrors") drops += std::atoll(number.c_str());
    }
    return drops;
  }
  return 0;
}

/// Rate a plain receive loop on `group`:`port` reaches, datagrams per second, with pktsend
/// going flat out: the reference of the multicast benchmarks.
inline double rawReceiveRate(const std::string& pktsend, const char* group, int port) {
  const int fd = openMulticastReceiver(group, port);
  timeval wait{0, 300000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  std::atomic<long> received{0};
  std::chrono::steady_clock::time_point first, last;
  std::thread receiver([&] {
    char buffer[kRawBytes];
    bool started = false;
    for (;;) {
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n < 0) {
        if (started) break;  // the sender is done
        continue;
      }
      last = std::chrono::steady_clock::now();
      if (!started) first = last;
      started = true;
      received.fetch_add(1, std::memory_order_relaxed);
    }
  });
  sendPackets(pktsend, group, port, kRawPackets, 0);
  receiver.join();
  close(fd);
  const double seconds = std::chrono::duration<double>(last - first).count();
  return seconds > 0 ? (received - 1) / seconds : 0;
}

}  // namespace bench
