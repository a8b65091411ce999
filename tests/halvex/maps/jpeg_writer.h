// Writes JPEG files for the tests through libjpeg's compressor.
#pragma once

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <cstdlib>
#include <string>
#include <vector>

/// JPEG bytes of a width x height picture whose pixel at (x, row) — row 0 the top scanline — is
/// colour(x, row, rgb); grey pictures take rgb[0]. A `scans` script makes a progressive file of
/// those scans.
template <class F>
std::string encodeJpeg(int width, int height, int components, F colour, int quality = 95,
                       const std::vector<jpeg_scan_info>* scans = nullptr) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = components;
  info.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  if (scans != nullptr) {
    info.scan_info = scans->data();
    info.num_scans = static_cast<int>(scans->size());
  }
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(size_t(width) * components);
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < width; ++x) {
      unsigned char rgb[3];
      colour(x, y, rgb);
      for (int c = 0; c < components; ++c) row[size_t(x) * components + c] = rgb[c];
    }
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&info, &p, 1);
  }
  jpeg_finish_compress(&info);
  std::string bytes(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return bytes;
}

/// Top half red, bottom half blue.
inline void redOverBlue(int, int row, int height, unsigned char rgb[3]) {
  const bool top = row < height / 2;
  rgb[0] = top ? 220 : 10;
  rgb[1] = 20;
  rgb[2] = top ? 10 : 220;
}
