#include "halvex/view/trail_layer.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kFull = 255;  ///< Full opacity and colour of a channel.
/// Pixels past the picture's edges a segment is clipped at: its width reaches that far in.
constexpr float kClipMargin = 2.0f;

}  // namespace

void TrailLayer::begin(int width, int height) {
  picture_.begin(width, height);
}

void TrailLayer::blend(int x, int y, int alpha, const unsigned char rgb[3]) {
  if (x < 0 || y < 0 || x >= picture_.width() || y >= picture_.height()) return;
  unsigned char* p = picture_.at(x, y);
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
  const int width = picture_.width(), height = picture_.height();
  float from = 0, to = 1;
  const float edges[4][2] = {{-dx, x0 + kClipMargin},
                             {dx, width + kClipMargin - x0},
                             {-dy, y0 + kClipMargin},
                             {dy, height + kClipMargin - y0}};
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
  const float startX = x0 + dx * from, startY = y0 + dy * from;
  const float runX = dx * (to - from), runY = dy * (to - from);
  const float startAlpha = alpha0 + (alpha1 - alpha0) * from;
  const float runAlpha = (alpha1 - alpha0) * (to - from);
  // The box of what it draws: a pixel past its ends either way.
  const float endX = startX + runX, endY = startY + runY;
  picture_.touch(static_cast<int>(std::floor(std::min(startX, endX))) - 1,
                 static_cast<int>(std::floor(std::min(startY, endY))) - 1,
                 static_cast<int>(std::ceil(std::max(startX, endX))) + 1,
                 static_cast<int>(std::ceil(std::max(startY, endY))) + 1);
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
