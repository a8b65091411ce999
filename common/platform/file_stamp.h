// What tells one version of a file from the next without reading it: its modification time and
// size.
#pragma once

#include <cstdint>
#include <string>

/// A file's modification time and size, as stat() gives them.
struct FileStamp {
  bool exists = false;   ///< Whether stat() found a file (following links).
  int64_t seconds = 0;   ///< Modification time, seconds since 1970 (UTC).
  long nanoseconds = 0;  ///< Into that second, 0 to 999,999,999.
  int64_t size = 0;      ///< Bytes.
  uint64_t inode = 0;    ///< Changes when a new file is renamed over the path.

  bool operator==(const FileStamp& other) const {
    return exists == other.exists && seconds == other.seconds && nanoseconds == other.nanoseconds &&
           size == other.size && inode == other.inode;
  }
  bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

/// The stamp of the file at `path`; exists is false when there is none or it cannot be read.
FileStamp fileStamp(const std::string& path);
