// Writes SGI image files for the tests: verbatim or run-length, one or two bytes a value, in
// either byte order, so that the reader meets every layout it must handle; and the plain
// one-colour RGB pictures that map and view tests lay on the ground. The one SGI writer of
// every test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// An SGI picture to write; values are indexed (z * ysize + y) * xsize + x.
struct SgiPicture {
  int xsize = 1;
  int ysize = 1;
  int zsize = 1;
  int dim = 3;
  int bpc = 1;
  bool runLength = false;
  bool bigEndian = true;  ///< The usual order; false writes magic bytes DA 01.
  std::vector<uint16_t> values;

  uint16_t& at(int x, int y, int z) { return values[(size_t(z) * ysize + y) * xsize + x]; }
  uint16_t at(int x, int y, int z) const { return values[(size_t(z) * ysize + y) * xsize + x]; }
};

/// A picture of the given size with every value computed by f(x, y, z).
template <class F>
SgiPicture makeSgiPicture(int xsize, int ysize, int zsize, F f) {
  SgiPicture p;
  p.xsize = xsize;
  p.ysize = ysize;
  p.zsize = zsize;
  p.values.resize(size_t(xsize) * ysize * zsize);
  for (int z = 0; z < zsize; ++z) {
    for (int y = 0; y < ysize; ++y) {
      for (int x = 0; x < xsize; ++x) p.at(x, y, z) = static_cast<uint16_t>(f(x, y, z));
    }
  }
  return p;
}

class SgiBytes {
 public:
  explicit SgiBytes(bool bigEndian) : big_(bigEndian) {}
  void u8(unsigned v) { data_.push_back(static_cast<char>(v & 0xFF)); }
  void u16(unsigned v) {
    if (big_) {
      u8(v >> 8);
      u8(v);
    } else {
      u8(v);
      u8(v >> 8);
    }
  }
  void u32(uint32_t v) {
    if (big_) {
      u16(v >> 16);
      u16(v & 0xFFFF);
    } else {
      u16(v & 0xFFFF);
      u16(v >> 16);
    }
  }
  /// One value or control unit of bpc bytes.
  void unit(unsigned v, int bpc) { bpc == 1 ? u8(v) : u16(v); }
  void padTo(size_t size) { data_.resize(size, '\0'); }
  void put32At(size_t at, uint32_t v) {
    SgiBytes b(big_);
    b.u32(v);
    data_.replace(at, 4, b.data_);
  }
  size_t size() const { return data_.size(); }
  std::string& data() { return data_; }

 private:
  bool big_;
  std::string data_;
};

/// Run-length packets of one row, ending with a count-0 unit: runs of equal values where two or
/// more repeat, literals elsewhere, at most 127 values a packet.
inline void encodeSgiRow(SgiBytes& out, const uint16_t* row, int n, int bpc) {
  int i = 0;
  while (i < n) {
    int run = 1;
    while (i + run < n && run < 127 && row[i + run] == row[i]) ++run;
    if (run >= 2) {
      out.unit(run, bpc);
      out.unit(row[i], bpc);
      i += run;
      continue;
    }
    int literal = 1;
    while (i + literal < n && literal < 127 &&
           !(i + literal + 1 < n && row[i + literal] == row[i + literal + 1])) {
      ++literal;
    }
    out.unit(0x80 | literal, bpc);
    for (int k = 0; k < literal; ++k) out.unit(row[i + k], bpc);
    i += literal;
  }
  out.unit(0, bpc);
}

/// The file bytes of picture p.
inline std::string encodeSgi(const SgiPicture& p) {
  SgiBytes out(p.bigEndian);
  out.u16(474);
  out.u16((p.runLength ? 0x100 : 0) | p.bpc);
  out.u16(p.dim);
  out.u16(p.xsize);
  out.u16(p.ysize);
  out.u16(p.zsize);
  out.u32(0);
  out.u32(p.bpc == 1 ? 255 : 65535);
  out.u32(0);
  for (char c : std::string("test picture")) out.u8(c);
  out.padTo(104);
  out.u32(0);
  out.padTo(512);
  const int rows = p.dim == 1 ? 1 : p.ysize;
  const int channels = p.dim == 3 ? p.zsize : 1;
  if (!p.runLength) {
    for (int z = 0; z < channels; ++z) {
      for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < p.xsize; ++x) out.unit(p.at(x, y, z), p.bpc);
      }
    }
    return out.data();
  }
  const size_t entries = size_t(p.ysize) * p.zsize;
  const size_t tables = 512;
  out.padTo(tables + 8 * entries);
  for (int z = 0; z < channels; ++z) {
    for (int y = 0; y < rows; ++y) {
      const size_t start = out.size();
      encodeSgiRow(out, &p.values[(size_t(z) * p.ysize + y) * p.xsize], p.xsize, p.bpc);
      const size_t index = y + size_t(z) * p.ysize;
      out.put32At(tables + 4 * index, static_cast<uint32_t>(start));
      out.put32At(tables + 4 * entries + 4 * index, static_cast<uint32_t>(out.size() - start));
    }
  }
  return out.data();
}

/// The file bytes of a verbatim one-byte RGB picture of one colour.
inline std::string solidSgi(int width, int height, unsigned char r, unsigned char g,
                            unsigned char b) {
  const unsigned char colour[3] = {r, g, b};
  return encodeSgi(makeSgiPicture(width, height, 3, [&](int, int, int z) { return colour[z]; }));
}
