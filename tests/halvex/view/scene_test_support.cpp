#include "tests/halvex/view/scene_test_support.h"

#include <FL/Fl.H>
#include <FL/gl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/support/scratch_dir.h"
#include "tests/support/sgi_writer.h"

namespace scene_test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kMapTimeoutSeconds = 5.0;
constexpr double kFrameTimeoutSeconds = 5.0;

const std::string& scratchDir() {
  static const ScratchDir dir;
  return dir.dir();
}

}  // namespace

void pump(double seconds) {
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < end) Fl::wait(0.01);
}

ShownSurface::ShownSurface(int width, int height)
    : width_(width), height_(height), surface_(new glDrawSurface(0, 0, width, height)) {
  surface_->end();
  surface_->show();
  const auto end = Clock::now() + std::chrono::duration<double>(kMapTimeoutSeconds);
  while (!(surface_->shown() && surface_->visible()) && Clock::now() < end) Fl::wait(0.02);
  shown_ = surface_->shown() && surface_->visible();
  pump(0.1);
}

ShownSurface::~ShownSurface() {
  surface_->hide();
  delete surface_;
  Fl::flush();
}

void ShownSurface::add(glDrawSurface::DrawCallback callback, void* user) {
  surface_->addDrawCallback(callback, user);
}

void ShownSurface::readBack(void* user, const DrawContext& context) {
  auto* self = static_cast<ShownSurface*>(user);
  const int w = static_cast<int>(context.width);
  const int h = static_cast<int>(context.height);
  self->pixels_.assign(static_cast<size_t>(w) * h * 3, 0);
  glFinish();
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, self->pixels_.data());
}

bool ShownSurface::drawFrame() {
  if (!readCallbackAdded_) {
    surface_->addDrawCallback(readBack, this);
    readCallbackAdded_ = true;
  }
  const long before = surface_->framesDrawn();
  surface_->redraw();
  const auto end = Clock::now() + std::chrono::duration<double>(kFrameTimeoutSeconds);
  while (surface_->framesDrawn() == before && Clock::now() < end) Fl::wait(0.01);
  return surface_->framesDrawn() != before;
}

Rgb ShownSurface::pixel(int x, int y) const {
  const int row = height_ - 1 - y;
  if (x < 0 || x >= width_ || row < 0 || row >= height_ || pixels_.empty()) return {-1, -1, -1};
  const size_t at = (static_cast<size_t>(row) * width_ + x) * 3;
  return {pixels_[at], pixels_[at + 1], pixels_[at + 2]};
}

int ShownSurface::count(int x0, int y0, int x1, int y1, bool (*match)(Rgb)) const {
  int found = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const Rgb p = pixel(x, y);
      if (p.r >= 0 && match(p)) ++found;
    }
  }
  return found;
}

bool ShownSurface::savePpm(const std::string& path) const {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << width_ << " " << height_ << "\n255\n";
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const Rgb p = pixel(x, y);
      out.put(static_cast<char>(p.r)).put(static_cast<char>(p.g)).put(static_cast<char>(p.b));
    }
  }
  return static_cast<bool>(out);
}

bool isBlack(Rgb p) {
  return p.r < 40 && p.g < 40 && p.b < 40;
}

bool isWhite(Rgb p) {
  return p.r > 230 && p.g > 230 && p.b > 230;
}

bool isRed(Rgb p) {
  return p.r > 150 && p.g < 60 && p.b < 60;
}

bool isBlue(Rgb p) {
  return p.b > 150 && p.r < 60 && p.g < 60;
}

std::string writeScratchFile(const std::string& name, const std::string& text) {
  const std::string path = scratchDir() + "/" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

std::string writeSolidSgi(const std::string& name, int width, int height, unsigned char r,
                          unsigned char g, unsigned char b) {
  return writeScratchFile(name, solidSgi(width, height, r, g, b));
}

}  // namespace scene_test
