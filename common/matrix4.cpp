#include "common/matrix4.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "common/angles.h"

namespace Matrix4 {

namespace {

/// Rows and columns of a matrix.
constexpr int kDim = 4;

/// Columns of the augmented matrix [M | I] used by invert.
constexpr int kAugmentedCols = 2 * kDim;

}  // namespace

void identity(float m[kSize]) {
  for (int i = 0; i < kSize; ++i) m[i] = 0.0f;
  m[0] = m[5] = m[10] = m[15] = 1.0f;
}

void copy(const float src[kSize], float dst[kSize]) {
  std::memmove(dst, src, kSize * sizeof(float));
}

void multiply(const float a[kSize], const float b[kSize], float out[kSize]) {
  float product[kSize];
  for (int c = 0; c < kDim; ++c) {
    for (int r = 0; r < kDim; ++r) {
      float sum = 0.0f;
      for (int k = 0; k < kDim; ++k) sum += b[kDim * k + r] * a[kDim * c + k];
      product[kDim * c + r] = sum;
    }
  }
  copy(product, out);
}

void translate(float m[kSize], float x, float y, float z) {
  float t[kSize];
  identity(t);
  t[12] = x;
  t[13] = y;
  t[14] = z;
  multiply(t, m, m);
}

namespace {
/// Post-multiplies a rotation whose plane has cosines at indices p and q, the sine at p + 1 and
/// minus the sine at q - 1.
void rotateInPlane(float m[kSize], float angle, int p, int q) {
  const double radians = angle * kDegToRad;
  const float c = static_cast<float>(std::cos(radians));
  const float s = static_cast<float>(std::sin(radians));
  float r[kSize];
  identity(r);
  r[p] = c;
  r[p + 1] = s;
  r[q - 1] = -s;
  r[q] = c;
  multiply(r, m, m);
}
}  // namespace

void rotateX(float m[kSize], float angle) {
  rotateInPlane(m, angle, 5, 10);
}

void rotateZ(float m[kSize], float angle) {
  rotateInPlane(m, angle, 0, 5);
}

int invert(const float m[kSize], float out[kSize]) {
  // Row r of [M | I]; M(r, c) is m[4c + r].
  double aug[kDim][kAugmentedCols];
  for (int r = 0; r < kDim; ++r) {
    for (int c = 0; c < kDim; ++c) {
      aug[r][c] = m[kDim * c + r];
      aug[r][kDim + c] = (r == c) ? 1.0 : 0.0;
    }
  }
  for (int col = 0; col < kDim; ++col) {
    int pivotRow = col;
    for (int r = col + 1; r < kDim; ++r) {
      if (std::fabs(aug[r][col]) > std::fabs(aug[pivotRow][col])) pivotRow = r;
    }
    if (aug[pivotRow][col] == 0.0) return 0;
    if (pivotRow != col) std::swap(aug[pivotRow], aug[col]);
    const double pivot = aug[col][col];
    for (int c = 0; c < kAugmentedCols; ++c) aug[col][c] /= pivot;
    for (int r = 0; r < kDim; ++r) {
      if (r == col) continue;
      const double factor = aug[r][col];
      if (factor == 0.0) continue;
      for (int c = 0; c < kAugmentedCols; ++c) aug[r][c] -= factor * aug[col][c];
    }
  }
  for (int r = 0; r < kDim; ++r) {
    for (int c = 0; c < kDim; ++c) out[kDim * c + r] = static_cast<float>(aug[r][kDim + c]);
  }
  return 1;
}

void transformPoint(const float p[3], const float m[kSize], float out[3]) {
  const float x = p[0], y = p[1], z = p[2];
  float tx = m[0] * x + m[4] * y + m[8] * z + m[12];
  float ty = m[1] * x + m[5] * y + m[9] * z + m[13];
  float tz = m[2] * x + m[6] * y + m[10] * z + m[14];
  const float w = m[3] * x + m[7] * y + m[11] * z + m[15];
  if (w != 0.0f && w != 1.0f) {
    tx /= w;
    ty /= w;
    tz /= w;
  }
  out[0] = tx;
  out[1] = ty;
  out[2] = tz;
}

void transformPointAffine(const float p[3], const float m[kSize], float out[3]) {
  const float x = p[0], y = p[1], z = p[2];
  out[0] = m[0] * x + m[4] * y + m[8] * z + m[12];
  out[1] = m[1] * x + m[5] * y + m[9] * z + m[13];
  out[2] = m[2] * x + m[6] * y + m[10] * z + m[14];
}

}  // namespace Matrix4
