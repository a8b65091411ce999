// Cursor on Target events: written and read back, an event as handheld clients write it, a table
// of events the reader refuses with its reason, and a stream cut into events whatever pieces it
// comes in. Events are read from heap copies of their exact size, so that a sanitizer build
// catches a read past the end.
#include "halvex/streams/cot_event.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

CotError readExact(const std::string& xml, CotEvent& event) {
  std::unique_ptr<char[]> copy(new char[xml.size()]);
  xml.copy(copy.get(), xml.size());
  return readCotEvent(copy.get(), xml.size(), event);
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

const std::string kPlain =
    R"(<event version="2.0" uid="u1" type="a-f-G" time="2026-12-11T09:30:15Z" )"
    R"(start="2026-12-11T09:30:15Z" stale="2026-12-11T09:31:15Z"><point lat="32.5" )"
    R"(lon="-117.25" hae="9999999.0" ce="9999999.0" le="9999999.0"/><detail/></event>)";

TEST(CotEvent, WrittenEventsReadBackWhole) {
  CotEvent sent;
  sent.uid = "halvex.ops1.7";
  sent.type = "a-f-G-E-V";
  sent.timeMs = 1797154215250;
  sent.startMs = sent.timeMs;
  sent.staleMs = sent.timeMs + 60000;
  sent.latitude = -89.123456789;
  sent.longitude = 179.987654321;
  sent.hae = 123.456;
  sent.ce = 4.5;
  sent.callsign = "Patrol \"2\" <&'> \xC3\xA9t\xC3\xA9";
  sent.remarks = "moving;\tfuel\nlow ]]> &amp;";
  sent.hasTrack = true;
  sent.course = 87.5;
  sent.speed = 12.3;
  const std::string xml = cotEventXml(sent);
  EXPECT_EQ(xml.find('\n'), std::string::npos);
  for (const char* piece :
       {R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><event version="2.0" )"
        R"(uid="halvex.ops1.7" type="a-f-G-E-V" how="m-g" time="2026-12-13T09:30:15.250Z" )"
        R"(start="2026-12-13T09:30:15.250Z" stale="2026-12-13T09:31:15.250Z"><point )"
        R"(lat="-89.123456789" lon="179.987654321" hae="123.456" ce="4.5" le="9999999.0"/>)",
        R"(<track course="87.5" speed="12.3"/></detail></event>)"}) {
    EXPECT_NE(xml.find(piece), std::string::npos) << xml;
  }

  // Read back, it is the same event (written the same) but for the control characters of the
  // remarks, read as blanks.
  CotEvent got;
  ASSERT_EQ(readExact(xml, got), CotError::kNone) << xml;
  EXPECT_EQ(got.remarks, "moving; fuel low ]]> &amp;");
  got.remarks = sent.remarks;
  EXPECT_EQ(cotEventXml(got), xml);

  // Without contact, remarks and a finite track none is written; a height that is not a number
  // as unknown; a missing how reads as empty; texts are cut at a character boundary.
  sent.callsign.clear();
  sent.remarks.clear();
  sent.course = std::nan("");
  sent.hae = std::nan("");
  sent.uid.clear();
  for (int i = 0; i < 2000; ++i) sent.uid += "\xE2\x82\xAC";  // the euro sign, 3 bytes
  const std::string bare = replaced(cotEventXml(sent), R"( how="m-g")", "");
  EXPECT_NE(bare.find("<detail></detail>"), std::string::npos) << bare;
  ASSERT_EQ(readExact(bare, got), CotError::kNone);
  EXPECT_EQ(got.how, "");
  EXPECT_EQ(got.uid, sent.uid.substr(0, 1023));
  EXPECT_TRUE(got.callsign.empty() && got.remarks.empty() && !got.hasTrack);
  EXPECT_EQ(got.hae, kCotUnknown);
}

TEST(CotEvent, ClientEventsWithTheirExtraDetailRead) {
  static const char kXml[] =
      "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\n"
      "<event version='2.0' uid='ANDROID-358123456789012' type='a-f-G-U-C' "
      "time='2026-12-11T09:30:15.250Z' start='2026-12-11T09:30:15.250Z' "
      "stale='2026-12-11T09:36:15.250Z' how='h-e'>"
      "<point lat='32.781234567' lon='-116.980012345' hae='143.2' ce='9.9' le='9999999.0'/>"
      "<detail><takv os='34' version='5.1.0' device='PHONE X2' platform='Handheld'/>"
      "<contact endpoint='*:-1:stcp' callsign='Patrol 2'/><uid Droid='Patrol 2'/>"
      "<precisionlocation altsrc='GPS' geopointsrc='GPS'/>"
      "<__group role='Team Member' name='Cyan'/><status battery='78'/>"
      "<track course='87.5' speed='0.0'/><link uid='x' type='a-f-G' relation='p-p'>"
      "<point lat='1' lon='2'/><remarks>not these</remarks></link>"
      "<usericon iconsetpath='icons/a-f-G'/><color argb='-1'/><archive/>"
      "<remarks source='client'>moving;\r\n fuel &amp; <![CDATA[water <low>]]></remarks>"
      "</detail></event>\n\0\0";
  CotEvent got;
  ASSERT_EQ(readExact(std::string(kXml, sizeof kXml - 1), got), CotError::kNone);
  EXPECT_EQ(got.uid, "ANDROID-358123456789012");
  EXPECT_EQ(got.type, "a-f-G-U-C");
  EXPECT_EQ(got.how, "h-e");
  EXPECT_EQ(got.staleMs - got.timeMs, 360000);
  EXPECT_DOUBLE_EQ(got.latitude, 32.781234567);
  EXPECT_DOUBLE_EQ(got.longitude, -116.980012345);
  EXPECT_DOUBLE_EQ(got.hae, 143.2);
  EXPECT_EQ(got.callsign, "Patrol 2");
  EXPECT_EQ(got.remarks, "moving;  fuel & water <low>");
  EXPECT_TRUE(got.hasTrack);
  EXPECT_DOUBLE_EQ(got.course, 87.5);
}

TEST(CotEvent, EventsAreTakenOrRefusedWithTheirReason) {
  std::string padded = replaced(kPlain, "<detail/>", "<detail><remarks></remarks></detail>");
  padded.insert(padded.find("</remarks>"), kCotMaxBytes - padded.size(), 'x');
  const std::string laughs =
      "<!DOCTYPE event [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>";
  const struct {
    std::string xml;
    CotError error;
  } kCases[] = {
      {kPlain, CotError::kNone},
      {padded, CotError::kNone},
      {padded + " ", CotError::kTooLarge},
      {"<?xml version=\"1.0\"?>\n<!-- x -->" + kPlain + std::string("\r\n\t \0\0", 6),
       CotError::kNone},
      {replaced(kPlain, "<detail/>", "<detail><a b='1'><c><d/></c>t</a><e/></detail><f/>"),
       CotError::kNone},
      {replaced(kPlain, " le=", " x=\"nan\" le="), CotError::kNone},  // unknown attribute
      {laughs + replaced(kPlain, "u1", "&b;"), CotError::kMalformed},
      {"<!DOCTYPE event SYSTEM \"file:///etc/passwd\">" + kPlain, CotError::kMalformed},
      {"<!DOCTYPE event [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" +
           replaced(kPlain, "u1", "&x;"),
       CotError::kMalformed},
      {replaced(kPlain, "u1", "&nbsp;"), CotError::kMalformed},  // undeclared entity
      {"", CotError::kMalformed},
      {kPlain + "<event/>", CotError::kMalformed},
      {kPlain + "junk", CotError::kMalformed},
      {kPlain.substr(0, kPlain.size() - 3), CotError::kMalformed},
      {replaced(kPlain, "u1", "u\xFF"), CotError::kMalformed},  // not UTF-8
      {"<point lat='1' lon='2'/>", CotError::kMalformed},
      {replaced(kPlain, "uid=\"u1\"", ""), CotError::kMissing},
      {replaced(kPlain, "uid=\"u1\"", "uid=\"\""), CotError::kMissing},
      {replaced(kPlain, "type=\"a-f-G\"", ""), CotError::kMissing},
      {replaced(kPlain, "stale=\"2026-12-11T09:31:15Z\"", ""), CotError::kMissing},
      {replaced(kPlain, "lon=\"-117.25\"", ""), CotError::kMissing},
      {replaced(replaced(kPlain, "<point", "<detail><point"), "/><detail/>", "/></detail>"),
       CotError::kMissing},  // a point elsewhere is not the event's
      {replaced(kPlain, "T09:30:15Z\" start", "T09:30:15Zx\" start"), CotError::kBadTime},
      {replaced(kPlain, "2026-12-11T09:31", "2026-02-30T09:31"), CotError::kBadTime},
      {replaced(kPlain, "32.5", "91"), CotError::kNotFinite},
      {replaced(kPlain, "-117.25", "-180.5"), CotError::kNotFinite},
      {replaced(kPlain, "32.5", "NaN"), CotError::kNotFinite},
      {replaced(kPlain, "32.5", "32,5"), CotError::kNotFinite},
      {replaced(kPlain, "hae=\"9999999.0\"", "hae=\"1e999\""), CotError::kNotFinite},
      {replaced(kPlain, "<detail/>", "<detail><track course='inf' speed='1'/></detail>"),
       CotError::kNotFinite},
  };
  for (const auto& c : kCases) {
    CotEvent event;
    event.uid = "kept";
    EXPECT_EQ(readExact(c.xml, event), c.error) << c.xml.substr(0, 300);
    if (c.error != CotError::kNone) {
      EXPECT_EQ(event.uid, "kept");
    }
  }
}

TEST(CotEvent, StreamsAreCutIntoEventsWhateverPiecesTheyComeIn) {
  const std::string e1 = kPlain;
  const std::string e2 = replaced(kPlain, "u1", "u2");
  const std::string e3 = replaced(replaced(kPlain, "u1", "u3"), "</event>", "</event \n>");
  const std::string cutShort = replaced(kPlain, "u1", "u4").substr(0, 150);
  std::string big = replaced(kPlain, "<detail/>", "<detail><remarks></remarks></detail>");
  big.insert(big.find("</remarks>"), 70000, ' ');
  const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  const std::string stream = decl + e1 + "\r\n" + "junk<eventually/></event>" + decl + "\n" + e2 +
                             cutShort + e3 + "\n" + big + decl + e1 + "\n";

  for (size_t piece : {size_t{1}, size_t{7}, size_t{100000}, stream.size()}) {
    CotStreamSplitter splitter;
    std::vector<std::string> events;
    size_t mostBuffered = 0;
    for (size_t at = 0; at < stream.size(); at += piece) {
      splitter.feed(
          stream.data() + at, std::min(piece, stream.size() - at),
          [&events](const char* data, size_t bytes) { events.emplace_back(data, bytes); });
      mostBuffered = std::max(mostBuffered, splitter.buffered());
    }
    SCOPED_TRACE(piece);
    const std::vector<std::string> expected = {e1, e2, cutShort, e3, e1};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(splitter.oversized(), 1);
    EXPECT_LE(mostBuffered, 2 * kCotMaxBytes);
    CotEvent event;
    if (events.size() == expected.size()) {
      EXPECT_EQ(readExact(events[2], event), CotError::kMalformed);
      ASSERT_EQ(readExact(events[3], event), CotError::kNone);
      EXPECT_EQ(event.uid, "u3");
    }
  }

  // Junk without end holds a few bytes only.
  CotStreamSplitter splitter;
  const std::string junk(5 * kCotMaxBytes, 'j');
  splitter.feed(junk.data(), junk.size(), [](const char*, size_t) { ADD_FAILURE(); });
  EXPECT_LT(splitter.buffered(), 8u);
}

}  // namespace
