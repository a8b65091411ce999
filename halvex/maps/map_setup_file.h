// The setup file beside a map image: the four corners that lay the image on the ground, one
// "<longitude> <latitude>" line each (degrees), lower-left, lower-right, upper-right, upper-left.
#pragma once

#include <cstdio>
#include <string>

#include "common/platform/atomic_file.h"
#include "halvex/maps/corner_geometry.h"

/// The extension that replaces the image's own to name its setup file.
inline constexpr char kMapSetupExtension[] = ".mapSetUp";

/// The setup file beside the image at `imagePath`: its directory and base name with
/// ".mapSetUp"; empty for a null path.
std::string mapSetupPath(const char* imagePath);

/// Reads four corner lines from `in` into `corners`. Each line sets as much of its corner as it
/// scans, so an incomplete file may leave some corners changed. Only the start of a long line is
/// scanned, and lines after the fourth are ignored. True when all four lines gave two finite
/// numbers.
bool readMapSetup(std::FILE* in, CornerPoints corners);
/// readMapSetup on the file at `path`; false, with the corners untouched, when it cannot be
/// opened.
bool readMapSetupFile(const std::string& path, CornerPoints corners);

/// Writes a setup file in two steps: a new file is opened beside the old one first, so that a
/// caller can settle its corners only once it knows they can be written; write() then replaces
/// the old file whole (synced and renamed over it; a link to it is followed and kept). Until
/// then, and after any failure, the old file keeps its bytes. A device or a pipe is written in
/// place.
class MapSetupWriter {
 public:
  /// Opens the new file for `path`; an empty path opens nothing.
  explicit MapSetupWriter(const std::string& path);
  /// Drops a new file that was never written; the old file stays.
  ~MapSetupWriter();
  MapSetupWriter(const MapSetupWriter&) = delete;
  MapSetupWriter& operator=(const MapSetupWriter&) = delete;

  bool isOpen() const { return stream() != nullptr; }
  /// Writes the four corner lines (six decimals) and puts the file in place; false when it was
  /// not open or a write, the sync, the close or the rename failed (the old file then stays).
  bool write(const CornerPoints corners);

 private:
  std::FILE* stream() const { return file_.stream(); }

  AtomicFile file_;
};

/// Writes `corners` to the setup file at `path`; false when it cannot be written.
bool writeMapSetupFile(const std::string& path, const CornerPoints corners);
