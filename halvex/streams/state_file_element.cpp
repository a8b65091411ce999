#include "halvex/streams/state_file_element.h"

#include "common/dlink_list.h"
#include "halvex/streams/dgc_reader.h"
#include "halvex/streams/state_record.h"
#include "halvex/tracking/ring_marker.h"

/// Keeps the markers of an element's file; state records are only checked.
class ElementStateHandler : public DgcHandler {
 public:
  explicit ElementStateHandler(StateFileElement& element) : element_(element) {}

  void stateRecord(char* line) override {
    StateRecord record;
    parseStateRecord(line, record);
  }
  void clearMarkers() override { element_.clearMarkers(); }
  void addMarker(RingMarker* marker) override {
    if (marker != nullptr && !marker->appendTo(element_.markerHead_, element_.markerTail_, 0)) {
      delete marker;
    }
  }

 private:
  StateFileElement& element_;
};

StateFileElement::StateFileElement(const char* name) : name_(name != nullptr ? name : "") {}

StateFileElement::~StateFileElement() {
  clearMarkers();
}

bool StateFileElement::read() {
  ElementStateHandler handler(*this);
  MarkerIndex index;  // fresh for every read, so the markers are always rebuilt
  DgcSectionReader reader(handler, index, DgcSource::kFile);
  return readDgcFile(name_.c_str(), reader);
}

std::string StateFileElement::projectLine() const {
  return "\t" + name_ + "\n";
}

RingMarker* StateFileElement::firstMarker() const {
  return static_cast<RingMarker*>(markerHead_);
}

void StateFileElement::clearMarkers() {
  DlinkList::deleteAll(markerHead_);
  markerTail_ = nullptr;
}
