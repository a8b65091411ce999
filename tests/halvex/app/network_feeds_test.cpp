// The network feeds window of the windowed tracker under a virtual X server: opened from the
// menu, filled from a definitions file, its input mode exclusive with the inputs dialog's under
// real clicks, and its fields reaching the engine's controls.
#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/platform/paths.h"
#include "halvex/app/kt_map_window.h"
#include "tests/common/window_test_support.h"
#include "tests/halvex/app/scratch_tracker.h"
#include "tests/support/mqtt_broker.h"
#include "tests/support/scratch_dir.h"

namespace {

using window_test::pump;
using window_test::waitUntil;
using window_test::xdo;

std::string labelOf(const Fl_Widget* widget) {
  return widget->label() != nullptr ? widget->label() : "";
}

/// Clicks the middle of `widget` with the real pointer and lets the events arrive.
void click(Fl_Widget* widget) {
  Fl_Window* top = widget->top_window();
  const int x = top->x() + widget->x() + widget->w() / 2;
  const int y = top->y() + widget->y() + widget->h() / 2;
  ASSERT_TRUE(xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1"));
  XSync(fl_display, False);
  pump(0.15);
}

/// One broker's settings as one text, "host|port|topic|user|password file|CA file".
std::string textOf(const MqttSettings& s) {
  return s.host + "|" + std::to_string(s.port) + "|" + s.topic + "|" + s.user + "|" +
         s.passwordFile + "|" + s.caFile;
}

/// What the fields of one broker show, in the same form.
std::string textOf(const MqttFieldsUi& f) {
  return std::string(f.host->value()) + "|" + std::to_string(static_cast<int>(f.port->value())) +
         "|" + f.topic->value() + "|" + f.user->value() + "|" + f.passwordFile->value() + "|" +
         f.caFile->value();
}

/// A tracker window built in a scratch folder, the current folder while it lives.
class NetworkFeedsTest : public ScratchTrackerTest {
 protected:
  NetworkFeedsWindowUi& ui() { return window_->networkFeeds().ui(); }
  EngineControls& controls() { return window_->engine().controls(); }

  /// Opens the window from the menu, at the screen's top left, and waits until it is drawn.
  void openFromMenu() {
    const Fl_Menu_Item* item = window_->menuBar->find_item("view/network feeds");
    ASSERT_NE(item, nullptr);
    ui().window->position(0, 0);
    window_->menuBar->picked(item);
    ASSERT_TRUE(waitUntil([&] { return ui().window->visible() != 0; }));
    pump(0.15);
  }
};

// The definitions' MQTT lines fill both groups and select the MQTT input over the inputs
// dialog's button; a file without them clears the window again.
TEST_F(NetworkFeedsTest, DefinitionsFileFillsTheWindow) {
  // Loopback hosts on ports nobody listens on: the engine's links try them and fail quietly.
  const std::string inPort = std::to_string(testserver::freeLoopbackPort());
  const std::string outPort = std::to_string(testserver::freeLoopbackPort());
  window_->model().readIoDefinitions(temp_.write(
      "io.txt", "Active Input MQTT\nInput MqttHost localhost\nInput MqttPort " + inPort +
                    "\nInput MqttTopic exercise/+\nInput MqttUser viewer\n"
                    "Input MqttPasswordFile viewer.pw\nInput MqttCaFile ca.pem\n"
                    "Active Output MQTT\nOutput MqttHost 127.0.0.1\nOutput MqttPort " +
                    outPort + "\nOutput MqttUser site-a\n"));
  const std::string in = "localhost|" + inPort + "|exercise/+|viewer|viewer.pw|ca.pem";
  const std::string out = "127.0.0.1|" + outPort + "|halvex|site-a||";
  EXPECT_EQ(textOf(ui().input), in);
  EXPECT_EQ(textOf(ui().output), out);
  EXPECT_TRUE(ui().publishButton->value());
  EXPECT_TRUE(ui().inputModeButton->value());
  EXPECT_FALSE(window_->inputsDialog().multicastButton->value());
  window_->pass();
  EXPECT_EQ(controls().inputMode, IoDefinitions::kInputMqtt);
  EXPECT_EQ(textOf(controls().mqttInput), in);
  EXPECT_EQ(textOf(controls().mqttOutputSettings), out);
  EXPECT_TRUE(controls().mqttOutput);

  window_->model().readIoDefinitions(temp_.write("plain.txt", "Active Input MULTICAST\n"));
  EXPECT_FALSE(ui().inputModeButton->value());
  EXPECT_FALSE(ui().publishButton->value());
  EXPECT_EQ(textOf(ui().input), "|1883|halvex|||");
  window_->pass();
  EXPECT_EQ(controls().inputMode, IoDefinitions::kInputMulticast);
  EXPECT_FALSE(controls().mqttOutput);
}

// Only one input mode holds, whichever window the operator chose it in.
TEST_F(NetworkFeedsTest, InputModeIsExclusiveWithTheInputsDialog) {
  InputsDialogUi& inputs = window_->inputsDialog();
  openFromMenu();
  inputs.window->position(NetworkFeedsWindowUi::kWidth + 20, 0);
  ASSERT_TRUE(window_test::showAndWait(inputs.window));
  click(inputs.multicastButton);
  window_->pass();
  ASSERT_EQ(controls().inputMode, IoDefinitions::kInputMulticast);

  click(ui().inputModeButton);
  click(ui().inputModeButton);  // a second click keeps it chosen
  EXPECT_TRUE(ui().inputModeButton->value());
  EXPECT_FALSE(inputs.multicastButton->value());
  window_->pass();
  EXPECT_EQ(controls().inputMode, IoDefinitions::kInputMqtt);

  const struct {
    Fl_Button* button;
    int mode;
  } cases[] = {{inputs.localButton, IoDefinitions::kInputLocalState},
               {inputs.multicastButton, IoDefinitions::kInputMulticast}};
  for (const auto& c : cases) {
    click(ui().inputModeButton);
    click(c.button);
    window_->pass();
    EXPECT_EQ(controls().inputMode, c.mode) << c.button->label();
    EXPECT_FALSE(ui().inputModeButton->value()) << c.button->label();
    EXPECT_TRUE(c.button->value()) << c.button->label();
  }
}

// Confirming a field applies its group; a port out of bounds and an empty topic prefix are
// brought back to sound values, shown so.
TEST_F(NetworkFeedsTest, EditedFieldsReachTheEngineControls) {
  openFromMenu();
  MqttFieldsUi& out = ui().output;
  const int port = testserver::freeLoopbackPort();
  const std::string passwordFile = temp_.path("mqtt.pw");
  out.host->value("localhost");
  out.port->value(port);
  out.topic->value("site/a");
  out.user->value("tracker");
  out.passwordFile->value(passwordFile.c_str());
  out.caFile->value("ca.pem");
  window_->pass();
  EXPECT_EQ(controls().mqttOutputSettings.host, "");  // typed, not confirmed yet
  out.caFile->do_callback();
  window_->pass();
  EXPECT_EQ(textOf(controls().mqttOutputSettings),
            "localhost|" + std::to_string(port) + "|site/a|tracker|" + passwordFile + "|ca.pem");
  EXPECT_FALSE(controls().mqttOutput);
  click(ui().publishButton);
  window_->pass();
  EXPECT_TRUE(controls().mqttOutput);

  const struct {
    double typed;
    int taken;
  } ports[] = {{0, 1}, {70000, NetworkFeedsWindowUi::kMaxPort}, {-3, 1}, {8883.4, 8883}};
  for (const auto& p : ports) {
    ui().input.port->value(p.typed);
    ui().input.port->do_callback();
    window_->pass();
    EXPECT_EQ(controls().mqttInput.port, p.taken) << p.typed;
    EXPECT_EQ(ui().input.port->value(), p.taken) << p.typed;
  }
  ui().input.topic->value("");
  ui().input.topic->do_callback();
  window_->pass();
  EXPECT_EQ(controls().mqttInput.topic, MqttSettings::kDefaultTopic);
  EXPECT_STREQ(ui().input.topic->value(), MqttSettings::kDefaultTopic);
}

// The menu opens the window. The broker not there, then up, stopping and back: the tracker goes
// on and the output's status line says what the engine says, refreshed while the window is shown.
TEST_F(NetworkFeedsTest, MenuOpensTheWindowWhoseStatusLineFollowsTheBroker) {
  EXPECT_FALSE(ui().window->shown());
  openFromMenu();
  EXPECT_STREQ(ui().window->label(), "Network feeds");
  EXPECT_EQ(labelOf(ui().output.status), "off");
  EXPECT_EQ(labelOf(ui().input.status), "off");
  EXPECT_EQ(textOf(ui().output), "|1883|halvex|||");
  MqttFieldsUi& out = ui().output;
  const auto showsStatus = [&](const std::string& part) {
    return waitUntil(
        [&] {
          window_->pass();
          const std::string shown = labelOf(out.status);
          return shown.find(part) != std::string::npos &&
                 shown == window_->engine().mqttOutputStatus();
        },
        15.0);
  };
  const auto publishTo = [&](int port) {
    out.host->value("127.0.0.1");
    out.port->value(port);
    out.port->do_callback();
  };
  publishTo(testserver::freeLoopbackPort());
  click(ui().publishButton);
  EXPECT_TRUE(showsStatus("cannot reach")) << labelOf(out.status);

  testserver::MqttBroker broker;
  ASSERT_TRUE(broker.start());
  publishTo(broker.port());
  EXPECT_TRUE(showsStatus("connected to")) << labelOf(out.status);
  broker.stop();
  EXPECT_TRUE(showsStatus("retrying")) << labelOf(out.status);
  ASSERT_TRUE(broker.start());
  EXPECT_TRUE(showsStatus("connected to")) << labelOf(out.status);
  ui().window->do_callback();  // what the window manager's close does
  EXPECT_FALSE(ui().window->shown());
}

// The CoT and GeoJSON lines fill the right column; its fields reach the engine, bounded; the CoT
// and MQTT input buttons exclude each other under real clicks; the GeoJSON feed's status line
// says what it writes.
TEST_F(NetworkFeedsTest, CotAndGeoJsonSectionsReachTheEngine) {
  const std::string feed = temp_.path("feed.geojson");
  window_->model().readIoDefinitions(
      temp_.write("io.txt",
                  "Active Input COT\nInput CotGroup 239.2.3.9\nInput CotPort 7001\n"
                  "Input CotTcp 127.0.0.1:1\nActive Output COT\nOutput CotPort 7002\n"
                  "Output CotTtl 3\nOutput CotSite ops1\nActive Output GEOJSON\n"
                  "Output GeoJsonFile " +
                      feed + "\n"));
  CotOutputUi& out = ui().cotOutput;
  CotInputUi& in = ui().cotInput;
  EXPECT_TRUE(in.inputModeButton->value());
  EXPECT_FALSE(ui().inputModeButton->value());
  EXPECT_STREQ(in.tcp->value(), "127.0.0.1:1");
  EXPECT_TRUE(out.sendButton->value());
  EXPECT_STREQ(out.group->value(), CotSettings::kDefaultGroup);
  EXPECT_STREQ(out.type->value(), CotSettings::kDefaultType);
  window_->pass();
  EXPECT_EQ(controls().inputMode, IoDefinitions::kInputCot);
  EXPECT_EQ(controls().cotInput.group + ":" + std::to_string(controls().cotInput.port),
            "239.2.3.9:7001");
  EXPECT_EQ(
      controls().cotOutputSettings.site + "/" + std::to_string(controls().cotOutputSettings.ttl),
      "ops1/3");
  EXPECT_TRUE(controls().geoJsonOutput);
  EXPECT_EQ(controls().geoJsonPath, feed);

  openFromMenu();
  out.ttl->value(300);
  out.type->value("");
  out.type->do_callback();
  window_->pass();
  EXPECT_EQ(controls().cotOutputSettings.ttl, NetworkFeedsWindowUi::kMaxTtl);
  EXPECT_EQ(controls().cotOutputSettings.type, CotSettings::kDefaultType);
  EXPECT_EQ(out.ttl->value(), NetworkFeedsWindowUi::kMaxTtl);

  click(ui().inputModeButton);
  EXPECT_FALSE(in.inputModeButton->value());
  window_->pass();
  EXPECT_EQ(controls().inputMode, IoDefinitions::kInputMqtt);
  click(in.inputModeButton);
  EXPECT_FALSE(ui().inputModeButton->value());
  window_->pass();
  EXPECT_EQ(controls().inputMode, IoDefinitions::kInputCot);

  EXPECT_TRUE(waitUntil([&] {
    window_->pass();
    return labelOf(ui().geoJson.status).rfind("writing " + feed, 0) == 0;
  })) << labelOf(ui().geoJson.status);
  click(ui().geoJson.writeButton);
  window_->pass();
  EXPECT_FALSE(controls().geoJsonOutput);
}

}  // namespace
