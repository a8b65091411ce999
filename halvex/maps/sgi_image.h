// Reader of SGI image files (.sgi, .rle): verbatim or run-length encoded rows of one or two bytes
// a value, in one to four (or more) channels, rows stored bottom-up.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <vector>

class LoadProgress;

/// Receives each formatted error message of the reader. With none installed the message goes to
/// standard error and the program ends with status 1.
using SgiErrorHook = void (*)(const char* message);

/// Installs hook (null removes it); returns the previous one.
SgiErrorHook setSgiErrorHook(SgiErrorHook hook);
/// The hook in force (null when none).
SgiErrorHook sgiErrorHook();
/// A hook that writes the message to standard error and lets the reader fail.
void sgiErrorToStderr(const char* message);

/// Installs a hook for the life of the guard; keeps one already installed.
class ScopedSgiErrorHook {
 public:
  explicit ScopedSgiErrorHook(SgiErrorHook hook = sgiErrorToStderr) : previous_(sgiErrorHook()) {
    if (!previous_) setSgiErrorHook(hook);
  }
  ~ScopedSgiErrorHook() { setSgiErrorHook(previous_); }
  ScopedSgiErrorHook(const ScopedSgiErrorHook&) = delete;
  ScopedSgiErrorHook& operator=(const ScopedSgiErrorHook&) = delete;

 private:
  SgiErrorHook previous_;
};

/// Largest width or height iopen accepts when no other limit is set.
constexpr int kSgiDefaultDimensionLimit = 65536;

/// Sets the largest width or height iopen accepts (values below 1 restore the default); returns
/// the previous limit.
int setSgiDimensionLimit(int limit);

/// Magic number of an SGI image as read in the file's byte order.
constexpr uint16_t kSgiMagic = 474;
/// Offset of the pixel data (and of the run-length row tables).
constexpr int kSgiDataOffset = 512;

/// Access flags of an open image.
constexpr unsigned kSgiRead = 0x01;
constexpr unsigned kSgiWrite = 0x02;
constexpr unsigned kSgiError = 0x20;

/// An open SGI image: the header in host byte order and the reader's state.
struct SgiImage {
  uint16_t imagic = 0;  ///< 474.
  uint16_t type = 0;    ///< High byte storage (0 verbatim, 1 run-length), low byte bpc.
  uint16_t dim = 0;     ///< 1 one row, 2 one channel, 3 several channels.
  uint16_t xsize = 0;
  uint16_t ysize = 0;
  uint16_t zsize = 0;
  uint32_t min = 0;
  uint32_t max = 0;
  uint32_t wastebytes = 0;
  char name[80] = {};
  uint32_t colormap = 0;

  int file = -1;                       ///< Descriptor.
  unsigned flags = 0;                  ///< kSgiRead, kSgiWrite, kSgiError.
  bool swap = false;                   ///< The file's byte order differs from the host's.
  unsigned x = 0, y = 0, z = 0;        ///< Current column, row and channel.
  unsigned count = 0;                  ///< Values of the current row read.
  off_t offset = 0;                    ///< Current file offset.
  off_t fileSize = 0;                  ///< Size of the file at open.
  off_t rleEnd = 0;                    ///< End of the run-length row tables.
  std::vector<uint32_t> rowStart;      ///< Run-length row offsets, index y + z * ysize.
  std::vector<uint32_t> rowSize;       ///< Run-length row lengths in bytes.
  std::vector<unsigned char> scratch;  ///< One packed row.

  int storage() const { return type >> 8; }
  int bpc() const { return type & 0xFF; }
};

/// Opens an SGI image; mode "r" (others are refused). Returns the handle, or null: silently when
/// the file cannot be opened, after an error report when it is damaged.
SgiImage* iopen(const char* path, const char* mode);
/// Closes image and frees the handle; returns the result of closing the file.
int iclose(SgiImage* image);
/// Reads row y of channel z into buffer (xsize values); returns xsize or -1.
int getrow(SgiImage* image, unsigned short* buffer, unsigned y, unsigned z);
/// Moves to the start of row y of channel z; returns its file offset or -1.
off_t img_seek(SgiImage* image, unsigned y, unsigned z);
/// Expands the run-length packets of one row (inBytes bytes of bpc-byte units in host order)
/// into at most outCount values. Returns the values written, -1 when a run goes past outCount,
/// -2 when the data end inside a packet.
int rle_expand(const unsigned char* in, size_t inBytes, unsigned short* out, int outCount, int bpc);

/// Reads the whole picture at path as xsize x ysize pixels whose bytes read R, G, B, A, bottom
/// row first; width and height receive its size when given. Null on failure (after an error
/// report, which ends the program when no hook is installed), also for a picture above the map
/// picture limit (picture_limit.h), which is refused before anything is allocated for it.
/// `progress`, when given, follows the rows read up to 100 %.
std::unique_ptr<uint32_t[]> longimagedata(const char* path, int* width = nullptr,
                                          int* height = nullptr, LoadProgress* progress = nullptr);
