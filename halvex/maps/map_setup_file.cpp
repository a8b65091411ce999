#include "halvex/maps/map_setup_file.h"

#include <cmath>
#include <cstring>

#include "common/platform/paths.h"

namespace {

/// Setup file lines are short; longer ones are read in full and only their start is scanned.
constexpr int kSetupLineSize = 256;

/// Reads one line into `line` (NUL-terminated, cut to its size); the rest of a longer line is
/// skipped. False at the end of the file.
bool readLine(std::FILE* in, char (&line)[kSetupLineSize]) {
  if (std::fgets(line, sizeof line, in) == nullptr) return false;
  if (std::strchr(line, '\n') == nullptr) {
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
    }
  }
  return true;
}

}  // namespace

std::string mapSetupPath(const char* imagePath) {
  if (imagePath == nullptr) return std::string();
  const PathParts parts = splitPath(imagePath);
  return parts.drive + parts.dir + parts.name + kMapSetupExtension;
}

// Sample line: "-122.419416 37.774929" (longitude, latitude of one corner)
bool readMapSetup(std::FILE* in, CornerPoints corners) {
  bool complete = true;
  for (int i = 0; i < kCornerCount; ++i) {
    char line[kSetupLineSize];
    if (!readLine(in, line)) return false;
    if (std::sscanf(line, "%lf %lf", &corners[i][0], &corners[i][1]) != 2 ||
        !std::isfinite(corners[i][0]) || !std::isfinite(corners[i][1])) {
      complete = false;
    }
  }
  return complete;
}

bool readMapSetupFile(const std::string& path, CornerPoints corners) {
  if (path.empty()) return false;
  std::FILE* in = std::fopen(path.c_str(), "r");
  if (in == nullptr) return false;
  const bool complete = readMapSetup(in, corners);
  std::fclose(in);
  return complete;
}

MapSetupWriter::MapSetupWriter(const std::string& path)
    : file_(path, Durability::kKeep, LinkPolicy::kFollow) {
  if (!path.empty()) file_.open();
}

MapSetupWriter::~MapSetupWriter() = default;

bool MapSetupWriter::write(const CornerPoints corners) {
  std::FILE* out = stream();
  if (out == nullptr) return false;
  for (int i = 0; i < kCornerCount; ++i) {
    std::fprintf(out, "%f %lf\n", corners[i][0], corners[i][1]);
  }
  const bool written = std::ferror(out) == 0;
  if (!written) {
    file_.discard();
    return false;
  }
  return file_.commit();
}

bool writeMapSetupFile(const std::string& path, const CornerPoints corners) {
  MapSetupWriter writer(path);
  return writer.write(corners);
}
