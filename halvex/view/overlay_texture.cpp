#include "halvex/view/overlay_texture.h"

#include <FL/gl.h>
#include <GL/glx.h>

#include "halvex/maps/map_texture.h"

void OverlayTexture::bind(int width, int height, unsigned format) {
  // A texture name stands for a texture of the context it was made in.
  const void* context = glXGetCurrentContext();
  if (context != context_) {
    texture_ = 0;
    width_ = height_ = 0;
    context_ = context;
  }
  if (texture_ == 0) {
    // Map textures take their names from the one counter without generating them: so does this.
    texture_ = static_cast<unsigned>(takeTextureId());
  }
  glBindTexture(GL_TEXTURE_2D, texture_);
  if (width <= width_ && height <= height_ && format == format_) return;
  int w = 1, h = 1;
  while (w < width) w *= 2;
  while (h < height) h *= 2;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), w, h, 0, format, GL_UNSIGNED_BYTE,
               nullptr);
  width_ = w;
  height_ = h;
  format_ = format;
}

bool OverlayTexture::inCurrentContext() const {
  return texture_ != 0 && context_ == glXGetCurrentContext();
}

void OverlayTexture::drawTexels(const int viewport[4], int left, int bottom, int right,
                                int top) const {
  if (width_ == 0 || height_ == 0) return;
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(viewport[0], viewport[0] + viewport[2], viewport[1], viewport[1] + viewport[3], -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glBindTexture(GL_TEXTURE_2D, texture_);
  glEnable(GL_TEXTURE_2D);
  const float u0 = static_cast<float>(left) / width_, u1 = static_cast<float>(right) / width_;
  const float v0 = static_cast<float>(bottom) / height_, v1 = static_cast<float>(top) / height_;
  const int x0 = viewport[0] + left, x1 = viewport[0] + right;
  const int y0 = viewport[1] + bottom, y1 = viewport[1] + top;
  glBegin(GL_QUADS);
  glTexCoord2f(u0, v0);
  glVertex2i(x0, y0);
  glTexCoord2f(u1, v0);
  glVertex2i(x1, y0);
  glTexCoord2f(u1, v1);
  glVertex2i(x1, y1);
  glTexCoord2f(u0, v1);
  glVertex2i(x0, y1);
  glEnd();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}
