#include "halvex/maps/jpeg_image.h"

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>

#include "halvex/core/load_progress.h"

namespace {

/// Bytes of one decoded pixel.
constexpr int kComponents = 3;
/// Rows and columns of the buffer are multiples of this.
constexpr int kPadding = 4;
/// Set to print one line per decoded scanline.
constexpr const char* kTraceVariable = "HALVEX_IMAGE_TRACE";
/// libjpeg's working memory a pixel of the picture limit allows: the whole-picture coefficient
/// buffers of a progressive or multi-scan file hold 2 bytes a pixel for each of up to 4
/// components (CMYK, the most that converts to R, G, B).
constexpr long kWorkBytesPerPixel = 8;
/// Working memory beyond that: Huffman and quantisation tables, row and colour buffers.
constexpr long kWorkSlackBytes = long{16} << 20;

/// libjpeg's standard error manager, with a way back to the decode call instead of an exit.
struct ErrorManager {
  jpeg_error_mgr standard;
  std::jmp_buf back;
};

/// Fatal errors: print libjpeg's message and return to decodeJpeg.
[[noreturn]] void errorExit(j_common_ptr info) {
  (*info->err->output_message)(info);
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->back, 1);
}

/// Warnings and trace messages as the standard manager handles them, except that a picture
/// whose data end early fails: decoding would fill the rest grey and the cache would keep it.
void emitMessage(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
    (*info->err->output_message)(info);
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->back, 1);
  }
  jpeg_error_mgr standard;
  jpeg_std_error(&standard);
  // The standard emit_message only looks at the manager's counters and trace level.
  (*standard.emit_message)(info, level);
}

/// Counts the scans of a progressive or multi-scan file while jpeg_start_decompress reads them
/// into the coefficient buffer (it calls the monitor before each step of input), and passes the
/// decoder's pass counters on as the load's progress.
struct ScanCounter {
  jpeg_progress_mgr standard;
  int maxScans;
  LoadProgress* load;
};

/// Steps of one pass in the progress passed on.
constexpr int64_t kStepsPerPass = 10000;

void countScans(j_common_ptr info) {
  auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  const auto* counter = reinterpret_cast<ScanCounter*>(info->progress);
  if (decompress->input_scan_number > counter->maxScans) {
    std::fprintf(stderr, "JPEG picture has more than %d scans\n", counter->maxScans);
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->back, 1);
  }
  const jpeg_progress_mgr& p = counter->standard;
  if (counter->load == nullptr || p.pass_limit <= 0 || p.total_passes <= 0) return;
  // The input pass of a multi-scan file guesses its scans and may raise its limit, so that the
  // share steps back; LoadProgress never shows it fall.
  const int64_t inPass =
      std::min<int64_t>(p.pass_counter, p.pass_limit) * kStepsPerPass / p.pass_limit;
  counter->load->update(int64_t{p.completed_passes} * kStepsPerPass + inPass,
                        int64_t{p.total_passes} * kStepsPerPass);
}

/// libjpeg's memory budget for a picture of at most maxPixels pixels.
long workMemory(int64_t maxPixels) {
  if (maxPixels <= 0) return kWorkSlackBytes;
  if (maxPixels > (LONG_MAX - kWorkSlackBytes) / kWorkBytesPerPixel) return LONG_MAX;
  return static_cast<long>(maxPixels) * kWorkBytesPerPixel + kWorkSlackBytes;
}

int roundUp(int v, int multiple) {
  return (v + multiple - 1) / multiple * multiple;
}

/// Repeats the picture's last column into the padding columns and its bottom row into the rows
/// below it, so that scaling sees no black border.
void fillPadding(JpegPicture& p) {
  const size_t rowBytes = static_cast<size_t>(p.paddedWidth) * kComponents;
  const int firstRow = p.paddedHeight - p.height;
  for (int row = firstRow; row < p.paddedHeight; ++row) {
    unsigned char* r = p.pixels.get() + rowBytes * row;
    const unsigned char* last = r + (static_cast<size_t>(p.width) - 1) * kComponents;
    for (int x = p.width; x < p.paddedWidth; ++x) {
      std::memcpy(r + static_cast<size_t>(x) * kComponents, last, kComponents);
    }
  }
  for (int row = 0; row < firstRow; ++row) {
    std::memcpy(p.pixels.get() + rowBytes * row, p.pixels.get() + rowBytes * firstRow, rowBytes);
  }
}

}  // namespace

int decodeJpeg(FILE* file, JpegPicture& picture, const JpegLimits& limits, LoadProgress* progress) {
  picture = JpegPicture();
  if (file == nullptr) return -1;
  const bool trace = std::getenv(kTraceVariable) != nullptr;

  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.standard);
  errors.standard.error_exit = errorExit;
  errors.standard.emit_message = emitMessage;
  // Everything below that libjpeg may leave through longjmp holds no C++ object of its own; the
  // picture is reached through a reference and is emptied on the way out.
  if (setjmp(errors.back) != 0) {
    jpeg_destroy_decompress(&info);
    picture = JpegPicture();
    return -1;
  }
  jpeg_create_decompress(&info);
  info.mem->max_memory_to_use = workMemory(limits.maxPixels);
  ScanCounter scans{};
  scans.standard.progress_monitor = countScans;
  scans.maxScans = limits.maxScans;
  scans.load = progress;
  info.progress = &scans.standard;
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  info.quantize_colors = FALSE;
  info.output_components = kComponents;
  jpeg_calc_output_dimensions(&info);

  const int width = static_cast<int>(info.output_width);
  const int height = static_cast<int>(info.output_height);
  if (width <= 0 || height <= 0 || width > limits.maxDimension || height > limits.maxDimension ||
      int64_t{roundUp(width, kPadding)} * roundUp(height, kPadding) > limits.maxPixels) {
    std::fprintf(stderr, "JPEG picture of %d x %d pixels is too large\n", width, height);
    jpeg_destroy_decompress(&info);
    return -1;
  }
  picture.width = width;
  picture.height = height;
  picture.paddedWidth = roundUp(width, kPadding);
  picture.paddedHeight = roundUp(height, kPadding);
  const size_t rowBytes = static_cast<size_t>(picture.paddedWidth) * kComponents;
  picture.pixels.reset(new (std::nothrow) unsigned char[rowBytes * picture.paddedHeight]);
  if (!picture.pixels) {
    std::fprintf(stderr, "Out of memory for a JPEG picture of %d x %d pixels\n", width, height);
    jpeg_destroy_decompress(&info);
    picture = JpegPicture();
    return -1;
  }
  if (info.output_components != kComponents) {
    std::printf("Currently only support 3 component format\n");
    jpeg_destroy_decompress(&info);
    picture = JpegPicture();
    return -1;
  }
  std::printf("cinfo.output_components is %d\n", info.output_components);

  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    const int s = static_cast<int>(info.output_scanline);
    const int row = picture.paddedHeight - s - 1;
    if (trace) {
      std::printf("ci.o_sl=%d h=%d ci.o_sl-1-h=%d\n", s, picture.paddedHeight, row);
    }
    JSAMPROW target = picture.pixels.get() + rowBytes * row;
    jpeg_read_scanlines(&info, &target, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  fillPadding(picture);
  if (progress != nullptr) progress->update(1, 1);
  return 1;
}

int decodeJpegFile(const char* path, JpegPicture& picture, const JpegLimits& limits,
                   LoadProgress* progress) {
  picture = JpegPicture();
  FILE* file = path ? std::fopen(path, "rb") : nullptr;
  if (file == nullptr) {
    std::printf("could not open %s\n", path ? path : "(null)");
    return -1;
  }
  std::printf("Opened %s\n", path);
  const int result = decodeJpeg(file, picture, limits, progress);
  std::fclose(file);
  return result;
}
