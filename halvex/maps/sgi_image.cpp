#include "halvex/maps/sgi_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "halvex/core/load_progress.h"
#include "halvex/maps/picture_limit.h"

namespace {

/// Bytes iopen reads at the start of the file; the header fields are the first 108 of them.
constexpr size_t kHeaderReadSize = 152;
/// Magic as it reads on a host of the other byte order.
constexpr uint16_t kSwappedMagic = 0xDA01;
/// Longest error message passed to the hook.
constexpr size_t kMessageSize = 1024;
/// Storage kinds (high byte of type).
constexpr int kVerbatim = 0;
constexpr int kRunLength = 1;
/// Control-unit bits of a run-length packet.
constexpr unsigned kLiteralBit = 0x80;
constexpr unsigned kCountMask = 0x7F;
/// Values a channel value keeps in the decoded picture.
constexpr unsigned kByteMask = 0xFF;
/// Opaque alpha of pictures without an alpha channel.
constexpr unsigned char kOpaque = 0xFF;
/// Room a packed row may need beyond the reader's usual (xsize + xsize/64) x 4 bytes: the
/// control units and end mark of a tiny two-byte row.
constexpr size_t kScratchSlack = 16;

/// Read by the tile loaders' threads (raster errors go to it too) while a load on the drawing
/// thread may set it.
std::atomic<SgiErrorHook> gHook{nullptr};
int gDimensionLimit = kSgiDefaultDimensionLimit;

/// Formats the message and hands it to the hook, or prints it and ends the program.
void report(const char* format, ...) __attribute__((format(printf, 1, 2)));
void report(const char* format, ...) {
  char message[kMessageSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  if (const SgiErrorHook hook = gHook.load()) {
    hook(message);
    return;
  }
  std::fputs(message, stderr);
  std::exit(1);
}

uint16_t swap16(uint16_t v) {
  return static_cast<uint16_t>((v >> 8) | (v << 8));
}

uint32_t swap32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

/// Reads exactly n bytes unless the file ends or fails first; returns the bytes read.
size_t readFully(int fd, void* buffer, size_t n) {
  auto* p = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < n) {
    const ssize_t got = ::read(fd, p + done, n - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

/// Copies the header fields out of the first bytes of the file, swapping them when asked.
// Sample (big-endian, run-length, 1 byte a value, 3 channels of 640 x 480):
//   01 DA 01 01 00 03 02 80 01 E0 00 03 00 00 00 00 00 00 00 FF ...
void parseHeader(const unsigned char* raw, SgiImage& image) {
  std::memcpy(&image.imagic, raw + 0, 2);
  std::memcpy(&image.type, raw + 2, 2);
  std::memcpy(&image.dim, raw + 4, 2);
  std::memcpy(&image.xsize, raw + 6, 2);
  std::memcpy(&image.ysize, raw + 8, 2);
  std::memcpy(&image.zsize, raw + 10, 2);
  std::memcpy(&image.min, raw + 12, 4);
  std::memcpy(&image.max, raw + 16, 4);
  std::memcpy(&image.wastebytes, raw + 20, 4);
  std::memcpy(image.name, raw + 24, sizeof image.name);
  image.name[sizeof image.name - 1] = '\0';
  std::memcpy(&image.colormap, raw + 104, 4);
  if (image.imagic != kSwappedMagic) return;
  image.swap = true;
  for (uint16_t* field :
       {&image.imagic, &image.type, &image.dim, &image.xsize, &image.ysize, &image.zsize}) {
    *field = swap16(*field);
  }
  for (uint32_t* field : {&image.min, &image.max, &image.wastebytes, &image.colormap}) {
    *field = swap32(*field);
  }
}

/// Checks storage, bpc, dim and sizes before anything is allocated for them.
bool headerSound(const SgiImage& image) {
  if (image.storage() > kRunLength) {
    report("iopen: weird image type\n");
    return false;
  }
  if (image.bpc() != 1 && image.bpc() != 2) {
    report("iopen: weird bpp\n");
    return false;
  }
  if (image.dim < 1 || image.dim > 3) {
    report("iopen: weird dim\n");
    return false;
  }
  if (image.xsize == 0 || image.ysize == 0 || image.zsize == 0 || image.xsize > gDimensionLimit ||
      image.ysize > gDimensionLimit) {
    report("iopen: bad image size %d x %d x %d\n", image.xsize, image.ysize, image.zsize);
    return false;
  }
  return true;
}

/// Rows of one channel stored in the file for the image's dim, times its channels.
int64_t storedRows(const SgiImage& image) {
  if (image.dim == 1) return 1;
  if (image.dim == 2) return image.ysize;
  return int64_t{image.ysize} * image.zsize;
}

/// Reads and checks the two run-length row tables.
bool readRowTables(SgiImage& image) {
  const int64_t entries = int64_t{image.ysize} * image.zsize;
  const int64_t tableBytes = entries * 4;
  image.rleEnd = kSgiDataOffset + 2 * tableBytes;
  // Tables that cannot be in the file are never allocated.
  if (image.rleEnd > image.fileSize) {
    report("iopen: error on read of rowstart\n");
    return false;
  }
  image.rowStart.resize(static_cast<size_t>(entries));
  image.rowSize.resize(static_cast<size_t>(entries));
  if (::lseek(image.file, kSgiDataOffset, SEEK_SET) != kSgiDataOffset) {
    report("iopen: error on read of rowstart\n");
    return false;
  }
  if (readFully(image.file, image.rowStart.data(), tableBytes) != static_cast<size_t>(tableBytes)) {
    report("iopen: error on read of rowstart\n");
    return false;
  }
  if (readFully(image.file, image.rowSize.data(), tableBytes) != static_cast<size_t>(tableBytes)) {
    report("iopen: error on read of rowsize\n");
    return false;
  }
  for (size_t i = 0; i < image.rowStart.size(); ++i) {
    if (image.swap) {
      image.rowStart[i] = swap32(image.rowStart[i]);
      image.rowSize[i] = swap32(image.rowSize[i]);
    }
    if (int64_t{image.rowStart[i]} + image.rowSize[i] > image.fileSize) {
      report("iopen: row table entry outside the file\n");
      return false;
    }
  }
  return true;
}

/// Index of row y of channel z in the row tables.
size_t tableIndex(const SgiImage& image, unsigned y, unsigned z) {
  if (image.dim == 1) return 0;
  if (image.dim == 2) return y;
  return y + static_cast<size_t>(z) * image.ysize;
}

/// Frees the handle, closing its file.
void discard(SgiImage* image) {
  if (image->file >= 0) ::close(image->file);
  delete image;
}

}  // namespace

SgiErrorHook setSgiErrorHook(SgiErrorHook hook) {
  return gHook.exchange(hook);
}

SgiErrorHook sgiErrorHook() {
  return gHook.load();
}

void sgiErrorToStderr(const char* message) {
  std::fputs(message, stderr);
  std::fflush(stderr);
}

int setSgiDimensionLimit(int limit) {
  const int previous = gDimensionLimit;
  gDimensionLimit = limit > 0 ? limit : kSgiDefaultDimensionLimit;
  return previous;
}

SgiImage* iopen(const char* path, const char* mode) {
  if (path == nullptr || mode == nullptr) return nullptr;
  if (mode[0] != '\0' && mode[1] == '+') {
    report("iopen: read/write mode not supported\n");
    return nullptr;
  }
  if (mode[0] != 'r') {
    report("iopen: only reading is supported\n");
    return nullptr;
  }
  auto* image = new (std::nothrow) SgiImage;
  if (image == nullptr) return nullptr;
  image->file = ::open(path, O_RDONLY | O_CLOEXEC);
  if (image->file < 0) {
    delete image;
    return nullptr;
  }
  image->flags = kSgiRead;
  struct stat info;
  image->fileSize = ::fstat(image->file, &info) == 0 ? info.st_size : 0;

  unsigned char raw[kHeaderReadSize];
  if (readFully(image->file, raw, sizeof raw) != sizeof raw) {
    report("iopen: error on read of image header\n");
    discard(image);
    return nullptr;
  }
  parseHeader(raw, *image);
  if (image->imagic != kSgiMagic) {
    report("iopen: bad magic in image file %x\n", image->imagic);
    discard(image);
    return nullptr;
  }
  if (!headerSound(*image)) {
    discard(image);
    return nullptr;
  }
  if (image->storage() == kRunLength) {
    if (!readRowTables(*image)) {
      discard(image);
      return nullptr;
    }
  } else if (kSgiDataOffset + storedRows(*image) * image->xsize * image->bpc() > image->fileSize) {
    report("iopen: image data beyond end of file\n");
    discard(image);
    return nullptr;
  }
  const size_t scratchBytes = (size_t{image->xsize} + image->xsize / 64) * 4 + kScratchSlack;
  image->scratch.resize(scratchBytes);
  image->offset = kSgiDataOffset;
  if (::lseek(image->file, kSgiDataOffset, SEEK_SET) != kSgiDataOffset) {
    report("iopen: error on seek to image data\n");
    discard(image);
    return nullptr;
  }
  return image;
}

int iclose(SgiImage* image) {
  if (image == nullptr) return -1;
  const int result = image->file >= 0 ? ::close(image->file) : 0;
  image->file = -1;
  delete image;
  if (result != 0) report("iclose: error on close of file\n");
  return result;
}

off_t img_seek(SgiImage* image, unsigned y, unsigned z) {
  if (y >= image->ysize || z >= image->zsize) {
    report("img_seek: row number out of range\n");
    return -1;
  }
  if (image->dim < 1 || image->dim > 3) {
    report("img_seek: weird dim\n");
    return -1;
  }
  image->x = 0;
  image->y = y;
  image->z = z;
  off_t target;
  if (image->storage() == kVerbatim) {
    const int64_t rowBytes = int64_t{image->bpc()} * image->xsize;
    int64_t row = 0;
    if (image->dim == 2) row = y;
    if (image->dim == 3) row = y + int64_t{z} * image->ysize;
    target = static_cast<off_t>(kSgiDataOffset + rowBytes * row);
  } else if (image->storage() == kRunLength) {
    target = image->rowStart[tableIndex(*image, y, z)];
  } else {
    report("img_seek: weird image type\n");
    return -1;
  }
  if (target != image->offset) {
    if (::lseek(image->file, target, SEEK_SET) != target) {
      image->flags |= kSgiError;
      report("img_seek: seek failed\n");
      return -1;
    }
    image->offset = target;
  }
  return target;
}

int rle_expand(const unsigned char* in, size_t inBytes, unsigned short* out, int outCount,
               int bpc) {
  size_t pos = 0;
  int written = 0;
  auto unit = [&](unsigned& value) {
    if (pos + bpc > inBytes) return false;
    if (bpc == 1) {
      value = in[pos];
    } else {
      uint16_t wide;
      std::memcpy(&wide, in + pos, sizeof wide);
      value = wide;
    }
    pos += bpc;
    return true;
  };
  unsigned control;
  while (unit(control)) {
    const int n = static_cast<int>(control & kCountMask);
    if (n == 0) break;
    if (n > outCount - written) return -1;
    unsigned value;
    if (control & kLiteralBit) {
      for (int i = 0; i < n; ++i) {
        if (!unit(value)) return -2;
        out[written++] = static_cast<unsigned short>(value);
      }
    } else {
      if (!unit(value)) return -2;
      for (int i = 0; i < n; ++i) out[written++] = static_cast<unsigned short>(value);
    }
  }
  return written;
}

int getrow(SgiImage* image, unsigned short* buffer, unsigned y, unsigned z) {
  if (image == nullptr || buffer == nullptr) return -1;
  if (!(image->flags & kSgiRead)) {
    report("getrow: image not open for reading\n");
    return -1;
  }
  if (img_seek(image, y, z) < 0) return -1;
  const int xsize = image->xsize;
  const int bpc = image->bpc();
  size_t got = 0;
  if (image->storage() == kVerbatim) {
    if (bpc == 1) {
      got = readFully(image->file, image->scratch.data(), xsize);
      if (got == static_cast<size_t>(xsize)) {
        for (int i = 0; i < xsize; ++i) buffer[i] = image->scratch[i];
      }
    } else if (bpc == 2) {
      got = readFully(image->file, buffer, size_t{2} * xsize);
      if (got == size_t{2} * xsize && image->swap) {
        for (int i = 0; i < xsize; ++i) buffer[i] = swap16(buffer[i]);
      }
    } else {
      report("getrow: weird bpp\n");
      return -1;
    }
    image->offset += static_cast<off_t>(got);
    if (got != static_cast<size_t>(bpc) * xsize) {
      image->flags |= kSgiError;
      report("getrow: error on read of row\n");
      return -1;
    }
  } else if (image->storage() == kRunLength) {
    if (bpc != 1 && bpc != 2) {
      report("getrow: weird bpp\n");
      return -1;
    }
    const size_t length = image->rowSize[tableIndex(*image, y, z)];
    if (length > image->scratch.size()) {
      report("getrow: row longer than its buffer\n");
      return -1;
    }
    got = readFully(image->file, image->scratch.data(), length);
    image->offset += static_cast<off_t>(got);
    if (got != length) {
      image->flags |= kSgiError;
      report("getrow: error on read of row\n");
      return -1;
    }
    if (bpc == 2 && image->swap) {
      for (size_t i = 0; i + 1 < length; i += 2)
        std::swap(image->scratch[i], image->scratch[i + 1]);
    }
    const int expanded = rle_expand(image->scratch.data(), length, buffer, xsize, bpc);
    if (expanded == -1) {
      report("getrow: run longer than row\n");
      return -1;
    }
    if (expanded < 0) {
      report("getrow: row data end inside a run\n");
      return -1;
    }
    // A row that ends early reads as zeros.
    for (int i = expanded; i < xsize; ++i) buffer[i] = 0;
    image->count = static_cast<unsigned>(expanded);
  } else {
    report("getrow: weird image type\n");
    return -1;
  }
  return xsize;
}

std::unique_ptr<uint32_t[]> longimagedata(const char* path, int* width, int* height,
                                          LoadProgress* progress) {
  SgiImage* image = iopen(path, "r");
  if (image == nullptr) {
    report("longimagedata: can't open image file %s\n", path ? path : "(null)");
    return nullptr;
  }
  const int xsize = image->xsize;
  const int ysize = image->ysize;
  const int zsize = image->zsize;
  // Run-length rows that all point at one end mark let a file of a few hundred KiB declare
  // 65536 x 65536 pixels: the picture is budgeted from its header before anything is allocated.
  const size_t pictureBytes = mapPictureBytes(xsize, ysize, sizeof(uint32_t));
  if (pictureBytes == 0) {
    iclose(image);
    report("longimagedata: picture of %d x %d pixels is above the limit of %lld pixels\n", xsize,
           ysize, static_cast<long long>(mapPictureLimit()));
    return nullptr;
  }
  std::unique_ptr<uint32_t[]> result(new (std::nothrow) uint32_t[pictureBytes / sizeof(uint32_t)]);
  std::unique_ptr<unsigned short[]> rows[4];
  for (auto& row : rows) row.reset(new (std::nothrow) unsigned short[xsize]);
  if (!result || !rows[0] || !rows[1] || !rows[2] || !rows[3]) {
    iclose(image);
    report("longimagedata: can't malloc enough memory\n");
    return nullptr;
  }
  const int channels = zsize >= 4 ? 4 : (zsize == 3 ? 3 : 1);
  auto* bytes = reinterpret_cast<unsigned char*>(result.get());
  for (int y = 0; y < ysize; ++y) {
    for (int c = 0; c < channels; ++c) {
      if (getrow(image, rows[c].get(), y, c) < 0) {
        iclose(image);
        return nullptr;
      }
    }
    unsigned char* p = bytes + size_t{4} * xsize * y;
    for (int x = 0; x < xsize; ++x, p += 4) {
      const auto r = static_cast<unsigned char>(rows[0][x] & kByteMask);
      if (channels == 1) {
        p[0] = p[1] = p[2] = r;
        p[3] = kOpaque;
      } else {
        p[0] = r;
        p[1] = static_cast<unsigned char>(rows[1][x] & kByteMask);
        p[2] = static_cast<unsigned char>(rows[2][x] & kByteMask);
        p[3] = channels == 4 ? static_cast<unsigned char>(rows[3][x] & kByteMask) : kOpaque;
      }
    }
    if (progress != nullptr) progress->update(y + 1, ysize);
  }
  iclose(image);
  if (width) *width = xsize;
  if (height) *height = ysize;
  return result;
}
