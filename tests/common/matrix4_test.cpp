#include "common/matrix4.h"

#include <gtest/gtest.h>

#include "common/angles.h"

namespace {

/// Tolerance for float results near 1.
constexpr float kTol = 1e-5f;

/// Set by a static initializer of this module, so it must see the angle constants ready.
const double kRightAngle = 90.0 * DEG2RAD;

/// A general invertible matrix with translation and perspective terms.
const float kGeneral[16] = {2, 1, 0, 0.1f, -1, 3, 1, 0, 0.5f, 0, 4, 0.2f, 7, -2, 5, 1};

void expectIdentity(const float* m) {
  for (int i = 0; i < Matrix4::kSize; ++i) EXPECT_NEAR(m[i], i % 5 == 0 ? 1 : 0, kTol) << i;
}

void expectPoint(const float* p, float x, float y, float z) {
  EXPECT_NEAR(p[0], x, kTol);
  EXPECT_NEAR(p[1], y, kTol);
  EXPECT_NEAR(p[2], z, kTol);
}

TEST(AnglesTest, ConstantsAreConsistent) {
  EXPECT_DOUBLE_EQ(PI, 3.14159265358979323846);
  EXPECT_DOUBLE_EQ(DEG2RAD, kDegToRad);
  EXPECT_DOUBLE_EQ(RAD2DEG * DEG2RAD, 1.0);
  EXPECT_DOUBLE_EQ(kRightAngle, PI / 2);
}

TEST(Matrix4Test, TransformsComposeLikeOpenGLCalls) {
  // translate(5,0,0) then rotateZ(90): (1,0,0) -> (5,1,0). rotateX(90): y turns towards z.
  float m[16];
  Matrix4::identity(m);
  Matrix4::translate(m, 5, 0, 0);
  Matrix4::rotateZ(m, 90);
  float p[3] = {1, 0, 0};
  Matrix4::transformPoint(p, m, p);  // in place
  expectPoint(p, 5, 1, 0);
  Matrix4::identity(m);
  Matrix4::rotateX(m, 90);
  const float y[3] = {0, 1, 0};
  Matrix4::transformPointAffine(y, m, p);
  expectPoint(p, 0, 0, 1);
}

TEST(Matrix4Test, MultiplyIsBTimesAAndMayWriteOverItsInputs) {
  float scale[16], shift[16], out[16];
  Matrix4::identity(scale);
  scale[0] = 2;
  Matrix4::identity(shift);
  shift[12] = 1;
  Matrix4::multiply(scale, shift, out);  // scale first, then shift
  EXPECT_FLOAT_EQ(out[0], 2);
  EXPECT_FLOAT_EQ(out[12], 1);
  float expected[16], m[16];
  Matrix4::multiply(kGeneral, kGeneral, expected);
  Matrix4::copy(kGeneral, m);
  Matrix4::multiply(m, m, m);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], expected[i]);
}

TEST(Matrix4Test, InvertPivotsWorksInPlaceAndRefusesSingularMatrices) {
  float m[16], product[16];
  Matrix4::copy(kGeneral, m);
  ASSERT_EQ(Matrix4::invert(m, m), 1);
  Matrix4::multiply(m, kGeneral, product);
  expectIdentity(product);
  // Every diagonal element zero: needs row exchanges.
  const float perm[16] = {0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0};
  ASSERT_EQ(Matrix4::invert(perm, m), 1);
  Matrix4::multiply(perm, m, product);
  expectIdentity(product);

  // A zero column, and equal rows whose zero pivot appears only after elimination.
  float zeroColumn[16];
  Matrix4::copy(kGeneral, zeroColumn);
  for (int r = 0; r < 4; ++r) zeroColumn[8 + r] = 0;
  const float equalRows[16] = {1, 1, 0, 0, 2, 2, 0, 0, 3, 3, 1, 0, 4, 4, 0, 1};
  Matrix4::copy(product, m);
  EXPECT_EQ(Matrix4::invert(zeroColumn, m), 0);
  EXPECT_EQ(Matrix4::invert(equalRows, m), 0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], product[i]);  // untouched
}

TEST(Matrix4Test, TransformPointDividesByWUnlessZeroOrOne) {
  const float p[3] = {1.5f, -2, 0.25f};
  float m[16], full[3], affine[3];
  Matrix4::identity(m);
  Matrix4::translate(m, 1, 2, 3);
  Matrix4::rotateZ(m, 33);
  Matrix4::transformPoint(p, m, full);
  Matrix4::transformPointAffine(p, m, affine);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(full[i], affine[i]);
  Matrix4::identity(m);
  m[15] = 2;
  Matrix4::transformPoint(p, m, full);
  expectPoint(full, 0.75f, -1, 0.125f);
  m[15] = 0;
  Matrix4::transformPoint(p, m, full);
  expectPoint(full, 1.5f, -2, 0.25f);
}

}  // namespace
