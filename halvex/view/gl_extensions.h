// OpenGL extension state found by the drawing surface at its first frame and shared by every
// piece of code that defines or binds textures.
#pragma once

/// Entry point taking one single-precision value (the stereo driver's settings).
using GlFloatSetter = void (*)(float);
/// glBindTextureEXT(target, texture).
using GlBindTextureFn = void (*)(unsigned target, unsigned texture);
/// glIsTextureEXT(texture).
using GlIsTextureFn = unsigned char (*)(unsigned texture);

/// Process-wide extension state. Before the probe runs, display lists are used and no stereo
/// driver is present.
struct GlExtensions {
  bool textureObjects = false;             ///< Texture objects in use (else display lists).
  GlBindTextureFn bindTexture = nullptr;   ///< Set while textureObjects is on.
  GlIsTextureFn isTexture = nullptr;       ///< Set while textureObjects is on.
  GlFloatSetter setFocalPlane = nullptr;   ///< Stereo driver's focal plane, when present.
  GlFloatSetter setEyeRotation = nullptr;  ///< Stereo driver's eye rotation, when present.
};

/// The state in force; writable so that tests can select either texture mode.
GlExtensions& glExtensions();

/// Fills glExtensions() from the current context's extension string and the loaded GL library.
/// Needs a current context.
void probeGlExtensions();
