// An in-memory file reached through /proc, for fuzz targets whose reader takes a path: it keeps
// the disk out of the loop.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

/// Replaces the content of the process's one in-memory file by `data` and returns its path.
inline std::string memoryFile(const void* data, size_t size) {
  static const int fd = memfd_create("fuzz_input", 0);
  if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
  if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  return "/proc/self/fd/" + std::to_string(fd);
}
