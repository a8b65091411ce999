// Where the programs find their shared data and keep their per-user files. Installed under a
// prefix, a program in "<prefix>/bin" reads "<prefix>/share/halvex" and keeps per-user files in
// the XDG folders; run from a build tree it keeps them beside itself, as it always has.
#pragma once

#include <string>

/// Name of the programs' folder in the shared data and the per-user folders.
constexpr const char* kInstallFolderName = "halvex";

/// The program's path with its extension replaced by `extension` (appended when the file name
/// has none; a dot that starts the name, as in ".halvex", is not an extension).
///
///   /opt/track/halvex.exe, ".view"  ->  /opt/track/halvex.view
std::string withExtension(const std::string& path, const char* extension);

/// The shared data folder of the program at `exePath`: "<prefix>/share/halvex" for a program in
/// "<prefix>/bin", worked out from the path alone, so a moved prefix moves with it. A build tree
/// has the same layout under its build folder.
std::string sharedDataDir(const std::string& exePath);

/// Whether the program at `exePath` runs installed: its shared data folder exists and the folder
/// above its own is not a CMake build folder (one holding CMakeCache.txt).
bool runsInstalled(const std::string& exePath);

/// The per-user configuration folder: "$XDG_CONFIG_HOME/halvex", or "~/.config/halvex" when
/// that variable is unset or not an absolute path. Empty when no home folder is known.
std::string userConfigDir();

/// The per-user cache folder: "$XDG_CACHE_HOME/halvex", or "~/.cache/halvex" as above.
std::string userCacheDir();

/// Creates `path` and its missing parents, new folders private to the user (mode 0700). True
/// when `path` is a folder afterwards.
bool makeFolders(const std::string& path);

/// Where the program at `exePath` keeps its per-user file of `extension` (".view",
/// ".autoStart"): installed, "<userConfigDir()>/<program name><extension>", the folder created
/// when missing; otherwise beside the program, withExtension(exePath, extension). Empty when
/// `exePath` is.
std::string perUserFilePath(const std::string& exePath, const char* extension);
