#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "halvex/config/io_definitions.h"
#include "halvex/config/map_graphics.h"
#include "halvex/config/master_config.h"
#include "halvex/config/node_graphics.h"
#include "halvex/config/preferences.h"
#include "halvex/engine/tracker_engine.h"
#include "halvex/tracking/tracking_settings.h"
#include "tests/support/scratch_dir.h"

namespace {

// ---- master configuration file

TEST(MasterConfigTest, ListsKnownKeysInFileOrderWithRepeats) {
  ScratchDir temp;
  const std::string path = temp.write("master.cfg",
                                      "# main setup\n"
                                      "NodeFile nodes.txt\n"
                                      "PortFile ports.mcp\n"
                                      "WWWFile io.txt\n"
                                      "Unknown x.txt\n"
                                      "NodeDefFile icons.txt\n"
                                      "MapFile maps.txt\n"
                                      "PreferenceFile prefs.txt\n"
                                      "NodeFile other.txt\n");
  const std::vector<MasterEntry> entries = readMasterFile(path);
  const MasterKey keys[] = {MasterKey::NodeFile,    MasterKey::PortFile, MasterKey::WWWFile,
                            MasterKey::NodeDefFile, MasterKey::MapFile,  MasterKey::PreferenceFile,
                            MasterKey::NodeFile};
  const char* values[] = {"nodes.txt", "ports.mcp", "io.txt",   "icons.txt",
                          "maps.txt",  "prefs.txt", "other.txt"};
  ASSERT_EQ(entries.size(), 7u);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].key, keys[i]) << i;
    EXPECT_EQ(entries[i].value, values[i]) << i;
  }
}

TEST(MasterConfigTest, IgnoresOtherCaseWrongFieldCountsAndComments) {
  ScratchDir temp;
  const std::string path = temp.write("master.cfg",
                                      "nodefile a.txt\n"
                                      "NODEFILE b.txt\n"
                                      "NodeFile c.txt extra\n"
                                      "NodeFile\n"
                                      "#NodeFile d.txt\n"
                                      "MapFile maps.txt\n"
                                      "  \n"
                                      "PortFile late.mcp\n");
  const std::vector<MasterEntry> entries = readMasterFile(path);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].key, MasterKey::MapFile);
  EXPECT_EQ(entries[0].value, "maps.txt");
  EXPECT_TRUE(readMasterFile(temp.missing()).empty());
}

// ---- input/output definitions

TEST(IoDefinitionsTest, KeywordsInAnyCaseAndInputModes) {
  ScratchDir temp;
  IoDefinitions defs;
  EXPECT_TRUE(readIoDefinitions(temp.write("io1", "active input multicast\n"), defs));
  EXPECT_EQ(defs.inputMode, IoDefinitions::kInputMulticast);
  const struct {
    const char* word;
    int mode;
    InputButton button;
  } kModes[] = {{"LOCAL_STATE", 2, InputButton::LocalState},
                {"Remote_State", 3, InputButton::RemoteState},
                {"CLIENT", 4, InputButton::Client},
                {"server", 5, InputButton::Server}};
  for (const auto& m : kModes) {
    readIoDefinitions(temp.write("io2", std::string("Active Input ") + m.word + "\n"), defs);
    EXPECT_EQ(defs.inputMode, m.mode) << m.word;
    EXPECT_EQ(selectedInputButton(defs), m.button) << m.word;
  }
  // The later line wins; an unknown word leaves the mode as it was.
  readIoDefinitions(temp.write("io3", "Active Input SERVER\nActive Input NONE\n"), defs);
  EXPECT_EQ(defs.inputMode, IoDefinitions::kInputServer);
}

TEST(IoDefinitionsTest, NoActiveInputSelectsTheMulticastButton) {
  ScratchDir temp;
  IoDefinitions defs;
  defs.inputMode = IoDefinitions::kInputRemoteState;
  readIoDefinitions(temp.write("io", "Input RemoteIp host\n"), defs);
  EXPECT_EQ(defs.inputMode, IoDefinitions::kInputNone);
  EXPECT_EQ(selectedInputButton(defs), InputButton::Multicast);
}

TEST(IoDefinitionsTest, OutputsKeepTheFirstSixAndSkipUnknownModes) {
  ScratchDir temp;
  IoDefinitions defs;
  readIoDefinitions(temp.write("io",
                               "Active Output NONE\n"
                               "Active Output LOCAL_STATE\n"
                               "Active Output client\n"
                               "Active Output LOCAL_STATE\n"
                               "Active Output LOCAL_STATE\n"
                               "Active Output LOCAL_STATE\n"
                               "Active Output LOCAL_STATE\n"
                               "Active Output SERVER\n"),
                    defs);
  EXPECT_EQ(defs.outputCount, 6);
  const int expected[] = {2, 4, 2, 2, 2, 2};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(defs.outputs[i], expected[i]) << i;
  const OutputButtons buttons = outputButtonsToSet(defs);
  EXPECT_TRUE(buttons.localState);
  EXPECT_TRUE(buttons.client);
  EXPECT_FALSE(buttons.server);  // the seventh entry was dropped
}

TEST(IoDefinitionsTest, EveryKeySetsOnlyItsOwnField) {
  ScratchDir temp;
  IoDefinitions defs;
  readIoDefinitions(temp.write("io",
                               "Input MultiCastPortFile ports.mcp\n"
                               "Input LocalStateFile in.txt\n"
                               "Input RemoteStateFile /state/now.txt\n"
                               "Input RemoteIp 10.0.0.1\n"
                               "Input RemotePort 8080\n"
                               "Input ClientIp client.in\n"
                               "Input ClientPort 11\n"
                               "Input SesrverPort 12\n"
                               "Input MultiCastBuffersPerPort 30\n"
                               "Input MultiCastBytesPerBuffer 512\n"
                               "Input MultiCastMemoryMB 16\n"
                               "Map MaxMegapixels 4\n"
                               "Output LocalStateFile out.txt\n"
                               "Output ClientIp client.out\n"
                               "Output ClientPort 21\n"),
                    defs);
  EXPECT_EQ(defs.multicastPortFile, "ports.mcp");
  EXPECT_EQ(defs.inputLocalStateFile, "in.txt");
  EXPECT_EQ(defs.remoteStateFile, "/state/now.txt");
  EXPECT_EQ(defs.remoteIp, "10.0.0.1");
  EXPECT_EQ(defs.remotePort, 8080);
  EXPECT_EQ(defs.inputClientIp, "client.in");
  EXPECT_EQ(defs.inputClientPort, 11);
  EXPECT_EQ(defs.inputServerPort, 12);
  EXPECT_EQ(defs.multicastBuffersPerPort, 30);
  EXPECT_EQ(defs.multicastBytesPerBuffer, 512);
  EXPECT_EQ(defs.multicastMemoryMB, 16);
  EXPECT_EQ(defs.mapMaxMegapixels, 4);
  EXPECT_EQ(defs.outputLocalStateFile, "out.txt");
  EXPECT_EQ(defs.outputClientIp, "client.out");
  EXPECT_EQ(defs.outputClientPort, 21);
  EXPECT_EQ(defs.outputServerPort, 0);  // only "Output SesrverPort" sets it
  readIoDefinitions(temp.write("io2", "Output SesrverPort 22\nOutput ServerPort 23\n"), defs);
  EXPECT_EQ(defs.outputServerPort, 22);
  EXPECT_EQ(defs.outputClientPort, 0);
  EXPECT_EQ(defs.multicastMemoryMB, tracker_defaults::kMulticastMemoryMB);
  EXPECT_EQ(defs.mapMaxMegapixels, tracker_defaults::kMapMaxMegapixels);
}

TEST(IoDefinitionsTest, ReadingResetsAllButTheBufferValues) {
  ScratchDir temp;
  IoDefinitions defs;
  const std::string first = temp.write("io1",
                                       "Active Input LOCAL_STATE\n"
                                       "Active Output CLIENT\n"
                                       "Input LocalStateFile in.txt\n"
                                       "Input RemotePort 99\n"
                                       "Input MultiCastBuffersPerPort 30\n");
  readIoDefinitions(first, defs);
  // Lines of other than three fields, and a fourth word, are ignored.
  const std::string second = temp.write("io2",
                                        "Input RemotePort\n"
                                        "Input RemotePort 7 extra\n"
                                        "Input ClientPort 100000000000\n");
  EXPECT_TRUE(readIoDefinitions(second, defs));
  EXPECT_EQ(defs.path, second);
  EXPECT_EQ(defs.inputMode, 0);
  EXPECT_EQ(defs.outputCount, 0);
  EXPECT_EQ(defs.outputs[0], 0);
  EXPECT_EQ(defs.inputLocalStateFile, "");
  EXPECT_EQ(defs.remotePort, 0);
  EXPECT_EQ(defs.inputClientPort, 2147483647);  // clamped, not wrapped
  EXPECT_EQ(defs.multicastBuffersPerPort, 30);
  EXPECT_EQ(defs.multicastBytesPerBuffer, 250);
  readIoDefinitions(first, defs);
  EXPECT_FALSE(readIoDefinitions(temp.missing(), defs));
  EXPECT_EQ(defs.inputMode, 0);
  EXPECT_EQ(defs.inputLocalStateFile, "");
  EXPECT_EQ(defs.multicastBuffersPerPort, 30);
}

TEST(IoDefinitionsTest, MqttLinesSetEachDirectionAndTheEngineControls) {
  ScratchDir temp;
  IoDefinitions defs;
  // Without MQTT lines both directions keep their defaults and the output stays off.
  readIoDefinitions(temp.write("plain", "Active Input MULTICAST\nActive Output LOCAL_STATE\n"),
                    defs);
  for (const MqttSettings* mqtt : {&defs.mqttInput, &defs.mqttOutput}) {
    EXPECT_EQ(mqtt->host, "");
    EXPECT_EQ(mqtt->port, 1883);
    EXPECT_EQ(mqtt->topic, "halvex");
  }
  EngineControls plain;
  plain.takeFrom(defs, TrackingSettings());
  EXPECT_FALSE(plain.mqttOutput);
  EXPECT_EQ(plain.inputMode, IoDefinitions::kInputMulticast);

  readIoDefinitions(temp.write("io",
                               "active input mqtt\n"
                               "Active Output MQTT\n"
                               "Input MqttHost broker-b\n"
                               "Input MqttTopic exercise/+\n"
                               "Input MqttUser viewer\n"
                               "Input MqttPasswordFile in.pw\n"
                               "Input MqttCaFile ca-in.pem\n"
                               "OUTPUT MQTTHOST broker-a\n"
                               "Output MqttPort 8883\n"
                               "Output MqttTopic exercise/site1\n"
                               "Output MqttUser site1\n"
                               "Output MqttPasswordFile out.pw\n"
                               "Output MqttCaFile ca-out.pem\n"
                               "Output MqttPort 1884 extra\n"),
                    defs);
  EXPECT_EQ(defs.inputMode, IoDefinitions::kInputMqtt);
  ASSERT_EQ(defs.outputCount, 1);
  EXPECT_EQ(defs.outputs[0], IoDefinitions::kOutputMqtt);
  const struct {
    const MqttSettings& got;
    MqttSettings want;
  } cases[] = {
      {defs.mqttInput, {"broker-b", 1883, "exercise/+", "viewer", "in.pw", "ca-in.pem"}},
      {defs.mqttOutput, {"broker-a", 8883, "exercise/site1", "site1", "out.pw", "ca-out.pem"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.got.host, c.want.host);
    EXPECT_EQ(c.got.port, c.want.port);
    EXPECT_EQ(c.got.topic, c.want.topic);
    EXPECT_EQ(c.got.user, c.want.user);
    EXPECT_EQ(c.got.passwordFile, c.want.passwordFile);
    EXPECT_EQ(c.got.caFile, c.want.caFile);
  }
  // The multicast fields are untouched by the broker keys.
  EXPECT_EQ(defs.remotePort, 0);
  EXPECT_EQ(defs.outputClientPort, 0);

  EngineControls controls;
  controls.takeFrom(defs, TrackingSettings());
  EXPECT_EQ(controls.inputMode, IoDefinitions::kInputMqtt);
  EXPECT_TRUE(controls.mqttOutput);
  EXPECT_EQ(controls.mqttInput.host, "broker-b");
  EXPECT_EQ(controls.mqttOutputSettings.port, 8883);
  EXPECT_FALSE(controls.localStateOutput);
}

// ---- preferences

TEST(PreferencesTest, EveryLineSetsItsSetting) {
  ScratchDir temp;
  TrackingSettings settings;
  EXPECT_TRUE(readPreferences(temp.write("prefs",
                                         "target id 17\n"
                                         "Target Icon ON\n"
                                         "chase id 23\n"
                                         "chase icon on\n"
                                         "prox number 3\n"
                                         "prox icon on\n"
                                         "track mode targetGroup\n"
                                         "display mode TARGETGROUP\n"
                                         "comment node off\n"
                                         "comment mcPacket1 off\n"
                                         "comment MCPACKET2 off\n"
                                         "comment gps off\n"
                                         "alert distance 250.5\n"
                                         "alert alarm on\n"
                                         "alert mediumIdle 2.5\n"
                                         "alert badIdle 7\n"
                                         "label declutter OFF\n"),
                              settings));
  EXPECT_EQ(settings.targetId, 17);
  EXPECT_TRUE(settings.targetIcon);
  EXPECT_EQ(settings.chaseId, 23);
  EXPECT_TRUE(settings.chaseIcon);
  EXPECT_EQ(settings.closeCount, 3);
  EXPECT_TRUE(settings.closeIcon);
  EXPECT_EQ(settings.navigationMode, 1);
  EXPECT_EQ(settings.displayMode, 1);
  for (bool shown : settings.showComment) EXPECT_FALSE(shown);
  EXPECT_DOUBLE_EQ(settings.alertDistance, 250.5);
  EXPECT_TRUE(settings.alarm);
  EXPECT_DOUBLE_EQ(settings.mediumIdle, 2.5);
  EXPECT_DOUBLE_EQ(settings.badIdle, 7.0);
  EXPECT_FALSE(settings.labelDeclutter);
  readPreferences(temp.write("prefs2", "label declutter on\n"), settings);
  EXPECT_TRUE(settings.labelDeclutter);
}

TEST(PreferencesTest, CapitalRoamAndCloseCountBound) {
  ScratchDir temp;
  TrackingSettings settings;
  settings.navigationMode = 0;
  readPreferences(temp.write("prefs", "track mode ROAM\nprox number 12\n"), settings);
  EXPECT_EQ(settings.navigationMode, 2);
  EXPECT_EQ(settings.closeCount, 9);
  readPreferences(temp.write("prefs2", "prox number -4\n"), settings);
  EXPECT_EQ(settings.closeCount, 0);
}

TEST(PreferencesTest, UnlistedWordsAndMalformedLinesChangeNothing) {
  ScratchDir temp;
  TrackingSettings settings;
  readPreferences(temp.write("prefs",
                             "target icon yes\n"
                             "track mode follow\n"
                             "display mode roam\n"
                             "comment node maybe\n"
                             "comment other off\n"
                             "alert alarm 1\n"
                             "target id\n"
                             "target id 9 10\n"
                             "chase number 4\n"
                             "unknown id 4\n"
                             "label declutter maybe\n"),
                  settings);
  const TrackingSettings defaults;
  EXPECT_EQ(settings.targetIcon, defaults.targetIcon);
  EXPECT_EQ(settings.navigationMode, defaults.navigationMode);
  EXPECT_EQ(settings.displayMode, defaults.displayMode);
  EXPECT_TRUE(settings.showComment[0]);
  EXPECT_EQ(settings.alarm, defaults.alarm);
  EXPECT_EQ(settings.targetId, defaults.targetId);
  EXPECT_EQ(settings.chaseId, defaults.chaseId);
  EXPECT_TRUE(settings.labelDeclutter);
  EXPECT_FALSE(readPreferences(temp.missing(), settings));
  EXPECT_EQ(settings.closeCount, defaults.closeCount);
}

TEST(PreferencesTest, TrailMinutesWithinADay) {
  ScratchDir temp;
  const std::pair<const char*, int> cases[] = {
      {"trail minutes 30\n", 30}, {"TRAIL Minutes 0\n", 0},      {"trail minutes 99999\n", 1440},
      {"trail minutes -3\n", 0},  {"trail minutes\n", 10},       {"trail minutes 5 6\n", 10},
      {"trail seconds 30\n", 10}, {"label declutter off\n", 10},
  };
  for (const auto& [line, minutes] : cases) {
    TrackingSettings settings;
    readPreferences(temp.write("prefs", line), settings);
    EXPECT_EQ(settings.trailMinutes, minutes) << line;
  }
}

TEST(PreferencesTest, ReportHoursZeroForAllUpToTheLimit) {
  ScratchDir temp;
  const int most = tracker_defaults::kMaxReportHours;
  const std::pair<const char*, int> cases[] = {
      {"reports hours 6\n", 6},  {"REPORTS Hours 0\n", 0}, {"reports hours 999999999\n", most},
      {"reports hours -2\n", 0}, {"reports hours\n", 0},   {"reports minutes 6\n", 0},
  };
  for (const auto& [line, hours] : cases) {
    TrackingSettings settings;
    readPreferences(temp.write("prefs", line), settings);
    EXPECT_EQ(settings.reportHours, hours) << line;
  }
}

// ---- node graphics

TEST(NodeGraphicsTest, DistributesDefinitionsIntoTheLists) {
  ScratchDir temp;
  NodeGraphics graphics;
  EXPECT_TRUE(graphics.read(temp.write("icons",
                                       "Default d1.jpg\n"
                                       "Target t.jpg\n"
                                       "Default d2.jpg\n"
                                       "Chase c.jpg\n"
                                       "Prox3 p3.jpg\n"
                                       "Prox10 p10.jpg\n"
                                       "Prox0 p0.jpg\n"
                                       "Prox11 p11.jpg\n"
                                       "Prox-5 pm.jpg\n"
                                       "P p.jpg\n"
                                       "Xtra x.jpg\n"
                                       "ID7 seven.jpg\n"
                                       "id8 eight.jpg\n"
                                       "ID7 seven-again.jpg\n")));
  EXPECT_EQ(graphics.definitions().size(), 14u);
  EXPECT_EQ(graphics.definitions()[10].kind, NodeIconKind::Unused);
  EXPECT_EQ(graphics.roleCount(), 13 + 6);
  EXPECT_EQ(graphics.role(0)->imagePath, "d2.jpg");
  EXPECT_EQ(graphics.role(1)->imagePath, "t.jpg");
  EXPECT_EQ(graphics.role(2)->imagePath, "c.jpg");
  EXPECT_EQ(graphics.role(3 + 2)->imagePath, "p3.jpg");
  EXPECT_EQ(graphics.role(10 + 2)->imagePath, "p10.jpg");
  // Ranks outside 1..10 (and a word too short to hold one) take no place.
  for (int place : {3, 4, 6, 11, 13, 18, 19, -1}) EXPECT_EQ(graphics.role(place), nullptr) << place;
  EXPECT_EQ(graphics.individuals().size(), 3u);
  EXPECT_EQ(graphics.individualFor(7)->imagePath, "seven-again.jpg");
  EXPECT_EQ(graphics.individualFor(8)->imagePath, "eight.jpg");
  EXPECT_EQ(graphics.individualFor(9), nullptr);
}

TEST(NodeGraphicsTest, ReadsSizesColoursAndTheLabelFlag) {
  ScratchDir temp;
  NodeGraphics graphics;
  graphics.read(temp.write("icons",
                           "D a.jpg 1 2 3 0.1 0.2 0.3 0.4 0.5 0.6 0.7 0.8 0.9 On\n"
                           "D b.jpg 4 5\n"
                           "D c.jpg 1 1 1 1 1 1 1 1 1 1 1 1 yes\n"
                           "I\n"));
  ASSERT_EQ(graphics.definitions().size(), 4u);
  const NodeIconDef& full = graphics.definitions()[0];
  EXPECT_EQ(full.kindWord, "D");
  EXPECT_DOUBLE_EQ(full.look[0].size, 1.0);
  EXPECT_DOUBLE_EQ(full.look[2].size, 3.0);
  EXPECT_DOUBLE_EQ(full.look[0].red, 0.1);
  EXPECT_DOUBLE_EQ(full.look[1].green, 0.5);
  EXPECT_DOUBLE_EQ(full.look[2].blue, 0.9);
  EXPECT_TRUE(full.numberLabel);
  const NodeIconDef& partial = graphics.definitions()[1];
  EXPECT_DOUBLE_EQ(partial.look[1].size, 5.0);
  EXPECT_DOUBLE_EQ(partial.look[2].size, 0.0);
  EXPECT_DOUBLE_EQ(partial.look[0].red, 0.0);
  EXPECT_FALSE(partial.numberLabel);
  EXPECT_FALSE(graphics.definitions()[2].numberLabel);
  // "I" alone has no id characters: id 0, and no image.
  EXPECT_EQ(graphics.individualFor(0), &graphics.definitions()[3]);
  EXPECT_EQ(graphics.definitions()[3].imagePath, "");
}

TEST(NodeGraphicsTest, ReadingReplacesEarlierDefinitions) {
  ScratchDir temp;
  NodeGraphics graphics;
  graphics.read(temp.write("icons1", "T t.jpg\nI5 five.jpg\nP1 p.jpg\n"));
  graphics.read(temp.write("icons2", "C c.jpg\n"));
  EXPECT_EQ(graphics.definitions().size(), 1u);
  EXPECT_EQ(graphics.roleCount(), 13);
  EXPECT_EQ(graphics.role(1), nullptr);
  EXPECT_EQ(graphics.individualFor(5), nullptr);
  EXPECT_FALSE(graphics.read(temp.missing()));
  EXPECT_TRUE(graphics.definitions().empty());
  EXPECT_EQ(graphics.role(2), nullptr);
}

// ---- map graphics

TEST(MapGraphicsTest, ReadsNamesAndNumbersReplacingTheList) {
  ScratchDir temp;
  MapGraphics maps;
  maps.read(temp.write("maps1", "old.jpg 1 2 3 4 5 6\n"));
  EXPECT_TRUE(maps.read(temp.write("maps2",
                                   "area.jpg -117.5 -117.0 34.0 34.5 0.01 100 ignored\n"
                                   "town.sgi 1 2\n")));
  ASSERT_EQ(maps.maps().size(), 2u);
  const MapGraphicDef& area = maps.maps()[0];
  EXPECT_EQ(area.name, "area.jpg");
  EXPECT_DOUBLE_EQ(area.west, -117.5);
  EXPECT_DOUBLE_EQ(area.east, -117.0);
  EXPECT_DOUBLE_EQ(area.south, 34.0);
  EXPECT_DOUBLE_EQ(area.north, 34.5);
  EXPECT_DOUBLE_EQ(area.minExtent, 0.01);
  EXPECT_DOUBLE_EQ(area.maxExtent, 100.0);
  const MapGraphicDef& town = maps.maps()[1];
  EXPECT_DOUBLE_EQ(town.east, 2.0);
  EXPECT_DOUBLE_EQ(town.south, 0.0);
  EXPECT_DOUBLE_EQ(town.maxExtent, 0.0);
}

}  // namespace
