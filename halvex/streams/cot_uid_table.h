// Which node each Cursor on Target uid stands for, from the file the master file names with
// "CotNodes":
//   # ID UID
//   3 ANDROID-8f2a61c0d4e5b7a9
//   7 halvex.ops2.7
//   auto
// With the line "auto", a uid not in the file takes the lowest node-list id that has none yet,
// and the file is replaced with the new pair added.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

class NodeTable;

/// The uid table of the CoT input. Used from one thread (the loop's).
class CotUidTable {
 public:
  /// Longest uid kept, bytes; clients use GUIDs and device ids far shorter.
  static constexpr size_t kMaxUidBytes = 256;
  /// Largest file read: some thousand pairs and their comments fit many times over.
  static constexpr size_t kMaxFileBytes = 1024 * 1024;

  /// Reads the file at `path`, replacing what the table held. A line that is not "ID UID" with
  /// an id from 0 to the highest node id, or whose id or uid an earlier line has, is skipped
  /// with a message naming its line number on standard error. False, with the reason in `error`,
  /// when the file cannot be read or is over kMaxFileBytes.
  bool load(const std::string& path, std::string* error);

  /// The id of `uid`: from the file, or, when unknown and the file holds "auto", the lowest id of
  /// `table`'s nodes that has no uid yet, written back to the file at once. -1 (ignore it) when
  /// unknown otherwise, or when the uid cannot be written as one word (blanks, control
  /// characters, over kMaxUidBytes).
  int idOf(const std::string& uid, const NodeTable& table);

  /// As idOf, but a new pair is only noted: writeBack() writes every noted pair at once, so a
  /// burst of new uids costs one replacement of the file.
  int assign(const std::string& uid, const NodeTable& table);
  /// Replaces the file, with the pairs assign() added, when there are new ones. A failure keeps
  /// the pairs in memory and is said once on standard error. False when a replacement failed.
  bool writeBack();

  bool autoAssigns() const { return auto_; }
  int size() const { return static_cast<int>(ids_.size()); }
  const std::string& path() const { return path_; }

  /// Whether `uid` can be written as the second word of a line.
  static bool writable(const std::string& uid);

 private:
  std::string path_;
  std::string text_;  ///< The file as read, with the pairs added since; ends with a newline.
  std::unordered_map<std::string, int> ids_;  ///< Id of each uid.
  std::vector<bool> taken_;                   ///< Ids that have a uid, by id.
  bool auto_ = false;                         ///< The file holds "auto".
  bool pending_ = false;                      ///< Pairs added since the last write.
  bool failureSaid_ = false;                  ///< A failed write was reported.
};
