// Loading a map image file into an OpenGL texture (texture object or display list), through
// the .qtex cache beside the image when it exists.
#pragma once

#include <string>

/// Loads path into a new texture and returns its identifier, or -1. Needs a current context.
/// A damaged cache file falls back to the image, which rewrites the cache.
int loadMapImage(const char* path);
/// The SGI reader path; writes cachePath afterwards. Returns the identifier or -1.
int loadSgiTexture(const char* path, const char* cachePath);
/// The JPEG reader path; writes cachePath afterwards. Returns the identifier or -1.
int loadJpegTexture(const char* path, const char* cachePath);
/// The cache reader path. Returns the identifier or -1.
int loadCachedTexture(const char* cachePath);
/// The cache file name for an image path: its extension replaced by ".qtex".
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

/// Skipped-draw countdown shared by every map layer between two lazy loads.
extern int gMapLoadCountdown;
