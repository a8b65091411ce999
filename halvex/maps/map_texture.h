// Loading a map image file into an OpenGL texture (texture object or display list), through
// the .qtex cache of the image (texture_cache_place.h) when it exists.
#pragma once

#include <string>

class LoadProgress;

/// Loads path into a new texture and returns its identifier, or -1. Needs a current context.
/// A cache file that cannot be used (damaged, not a regular file, a link, above the map picture
/// limit) falls back to the image, which rewrites the cache. A picture above the limit
/// (picture_limit.h) fails with a message on standard error; its texture is at most as large.
int loadMapImage(const char* path);
/// The SGI reader path; writes cachePath afterwards. Returns the identifier or -1. `progress`,
/// when given, follows the decode.
int loadSgiTexture(const char* path, const char* cachePath, LoadProgress* progress = nullptr);
/// The JPEG reader path; writes cachePath afterwards. Returns the identifier or -1. `progress`,
/// when given, follows the decode.
int loadJpegTexture(const char* path, const char* cachePath, LoadProgress* progress = nullptr);
/// The cache reader path: a regular file only, opened without following a link or waiting on a
/// pipe. Returns the identifier, or -1 when the cache cannot be used.
int loadCachedTexture(const char* cachePath);
/// The cache file for an image path: textureCachePlace(imagePath).
std::string textureCachePath(const std::string& imagePath);

/// Takes the next texture identifier of the process-wide counter (2 first, never reused).
int takeTextureId();

/// Defines the texture of identifier n in the mode in force (texture object, or display list n
/// left open) with the map texture parameters and the given image: level 0, unsigned bytes,
/// rows of rowLength pixels (0: width) without padding. Call endTextureDefinition afterwards.
void defineTexture(int n, int components, int width, int height, unsigned format,
                   const void* pixels, int rowLength = 0);
/// Closes the display list opened by defineTexture (nothing in texture-object mode).
void endTextureDefinition();

/// Binds texture identifier n for drawing in the mode in force and enables texturing; an
/// identifier below 1 disables texturing instead. Returns whether texturing is on.
bool bindMapTexture(int n);

/// The OpenGL work of a map load. The loader's own calls on the current context are the default;
/// a program without a display (a fuzz target) installs its own to run every reader, the cache
/// and the fallbacks between them.
struct MapTextureBackend {
  /// Largest texture width and height.
  int (*maxTextureSize)();
  /// Scales width x height pixels of format (GL_RGB or GL_RGBA bytes) in rows of rowLength
  /// pixels into outWidth x outHeight tight rows; null on success, else the error's text.
  const char* (*scale)(unsigned format, int width, int height, int rowLength,
                       const unsigned char* in, int outWidth, int outHeight, unsigned char* out);
  /// defineTexture then endTextureDefinition.
  void (*define)(int n, int components, int width, int height, unsigned format, const void* pixels,
                 int rowLength);
};

/// Installs backend for the map loads that follow (null restores the OpenGL one); returns the
/// previous one.
const MapTextureBackend* setMapTextureBackend(const MapTextureBackend* backend);

/// Skipped-draw countdown shared by every map layer between two lazy loads.
extern int gMapLoadCountdown;
