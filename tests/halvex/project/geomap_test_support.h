// Helpers of the map geo-reference and map group tests: image and setup files in a scratch
// directory that is the current directory while a test runs, and maps that count placement
// prompts instead of opening the dialog.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "common/platform/paths.h"
#include "halvex/project/geo_map.h"
#include "halvex/project/map_group_handler.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/sgi_writer.h"

namespace geomap_test {

/// A scratch directory that is the current directory while the object lives.
class WorkingDir {
 public:
  WorkingDir() : previous_(currentDirectory()) {
    setCurrentDirectory(scratch_.dir());
    std::filesystem::create_directories(scratch_.path("maps"));
  }
  ~WorkingDir() { setCurrentDirectory(previous_); }
  const ScratchDir& scratch() const { return scratch_; }

 private:
  ScratchDir scratch_;
  std::string previous_;
};

/// Writes an 8 x 8 RGB SGI image of one colour at `path`.
inline void writeSolidImage(const std::string& path, int r, int g, int b) {
  const int rgb[3] = {r, g, b};
  const SgiPicture picture = makeSgiPicture(8, 8, 3, [&](int, int, int z) { return rgb[z]; });
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return;
  const std::string bytes = encodeSgi(picture);
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
}

/// Writes a white 8 x 8 RGB SGI image at `path`.
inline void writeWhiteImage(const std::string& path) {
  writeSolidImage(path, 255, 255, 255);
}

/// Writes the setup file of `imagePath` for the axis-aligned rectangle west..east, south..north.
inline void writeSetup(const std::string& imagePath, double west, double south, double east,
                       double north) {
  const PathParts p = splitPath(imagePath);
  std::FILE* out = std::fopen((p.dir + p.name + ".mapSetUp").c_str(), "w");
  if (out == nullptr) return;
  std::fprintf(out, "%f %f\n%f %f\n%f %f\n%f %f\n", west, south, east, south, east, north, west,
               north);
  std::fclose(out);
}

/// A map that counts placement prompts instead of showing the dialog.
class QuietMap : public GeoMap {
 public:
  using GeoMap::GeoMap;
  int prompts = 0;

 protected:
  void showPlacementDialog() override { ++prompts; }
};

/// A map group whose maps are QuietMaps and whose messages are kept.
class QuietGroup : public KT_mapGroupHandler {
 public:
  explicit QuietGroup(ViewCamera* camera) : KT_mapGroupHandler(camera), camera_(camera) {
    setMessageFn([this](const std::string& text) { messages += text; });
  }
  std::string messages;

 protected:
  GeoMap* createMap(const char* path) override { return new QuietMap(path, camera_); }

 private:
  ViewCamera* camera_;
};

}  // namespace geomap_test
