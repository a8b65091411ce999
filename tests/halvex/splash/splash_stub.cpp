// Stands in for the tracker's program as the splash child: with "TeSt" it runs the splash
// screen as the tracker would. SPLASH_STUB_MODE makes it misbehave instead: "abort" (dies at
// once), "hang" (never answers), "hold" (answers, then keeps the semaphore). SPLASH_STUB_MARK
// names a file that receives the splash screen's return value.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "halvex/splash/splash_link.h"
#include "halvex/splash/splash_window.h"

int main(int argc, char** argv) {
  if (argc < 2 || std::strncmp(argv[1], SplashLink::kSplashArgument, 4) != 0) return 2;
  const std::string suffix = argc >= 3 ? argv[2] : "";
  const char* mode = std::getenv("SPLASH_STUB_MODE");
  const std::string m = mode != nullptr ? mode : "";
  if (m == "abort") std::abort();
  if (m == "hang") {
    for (;;) pause();
  }
  if (m == "hold") {
    SplashLink link(SplashScreenSide{}, suffix);
    link.finishHandshake();
    usleep(300 * 1000);  // the tracker takes its handshake unit first
    link.lock(SplashLink::kRequestTimeoutMs);
    for (;;) pause();
  }
  const int rc = runSplashScreen(suffix);
  if (const char* mark = std::getenv("SPLASH_STUB_MARK")) {
    if (FILE* f = std::fopen(mark, "w")) {
      std::fprintf(f, "%d\n", rc);
      std::fclose(f);
    }
  }
  return rc;
}
