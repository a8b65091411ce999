// Whole frames of the view compared with frames kept in golden/: a map, node icons of every role
// and status (textured with alpha, and plain) with their number and text labels, 2D and 3D ring
// markers and the pointer readout, seen from above and tilted; and a grid of large numbered icons,
// where the number labels alone weigh enough to fail a frame. A frame passes when at least 99.5%
// of its pixels are within 8 levels per channel of the kept one; a failure writes the frame and a
// difference image (pixels out of tolerance in red) to the temporary folder and names them.
//
// After a deliberate change of the picture, look at the new frames and keep them with
//   HALVEX_WRITE_GOLDEN=1 ctest --test-dir build -R GoldenFrame
// which writes the frames into tests/halvex/view/golden/ instead of comparing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "halvex/config/node_graphics.h"
#include "halvex/gl/view_camera.h"
#include "halvex/maps/map_layer.h"
#include "halvex/maps/map_texture.h"
#include "halvex/tracking/node_table.h"
#include "halvex/tracking/ring_marker.h"
#include "halvex/tracking/tracking_settings.h"
#include "halvex/view/node_icon.h"
#include "halvex/view/scene.h"
#include "tests/halvex/view/golden_image.h"
#include "tests/halvex/view/scene_test_support.h"
#include "tests/support/sgi_writer.h"

namespace {

constexpr double kRequiredShare = 0.995;
constexpr int kTolerance = 8;
constexpr int64_t kFrequency = 1000;
/// Most frames drawn with the lazy-load countdowns cleared: one texture loads per frame at least.
constexpr int kMaxLoadFrames = 60;
/// The grid of numbered icons: 4 x 4 nodes from this id on, around this place.
constexpr int kFirstGridId = 10;
constexpr int kGridNodes = 16;
constexpr double kGridX = 10.0;
constexpr double kGridY = 30.0;
constexpr double kGridStep = 0.25;
constexpr int kIconSide = 64;
constexpr int kMapSide = 128;

/// One kept frame: window, camera, pulse phase and label switches.
struct GoldenScene {
  const char* name;
  int width, height;
  double centreX, centreY, extent, pitch, heading;
  int64_t counter;  ///< Pulse counter.
  bool labels[TrackingSettings::kLabelCount];
};

void PrintTo(const GoldenScene& scene, std::ostream* out) {
  *out << scene.name;
}

/// Pulse counters: a tenth into a second shows the idle and lost looks, half-way their mix.
constexpr int64_t kPulseStart = 5 * kFrequency + kFrequency / 10;
constexpr int64_t kPulseMiddle = 5 * kFrequency + kFrequency / 2;

const GoldenScene kScenes[] = {
    // name, window, centre, extent, pitch, heading, pulse counter, label lines
    {"top_down", 400, 400, 10.0, 32.0, 1.0, 0, 0, kPulseStart, {true, true, true, true}},
    {"tilted", 320, 240, 10.40, 32.05, 1.0, -45, 30, kPulseMiddle, {true, false, true, false}},
    // The grid, with the readout below its last row.
    {"numbers", 256, 320, 10.0, 29.875, 1.0, 0, 0, kPulseStart, {false, false, false, false}},
};

int64_t gCounter = 0;
int64_t testCounter() {
  return gCounter;
}
int64_t testFrequency() {
  return kFrequency;
}

/// Icon shapes by offset from the centre in pixels: 2 inside, 1 on the dark edge, 0 outside.
int disc(double x, double y) {
  const double r = std::hypot(x, y);
  return r < 25 ? 2 : r < 30 ? 1 : 0;
}
int ring(double x, double y) {
  const double r = std::hypot(x, y);
  return r > 26 && r < 31 ? 2 : r > 24 && r < 32 ? 1 : 0;
}
int diamond(double x, double y) {
  const double d = std::fabs(x) + std::fabs(y);
  return d < 8 ? 0 : d < 26 ? 2 : d < 31 ? 1 : 0;
}

/// A 64 x 64 RGBA icon picture of `shape`: white inside, a dark edge, transparent outside.
std::string iconSgi(int (*shape)(double, double)) {
  return encodeSgi(makeSgiPicture(kIconSide, kIconSide, 4, [&](int x, int y, int z) {
    const int part = shape(x - kIconSide / 2 + 0.5, y - kIconSide / 2 + 0.5);
    if (z == 3) return part == 0 ? 0 : 255;
    return part == 2 ? 255 : 40;
  }));
}

/// A map with structure: soft hills in green and brown, a grid and a diagonal road.
std::string mapSgi() {
  return encodeSgi(makeSgiPicture(kMapSide, kMapSide, 3, [](int x, int y, int z) {
    if (x % 32 == 0 || y % 32 == 0) return 60;
    if (std::abs(x - y) < 2) return z == 2 ? 120 : 230;
    const double hill = std::sin(x / 9.0) * std::cos(y / 13.0);
    const int base[3] = {150, 170, 110};
    return static_cast<int>(base[z] + (z == 1 ? 50 : 30) * hill);
  }));
}

class GoldenFrame : public ::testing::TestWithParam<GoldenScene> {
 protected:
  void SetUp() override {
    const GoldenScene& scene = GetParam();
    shown_ = std::make_unique<scene_test::ShownSurface>(scene.width, scene.height);
    ASSERT_TRUE(shown_->shown());
    ViewCamera* camera = shown_->surface().camera();
    camera->setCenter(scene.centreX, scene.centreY);
    camera->setExtent(scene.extent);
    camera->setPitch(scene.pitch);
    camera->setHeading(scene.heading);
    camera->setPickPosition(scene.width / 2, scene.height / 2);
    gCounter = scene.counter;
    NodeIcon::setClock(testCounter, testFrequency);
    buildScene(scene);
  }

  void TearDown() override {
    NodeIcon::setClock(nullptr, nullptr);
    shown_.reset();
  }

  void buildScene(const GoldenScene& scene) {
    buildIcons();
    buildNodes();
    settings_.targetId = 1;
    settings_.chaseId = 2;
    settings_.closeCount = 3;
    settings_.targetIcon = settings_.chaseIcon = settings_.closeIcon = true;
    for (int k = 0; k < TrackingSettings::kLabelCount; ++k) {
      settings_.showComment[k] = scene.labels[k];
    }
    table_.buildNearest(settings_.targetId, settings_.chaseId);

    // A 2D marker with three slots shown, and a 3D one high up with a ring of its own.
    for (const auto& [record, dimension] :
         {std::pair{"$10.38,31.7125,1,3,8,2,0,2,3,4,5,3,Gate post,second line*", 2},
          std::pair{"$9.65,31.57,40,4,2,6,1,1,2,1,2,5,1,1,1,3,3,1.2,4,6,1,0,0,3D mast*", 3}}) {
      RingMarker* marker = parseRingMarker(record, dimension);
      ASSERT_NE(marker, nullptr) << record;
      table_.addMarker(marker);
    }
    maps_.push_back(
        std::make_unique<MapLayer>(scene_test::writeScratchFile("map.sgi", mapSgi()).c_str(), 9.55,
                                   10.45, 31.55, 32.45, 0.0, 100.0));

    SceneInputs& in = frame_.inputs();
    in.table = &table_;
    in.settings = &settings_;
    in.icons = &icons_;
    in.maps = &maps_;
    in.statusFromRecords = [] { return true; };
    in.pointerLatitude = &pointerLat_;
    in.pointerLongitude = &pointerLon_;
    shown_->add(SceneFrame::drawCallback, &frame_);
  }

  /// Role icons, the default icon, two icons of their own and those of the grid's nodes.
  void buildIcons() {
    using scene_test::writeScratchFile;
    const std::string images[] = {writeScratchFile("disc.sgi", iconSgi(disc)),
                                  writeScratchFile("diamond.sgi", iconSgi(diamond)),
                                  "/nonexistent/plain.sgi"};
    const std::string ringIcon = writeScratchFile("ring.sgi", iconSgi(ring));
    // kind image size(normal idle lost) rgb(normal) rgb(idle) rgb(lost) number-label
    std::string graphics = "D " + images[0] + " 8 10 12 1 1 1 1 0.7 0 1 0.1 0.1 on\n" +          //
                           "T " + ringIcon + " 14 14 16 1 1 0 1 0.6 0 1 0 0\n" +                 //
                           "C " + images[1] + " 13 13 15 0 1 0 1 0.6 0 1 0 0\n" +                //
                           "PROX1 " + ringIcon + " 12 12 14 0.3 0.6 1 1 0.6 0 1 0 0\n" +         //
                           "PROX2 " + ringIcon + " 11 11 13 0.3 0.6 1 1 0.6 0 1 0 0\n" +         //
                           "PROX3 " + ringIcon + " 10 10 12 0.3 0.6 1 1 0.6 0 1 0 0\n" +         //
                           "ID07 " + images[2] + " 7 9 11 0.9 0.4 0.9 1 0.7 0 1 0.1 0.1 on\n" +  //
                           "ID08 " + images[1] + " 9 11 13 0.6 0.9 1 1 0.7 0 1 0.1 0.1\n";
    // Large numbered icons for the grid: an image per row, a colour per column.
    const char* colours[] = {"1 1 1", "0.5 1 0.5", "0.6 0.8 1", "1 0.6 0.9"};
    for (int k = 0; k < kGridNodes; ++k) {
      graphics += "ID" + std::to_string(kFirstGridId + k) + " " + images[k / 4 % 3] + " 18 20 22 " +
                  colours[k % 4] + " 1 0.7 0 1 0.1 0.1 on\n";
    }
    ASSERT_TRUE(graphics_.read(writeScratchFile("icons.def", graphics)));
    icons_.build(graphics_);
  }

  /// Two columns of labelled nodes over the map, and a grid of numbered ones further south.
  void buildNodes() {
    std::string list;
    for (int id = 1; id < kFirstGridId + kGridNodes; ++id) list += std::to_string(id) + " n\n";
    ASSERT_TRUE(table_.readNodeFile(scene_test::writeScratchFile("nodes.txt", list).c_str()));
    struct Node {
      int id;
      double lon, lat;
      int status;
      double age;
      const char *name, *comment1, *comment2;
    };
    // No two label blocks meet, so that every label is drawn also when overlapping ones are
    // left out; the readout's corner is free.
    const Node nodes[] = {
        {1, 9.60, 32.4125, 0, 0, "Command post", "north gate", "holding"},
        {3, 9.60, 32.2375, 0, 1, "Convoy A, lead", "route 8", "moving 41 km/h"},
        {4, 9.60, 32.0625, 2, 14, "Convoy A, 2", "route 8", "halted"},
        {5, 9.60, 31.8875, 1, 7, "", "", ""},
        {6, 9.60, 31.7125, 2, 120, "Patrol with a rather long name",
         "a long comment, past the icons", "x"},
        {2, 10.38, 32.4125, 1, 6, "Recovery truck", "", "moving 54 km/h"},
        {7, 10.38, 32.2375, 0, 2, "Seven", "  spaced  out  ", ""},
        {8, 10.38, 32.0625, 1, 5, "H", "", "idle"},
        {9, 10.38, 31.8875, 0, 0, "Nine", "c", "cc"},
    };
    for (const Node& n : nodes) {
      table_.nodeById(n.id)->applyStateRecord(n.lat, n.lon, n.status, n.comment1, n.comment2, n.age,
                                              n.name);
    }
    for (int k = 0; k < kGridNodes; ++k) {
      const double lon = kGridX + (k % 4 - 1.5) * kGridStep;
      const double lat = kGridY + (1.5 - k / 4) * kGridStep;
      table_.nodeById(kFirstGridId + k)->applyStateRecord(lat, lon, k % 3, "", "", 0, "grid");
    }
    for (int id = 1; id < kFirstGridId + kGridNodes; ++id) {
      table_.nodeById(id)->setIcon(graphics_.individualFor(id));
    }
  }

  /// Whether every icon and map has its texture or has failed for good.
  bool loaded() const {
    for (int k = 0; k < icons_.count(); ++k) {
      if (icons_.icon(k)->textureId() == NodeIcon::kNotLoaded) return false;
    }
    return maps_[0]->textureId() >= 0;
  }

  std::unique_ptr<scene_test::ShownSurface> shown_;
  NodeGraphics graphics_;
  NodeIconSet icons_;
  NodeTable table_;
  TrackingSettings settings_;
  std::vector<std::unique_ptr<MapLayer>> maps_;
  SceneFrame frame_;
  double pointerLat_ = 0;
  double pointerLon_ = 0;
};

TEST_P(GoldenFrame, MatchesTheKeptFrame) {
  const GoldenScene& scene = GetParam();
  for (int i = 0; i < kMaxLoadFrames && !loaded(); ++i) {
    gNodeIconLoadCountdown = 0;
    gMapLoadCountdown = 0;
    ASSERT_TRUE(shown_->drawFrame());
  }
  ASSERT_TRUE(loaded());
  ASSERT_TRUE(shown_->drawFrame());
  const golden::Image frame = golden::frameOf(*shown_);

  const std::string kept = std::string(HALVEX_GOLDEN_DIR) + "/" + scene.name + ".ppm";
  const char* write = std::getenv("HALVEX_WRITE_GOLDEN");
  if (write && std::string(write) == "1") {
    ASSERT_TRUE(golden::writePpm(kept, frame)) << kept;
    std::printf("wrote %s\n", kept.c_str());
    return;
  }
  golden::Image expected;
  ASSERT_TRUE(golden::readPpm(kept, expected)) << "cannot read " << kept;
  const golden::Comparison result = golden::compare(frame, expected, kTolerance);
  char share[64];
  std::snprintf(share, sizeof share, "%.3f%% of pixels within %d levels", result.share * 100,
                kTolerance);
  std::printf("%s: %s\n", scene.name, share);
  if (result.share >= kRequiredShare) return;
  const std::string stem = (std::filesystem::temp_directory_path() /
                            ("golden_" + std::string(scene.name) + "_" + std::to_string(getpid())))
                               .string();
  golden::writePpm(stem + "_frame.ppm", frame);
  golden::writePpm(stem + "_diff.ppm", result.difference);
  ADD_FAILURE() << scene.name << ": " << share << ", " << kRequiredShare * 100 << "% needed; frame "
                << stem << "_frame.ppm, difference " << stem << "_diff.ppm";
}

INSTANTIATE_TEST_SUITE_P(Scenes, GoldenFrame, ::testing::ValuesIn(kScenes),
                         [](const ::testing::TestParamInfo<GoldenScene>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
