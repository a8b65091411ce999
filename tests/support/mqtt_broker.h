// A real MQTT broker (mosquitto) for the tests and benchmarks: a child process listening on a
// free port of 127.0.0.1 with a configuration of its own in a scratch folder, never the
// system's broker. It can be stopped and started again on the same port, made to require a
// user name and password, and given more configuration lines (a bridge to another broker).
#pragma once

#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/loopback_servers.h"
#include "tests/support/scratch_dir.h"

namespace testserver {

class MqttBroker {
 public:
  static constexpr int kAttempts = 5;         ///< Ports tried when another process takes one first.
  static constexpr int kStartWaitMs = 10000;  ///< Longest wait for the broker to accept.

  /// Configures a broker; `extraConfig` lines are added to its configuration file as they are.
  /// Nothing runs before start().
  explicit MqttBroker(std::string extraConfig = std::string())
      : extraConfig_(std::move(extraConfig)) {}
  ~MqttBroker() { stop(); }
  MqttBroker(const MqttBroker&) = delete;
  MqttBroker& operator=(const MqttBroker&) = delete;

  /// Only `user` with `password` may connect from the next start() on (mosquitto_passwd makes
  /// the password file). False when the file could not be made.
  bool requirePassword(const std::string& user, const std::string& password) {
    passwordFile_ = dir_.path("passwords");
    ChildProcess tool({"mosquitto_passwd", "-b", "-c", passwordFile_, user, password});
    return tool.wait() == 0;
  }

  /// Starts the broker: on a free port the first time, on the same port after stop(). True
  /// once it accepts connections.
  bool start() {
    const bool samePort = port_ != 0;
    for (int attempt = 0; attempt < (samePort ? 1 : kAttempts); ++attempt) {
      const int port = samePort ? port_ : freeLoopbackPort();
      const std::string config = dir_.write("mosquitto.conf", configText(port));
      process_ =
          std::make_unique<ChildProcess>(std::vector<std::string>{"mosquitto", "-c", config});
      const auto deadline =
          std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartWaitMs);
      while (process_->running() && std::chrono::steady_clock::now() < deadline) {
        if (accepts(port)) {
          port_ = port;
          return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      process_.reset();
    }
    return false;
  }

  /// Stops the broker (SIGTERM, then waits for it); the port stays its own for start().
  void stop() {
    if (process_ != nullptr) process_->terminate();
    process_.reset();
  }

  /// Its port on 127.0.0.1, 0 before the first start().
  int port() const { return port_; }
  /// Its process id while it runs, -1 otherwise.
  pid_t pid() const { return process_ != nullptr ? process_->pid() : -1; }
  /// Whether it was started and has not ended.
  bool running() const { return process_ != nullptr && process_->running(); }

 private:
  std::string configText(int port) const {
    std::string text = "listener " + std::to_string(port) + " 127.0.0.1\n";
    text += "persistence false\n";
    text += "log_dest none\n";
    // Run as root, the broker would switch to the mosquitto user and lose the scratch folder.
    const passwd* me = ::getpwuid(::getuid());
    if (me != nullptr) text += std::string("user ") + me->pw_name + "\n";
    if (passwordFile_.empty()) {
      text += "allow_anonymous true\n";
    } else {
      text += "allow_anonymous false\npassword_file " + passwordFile_ + "\n";
    }
    return text + extraConfig_;
  }

  ScratchDir dir_;
  std::string extraConfig_;
  std::string passwordFile_;
  std::unique_ptr<ChildProcess> process_;
  int port_ = 0;
};

}  // namespace testserver
