// Loading a master configuration file and everything it names.
#include "halvex/engine/tracker_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "halvex/streams/local_state_file.h"
#include "tests/support/scratch_dir.h"

namespace {

/// Records what the model told its listener, in order.
class Recorder : public TrackerModel::Listener {
 public:
  void nodeListRead() override { events.push_back("nodes"); }
  void portFileNamed(const std::string& path) override { events.push_back("ports " + path); }
  void preferencesRead() override { events.push_back("prefs"); }
  void ioDefinitionsRead() override { events.push_back("io"); }
  void configurationLoaded() override { events.push_back("loaded"); }
  std::vector<std::string> events;
};

class TrackerModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.write("nodes.txt", "1 Alpha\n2 Bravo\n7 Seven\n");
    dir_.write("prefs.txt",
               "target id 7\nchase id 1\nprox number 12\ntrack mode TARGETGROUP\n"
               "trail minutes 25\n");
    dir_.write("icons.txt",
               "D dot.jpg 1 2 3 1 0 0 0 1 0 0 0 1\n"
               "I07 seven.jpg 4 4 4 1 1 1 1 1 1 1 1 1 on\n"
               "IN7 later.jpg 5 5 5 1 1 1 1 1 1 1 1 1\n");
    dir_.write("io.txt", "Active Input LOCAL_STATE\nOutput LocalStateFile out.txt\n");
    dir_.write("maps.txt", "map.jpg -117.5 -117.0 32.5 33.0 0 100\n");
    model_.setListener(&recorder_);
  }
  ScratchDir dir_;
  TrackerModel model_;
  Recorder recorder_;
};

TEST_F(TrackerModelTest, ReadsEveryNamedFileInOrder) {
  const std::string master = dir_.write("master.cfg",
                                        "# setup\n"
                                        "NodeFile " +
                                            dir_.path("nodes.txt") +
                                            "\n"
                                            "PortFile " +
                                            dir_.path("ports.txt") +
                                            "\n"
                                            "NodeDefFile " +
                                            dir_.path("icons.txt") +
                                            "\n"
                                            "WWWFile " +
                                            dir_.path("io.txt") +
                                            "\n"
                                            "MapFile " +
                                            dir_.path("maps.txt") +
                                            "\n"
                                            "PreferenceFile " +
                                            dir_.path("prefs.txt") + "\n");
  model_.loadConfiguration(master);
  EXPECT_EQ(recorder_.events, (std::vector<std::string>{"nodes", "ports " + dir_.path("ports.txt"),
                                                        "io", "prefs", "loaded"}));
  EXPECT_EQ(model_.nodes().count(), 3);
  EXPECT_EQ(model_.settings().targetId, 7);
  EXPECT_EQ(model_.settings().closeCount, 9);
  EXPECT_EQ(model_.settings().navigationMode, 1);
  EXPECT_EQ(model_.trails().minutes(), 25);
  EXPECT_EQ(model_.choiceIndexOf(7), 2);
  EXPECT_EQ(model_.choiceIndexOf(5), -1);
  EXPECT_EQ(model_.ioDefinitions().inputMode, IoDefinitions::kInputLocalState);
  EXPECT_EQ(model_.stateOutput().fileName(), "out.txt");
  EXPECT_EQ(model_.mapGraphics().maps().size(), 1u);
  EXPECT_EQ(model_.paths().master, master);
  EXPECT_EQ(model_.paths().file(MasterKey::MapFile), dir_.path("maps.txt"));
  // The later individual definition for a repeated id wins; other nodes get none.
  ASSERT_NE(model_.nodes().nodeById(7)->icon, nullptr);
  EXPECT_EQ(model_.nodes().nodeById(7)->icon->imagePath, "later.jpg");
  EXPECT_EQ(model_.nodes().nodeById(1)->icon, nullptr);
}

TEST_F(TrackerModelTest, ChoiceLabels) {
  model_.readNodeList(dir_.path("nodes.txt"));
  EXPECT_EQ(model_.nodeChoiceLabels(),
            (std::vector<std::string>{"001: Alpha", "002: Bravo", "007: Seven"}));
  const std::vector<std::string> close = TrackerModel::closeChoiceLabels();
  ASSERT_EQ(close.size(), 10u);
  EXPECT_EQ(close.front(), "NONE");
  EXPECT_EQ(close.back(), "9");
}

TEST_F(TrackerModelTest, KeysAreCaseSensitiveAndNeedExactlyTwoFields) {
  const std::string master = dir_.write("master.cfg", "nodefile " + dir_.path("nodes.txt") +
                                                          "\n"
                                                          "NodeFile " +
                                                          dir_.path("nodes.txt") +
                                                          " extra\n"
                                                          "#NodeFile " +
                                                          dir_.path("nodes.txt") +
                                                          "\n"
                                                          "PreferenceFile " +
                                                          dir_.path("prefs.txt") +
                                                          "\n"
                                                          "   \n"
                                                          "NodeFile " +
                                                          dir_.path("nodes.txt") + "\n");
  model_.loadConfiguration(master);
  EXPECT_EQ(model_.nodes().count(), 0);  // the only valid NodeFile line stands after the blank one
  EXPECT_EQ(model_.settings().targetId, 7);
  EXPECT_EQ(recorder_.events, (std::vector<std::string>{"prefs", "loaded"}));
}

TEST_F(TrackerModelTest, MissingMasterLoadsNothingButStillFinishes) {
  model_.loadConfiguration(dir_.path("none.cfg"));
  EXPECT_EQ(recorder_.events, (std::vector<std::string>{"loaded"}));
  EXPECT_EQ(model_.nodes().count(), 0);
  EXPECT_EQ(model_.nodes().mediumIdleMs(), 2000);
  EXPECT_EQ(model_.nodes().badIdleMs(), 4000);
}

TEST_F(TrackerModelTest, RereadingNodeGraphicsDetachesOldDefinitions) {
  model_.readNodeList(dir_.path("nodes.txt"));
  model_.readNodeGraphics(dir_.path("icons.txt"));
  model_.attachNodeGraphics();
  ASSERT_NE(model_.nodes().nodeById(7)->icon, nullptr);
  model_.readNodeGraphics(dir_.path("none.txt"));
  EXPECT_EQ(model_.nodes().nodeById(7)->icon, nullptr);
}

}  // namespace

namespace {

// The bundled demo setup loads as a whole and its replay file feeds every node.
TEST(BundledDemo, LoadsAndReplays) {
  const std::string dir = std::string(HALVEX_SOURCE_DIR) + "/demo/halvex/";
  const std::string previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);  // setup paths are relative to the master file's folder
  TrackerModel model;
  model.loadConfiguration("demo.cfg");
  EXPECT_EQ(model.nodes().count(), 8);
  EXPECT_EQ(model.settings().closeCount, 3);
  EXPECT_EQ(model.ioDefinitions().inputMode, IoDefinitions::kInputLocalState);
  EXPECT_EQ(model.stateOutput().fileName(), "state.txt");
  ASSERT_TRUE(readLocalStateFile(model.nodes(), model.ioDefinitions().inputLocalStateFile.c_str()));
  std::filesystem::current_path(previous);
  for (int id = 1; id <= 8; ++id) EXPECT_NE(model.nodes().nodeById(id)->latitude, 0.0) << id;
  EXPECT_STREQ(model.nodes().nodeById(3)->name, "Scout, north");
  EXPECT_EQ(model.nodes().nodeById(6)->status, NodeRecord::kLost);
  model.nodes().buildNearest(model.settings().targetId, model.settings().chaseId);
  EXPECT_EQ(model.nodes().nearestAt(0)->id, 7);
}

}  // namespace
