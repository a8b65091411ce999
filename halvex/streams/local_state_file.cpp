#include "halvex/streams/local_state_file.h"

#include "halvex/streams/dgc_reader.h"
#include "halvex/streams/node_updates.h"
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

bool readLocalStateFile(NodeTable& table, const char* name) {
  TableStateHandler handler(table);
  MarkerIndex index{table.lastMarkerIndex(), table.parsedMarkerIndex()};
  DgcSectionReader reader(handler, index, DgcSource::kFile);
  const bool opened = readDgcFile(name, reader);
  table.setMarkerIndices(index.last, index.parsed);
  return opened;
}
