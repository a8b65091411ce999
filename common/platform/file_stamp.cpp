#include "common/platform/file_stamp.h"

#include <sys/stat.h>

FileStamp fileStamp(const std::string& path) {
  struct stat info {};
  FileStamp stamp;
  if (::stat(path.c_str(), &info) != 0) return stamp;
  stamp.exists = true;
  stamp.seconds = static_cast<int64_t>(info.st_mtim.tv_sec);
  stamp.nanoseconds = static_cast<long>(info.st_mtim.tv_nsec);
  stamp.size = static_cast<int64_t>(info.st_size);
  stamp.inode = static_cast<uint64_t>(info.st_ino);
  return stamp;
}
