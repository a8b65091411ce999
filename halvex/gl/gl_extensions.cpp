#include "halvex/gl/gl_extensions.h"

#include <FL/fl_ask.H>
#include <FL/gl.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

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
bool parseStereoSettings(const char* text, std::size_t size, StereoSettings& out) {
  if (text == nullptr) return false;
  const std::string bounded(text, strnlen(text, std::min(size, kMaxStereoSettingsBytes)));
  float focalPlane = 0;
  float eyeRotation = 0;
  if (std::sscanf(bounded.c_str(), "%f %f", &focalPlane, &eyeRotation) != 2) return false;
  out.focalPlane = focalPlane;
  out.eyeRotation = eyeRotation;
  return true;
}

bool readStereoSettingsFile(const char* path, StereoSettings& out) {
  if (path == nullptr) return false;
  // No link followed, no wait on a pipe, no controlling terminal taken.
  const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid()) {
    ::close(fd);
    return false;
  }
  char text[kMaxStereoSettingsBytes];
  std::size_t size = 0;
  while (size < sizeof text) {
    const ssize_t n = ::read(fd, text + size, sizeof text - size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    size += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return parseStereoSettings(text, size, out);
}

bool applyStereoSettingsFile(const char* path, const GlExtensions& state) {
  if (!state.setFocalPlane || !path) return false;
  StereoSettings settings;
  if (!readStereoSettingsFile(path, settings)) return false;
  state.setFocalPlane(settings.focalPlane);
  if (state.setEyeRotation) state.setEyeRotation(settings.eyeRotation);
  std::printf("focalPlane is %f eyeRotation is %f\n", settings.focalPlane, settings.eyeRotation);
  std::fflush(stdout);
  return true;
}
