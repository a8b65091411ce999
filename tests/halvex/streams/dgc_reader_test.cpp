#include "halvex/streams/dgc_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "halvex/tracking/ring_marker.h"

namespace {

/// Records what the reader hands over; owns the markers as a node table does.
class Recorder : public DgcHandler {
 public:
  ~Recorder() override { DlinkList::deleteAll(head); }
  void stateRecord(char* line) override { records.push_back(line); }
  void clearMarkers() override {
    DlinkList::deleteAll(head);
    tail = nullptr;
    ++clears;
  }
  void addMarker(RingMarker* marker) override { marker->appendTo(head, tail, 0); }
  int markerCount() const {
    int n = 0;
    for (DlinkList* e = head; e != nullptr; e = e->next()) ++n;
    return n;
  }

  std::vector<std::string> records;
  DlinkList* head = nullptr;
  DlinkList* tail = nullptr;
  int clears = 0;
};

void feed(const std::string& text, DgcSectionReader& reader) {
  readDgcText(text.data(), text.size(), reader);
}

const char kMarkers[] =
    "<irq1>\n<INDEX id=\"5\" time=\"x\">\n$1,2,3,0,0,0*\n$4,5,6,0,0,0*\nnot a marker\n</irq1>\n";

TEST(DgcReader, ReadsTheFirstSectionOnly) {
  Recorder r;
  MarkerIndex index;
  DgcSectionReader reader(r, index);
  feed("junk\n<DGC>\n\n$007,1,2,3,4,0,0.125,a,b,c*\nnoise\n</DgC>\n$008*\n" + std::string(kMarkers),
       reader);
  ASSERT_EQ(r.records.size(), 2u);  // the empty line is skipped
  EXPECT_EQ(r.records[0], "$007,1,2,3,4,0,0.125,a,b,c*\n");
  EXPECT_EQ(r.markerCount(), 0);
}

TEST(DgcReader, ClosingTagLengthDependsOnTheSource) {
  Recorder file, body;
  MarkerIndex index;
  DgcSectionReader fileReader(file, index), bodyReader(body, index, DgcSource::kHttpBody);
  const std::string text = "<dgc>\n$1*\n</dgcX\n$2*\n</dgc>\n$3*\n";
  feed(text, fileReader);
  feed(text, bodyReader);
  EXPECT_EQ(file.records.size(), 1u);
  EXPECT_EQ(body.records.size(), 3u);
}

TEST(DgcReader, SameIndexKeepsTheMarkers) {
  Recorder r;
  MarkerIndex index;  // one for the whole program, as the node table keeps it
  DgcSectionReader reader(r, index);
  feed(kMarkers, reader);
  EXPECT_EQ(r.markerCount(), 2);
  const DlinkList* first = r.head;
  feed(kMarkers, reader);
  EXPECT_EQ(r.head, first);
  EXPECT_EQ(r.clears, 1);
  feed("<IRQ1>\n<INDEX id=\"6\">\n$7,8,9,0,0,0\n</irq1>\n", reader);
  EXPECT_EQ(r.markerCount(), 1);
  EXPECT_EQ(index.last, 6);
}

TEST(DgcReader, UnreadableIndexReusesTheLastOne) {
  Recorder r;
  MarkerIndex index;
  DgcSectionReader reader(r, index);
  const std::string text = "<irq2>\n<index id=\"3\">\n$1,2,3,4,0,0,0*\n</irq2>\n";
  feed(text, reader);  // parsed stays 0, which differs from -1: read
  EXPECT_EQ(index.last, 0);
  EXPECT_EQ(r.markerCount(), 1);
  feed(text, reader);  // 0 again: kept
  EXPECT_EQ(r.clears, 1);
  feed("<irq2>\n<INDEXid=\"9\"\n</irq2>\n", reader);  // the pattern's blank matches none
  EXPECT_EQ(index.last, 9);
  MarkerIndex fresh;  // a new index per read always rebuilds
  DgcSectionReader elementReader(r, fresh);
  feed(text, elementReader);
  EXPECT_EQ(r.clears, 3);
}

TEST(DgcReader, ReadsFilesInLinePieces) {
  Recorder r;
  MarkerIndex index;
  DgcSectionReader reader(r, index);
  EXPECT_FALSE(readDgcFile("", reader));
  EXPECT_FALSE(readDgcFile(nullptr, reader));
  EXPECT_FALSE(readDgcFile("/nonexistent/state.txt", reader));

  // A line longer than 2047 characters arrives in pieces; a line feed alone after a full
  // piece is an empty line and skipped; the last line needs no line feed.
  const std::string text = "<dgc>\n" + std::string(3000, 'a') + "\n" +
                           std::string(kDgcMaxLine, 'b') + "\n" + std::string(20000, '$') +
                           "\nlast";
  char path[] = "/tmp/dgc_reader_test_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  EXPECT_TRUE(readDgcFile(path, reader));
  std::remove(path);
  ASSERT_EQ(r.records.size(), 14u);
  EXPECT_EQ(r.records[0], std::string(kDgcMaxLine, 'a'));
  EXPECT_EQ(r.records[1], std::string(3000 - kDgcMaxLine, 'a') + "\n");
  EXPECT_EQ(r.records[2], std::string(kDgcMaxLine, 'b'));
  EXPECT_EQ(r.records[3].size(), static_cast<size_t>(kDgcMaxLine));
  EXPECT_EQ(r.records[13], "last");
}

}  // namespace
