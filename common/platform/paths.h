// Path splitting, full-path resolution, the current directory, link targets and the program's
// own path.
#pragma once

#include <string>

/// The parts of a path; concatenated in order they give the path back.
struct PathParts {
  std::string drive;  ///< Always empty on this platform.
  std::string dir;    ///< Directory up to and including the last '/', or empty.
  std::string name;   ///< Base name without its extension.
  std::string ext;    ///< Extension from the last '.' of the base name, or empty.
};

/// Splits path into its parts. A base name's leading dots (".bashrc", "..") start no extension.
PathParts splitPath(const std::string& path);

/// Absolute form of path, resolved against the current directory, with ".", ".." and repeated
/// '/' removed lexically (symbolic links are not followed; the path need not exist). A trailing
/// '/' is kept. Empty when the current directory cannot be read.
std::string fullPath(const std::string& path);

/// The current directory, or empty when it cannot be read.
std::string currentDirectory();

/// Makes path the current directory; false when that fails.
bool setCurrentDirectory(const std::string& path);

/// The target of the symbolic link at `path`, whole however long it is; empty when `path` is no
/// link or cannot be read.
std::string linkTarget(const std::string& path);

/// This program's own file (the target of /proc/self/exe), whole; empty when it cannot be read.
std::string executablePath();

/// How relativeName treats a path.
enum class RelativeSteps {
  /// Resolved and climbing: "." and ".." resolved lexically, ".." steps where the file lies
  /// outside the directory.
  kClimb,
  /// Below only, as written: a path that starts with the directory and '/' loses that prefix,
  /// character for character; any other path comes back unchanged (the settings dialogs keep
  /// the names their choosers give this way).
  kBelowOnly,
};

/// `path` relative to `directory` (absolute). With kClimb, "." and ".." are resolved lexically
/// and ".." steps lead where the file lies outside it: "/w/reports/day1.cast" from "/w/run"
/// gives "../reports/day1.cast"; a relative `path` is taken from `directory`; "." when both name
/// the same place. `path` comes back unchanged when it is empty or `directory` is not absolute.
std::string relativeName(const std::string& path, const std::string& directory,
                         RelativeSteps steps = RelativeSteps::kClimb);

/// relativeName from the current directory; `path` unchanged when that cannot be read.
std::string relativeToCurrentDirectory(const std::string& path,
                                       RelativeSteps steps = RelativeSteps::kClimb);
