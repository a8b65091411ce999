#include "common/platform/shared_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {
constexpr mode_t kOwnerOnly = 0600;  ///< Only processes of the same user may open the block.
}  // namespace

bool SharedBlock::fail(const char* call, int fd) {
  failedCall_ = call;
  error_ = errno;
  if (fd >= 0) ::close(fd);
  return false;
}

bool SharedBlock::map(int fd, std::size_t size) {
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) return fail("mmap", fd);
  ::close(fd);  // the mapping keeps the memory object alive
  data_ = p;
  size_ = size;
  failedCall_ = "";
  error_ = 0;
  return true;
}

bool SharedBlock::create(const std::string& name, std::size_t size) {
  close();
  if (size == 0) {
    errno = EINVAL;
    return fail("ftruncate", -1);
  }
  // O_EXCL after removing the old name: the block is always new and zero-filled, never a stale
  // one of a different size. A second try covers a racing creator.
  int fd = -1;
  for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
    ::shm_unlink(name.c_str());
    fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kOwnerOnly);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return fail("shm_open", -1);
  if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
    fail("ftruncate", fd);
    ::shm_unlink(name.c_str());
    return false;
  }
  return map(fd, size);
}

bool SharedBlock::open(const std::string& name, std::size_t size) {
  close();
  const int fd = ::shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return fail("shm_open", -1);
  // Touching pages beyond the object's end would raise SIGBUS, so a short block is refused.
  struct stat st {};
  if (::fstat(fd, &st) != 0) return fail("fstat", fd);
  if (size == 0 || st.st_size < static_cast<off_t>(size)) {
    errno = EINVAL;
    return fail("fstat", fd);
  }
  return map(fd, size);
}

void SharedBlock::close() {
  if (data_ != nullptr) ::munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

bool SharedBlock::unlink(const std::string& name) {
  return ::shm_unlink(name.c_str()) == 0;
}
