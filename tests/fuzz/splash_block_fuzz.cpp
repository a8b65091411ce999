// Feeds arbitrary bytes to the splash process's reading of the shared status block, which the
// other side may have filled with anything: texts must stay within their fields, the progress
// within 0..100, and a block too short must be refused without a read past its end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "halvex/splash/splash_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so that a read past the given size is caught.
  std::vector<uint8_t> bytes(data, data + size);
  SplashView view;
  view.progress = -42;
  const bool read = SplashLink::readBlock(bytes.empty() ? nullptr : bytes.data(), size, view);
  if (read != (size >= sizeof(SplashBlock))) std::abort();
  if (!read) {
    if (view.progress != -42 || !view.texts[0].empty()) std::abort();
    return 0;
  }
  SplashBlock block;
  std::memcpy(&block, data, sizeof block);
  const char* fields[4] = {block.titleText, block.secondText, block.thirdText, block.statusText};
  for (int i = 0; i < 4; ++i) {
    const std::string& text = view.texts[i];
    if (text.size() > SplashBlock::kTextSize) std::abort();
    if (text.find('\0') != std::string::npos) std::abort();
    if (std::memcmp(text.data(), fields[i], text.size()) != 0) std::abort();
    if (text.size() < SplashBlock::kTextSize && fields[i][text.size()] != '\0') std::abort();
  }
  if (view.progress < 0 || view.progress > SplashLink::kMaxProgress) std::abort();
  if (block.progress >= 0 && block.progress <= SplashLink::kMaxProgress &&
      view.progress != block.progress) {
    std::abort();
  }
  if (view.showRequest != (block.showRequest != 0) ||
      view.hideRequest != (block.hideRequest != 0) ||
      view.closeRequest != (block.closeRequest != 0)) {
    std::abort();
  }
  if (view.utilityProcess != (block.utilityProcess > 0 ? block.utilityProcess : -1)) std::abort();

  // What the splash copies into a field reads back as it was cut.
  char field[SplashBlock::kTextSize];
  SplashLink::copyText(field, view.texts[3].c_str());
  if (std::strlen(field) >= SplashBlock::kTextSize) std::abort();
  if (view.texts[3].compare(0, std::strlen(field), field) != 0) std::abort();
  return 0;
}
