#include "halvex/splash/splash_channel.h"

#include "halvex/core/load_status.h"
#include "halvex/splash/splash_link.h"

namespace {

/// Forwards load progress to the splash process through its link.
class SplashSink : public LoadStatusSink {
 public:
  SplashLink* link = nullptr;
  bool open() const override { return link != nullptr && link->hasBlock(); }
  void status(const char* text) override { link->setStatus(text); }
  void show() override { link->show(); }
  void hide() override { link->hide(); }
  void progress(int percent) override { link->setProgress(percent); }
};

SplashSink gSink;  ///< Drawing and loading run on the GUI thread only.

}  // namespace

void setSplashChannel(SplashLink* link) {
  gSink.link = link;
  setLoadStatusSink(link != nullptr ? &gSink : nullptr);
}
