// The auto-start file: names the project to open at start-up.
#pragma once

#include <cstdio>
#include <string>

/// The file "<program name>.autoStart", holding one project path: beside the program run from a
/// build tree, in the per-user configuration folder when installed.
class AutoStartFile {
 public:
  /// Longest project path read back; a longer first word opens nothing.
  static constexpr int kMaxWord = 255;

  /// The auto-start file of the program named by the "full exe name" registry entry; without
  /// that entry the object has no path and its operations fail.
  AutoStartFile();
  /// The auto-start file of the program at `exePath`.
  explicit AutoStartFile(const std::string& exePath);

  /// The file's path: the program's path with its extension replaced by ".autoStart", or the
  /// per-user file of that name when installed (empty when the program's path is unknown).
  const std::string& path() const { return path_; }

  /// Replaces the file by `projectPath` and a line feed; an empty path clears the file instead.
  /// The file is replaced whole (a new file synced and renamed over it; a link to it is followed
  /// and kept), so a failed or interrupted write leaves the old one. False when the file cannot
  /// be written.
  bool set(const std::string& projectPath) const;
  /// Replaces the file by an empty one, as set() does; false when it cannot be written.
  bool clear() const;
  /// The file's first word: the project to open. Empty when the file is missing or empty, and
  /// when the word is longer than kMaxWord (a cut path would name another file).
  ///
  ///   /home/op/projects/field.mpr
  std::string read() const;

  /// The first word of `in` as read() takes it: leading white space skipped, then up to the next
  /// white space or the end; empty when there is none, and when the word is longer than kMaxWord
  /// (*tooLong is then set, when given).
  static std::string firstWord(std::FILE* in, bool* tooLong = nullptr);

  /// The auto-start path for the program at `exePath`.
  static std::string pathFor(const std::string& exePath);

 private:
  std::string path_;
};
