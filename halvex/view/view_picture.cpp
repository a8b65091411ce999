#include "halvex/view/view_picture.h"

#include <FL/gl.h>

#include <algorithm>

void ViewPicture::begin(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width != width_ || height != height_) {
    // Made clear at the first touch: a frame that sets nothing needs no picture.
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

void ViewPicture::touch(int left, int bottom, int right, int top) {
  left = std::max(left, 0);
  bottom = std::max(bottom, 0);
  right = std::min(right, width_);
  top = std::min(top, height_);
  if (left >= right || bottom >= top) return;
  if (pixels_.empty()) pixels_.assign(static_cast<size_t>(width_) * height_ * 4, 0);
  left_ = std::min(left_, left);
  bottom_ = std::min(bottom_, bottom);
  right_ = std::max(right_, right);
  top_ = std::max(top_, top);
}

const unsigned char* ViewPicture::pixel(int x, int y) const {
  static const unsigned char kClear[4] = {0, 0, 0, 0};
  if (pixels_.empty() || x < 0 || y < 0 || x >= width_ || y >= height_) return kClear;
  return &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
}

void ViewPicture::upload() {
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

bool ViewPicture::uploadedHere() const {
  return uploaded_[0] >= uploaded_[2] || texture_.inCurrentContext();
}

void ViewPicture::draw(const int viewport[4]) const {
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
