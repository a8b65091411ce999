// A semaphore shared between processes by name (POSIX named semaphore).
#pragma once

#include <semaphore.h>

#include <string>

/// One process's handle on a named semaphore, closed when this goes (the name stays until
/// unlink()). Names: a leading '/' and no other '/'.
class NamedSemaphore {
 public:
  NamedSemaphore() = default;
  NamedSemaphore(const NamedSemaphore&) = delete;
  NamedSemaphore& operator=(const NamedSemaphore&) = delete;
  ~NamedSemaphore() { close(); }

  /// Removes any semaphore of that name (a stale one included) and creates a fresh one with
  /// count `initial`. False on failure, with lastError() set.
  bool create(const std::string& name, unsigned initial);

  /// Opens an existing semaphore; false when there is none.
  bool open(const std::string& name);

  void close();

  /// Removes the name; open handles stay usable. False when there was no such name.
  static bool unlink(const std::string& name);

  /// Takes one unit, waiting at most timeoutMs milliseconds; false on time-out or without a
  /// semaphore.
  bool wait(unsigned timeoutMs);

  /// Takes one unit only if that needs no wait.
  bool tryWait();

  /// Gives one unit back; false without a semaphore.
  bool post();

  /// The current count, or -1 without a semaphore.
  int value();

  bool valid() const { return sem_ != nullptr; }
  int lastError() const { return error_; }

 private:
  sem_t* sem_ = nullptr;
  int error_ = 0;
};
