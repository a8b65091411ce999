#include "halvex/maps/map_texture.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>

#include "common/platform/paths.h"
#include "halvex/core/load_progress.h"
#include "halvex/core/load_status.h"
#include "halvex/gl/gl_extensions.h"
#include "halvex/maps/jpeg_image.h"
#include "halvex/maps/picture_limit.h"
#include "halvex/maps/sgi_image.h"
#include "halvex/maps/texture_cache.h"
#include "halvex/maps/texture_cache_place.h"

int gMapLoadCountdown = 0;

namespace {

/// First texture identifier handed out.
constexpr int kFirstTextureId = 2;
/// Texture size assumed when no context answers GL_MAX_TEXTURE_SIZE.
constexpr int kFallbackMaxTextureSize = 2048;
/// Images up to this many times the largest texture in either direction are read (and scaled
/// down); larger ones are refused as damaged.
constexpr int kImageToTextureLimit = 16;
/// Longest splash status text.
constexpr size_t kStatusSize = 512;
/// Bytes per pixel of the two texture formats.
constexpr int kRgbDepth = 3;
constexpr int kRgbaDepth = 4;

int gNextTextureId = kFirstTextureId;

int glMaxTextureSize() {
  GLint size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
  return size > 0 ? size : kFallbackMaxTextureSize;
}

bool textureObjectMode() {
  const GlExtensions& e = glExtensions();
  return e.textureObjects && e.bindTexture != nullptr && e.isTexture != nullptr;
}

/// Pixel rows without padding for unpacking and packing, restored on destruction.
class TightPixelStore {
 public:
  explicit TightPixelStore(int unpackRowLength = 0) {
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    for (GLenum name : {GL_UNPACK_ROW_LENGTH, GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS,
                        GL_PACK_ROW_LENGTH, GL_PACK_SKIP_ROWS, GL_PACK_SKIP_PIXELS}) {
      glPixelStorei(name, 0);
    }
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_PACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_PACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, unpackRowLength);
  }
  ~TightPixelStore() { glPopClientAttrib(); }
  TightPixelStore(const TightPixelStore&) = delete;
  TightPixelStore& operator=(const TightPixelStore&) = delete;
};

// The default backend: GLU's scaling and textures defined on the current context.

const char* gluScale(unsigned format, int width, int height, int rowLength, const unsigned char* in,
                     int outWidth, int outHeight, unsigned char* out) {
  TightPixelStore store(rowLength);
  const GLint failed = gluScaleImage(format, width, height, GL_UNSIGNED_BYTE, in, outWidth,
                                     outHeight, GL_UNSIGNED_BYTE, out);
  return failed == 0 ? nullptr : reinterpret_cast<const char*>(gluErrorString(failed));
}

void glDefine(int n, int components, int width, int height, unsigned format, const void* pixels,
              int rowLength) {
  defineTexture(n, components, width, height, format, pixels, rowLength);
  endTextureDefinition();
}

const MapTextureBackend kOpenGlBackend = {glMaxTextureSize, gluScale, glDefine};
const MapTextureBackend* gBackend = &kOpenGlBackend;

/// Sets the largest SGI width and height for the life of the guard.
class SgiDimensionLimit {
 public:
  explicit SgiDimensionLimit(int limit) : previous_(setSgiDimensionLimit(limit)) {}
  ~SgiDimensionLimit() { setSgiDimensionLimit(previous_); }
  SgiDimensionLimit(const SgiDimensionLimit&) = delete;
  SgiDimensionLimit& operator=(const SgiDimensionLimit&) = delete;

 private:
  int previous_;
};

/// Closes an SGI handle on destruction.
struct SgiCloser {
  void operator()(SgiImage* image) const { iclose(image); }
};
using SgiHandle = std::unique_ptr<SgiImage, SgiCloser>;

/// Posts format (with one %s) to the splash status when a splash is attached.
void postStatus(const char* format, const char* path) {
  if (!loadStatusOpen()) return;
  char text[kStatusSize];
  std::snprintf(text, sizeof text, format, path);
  loadStatus(text);
}

/// Smallest power of two not below size, at most limit.
int powerOfTwoAtLeast(int size, int limit) {
  int v = 1;
  while (v < size && v < limit) v *= 2;
  return v < limit ? v : limit;
}

/// Twice the largest power of two from limit/2 down that is not above size.
int halvedSize(int size, int limit) {
  int v = limit / 2;
  while (v > size && v > 1) v /= 2;
  return 2 * v;
}

/// Halves the longer side of a texture until it is within the map picture limit: rounding a
/// picture up to powers of two may take it up to four times its pixels.
void fitPictureLimit(int& width, int& height) {
  while (mapPictureBytes(width, height, 1) == 0 && (width > 1 || height > 1)) {
    if (width >= height) {
      width /= 2;
    } else {
      height /= 2;
    }
  }
}

/// Scales a picture into a new texture buffer of textureWidth x textureHeight x depth bytes;
/// null (after a message) when it cannot.
std::unique_ptr<unsigned char[]> scaleToTexture(const char* path, unsigned format, int depth,
                                                int width, int height, int rowLength,
                                                const unsigned char* picture, int textureWidth,
                                                int textureHeight) {
  const size_t bytes = mapPictureBytes(textureWidth, textureHeight, depth);
  std::unique_ptr<unsigned char[]> scaled(bytes ? new (std::nothrow) unsigned char[bytes]
                                                : nullptr);
  if (!scaled) {
    std::fprintf(stderr, "No room for a texture of %d x %d pixels for %s\n", textureWidth,
                 textureHeight, path);
    return nullptr;
  }
  if (const char* error = gBackend->scale(format, width, height, rowLength, picture, textureWidth,
                                          textureHeight, scaled.get())) {
    std::fprintf(stderr, "Could not scale %s: %s\n", path, error);
    return nullptr;
  }
  return scaled;
}

bool extensionIs(const std::string& ext, const char* wanted, size_t length) {
  return ext.size() >= length && strncasecmp(ext.c_str(), wanted, length) == 0;
}

/// Loads through the reader the image's extension selects; -1 for other extensions. The decode
/// is a long load for the loading screen.
int loadByExtension(const char* path, const std::string& cachePath) {
  const std::string ext = splitPath(path).ext;
  LoadProgress progress;
  if (extensionIs(ext, ".sgi", 4) || extensionIs(ext, ".rle", 4)) {
    return loadSgiTexture(path, cachePath.c_str(), &progress);
  }
  if (extensionIs(ext, ".jpg", 4) || extensionIs(ext, ".jpeg", 5)) {
    return loadJpegTexture(path, cachePath.c_str(), &progress);
  }
  std::printf("Warning: %s extention not supported\n", ext.c_str());
  return -1;
}

}  // namespace

const MapTextureBackend* setMapTextureBackend(const MapTextureBackend* backend) {
  const MapTextureBackend* previous = gBackend;
  gBackend = backend != nullptr ? backend : &kOpenGlBackend;
  return previous;
}

int takeTextureId() {
  return gNextTextureId++;
}

std::string textureCachePath(const std::string& imagePath) {
  return textureCachePlace(imagePath);
}

void defineTexture(int n, int components, int width, int height, unsigned format,
                   const void* pixels, int rowLength) {
  if (textureObjectMode()) {
    const GlExtensions& e = glExtensions();
    if (e.isTexture(n)) std::fprintf(stderr, "Warning: Texture Object %d exists.\n", n);
    e.bindTexture(GL_TEXTURE_2D, n);
  } else {
    if (glIsList(n)) {
      std::fprintf(stderr, "Warning: display list %d exists.\n", n);
      glDeleteLists(n, 1);
    }
    glNewList(n, GL_COMPILE);
  }
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  // Pixel store commands run at once (they are not compiled into a list) and the image is
  // unpacked when the list is compiled.
  TightPixelStore store(rowLength);
  glTexImage2D(GL_TEXTURE_2D, 0, components, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
}

void endTextureDefinition() {
  if (!textureObjectMode()) glEndList();
}

bool bindMapTexture(int n) {
  if (n <= 0) {
    glDisable(GL_TEXTURE_2D);
    return false;
  }
  if (textureObjectMode()) {
    glExtensions().bindTexture(GL_TEXTURE_2D, n);
  } else {
    glCallList(n);
  }
  glEnable(GL_TEXTURE_2D);
  return true;
}

int loadMapImage(const char* path) {
  if (path == nullptr) return -1;
  postStatus("Loading map %s\n", path);
  const std::string cachePath = textureCachePath(path);
  // Whatever stands at the cache's name (a pipe too) is looked at without opening it; only a
  // name that is not there at all goes straight to the image.
  struct stat info;
  const bool cached = ::lstat(cachePath.c_str(), &info) == 0 || errno != ENOENT;
  int result = cached ? loadCachedTexture(cachePath.c_str()) : -1;
  if (!cached) {
    result = loadByExtension(path, cachePath);
  } else if (result == -1) {
    // An unusable cache would otherwise hide the map for good; reading the image rewrites it.
    std::printf("Warning: texture cache %s is damaged, reading %s\n", cachePath.c_str(), path);
    result = loadByExtension(path, cachePath);
  }
  postStatus(result != -1 ? "Done loading map %s\n" : "Error: loading map %s\n", path);
  return result;
}

int loadSgiTexture(const char* path, const char* cachePath, LoadProgress* progress) {
  const int id = takeTextureId();
  if (path == nullptr) return -1;
  // A damaged file fails this load with its message instead of ending the program.
  ScopedSgiErrorHook hook;
  const int maxSize = gBackend->maxTextureSize();
  SgiDimensionLimit limit(maxSize * kImageToTextureLimit);

  SgiHandle first(iopen(path, "r"));
  if (!first || first->zsize > kRgbaDepth) return -1;
  first.reset();
  int width = 0;
  int height = 0;
  std::unique_ptr<uint32_t[]> picture = longimagedata(path, &width, &height, progress);
  if (!picture) return -1;
  SgiHandle second(iopen(path, "r"));
  if (!second || second->zsize > kRgbaDepth) return -1;

  int textureWidth = powerOfTwoAtLeast(width, maxSize);
  int textureHeight = powerOfTwoAtLeast(height, maxSize);
  fitPictureLimit(textureWidth, textureHeight);
  const std::unique_ptr<unsigned char[]> scaled = scaleToTexture(
      path, GL_RGBA, kRgbaDepth, width, height, 0,
      reinterpret_cast<const unsigned char*>(picture.get()), textureWidth, textureHeight);
  if (!scaled) return -1;
  picture.reset();
  gBackend->define(id, kRgbaDepth, textureWidth, textureHeight, GL_RGBA, scaled.get(), 0);
  writeTextureCache(cachePath, textureWidth, textureHeight, kRgbaDepth, scaled.get());
  return id;
}

int loadJpegTexture(const char* path, const char* cachePath, LoadProgress* progress) {
  const int id = takeTextureId();
  const int maxSize = gBackend->maxTextureSize();
  JpegLimits limits;
  limits.maxDimension = maxSize * kImageToTextureLimit;
  JpegPicture picture;
  if (decodeJpegFile(path, picture, limits, progress) < 0) return -1;

  int textureWidth = halvedSize(picture.width, maxSize);
  int textureHeight = halvedSize(picture.height, maxSize);
  fitPictureLimit(textureWidth, textureHeight);
  // The picture's bottom row, inside rows of the padded width.
  const unsigned char* bottom =
      picture.pixels.get() +
      static_cast<size_t>(picture.paddedHeight - picture.height) * picture.paddedWidth * kRgbDepth;
  const std::unique_ptr<unsigned char[]> scaled =
      scaleToTexture(path, GL_RGB, kRgbDepth, picture.width, picture.height, picture.paddedWidth,
                     bottom, textureWidth, textureHeight);
  picture.pixels.reset();
  if (!scaled) return -1;
  gBackend->define(id, kRgbDepth, textureWidth & ~1, textureHeight & ~1, GL_RGB, scaled.get(),
                   textureWidth);
  writeTextureCache(cachePath, textureWidth, textureHeight, kRgbDepth, scaled.get());
  return id;
}

int loadCachedTexture(const char* cachePath) {
  if (cachePath == nullptr) return -1;
  const int id = takeTextureId();
  std::printf("  1111111111111111111  Opening file\n");
  // Map folders may be shared: a link planted at the cache's name is refused, and a pipe neither
  // blocks the open nor passes readTextureCache's regular-file check.
  const int fd = ::open(cachePath, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  CachedTexture texture;
  const int read = readTextureCache(fd, texture);
  ::close(fd);
  if (read < 0 || !texture.pixels) return -1;
  std::printf("  2222222222222222222  read file now submitting texture\n");
  const GLenum format = texture.depth == kRgbDepth ? GL_RGB : GL_RGBA;
  gBackend->define(id, texture.depth, texture.width & ~1, texture.height, format,
                   texture.pixels.get(), texture.width);
  return id;
}
