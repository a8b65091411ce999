#include "halvex/core/load_status.h"

namespace {
LoadStatusSink* gSink = nullptr;  ///< Drawing and loading run on the GUI thread only.
}

void setLoadStatusSink(LoadStatusSink* sink) {
  gSink = sink;
}

bool loadStatusOpen() {
  return gSink != nullptr && gSink->open();
}

void loadStatus(const char* text) {
  if (loadStatusOpen()) gSink->status(text);
}

void loadStatusShow() {
  if (loadStatusOpen()) gSink->show();
}

void loadStatusHide() {
  if (loadStatusOpen()) gSink->hide();
}

void loadProgress(int percent) {
  if (loadStatusOpen()) gSink->progress(percent);
}
