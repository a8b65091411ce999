// Replacing a file whole: readers and a crash see the old file or the new one, never a part.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

/// How hard a replacement tries to survive a power cut.
enum class Durability {
  /// Renamed without syncing: for snapshots rewritten several times a second, where the next
  /// one follows at once.
  kSnapshot,
  /// The new file is synced before the rename and its folder after it: for files the user keeps.
  kKeep,
};

/// What a replacement does when the target is a symbolic link.
enum class LinkPolicy {
  /// The file the link points to is replaced; the link stays (a user's own link to a project).
  kFollow,
  /// The link itself is replaced by a regular file; nothing is ever written through it (caches
  /// in folders others may write to).
  kReplaceLink,
};

/// A new version of one file, written to a temporary file in the target's folder and renamed
/// over the target by commit(). Until then the target keeps its old bytes; any failure, or an
/// object that goes without commit(), removes the temporary file and leaves the target as it was.
/// The replaced file keeps the target's mode; a new one gets 0666 less the umask. A target that
/// is a device or a pipe (/dev/stdout, /dev/null) has no old bytes to keep and is never renamed
/// over: with kFollow it is written in place; a folder fails to open.
///
///     AtomicFile file(path, Durability::kKeep);
///     if (!file.open()) return false;
///     std::fprintf(file.stream(), "...");
///     return file.commit();
class AtomicFile {
 public:
  AtomicFile(std::string target, Durability durability, LinkPolicy links = LinkPolicy::kFollow);
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  /// Creates the temporary file. False (errno set) when the folder cannot take it.
  bool open();

  /// The temporary file as a buffered stream, or null before open().
  std::FILE* stream() const { return stream_; }

  /// Appends bytes; false on a write error (commit() then fails too).
  bool write(const void* data, size_t size);

  /// Flushes, syncs as the durability asks, and renames the temporary file over the target.
  /// False (errno set) when any step failed; the target is then unchanged.
  bool commit();

  /// Drops the temporary file; the target is unchanged.
  void discard();

  /// The file the rename lands on: the target, or with kFollow the end of its link chain.
  const std::string& destination() const { return destination_; }

 private:
  std::string target_;
  std::string destination_;
  std::string temp_;
  Durability durability_;
  LinkPolicy links_;
  std::FILE* stream_ = nullptr;
  bool failed_ = false;
  bool inPlace_ = false;  ///< Writing straight into a device or a pipe.
};

/// Replaces `path` by `size` bytes at `data` in one step (see AtomicFile). False, with the old
/// file unchanged, on any failure.
bool replaceFileAtomically(const std::string& path, const void* data, size_t size,
                           Durability durability, LinkPolicy links = LinkPolicy::kFollow);
