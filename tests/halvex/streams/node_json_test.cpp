// The node state message: written and read back, and a table of messages the reader refuses
// (or takes) with the reason it gives. Every message is read from a heap copy of its exact size,
// so that a sanitizer build catches a read past its end.
#include "halvex/streams/node_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

namespace {

NodeJsonError readExact(const std::string& message, NodeState& state) {
  std::unique_ptr<char[]> copy(new char[message.size() + 1]);
  message.copy(copy.get(), message.size());
  return readNodeStateJson(copy.get(), message.size(), state);
}

const std::string kHead = R"({"id":7,"lat":32.5,"lon":-117.25,"time":"2026-12-11T09:30:15.250Z")";

TEST(NodeJson, WrittenMessagesReadBackWhole) {
  NodeState sent;
  sent.id = 65535;
  sent.name = "Patrol \"2\" \\ \xC3\xA9t\xC3\xA9 \xF0\x9F\x9A\x93";
  sent.latitude = -89.123456789;
  sent.longitude = 179.987654321;
  sent.timeMs = 1797154215250;
  sent.status = 1;
  sent.age = 0.4;
  sent.comment1 = "north\tgate\n";
  sent.comment2 = "";
  sent.source = "halvex-ops1-4711-9f3a";
  sent.sentMs = 1797154215312;
  const std::string json = nodeStateJson(sent);
  EXPECT_NE(json.find(R"("lat":-89.123456789,"lon":179.987654321,)"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("time":"2026-12-13T09:30:15.250Z","status":"idle","age":0.4,)"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("comment1":"north\tgate\n")"), std::string::npos) << json;

  NodeState got;
  ASSERT_EQ(readExact(json, got), NodeJsonError::kNone) << json;
  EXPECT_EQ(got.id, sent.id);
  EXPECT_EQ(got.name, sent.name);
  EXPECT_DOUBLE_EQ(got.latitude, sent.latitude);
  EXPECT_DOUBLE_EQ(got.longitude, sent.longitude);
  EXPECT_EQ(got.timeMs, sent.timeMs);
  EXPECT_EQ(got.status, 1);
  EXPECT_DOUBLE_EQ(got.age, 0.4);
  EXPECT_EQ(got.comment1, "north gate ");  // control characters read as blanks
  EXPECT_EQ(got.source, sent.source);
  EXPECT_EQ(got.sentMs, sent.sentMs);

  // Bytes that are not UTF-8 are written as U+FFFD; no "sent" when 0; non-finite numbers as
  // null, which the reader refuses rather than taking a made-up position.
  sent.name = "bad \xFF byte";
  sent.sentMs = 0;
  ASSERT_EQ(readExact(nodeStateJson(sent), got), NodeJsonError::kNone);
  EXPECT_EQ(got.name, "bad \xEF\xBF\xBD byte");
  EXPECT_EQ(nodeStateJson(sent).find("sent"), std::string::npos);
  sent.latitude = std::nan("");
  EXPECT_EQ(readExact(nodeStateJson(sent), got), NodeJsonError::kWrongType);
}

TEST(NodeJson, MessagesAreTakenOrRefusedWithTheirReason) {
  std::string padded = kHead + "}";
  padded.insert(1, kNodeJsonMaxBytes - padded.size(), ' ');
  const struct {
    std::string message;
    NodeJsonError error;
  } kCases[] = {
      {kHead + "}", NodeJsonError::kNone},
      {padded, NodeJsonError::kNone},
      {padded + " ", NodeJsonError::kTooLarge},
      {kHead + R"(,"name":"\u00e9\ud83d\ude00\/")" + "}", NodeJsonError::kNone},
      {kHead + R"(,"x":{"y":[1,-2.5e3,{"z":null}],"w":true},"big":1e999})", NodeJsonError::kNone},
      {kHead + R"(,"x":[[[[[[[[[1]]]]]]]]]})", NodeJsonError::kMalformed},  // nested too deep
      {"", NodeJsonError::kMalformed},
      {"[]", NodeJsonError::kMalformed},
      {kHead, NodeJsonError::kMalformed},
      {kHead + "}x", NodeJsonError::kMalformed},
      {kHead + R"(,"id":8})", NodeJsonError::kMalformed},  // given twice
      {kHead + R"(,"name":"\x"})", NodeJsonError::kMalformed},
      {kHead + R"(,"name":"\ud800"})", NodeJsonError::kMalformed},
      {kHead + R"(,"name":"\udc00\ud800"})", NodeJsonError::kMalformed},
      {kHead + ",\"name\":\"\xFF\"}", NodeJsonError::kMalformed},
      {kHead + ",\"name\":\"\xC0\xAF\"}", NodeJsonError::kMalformed},      // overlong
      {kHead + ",\"name\":\"\xED\xA0\x80\"}", NodeJsonError::kMalformed},  // surrogate
      {kHead + ",\"name\":\"a\nb\"}", NodeJsonError::kMalformed},
      {kHead + R"(,"name":"open)", NodeJsonError::kMalformed},
      {kHead + R"(,"age":01})", NodeJsonError::kMalformed},
      {kHead + R"(,"age":1.})", NodeJsonError::kMalformed},
      {kHead + R"(,"age":-})", NodeJsonError::kMalformed},
      {kHead + R"(,"age":NaN})", NodeJsonError::kMalformed},
      {kHead + R"(,"name":7})", NodeJsonError::kWrongType},
      {kHead + R"(,"name":null})", NodeJsonError::kWrongType},
      {kHead + R"(,"age":"0.4"})", NodeJsonError::kWrongType},
      {kHead + R"(,"age":[1,})", NodeJsonError::kMalformed},
      {kHead + R"(,"status":"gone"})", NodeJsonError::kWrongType},
      {kHead + R"(,"sent":1.5})", NodeJsonError::kWrongType},
      {R"({"id":"7","lat":1,"lon":2,"time":"2026-12-11T09:30:15.250Z"})",
       NodeJsonError::kWrongType},
      {R"({"id":7.5,"lat":1,"lon":2,"time":"2026-12-11T09:30:15.250Z"})",
       NodeJsonError::kWrongType},
      {R"({"id":7,"lat":1,"lon":2,"time":"yesterday"})", NodeJsonError::kWrongType},
      {R"({"id":7,"lat":1,"lon":2,"time":1797154215})", NodeJsonError::kWrongType},
      {R"({"id":65536,"lat":1,"lon":2,"time":"2026-12-11T09:30:15Z"})", NodeJsonError::kNotFinite},
      {R"({"id":-1,"lat":1,"lon":2,"time":"2026-12-11T09:30:15Z"})", NodeJsonError::kNotFinite},
      {R"({"id":7,"lat":90.5,"lon":2,"time":"2026-12-11T09:30:15Z"})", NodeJsonError::kNotFinite},
      {R"({"id":7,"lat":1e999,"lon":2,"time":"2026-12-11T09:30:15Z"})", NodeJsonError::kNotFinite},
      {R"({"id":7,"lat":1,"lon":-180.5,"time":"2026-12-11T09:30:15Z"})", NodeJsonError::kNotFinite},
      {kHead + R"(,"age":-1e400})", NodeJsonError::kNotFinite},
      {kHead + R"(,"age":4.8e40})", NodeJsonError::kNotFinite},  // past what the writer prints
      {R"({"id":7,"lat":1,"lon":2})", NodeJsonError::kMissing},
      {R"({"lat":1,"lon":2,"time":"2026-12-11T09:30:15Z","name":"x"})", NodeJsonError::kMissing},
      {"{ }", NodeJsonError::kMissing},
  };
  for (const auto& c : kCases) {
    NodeState state;
    state.name = "unchanged";
    const NodeJsonError error = readExact(c.message, state);
    EXPECT_EQ(nodeJsonErrorWord(error), std::string(nodeJsonErrorWord(c.error)))
        << c.message.substr(0, 200);
    if (error != NodeJsonError::kNone) {
      EXPECT_EQ(state.name, "unchanged");
    }
  }
  NodeState state;
  ASSERT_EQ(readExact(kHead + R"(,"name":"\u00e9\ud83d\ude00\/"})", state), NodeJsonError::kNone);
  EXPECT_EQ(state.name, "\xC3\xA9\xF0\x9F\x98\x80/");
}

}  // namespace
