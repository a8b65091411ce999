// 4x4 single-precision matrix helpers for the camera and scene code. A matrix is a float[16] in
// OpenGL's column-major order: element (row r, column c) is at index 4c + r, and the translation
// lies at indices 12, 13 and 14. Angles are in degrees. Output arguments may alias inputs.
#pragma once

namespace Matrix4 {

/// Number of floats in a matrix.
constexpr int kSize = 16;

/// Sets m to the identity.
void identity(float m[kSize]);

/// Copies the sixteen floats of src to dst.
void copy(const float src[kSize], float dst[kSize]);

/// out = b * a: the matrix OpenGL forms when a is multiplied onto the current matrix b.
void multiply(const float a[kSize], const float b[kSize], float out[kSize]);

/// m = m * T, with T the translation by (x, y, z).
void translate(float m[kSize], float x, float y, float z);

/// m = m * R, with R the rotation by angle degrees about the x axis.
void rotateX(float m[kSize], float angle);

/// m = m * R, with R the rotation by angle degrees about the z axis.
void rotateZ(float m[kSize], float angle);

/// Inverts m into out by Gauss-Jordan elimination with partial pivoting. Returns 1 on success,
/// 0 when a pivot is exactly zero (singular matrix; out is left untouched).
int invert(const float m[kSize], float out[kSize]);

/// out = m * (p, 1), divided by the resulting w unless w is 0 or 1.
void transformPoint(const float p[3], const float m[kSize], float out[3]);

/// out = m * (p, 1) without the w row.
void transformPointAffine(const float p[3], const float m[kSize], float out[3]);

}  // namespace Matrix4
