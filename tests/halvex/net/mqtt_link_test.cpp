// MqttLink against real mosquitto brokers started on free ports of 127.0.0.1: retained messages
// at QoS 1, a broker that comes up late, one that restarts (reconnection, subscriptions made
// again, the outage said once), user names with password files, and TLS.
#include "halvex/net/mqtt_link.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/mqtt_broker.h"
#include "tests/support/scratch_dir.h"

namespace {

using testserver::MqttBroker;

/// Longest wait for anything the broker or the link does, s: well past the back-off of the
/// retries the tests cause (1 s, then 2 s).
constexpr double kWaitSeconds = 15;

bool waitFor(const std::function<bool()>& done) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(kWaitSeconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

/// The messages a link received, as "TOPIC=PAYLOAD".
class Inbox {
 public:
  MqttLink::MessageHandler handler() {
    return [this](const char* topic, const void* payload, int bytes) {
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.push_back(std::string(topic) + "=" +
                          std::string(static_cast<const char*>(payload), bytes));
    };
  }
  bool has(const std::string& message) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& m : messages_) {
      if (m == message) return true;
    }
    return false;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> messages_;
};

MqttSettings at(int port) {
  MqttSettings settings;
  settings.host = "127.0.0.1";
  settings.port = port;
  return settings;
}

/// Standard error of this process, sent to a file while it lives.
class StderrCapture {
 public:
  StderrCapture() : saved_(::dup(STDERR_FILENO)) {
    const int fd = ::open(dir_.path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
  }
  ~StderrCapture() { restore(); }
  /// Gives standard error back and returns what was written to it.
  std::string restore() {
    if (saved_ >= 0) {
      ::dup2(saved_, STDERR_FILENO);
      ::close(saved_);
      saved_ = -1;
    }
    return dir_.read("err");
  }

 private:
  ScratchDir dir_;
  int saved_;
};

int count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(MqttLink, RetainedQos1MessagesReachLaterSubscribers) {
  MqttBroker broker;
  ASSERT_TRUE(broker.start());
  MqttLink publisher(MqttLink::uniqueClientId("pub"));
  std::string error;
  ASSERT_TRUE(publisher.start(at(broker.port()), &error)) << error;
  ASSERT_TRUE(waitFor([&] { return publisher.connected(); })) << publisher.status();
  EXPECT_EQ(publisher.status(), "connected to 127.0.0.1:" + std::to_string(broker.port()));
  ASSERT_TRUE(publisher.publish("site/nodes/7", "{\"id\":7}", 1, true));

  Inbox inbox;
  MqttLink subscriber(MqttLink::uniqueClientId("sub"));
  subscriber.setMessageHandler(inbox.handler());
  subscriber.subscribe("site/nodes/+", 1);
  ASSERT_TRUE(subscriber.start(at(broker.port()), &error)) << error;
  EXPECT_TRUE(waitFor([&] { return inbox.has("site/nodes/7={\"id\":7}"); }));

  // Live messages too, and nothing once stopped.
  ASSERT_TRUE(publisher.publish("site/nodes/8", "eight", 1, false));
  EXPECT_TRUE(waitFor([&] { return inbox.has("site/nodes/8=eight"); }));
  publisher.stop();
  EXPECT_EQ(publisher.status(), "stopped");
  EXPECT_FALSE(publisher.publish("site/nodes/8", "late", 1, false));
  EXPECT_EQ(subscriber.disconnects(), 0);
}

TEST(MqttLink, WaitsForALateBrokerAndComesBackAfterARestart) {
  MqttBroker broker;
  ASSERT_TRUE(broker.start());
  broker.stop();  // the port is known, nothing listens on it
  const std::string where = "127.0.0.1:" + std::to_string(broker.port());

  StderrCapture capture;
  Inbox inbox;
  std::atomic<int> connects{0};
  MqttLink subscriber(MqttLink::uniqueClientId("sub"));
  subscriber.setName("input");
  subscriber.setMessageHandler(inbox.handler());
  subscriber.setConnectHandler([&connects] { ++connects; });
  subscriber.subscribe("site/#", 1);
  MqttLink publisher(MqttLink::uniqueClientId("pub"));
  publisher.setName("output");
  std::string error;
  ASSERT_TRUE(subscriber.start(at(broker.port()), &error)) << error;
  ASSERT_TRUE(publisher.start(at(broker.port()), &error)) << error;
  EXPECT_TRUE(waitFor([&] { return subscriber.status().rfind("cannot reach " + where, 0) == 0; }))
      << subscriber.status();
  EXPECT_FALSE(publisher.publish("site/a", "lost", 1, false));

  ASSERT_TRUE(broker.start());
  ASSERT_TRUE(waitFor([&] { return subscriber.connected() && publisher.connected(); }));
  EXPECT_EQ(connects, 1);
  ASSERT_TRUE(publisher.publish("site/a", "first", 1, false));
  EXPECT_TRUE(waitFor([&] { return inbox.has("site/a=first"); }));

  // Down long enough for a retry to fail, then back on the same port: the retained message is
  // gone with the broker, so what arrives proves the subscription was made again. Another
  // thread publishes all along, as an output does while the link reconnects.
  std::atomic<bool> done{false};
  std::thread busy([&] {
    while (!done) {
      publisher.publish("other/x", "busy", 1, false);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  broker.stop();
  ASSERT_TRUE(waitFor([&] { return !subscriber.connected() && !publisher.connected(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  ASSERT_TRUE(broker.start());
  ASSERT_TRUE(waitFor([&] { return subscriber.connected() && publisher.connected(); }));
  EXPECT_EQ(connects, 2);
  EXPECT_EQ(subscriber.disconnects(), 1);
  ASSERT_TRUE(publisher.publish("site/b", "second", 1, false));
  EXPECT_TRUE(waitFor([&] { return inbox.has("site/b=second"); }));

  done = true;
  busy.join();

  // Each outage said once, however many retries it took.
  subscriber.stop();
  publisher.stop();
  const std::string said = capture.restore();
  EXPECT_EQ(count(said, "halvex: MQTT input: cannot reach " + where + " ("), 1) << said;
  EXPECT_EQ(count(said, "halvex: MQTT input: connection to " + where + " lost; retrying"), 1)
      << said;
  EXPECT_EQ(count(said, "halvex: MQTT input: connected to " + where + "\n"), 2) << said;
  EXPECT_EQ(count(said, "halvex: MQTT output:"), 4) << said;
}

TEST(MqttLink, UserAndPasswordFromAPrivateFile) {
  MqttBroker broker;
  ASSERT_TRUE(broker.requirePassword("ops", "s3cret"));
  ASSERT_TRUE(broker.start());
  ScratchDir dir;
  MqttSettings settings = at(broker.port());
  settings.user = "ops";
  settings.passwordFile = dir.write("pw", "s3cret\n");
  std::string error;

  MqttLink link(MqttLink::uniqueClientId("pw"));
  ::chmod(settings.passwordFile.c_str(), 0644);
  EXPECT_FALSE(link.start(settings, &error));
  EXPECT_EQ(error, settings.passwordFile + ": readable by others; make it mode 0600");
  ::chmod(settings.passwordFile.c_str(), 0600);
  ASSERT_TRUE(link.start(settings, &error)) << error;
  EXPECT_TRUE(waitFor([&] { return link.connected(); })) << link.status();

  // A wrong password: refused by the broker, and said so.
  settings.passwordFile = dir.write("wrong", "guess");
  ::chmod(settings.passwordFile.c_str(), 0600);
  MqttLink refused(MqttLink::uniqueClientId("pw"));
  ASSERT_TRUE(refused.start(settings, &error)) << error;
  EXPECT_TRUE(waitFor([&] { return refused.status().find("not authorised") != std::string::npos; }))
      << refused.status();
  EXPECT_FALSE(refused.connected());
}

/// Makes a certificate authority `name` (name.pem, name.key) in `dir`; with `server`, also a
/// broker certificate for 127.0.0.1 that it signed (server.pem, server.key).
bool makeAuthority(const ScratchDir& dir, const std::string& name, bool server) {
  using testsupport::ChildProcess;
  const std::vector<std::string> key = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                        "-nodes"};
  std::vector<std::string> ca = {"openssl",
                                 "req",
                                 "-x509",
                                 "-days",
                                 "2",
                                 "-subj",
                                 "/CN=" + name,
                                 "-keyout",
                                 dir.path(name + ".key"),
                                 "-out",
                                 dir.path(name + ".pem")};
  ca.insert(ca.end(), key.begin(), key.end());
  if (ChildProcess(ca).wait() != 0) return false;
  if (!server) return true;
  std::vector<std::string> request = {"openssl", "req",
                                      "-subj",   "/CN=127.0.0.1",
                                      "-keyout", dir.path("server.key"),
                                      "-out",    dir.path("server.csr")};
  request.insert(request.end(), key.begin(), key.end());
  return ChildProcess(request).wait() == 0 &&
         ChildProcess({"openssl", "x509", "-req", "-days", "2", "-in", dir.path("server.csr"),
                       "-CA", dir.path(name + ".pem"), "-CAkey", dir.path(name + ".key"),
                       "-CAcreateserial", "-out", dir.path("server.pem"), "-extfile",
                       dir.write("san.cnf", "subjectAltName=IP:127.0.0.1\n")})
                 .wait() == 0;
}

TEST(MqttLink, TlsWithTheBrokersAuthorityOnly) {
  ScratchDir dir;
  ASSERT_TRUE(makeAuthority(dir, "exercise-ca", true));
  ASSERT_TRUE(makeAuthority(dir, "other-ca", false));
  MqttBroker broker("cafile " + dir.path("exercise-ca.pem") + "\ncertfile " +
                    dir.path("server.pem") + "\nkeyfile " + dir.path("server.key") + "\n");
  ASSERT_TRUE(broker.start());
  std::string error;
  MqttSettings settings = at(broker.port());
  settings.caFile = dir.path("exercise-ca.pem");
  MqttLink link(MqttLink::uniqueClientId("tls"));
  ASSERT_TRUE(link.start(settings, &error)) << error;
  EXPECT_TRUE(waitFor([&] { return link.connected(); })) << link.status();

  // A broker the given authority did not sign is not trusted.
  settings.caFile = dir.path("other-ca.pem");
  MqttLink doubtful(MqttLink::uniqueClientId("tls"));
  ASSERT_TRUE(doubtful.start(settings, &error)) << error;
  EXPECT_TRUE(waitFor([&] { return doubtful.status().find("cannot reach") != std::string::npos; }))
      << doubtful.status();
  EXPECT_FALSE(doubtful.connected());
}

TEST(MqttLink, SettingsThatCannotWorkAreRefusedAtStart) {
  ScratchDir dir;
  const std::string pw = dir.write("pw", "x");
  ::chmod(pw.c_str(), 0600);
  const struct {
    std::function<void(MqttSettings&)> change;
    std::string error;
  } kCases[] = {
      {[](MqttSettings& s) { s.host.clear(); }, "no broker host"},
      {[](MqttSettings& s) { s.port = 0; }, "broker port 0 is outside 1 to 65535"},
      {[](MqttSettings& s) { s.port = 65536; }, "broker port 65536 is outside 1 to 65535"},
      {[&](MqttSettings& s) { s.passwordFile = pw; }, pw + ": a password needs a user name"},
      {[&](MqttSettings& s) { s.user = "u", s.passwordFile = dir.missing(); },
       dir.missing() + ": No such file or directory"},
      {[&](MqttSettings& s) { s.caFile = dir.missing(); },
       dir.missing() + ": No such file or directory"},
  };
  for (const auto& c : kCases) {
    MqttSettings settings = at(testserver::freeLoopbackPort());
    c.change(settings);
    MqttLink link("refused");
    std::string error;
    EXPECT_FALSE(link.start(settings, &error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(link.status(), "stopped");
  }
}

TEST(MqttLink, ClientIdsAreUniqueAndShort) {
  const std::string a = MqttLink::uniqueClientId("halvex");
  EXPECT_EQ(a.rfind("halvex-", 0), 0u) << a;
  EXPECT_NE(a.find("-" + std::to_string(::getpid()) + "-"), std::string::npos) << a;
  EXPECT_NE(a, MqttLink::uniqueClientId("halvex"));
  const std::string longer = MqttLink::uniqueClientId(std::string(100, 'p').c_str());
  EXPECT_LE(longer.size(), 64u);
  EXPECT_NE(longer.find("-" + std::to_string(::getpid()) + "-"), std::string::npos) << longer;
}

}  // namespace
