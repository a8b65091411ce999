// The extension probe on given extension strings and entry points, and the stereo settings file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "halvex/gl/gl_extensions.h"
#include "tests/halvex/view/scene_test_support.h"
#include "tests/support/scratch_dir.h"

namespace {

void fakeBind(unsigned, unsigned) {}
unsigned char fakeIsTexture(unsigned) {
  return 1;
}

std::vector<float> gFocalPlanes;
std::vector<float> gEyeRotations;
void recordFocalPlane(float value) {
  gFocalPlanes.push_back(value);
}
void recordEyeRotation(float value) {
  gEyeRotations.push_back(value);
}

std::vector<std::string> gAlerts;
void recordAlert(const char* title, const char* text) {
  gAlerts.push_back(std::string(title) + ": " + text);
}

/// Lookup that knows every entry point.
void* lookupAll(const char* name) {
  const std::string n = name;
  if (n == "glBindTextureEXT") return reinterpret_cast<void*>(fakeBind);
  if (n == "glIsTextureEXT") return reinterpret_cast<void*>(fakeIsTexture);
  if (n == "tridefSetFocalPlaneEXT") return reinterpret_cast<void*>(recordFocalPlane);
  if (n == "tridefSetEyeRotationEXT") return reinterpret_cast<void*>(recordEyeRotation);
  return nullptr;
}

void* lookupNone(const char*) {
  return nullptr;
}

/// Knows glBindTextureEXT only.
void* lookupBindOnly(const char* name) {
  return std::string(name) == "glBindTextureEXT" ? reinterpret_cast<void*>(fakeBind) : nullptr;
}

/// Knows the core GL 1.1 names only, as a library without the extension's names.
void* lookupCoreOnly(const char* name) {
  const std::string n = name;
  if (n == "glBindTexture") return reinterpret_cast<void*>(fakeBind);
  if (n == "glIsTexture") return reinterpret_cast<void*>(fakeIsTexture);
  return nullptr;
}

class ProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gAlerts.clear();
    gFocalPlanes.clear();
    gEyeRotations.clear();
  }
  GlExtensions state;
};

TEST_F(ProbeTest, ExtensionNameFoundAnywhere) {
  EXPECT_TRUE(hasTextureObjectExtension("GL_EXT_texture_object"));
  EXPECT_TRUE(hasTextureObjectExtension("GL_ARB_multitexture GL_EXT_texture_object GL_X"));
  EXPECT_TRUE(hasTextureObjectExtension("GL_ARB_a GL_EXT_texture_objects_plus"));
  EXPECT_TRUE(hasTextureObjectExtension("XGL_EXT_texture_object"));
  EXPECT_FALSE(hasTextureObjectExtension("GL_EXT_texture GL_EXT_texture3D"));
  EXPECT_FALSE(hasTextureObjectExtension(""));
  EXPECT_FALSE(hasTextureObjectExtension(nullptr));
}

TEST_F(ProbeTest, TextureObjectsWithBothEntries) {
  probeGlExtensions("GL_A GL_EXT_texture_object_longer GL_B", lookupAll, recordAlert, state);
  EXPECT_TRUE(state.textureObjects);
  EXPECT_EQ(state.bindTexture, fakeBind);
  EXPECT_EQ(state.isTexture, fakeIsTexture);
  EXPECT_EQ(state.setFocalPlane, recordFocalPlane);
  EXPECT_EQ(state.setEyeRotation, recordEyeRotation);
  EXPECT_TRUE(gAlerts.empty());
}

TEST_F(ProbeTest, CoreNamesServeWhenTheExtensionNamesAreMissing) {
  probeGlExtensions("GL_EXT_texture_object", lookupCoreOnly, recordAlert, state);
  EXPECT_TRUE(state.textureObjects);
  EXPECT_EQ(state.bindTexture, fakeBind);
  EXPECT_TRUE(gAlerts.empty());
}

TEST_F(ProbeTest, FailedLookupsSayWhichAndSelectDisplayLists) {
  probeGlExtensions("GL_EXT_texture_object", lookupNone, recordAlert, state);
  EXPECT_FALSE(state.textureObjects);
  EXPECT_EQ(state.bindTexture, nullptr);
  ASSERT_EQ(gAlerts.size(), 1u);
  EXPECT_EQ(gAlerts[0], "error: GetProcAddress for glBindTextureEXT failed");

  gAlerts.clear();
  probeGlExtensions("GL_EXT_texture_object", lookupBindOnly, recordAlert, state);
  EXPECT_FALSE(state.textureObjects);
  EXPECT_EQ(state.bindTexture, nullptr);
  EXPECT_EQ(state.isTexture, nullptr);
  ASSERT_EQ(gAlerts.size(), 1u);
  EXPECT_EQ(gAlerts[0], "error: GetProcAddress for glIsTextureEXT failed");
}

TEST_F(ProbeTest, NoExtensionNoLookupNoMessage) {
  probeGlExtensions("GL_ARB_multitexture", lookupAll, recordAlert, state);
  EXPECT_FALSE(state.textureObjects);
  EXPECT_EQ(state.bindTexture, nullptr);
  EXPECT_TRUE(gAlerts.empty());
  // The stereo entries are looked up whatever the extension string says.
  EXPECT_EQ(state.setFocalPlane, recordFocalPlane);
}

TEST_F(ProbeTest, PrintsTheStereoEntries) {
  testing::internal::CaptureStdout();
  probeGlExtensions("", lookupNone, recordAlert, state);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "tridefSetFocalPlane is 0\ntridefSetEyeRotation is 0\n");
  EXPECT_EQ(state.setFocalPlane, nullptr);
  EXPECT_EQ(state.setEyeRotation, nullptr);
}

TEST_F(ProbeTest, LoadedLibraryLookup) {
  // This program links the GL library: its core entry is found, the stereo driver's is not.
  EXPECT_NE(lookupLoadedSymbol("glBindTexture"), nullptr);
  EXPECT_EQ(lookupLoadedSymbol("tridefSetFocalPlaneEXT"), nullptr);
  EXPECT_EQ(lookupLoadedSymbol("tridefSetEyeRotationEXT"), nullptr);
}

TEST_F(ProbeTest, StereoFileReadOnlyWithTheFocalPlaneEntry) {
  const std::string path = scene_test::writeScratchFile("stereo.txt", "2.5 -0.75\n");
  state.setEyeRotation = recordEyeRotation;
  EXPECT_FALSE(applyStereoSettingsFile(path.c_str(), state));
  EXPECT_TRUE(gEyeRotations.empty());

  state.setFocalPlane = recordFocalPlane;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(applyStereoSettingsFile(path.c_str(), state));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "focalPlane is 2.500000 eyeRotation is -0.750000\n");
  EXPECT_EQ(gFocalPlanes, std::vector<float>{2.5f});
  EXPECT_EQ(gEyeRotations, std::vector<float>{-0.75f});
}

TEST_F(ProbeTest, StereoFileMissingOrDamagedChangesNothing) {
  state.setFocalPlane = recordFocalPlane;
  state.setEyeRotation = recordEyeRotation;
  EXPECT_FALSE(applyStereoSettingsFile("/nonexistent/stereoSet.txt", state));
  const std::string half = scene_test::writeScratchFile("half.txt", "3.0 x\n");
  EXPECT_FALSE(applyStereoSettingsFile(half.c_str(), state));
  const std::string empty = scene_test::writeScratchFile("empty.txt", "");
  EXPECT_FALSE(applyStereoSettingsFile(empty.c_str(), state));
  EXPECT_TRUE(gFocalPlanes.empty());
  EXPECT_TRUE(gEyeRotations.empty());
}

TEST(StereoSettingsFile, KeepsItsNameInTheSharedFolder) {
  EXPECT_STREQ(kStereoSettingsPath, "/tmp/stereoSet.txt");
}

/// readStereoSettingsFile(path) in a child process: 1 when it read both numbers, 0 when not, -1
/// when it had not returned after two seconds (the child is then killed).
int readInChild(const std::string& path) {
  const pid_t child = fork();
  if (child == 0) {
    StereoSettings settings;
    _exit(readStereoSettingsFile(path.c_str(), settings) ? 1 : 0);
  }
  if (child < 0) return -2;
  for (int waited = 0; waited < 2000; waited += 10) {
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return -1;
}

TEST(StereoSettingsFile, APipeInItsPlaceIsNoFileAndHoldsNothingUp) {
  ScratchDir dir;
  const std::string fifo = dir.path("stereoSet.txt");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(readInChild(fifo), 0);
  // Numbers waiting in the pipe are not taken either.
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(write(writer, "1 2\n", 4), 4);
  EXPECT_EQ(readInChild(fifo), 0);
  close(writer);
  close(reader);

  GlExtensions state;
  state.setFocalPlane = recordFocalPlane;
  gFocalPlanes.clear();
  EXPECT_FALSE(applyStereoSettingsFile(fifo.c_str(), state));
  EXPECT_TRUE(gFocalPlanes.empty());
}

TEST(StereoSettingsFile, ALinkOrAnotherUsersFileIsRefusedAndAPlainFileIsRead) {
  ScratchDir dir;
  const std::string real = dir.write("mine.txt", "1.5 0.25\n");
  StereoSettings settings;
  ASSERT_TRUE(readStereoSettingsFile(real.c_str(), settings));
  EXPECT_EQ(settings.focalPlane, 1.5f);
  EXPECT_EQ(settings.eyeRotation, 0.25f);
  EXPECT_EQ(readInChild(real), 1);

  const std::string link = dir.path("stereoSet.txt");
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  EXPECT_FALSE(readStereoSettingsFile(link.c_str(), settings));
  EXPECT_FALSE(readStereoSettingsFile(dir.dir().c_str(), settings));
  EXPECT_FALSE(readStereoSettingsFile(dir.missing().c_str(), settings));
  EXPECT_FALSE(readStereoSettingsFile(nullptr, settings));

  // Someone else's file, when this user can hand one over (root).
  const std::string theirs = dir.write("theirs.txt", "9 9\n");
  if (chown(theirs.c_str(), getuid() + 1, static_cast<gid_t>(-1)) == 0) {
    EXPECT_FALSE(readStereoSettingsFile(theirs.c_str(), settings));
  }
  EXPECT_EQ(settings.focalPlane, 1.5f);
}

TEST(StereoSettingsText, TwoNumbersAtTheStartWithinTheLimit) {
  StereoSettings s;
  const char plain[] = "2.5 -0.75\n";
  ASSERT_TRUE(parseStereoSettings(plain, std::strlen(plain), s));
  EXPECT_EQ(s.focalPlane, 2.5f);
  EXPECT_EQ(s.eyeRotation, -0.75f);
  // No NUL needed: the size ends the text.
  const char unterminated[] = {'3', ' ', '4', '5', '6'};
  ASSERT_TRUE(parseStereoSettings(unterminated, 3, s));
  EXPECT_EQ(s.eyeRotation, 4.0f);
  const std::string padded = std::string(100, ' ') + "\n\t7 8";
  ASSERT_TRUE(parseStereoSettings(padded.data(), padded.size(), s));
  EXPECT_EQ(s.focalPlane, 7.0f);

  StereoSettings untouched;
  for (const std::string& text :
       {std::string(""), std::string("1"), std::string("1 x"), std::string("x 1 2"),
        std::string("1\0 2", 4), std::string(kMaxStereoSettingsBytes - 2, ' ') + "1 2"}) {
    EXPECT_FALSE(parseStereoSettings(text.data(), text.size(), untouched)) << text;
  }
  EXPECT_EQ(untouched.focalPlane, 0.0f);
  EXPECT_FALSE(parseStereoSettings(nullptr, 4, untouched));
}

}  // namespace
