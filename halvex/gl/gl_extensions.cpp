#include "halvex/gl/gl_extensions.h"

#include <FL/fl_ask.H>
#include <FL/gl.h>
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

GlExtensions gExtensions;

/// The toolkit's message box with its title.
void toolkitAlert(const char* title, const char* text) {
  fl_message_title(title);
  fl_alert("%s", text);
}

GlAlertFn gAlert = toolkitAlert;

/// Low 32 bits of an entry address, as the diagnostic lines print it.
unsigned addressBits(void* entry) {
  return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(entry));
}

/// Looks up `name`, then the core GL 1.1 function of the same signature when the library
/// exports only that one.
void* lookupWithCore(GlProcLookup lookup, const char* name, const char* coreName) {
  void* entry = lookup(name);
  return entry ? entry : lookup(coreName);
}

}  // namespace

GlExtensions& glExtensions() {
  return gExtensions;
}

bool hasTextureObjectExtension(const char* extensions) {
  return extensions != nullptr && std::strstr(extensions, kTextureObjectExtension) != nullptr;
}

void* lookupLoadedSymbol(const char* name) {
  return dlsym(RTLD_DEFAULT, name);
}

void setGlAlert(GlAlertFn alert) {
  gAlert = alert ? alert : toolkitAlert;
}

void probeGlExtensions(const char* extensions, GlProcLookup lookup, GlAlertFn alert,
                       GlExtensions& out) {
  out = GlExtensions();
  out.textureObjects = hasTextureObjectExtension(extensions);
  if (out.textureObjects) {
    void* bind = lookupWithCore(lookup, "glBindTextureEXT", "glBindTexture");
    void* isTexture = nullptr;
    if (!bind) {
      if (alert) alert("error", "GetProcAddress for glBindTextureEXT failed");
    } else {
      isTexture = lookupWithCore(lookup, "glIsTextureEXT", "glIsTexture");
      if (!isTexture && alert) alert("error", "GetProcAddress for glIsTextureEXT failed");
    }
    if (bind && isTexture) {
      out.bindTexture = reinterpret_cast<GlBindTextureFn>(bind);
      out.isTexture = reinterpret_cast<GlIsTextureFn>(isTexture);
    } else {
      out.textureObjects = false;
    }
  }
  void* focalPlane = lookup("tridefSetFocalPlaneEXT");
  void* eyeRotation = lookup("tridefSetEyeRotationEXT");
  out.setFocalPlane = reinterpret_cast<GlFloatSetter>(focalPlane);
  out.setEyeRotation = reinterpret_cast<GlFloatSetter>(eyeRotation);
  std::printf("tridefSetFocalPlane is %x\n", addressBits(focalPlane));
  std::printf("tridefSetEyeRotation is %x\n", addressBits(eyeRotation));
  std::fflush(stdout);
}

void probeGlExtensions() {
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  probeGlExtensions(extensions, lookupLoadedSymbol, gAlert, gExtensions);
}

// Stereo settings file: focal plane, then eye rotation, e.g. "2.5 -0.75".
bool applyStereoSettingsFile(const char* path, const GlExtensions& state) {
  if (!state.setFocalPlane || !path) return false;
  std::FILE* file = std::fopen(path, "r");
  if (!file) return false;
  float focalPlane = 0;
  float eyeRotation = 0;
  const int read = std::fscanf(file, "%f %f", &focalPlane, &eyeRotation);
  std::fclose(file);
  if (read != 2) return false;
  state.setFocalPlane(focalPlane);
  if (state.setEyeRotation) state.setEyeRotation(eyeRotation);
  std::printf("focalPlane is %f eyeRotation is %f\n", focalPlane, eyeRotation);
  std::fflush(stdout);
  return true;
}
