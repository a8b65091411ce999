// OpenGL extension state found by the drawing surface at its first frame and shared by every
// piece of code that defines or binds textures.
#pragma once

#include <cstddef>

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

/// Finds an entry point by name; null when it is absent.
using GlProcLookup = void* (*)(const char* name);
/// Tells the operator of a failure: a message box with a title and a text.
using GlAlertFn = void (*)(const char* title, const char* text);

/// The extension that selects texture objects.
constexpr const char* kTextureObjectExtension = "GL_EXT_texture_object";
/// The stereo settings file read by applyStereoSettings every frame.
constexpr const char* kStereoSettingsPath = "/tmp/stereoSet.txt";

/// Whether an extension string names texture objects: "GL_EXT_texture_object" anywhere in it,
/// also inside a longer name. A null string names nothing.
bool hasTextureObjectExtension(const char* extensions);

/// The probe on a given extension string, with `lookup` for the entry points and `alert` for a
/// failed lookup (null: no message). Writes `out` and prints the two stereo entry addresses.
void probeGlExtensions(const char* extensions, GlProcLookup lookup, GlAlertFn alert,
                       GlExtensions& out);

/// The lookup of the running program: the symbol in the loaded libraries (the GL library
/// included), null when absent.
void* lookupLoadedSymbol(const char* name);

/// Replaces the message box shown by probeGlExtensions() (null restores the toolkit's alert).
void setGlAlert(GlAlertFn alert);

/// The stereo driver's two settings, as the settings file gives them.
struct StereoSettings {
  float focalPlane = 0;
  float eyeRotation = 0;
};

/// Most bytes of the stereo settings file looked at; the two numbers stand at its start.
constexpr std::size_t kMaxStereoSettingsBytes = 4096;

/// Reads "%f %f" (focal plane, eye rotation) from the first `size` bytes at `text` (no NUL
/// needed; at most kMaxStereoSettingsBytes are looked at; a NUL ends the text). True when both
/// numbers were read.
///
///   2.5 -0.75
bool parseStereoSettings(const char* text, std::size_t size, StereoSettings& out);

/// Reads the stereo settings file at `path`. The file lies in a folder every user may write, so
/// it is opened without following a link and without waiting (a pipe put there never holds up
/// the caller), and read only when it is a regular file owned by this process's user; anything
/// else is taken as no file. True when both numbers were read.
bool readStereoSettingsFile(const char* path, StereoSettings& out);

/// Reads the stereo settings file at path (readStereoSettingsFile) and hands the two numbers to
/// the stereo entry points of `state`. Without the focal plane entry the file is never opened.
/// Returns whether both numbers were read and passed on.
bool applyStereoSettingsFile(const char* path, const GlExtensions& state);
