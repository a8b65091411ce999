// Reader of DGC section files and bodies: text whose first section, delimited by tag lines,
// holds state records ("<dgc>" ... "</dgc>") or ring-marker records ("<irq1>" 2D or "<irq2>"
// 3D, each opened by an index line "<INDEX id="n" ...>" and closed by "</irq1>"/"</irq2>").
#pragma once

#include <cstddef>
#include <cstdio>

class RingMarker;

/// Where a reader's lines come from; HTTP bodies match the closing "</dgc>" on all six
/// characters, files on the first five.
enum class DgcSource { kFile, kHttpBody };

/// Receives what a section reader finds.
class DgcHandler {
 public:
  virtual ~DgcHandler() = default;
  /// A line of the state-record section (not yet checked); the handler may cut it in place.
  virtual void stateRecord(char* line) = 0;
  /// The marker set changed: delete every marker held so far.
  virtual void clearMarkers() = 0;
  /// A marker read from the marker section; the handler takes ownership.
  virtual void addMarker(RingMarker* marker) = 0;
};

/// The marker-set index a reader compares against: last is the index whose markers are held,
/// parsed the one read last (kept when an index line does not read).
struct MarkerIndex {
  int last = -1;
  int parsed = 0;
};

/// Line-fed reader of the first section of a DGC text. Tags are matched on a prefix without
/// regard to letter case: "<dgc>", "<irq1>", "<irq2>" and, in files, "</dgc>" on five
/// characters, "</dgc>" in HTTP bodies on six, "</irq1>" and "</irq2>" on seven. A line that
/// begins with a line feed is skipped. The line after "<irq1>"/"<irq2>" is the index line: when
/// the index it names equals the held one, reading stops and the markers stay; otherwise the
/// markers are cleared and the section's records rebuild them.
class DgcSectionReader {
 public:
  enum class State { kOutside, kStateRecords, kIndex2d, kIndex3d, kMarkers2d, kMarkers3d, kDone };

  DgcSectionReader(DgcHandler& handler, MarkerIndex& index, DgcSource source = DgcSource::kFile);
  virtual ~DgcSectionReader() = default;

  /// Takes one line (NUL-terminated, usually ending in its line feed; it may be cut in place).
  /// Returns false when the reading must stop: the section's closing tag, or an index line equal
  /// to the index whose markers are held. Once stopped, further lines are ignored until
  /// restart().
  bool feedLine(char* line);

  /// Starts over outside any section, for the next read of the file or body.
  void restart() { state_ = State::kOutside; }

  State state() const { return state_; }

 private:
  /// Handles the index line of a marker section.
  bool indexLine(const char* line, State markerState);

  DgcHandler& handler_;
  MarkerIndex& index_;
  DgcSource source_;
  State state_ = State::kOutside;
};

/// Longest line piece handed to a reader; longer lines arrive in pieces of this size, as a
/// 2048-byte fgets buffer would give them.
constexpr int kDgcMaxLine = 2047;

/// Restarts the reader and feeds it the lines of the named file until it stops or the file
/// ends. Returns false when the name is null or empty or the file cannot be opened.
bool readDgcFile(const char* name, DgcSectionReader& reader);

/// As readDgcFile, from the current position of an open file (not closed). False for null.
bool readDgcStream(std::FILE* file, DgcSectionReader& reader);

/// As readDgcFile, from size bytes of text in memory (an HTTP body, say).
void readDgcText(const char* text, size_t size, DgcSectionReader& reader);
