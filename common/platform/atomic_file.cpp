#include "common/platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

namespace {

/// Links followed before a chain is taken for a loop (the kernel's own limit).
constexpr int kMaxLinkSteps = 40;

/// Mode for a new file: rw-rw-rw- less the process's umask, read once.
mode_t newFileMode() {
  static const mode_t mode = [] {
    const mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

/// The folder part of `path` with its '/', or "./" when it has none.
std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

/// The end of the link chain starting at `path` (which need not exist). A chain too long for
/// the kernel comes back as its last step; the rename then fails as opening it would.
std::string followLinks(std::string path) {
  for (int step = 0; step < kMaxLinkSteps; ++step) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (length <= 0) break;
    std::string next(buffer, static_cast<size_t>(length));
    path = next[0] == '/' ? next : folderOf(path) + next;
  }
  return path;
}

/// Syncs the folder holding `path`, so that a rename into it survives a power cut.
void syncFolder(const std::string& path) {
  const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

AtomicFile::AtomicFile(std::string target, Durability durability, LinkPolicy links)
    : target_(std::move(target)), durability_(durability), links_(links) {}

AtomicFile::~AtomicFile() {
  discard();
}

bool AtomicFile::open() {
  discard();
  failed_ = false;
  inPlace_ = false;
  if (target_.empty()) {
    errno = ENOENT;
    return false;
  }
  struct stat existing {};
  if (links_ == LinkPolicy::kFollow && ::stat(target_.c_str(), &existing) == 0 &&
      !S_ISREG(existing.st_mode)) {
    if (S_ISDIR(existing.st_mode)) {
      errno = EISDIR;
      return false;
    }
    inPlace_ = true;
    destination_ = target_;
    stream_ = std::fopen(target_.c_str(), "w");
    return stream_ != nullptr;
  }
  destination_ = links_ == LinkPolicy::kFollow ? followLinks(target_) : target_;
  const size_t slash = destination_.rfind('/');
  const std::string base =
      slash == std::string::npos ? destination_ : destination_.substr(slash + 1);
  // A hidden name, so that folder listings (maps, projects) never offer a half-written file.
  temp_ = folderOf(destination_) + "." + base + ".XXXXXX";
  const int fd = ::mkostemp(temp_.data(), O_CLOEXEC);
  if (fd < 0) {
    temp_.clear();
    return false;
  }
  struct stat old {};
  const int found = links_ == LinkPolicy::kFollow ? ::stat(destination_.c_str(), &old)
                                                  : ::lstat(destination_.c_str(), &old);
  const mode_t mode = found == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : newFileMode();
  stream_ = ::fchmod(fd, mode) == 0 ? ::fdopen(fd, "w") : nullptr;
  if (stream_ == nullptr) {
    const int error = errno;
    ::close(fd);
    ::unlink(temp_.c_str());
    temp_.clear();
    errno = error;
    return false;
  }
  return true;
}

bool AtomicFile::write(const void* data, size_t size) {
  if (stream_ == nullptr) return false;
  if (size > 0 && std::fwrite(data, 1, size, stream_) != size) failed_ = true;
  return !failed_;
}

bool AtomicFile::commit() {
  if (stream_ == nullptr) {
    errno = EBADF;
    return false;
  }
  bool ok = !failed_ && std::fflush(stream_) == 0 && !std::ferror(stream_);
  if (inPlace_) {
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    return ok && closed;
  }
  if (ok && durability_ == Durability::kKeep) ok = ::fsync(fileno(stream_)) == 0;
  int error = ok ? 0 : errno;
  if (std::fclose(stream_) != 0 && ok) {
    ok = false;
    error = errno;
  }
  stream_ = nullptr;
  if (ok && std::rename(temp_.c_str(), destination_.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp_.c_str());
    temp_.clear();
    errno = error != 0 ? error : EIO;
    return false;
  }
  temp_.clear();
  if (durability_ == Durability::kKeep) syncFolder(destination_);
  return true;
}

void AtomicFile::discard() {
  if (stream_ != nullptr) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

bool replaceFileAtomically(const std::string& path, const void* data, size_t size,
                           Durability durability, LinkPolicy links) {
  AtomicFile file(path, durability, links);
  return file.open() && file.write(data, size) && file.commit();
}
