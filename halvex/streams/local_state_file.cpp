// The node table's reading of local state files and its ring-marker list.
#include "common/dlink_list.h"
#include "halvex/streams/dgc_reader.h"
#include "halvex/streams/node_updates.h"
#include "halvex/streams/ring_marker.h"
#include "halvex/tracking/node_table.h"

namespace {

/// Applies the records of a state file to the table and keeps its markers.
class TableStateHandler : public DgcHandler {
 public:
  explicit TableStateHandler(NodeTable& table) : table_(table) {}

  void stateRecord(char* line) override { applyStateRecordLine(table_, line); }
  void clearMarkers() override { table_.clearMarkers(); }
  void addMarker(RingMarker* marker) override { table_.addMarker(marker); }

 private:
  NodeTable& table_;
};

}  // namespace

bool NodeTable::readStateFile(const char* name) {
  TableStateHandler handler(*this);
  MarkerIndex index{lastMarkerIndex_, parsedMarkerIndex_};
  DgcSectionReader reader(handler, index, DgcSource::kFile);
  const bool opened = readDgcFile(name, reader);
  lastMarkerIndex_ = index.last;
  parsedMarkerIndex_ = index.parsed;
  return opened;
}

RingMarker* NodeTable::firstMarker() const {
  return static_cast<RingMarker*>(markerHead_);
}

void NodeTable::addMarker(RingMarker* marker) {
  if (marker == nullptr) return;
  if (!marker->appendTo(markerHead_, markerTail_, 0)) delete marker;
}
