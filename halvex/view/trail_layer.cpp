#include "halvex/view/trail_layer.h"

#include <FL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kFull = 255;  ///< Full opacity and colour of a channel.
/// Pixels past the picture's edges a segment is clipped at: its width reaches that far in.
constexpr float kClipMargin = 2.0f;

}  // namespace

void TrailLayer::begin(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width != width_ || height != height_) {
    // Made clear at the first segment: a frame without trails needs no picture.
    width_ = width;
    height_ = height;
    pixels_.clear();
  } else {
    // Only the last picture's box holds anything.
    for (int y = bottom_; y < top_; ++y) {
      unsigned char* row = &pixels_[(static_cast<size_t>(y) * width_ + left_) * 4];
      std::fill(row, row + static_cast<size_t>(right_ - left_) * 4, 0);
    }
  }
  left_ = width_;
  bottom_ = height_;
  right_ = top_ = 0;
}

const unsigned char* TrailLayer::pixel(int x, int y) const {
  static const unsigned char kClear[4] = {0, 0, 0, 0};
  if (pixels_.empty() || x < 0 || y < 0 || x >= width_ || y >= height_) return kClear;
  return &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
}

void TrailLayer::blend(int x, int y, int alpha, const unsigned char rgb[3]) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  unsigned char* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
  if (p[3] == 0) {
    for (int c = 0; c < 3; ++c)
      p[c] = static_cast<unsigned char>((rgb[c] * alpha + kFull / 2) / kFull);
    p[3] = static_cast<unsigned char>(alpha);
    return;
  }
  const int rest = kFull - alpha;
  for (int c = 0; c < 3; ++c) {
    p[c] = static_cast<unsigned char>((rgb[c] * alpha + p[c] * rest + kFull / 2) / kFull);
  }
  p[3] = static_cast<unsigned char>(alpha + (p[3] * rest + kFull / 2) / kFull);
}

void TrailLayer::addSegment(float x0, float y0, float alpha0, float x1, float y1, float alpha1,
                            const unsigned char rgb[3]) {
  // Clipped to the picture first (Liang-Barsky), so that a long segment off the view costs
  // nothing.
  const float dx = x1 - x0, dy = y1 - y0;
  float from = 0, to = 1;
  const float edges[4][2] = {{-dx, x0 + kClipMargin},
                             {dx, width_ + kClipMargin - x0},
                             {-dy, y0 + kClipMargin},
                             {dy, height_ + kClipMargin - y0}};
  for (const auto& [p, q] : edges) {
    if (p == 0) {
      if (q < 0) return;
      continue;
    }
    const float r = q / p;
    if (p < 0) {
      from = std::max(from, r);
    } else {
      to = std::min(to, r);
    }
  }
  if (!(from < to)) return;
  if (pixels_.empty()) pixels_.assign(static_cast<size_t>(width_) * height_ * 4, 0);
  const float startX = x0 + dx * from, startY = y0 + dy * from;
  const float runX = dx * (to - from), runY = dy * (to - from);
  const float startAlpha = alpha0 + (alpha1 - alpha0) * from;
  const float runAlpha = (alpha1 - alpha0) * (to - from);
  // The box of what it draws: a pixel past its ends either way, within the picture.
  const float endX = startX + runX, endY = startY + runY;
  left_ = std::min(left_, std::max(0, static_cast<int>(std::floor(std::min(startX, endX))) - 1));
  bottom_ =
      std::min(bottom_, std::max(0, static_cast<int>(std::floor(std::min(startY, endY))) - 1));
  right_ =
      std::max(right_, std::min(width_, static_cast<int>(std::ceil(std::max(startX, endX))) + 1));
  top_ = std::max(top_, std::min(height_, static_cast<int>(std::ceil(std::max(startY, endY))) + 1));
  // The pixels whose centres the segment passes along its longer axis, the end's excluded, and
  // at each the two across it whose centres lie nearest, as a line two pixels wide covers them.
  const bool alongX = std::fabs(runX) >= std::fabs(runY);
  const float along0 = alongX ? startX : startY, run = alongX ? runX : runY;
  const float across0 = alongX ? startY : startX, runAcross = alongX ? runY : runX;
  if (run == 0) return;
  const int step = run > 0 ? 1 : -1;
  const int first = run > 0 ? static_cast<int>(std::ceil(along0 - 0.5f))
                            : static_cast<int>(std::floor(along0 - 0.5f));
  const int end = run > 0 ? static_cast<int>(std::ceil(along0 + run - 0.5f))
                          : static_cast<int>(std::floor(along0 + run - 0.5f));
  for (int cell = first; cell != end; cell += step) {
    const float t = (cell + 0.5f - along0) / run;
    const int alpha = static_cast<int>((startAlpha + runAlpha * t) * kFull + 0.5f);
    if (alpha <= 0) continue;
    const int near = static_cast<int>(std::floor(across0 + runAcross * t - 0.5f));
    if (alongX) {
      blend(cell, near, alpha, rgb);
      blend(cell, near + 1, alpha, rgb);
    } else {
      blend(near, cell, alpha, rgb);
      blend(near + 1, cell, alpha, rgb);
    }
  }
}

void TrailLayer::upload() {
  std::fill(std::begin(uploaded_), std::end(uploaded_), 0);
  if (left_ >= right_ || bottom_ >= top_) return;
  texture_.bind(width_, height_, GL_RGBA);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, width_);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, left_);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, bottom_);
  glTexSubImage2D(GL_TEXTURE_2D, 0, left_, bottom_, right_ - left_, top_ - bottom_, GL_RGBA,
                  GL_UNSIGNED_BYTE, pixels_.data());
  glPopClientAttrib();
  uploaded_[0] = left_;
  uploaded_[1] = bottom_;
  uploaded_[2] = right_;
  uploaded_[3] = top_;
}

bool TrailLayer::uploadedHere() const {
  return uploaded_[0] >= uploaded_[2] || texture_.inCurrentContext();
}

void TrailLayer::draw(const int viewport[4]) const {
  const auto [left, bottom, right, top] = uploaded_;
  if (left >= right || bottom >= top) return;
  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT | GL_DEPTH_BUFFER_BIT);
  for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_CULL_FACE, GL_FOG}) glDisable(cap);
  glDepthMask(GL_FALSE);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  // Premultiplied: each texel goes over the view as it went over the picture; clear texels are
  // passed over.
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.0f);
  texture_.drawTexels(viewport, left, bottom, right, top);
  glPopAttrib();
}
