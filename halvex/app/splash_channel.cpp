#include "halvex/app/splash_channel.h"

#include "halvex/app/splash_link.h"

namespace {
SplashLink* gLink = nullptr;  ///< Drawing and loading run on the GUI thread only.
}

void setSplashChannel(SplashLink* link) {
  gLink = link;
}

bool splashChannelOpen() {
  return gLink != nullptr && gLink->hasBlock();
}

void splashStatus(const char* text) {
  if (splashChannelOpen()) gLink->setStatus(text);
}

void splashShow() {
  if (splashChannelOpen()) gLink->show();
}

void splashHide() {
  if (splashChannelOpen()) gLink->hide();
}
