// A named block of memory shared between processes (POSIX shared memory).
#pragma once

#include <cstddef>
#include <string>

/// One mapping of a named shared-memory block, unmapped when this goes. Names are POSIX
/// shared-memory names: a leading '/' and no other '/'.
class SharedBlock {
 public:
  SharedBlock() = default;
  SharedBlock(const SharedBlock&) = delete;
  SharedBlock& operator=(const SharedBlock&) = delete;
  ~SharedBlock() { close(); }

  /// Removes any block of that name (a stale one from an ended process included) and creates a
  /// fresh zero-filled one of `size` bytes, mapped for reading and writing. False on failure,
  /// with failedCall() and lastError() telling why.
  bool create(const std::string& name, std::size_t size);

  /// Maps an existing block of at least `size` bytes; false when there is none or it is smaller.
  bool open(const std::string& name, std::size_t size);

  /// Unmaps the block; the name stays until unlink().
  void close();

  /// Removes the name; mappings already made stay valid. False when there was no such name.
  static bool unlink(const std::string& name);

  bool valid() const { return data_ != nullptr; }
  void* data() const { return data_; }
  std::size_t size() const { return size_; }

  /// The system call that failed last ("shm_open", "ftruncate", "fstat" or "mmap"), or empty.
  const char* failedCall() const { return failedCall_; }
  /// The errno of the last failure, or 0.
  int lastError() const { return error_; }

 private:
  bool fail(const char* call, int fd);
  bool map(int fd, std::size_t size);

  void* data_ = nullptr;
  std::size_t size_ = 0;
  const char* failedCall_ = "";
  int error_ = 0;
};
