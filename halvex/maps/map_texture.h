// Loading a map image file into an OpenGL texture (texture object or display list), through
// the .qtex cache beside the image when it exists.
#pragma once

#include <string>

/// Loads path into a new texture and returns its identifier, or -1. Needs a current context.
int loadMapImage(const char* path);
/// The SGI reader path; writes cachePath afterwards. Returns the identifier or -1.
int loadSgiTexture(const char* path, const char* cachePath);
/// The JPEG reader path; writes cachePath afterwards. Returns the identifier or -1.
int loadJpegTexture(const char* path, const char* cachePath);
/// The cache reader path. Returns the identifier or -1.
int loadCachedTexture(const char* cachePath);
/// The cache file name for an image path: its extension replaced by ".qtex".
std::string textureCachePath(const std::string& imagePath);

/// Binds texture identifier n for drawing in the mode in force and enables texturing; an
/// identifier below 1 disables texturing instead. Returns whether texturing is on.
bool bindMapTexture(int n);

/// Skipped-draw countdown shared by every map layer between two lazy loads.
extern int gMapLoadCountdown;
