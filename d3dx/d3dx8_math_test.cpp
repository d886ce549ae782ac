#include "platform/d3dx8_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "tests/harness/matrix_test_util.h"

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTol = 2e-6f;

using test_helpers::Rows;

void ExpectMatrixNear(const D3DMATRIX& actual, const D3DMATRIX& expected, float tol = kTol) {
  test_helpers::ExpectMatrixNear(actual, expected, tol);
}

void ExpectPointNear(const D3DVECTOR& p, float x, float y, float z, float tol = kTol) {
  EXPECT_NEAR(p.x, x, tol);
  EXPECT_NEAR(p.y, y, tol);
  EXPECT_NEAR(p.z, z, tol);
}

// The upper 3x3 block is a rotation: orthonormal rows, determinant +1.
void ExpectOrthonormal(const D3DMATRIX& m) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      float d = 0;
      for (int k = 0; k < 3; ++k) d += m.m[i][k] * m.m[j][k];
      EXPECT_NEAR(d, i == j ? 1.0f : 0.0f, 1e-5f) << i << "," << j;
    }
  const float det = m.m[0][0] * (m.m[1][1] * m.m[2][2] - m.m[1][2] * m.m[2][1]) -
                    m.m[0][1] * (m.m[1][0] * m.m[2][2] - m.m[1][2] * m.m[2][0]) +
                    m.m[0][2] * (m.m[1][0] * m.m[2][1] - m.m[1][1] * m.m[2][0]);
  EXPECT_NEAR(det, 1.0f, 1e-5f);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_TRUE(std::isfinite(m.m[i][j]));
}

TEST(D3DXMatrixRotation, FollowsTheLeftHandedRowVectorDefinitions) {
  D3DMATRIX m;
  D3DXMatrixRotationX(m, 0.3f);
  const float c = std::cos(0.3f), s = std::sin(0.3f);
  ExpectMatrixNear(m, Rows({1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1}));
  D3DXMatrixRotationY(m, 0.3f);
  ExpectMatrixNear(m, Rows({c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1}));
  D3DXMatrixRotationZ(m, 0.3f);
  ExpectMatrixNear(m, Rows({c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));

  D3DXMatrixIdentity(m);
  ExpectMatrixNear(m, test_helpers::kIdentity, 0);
}

// The product itself is the math module's; here: `out` may be a factor.
TEST(D3DXMatrixMultiply, ToleratesAliasing) {
  const D3DMATRIX a = Rows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  const D3DMATRIX b = Rows({2, 0, 1, 0, 0, 3, 0, 1, 1, 0, 0, 2, 0, 1, 1, 0});
  D3DMATRIX ab, aa;
  D3DXMatrixMultiply(ab, a, b);
  D3DXMatrixMultiply(aa, a, a);
  EXPECT_EQ(ab.m[0][0], 5.0f);  // a first (b first gives 11)
  D3DMATRIX first = a, second = b, both = a;
  D3DXMatrixMultiply(first, first, b);
  D3DXMatrixMultiply(second, a, second);
  D3DXMatrixMultiply(both, both, both);
  ExpectMatrixNear(first, ab, 0);
  ExpectMatrixNear(second, ab, 0);
  ExpectMatrixNear(both, aa, 0);
}

TEST(D3DXMatrixLookAtLH, PlacesTheEyeAtTheOriginLookingDownZ) {
  D3DMATRIX m;
  D3DXMatrixLookAtLH(m, {0, 0, -5}, {0, 0, 0}, {0, 1, 0});
  ExpectMatrixNear(m, Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1}), 0);
  // From the other side the view looks back along -z.
  D3DXMatrixLookAtLH(m, {0, 0, 5}, {0, 0, 0}, {0, 1, 0});
  ExpectMatrixNear(m, Rows({-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 5, 1}), 0);
  // A direction too short to survive single-precision squaring.
  D3DXMatrixLookAtLH(m, {0, 0, 0}, {0, 0, 1e-30f}, {0, 1, 0});
  ExpectMatrixNear(m, test_helpers::kIdentity, 0);
}

// Each row: a view, oblique or degenerate. The matrix must stay a finite
// rotation taking the eye to the origin and the look-at point onto +z at its
// distance (an eye on the point looks along +z).
TEST(D3DXMatrixLookAtLH, EveryViewIsARotationOntoZ) {
  const struct {
    const char* what;
    D3DVECTOR eye, at, up;
  } rows[] = {
      {"oblique", {3, -2, 7}, {-1, 4, 0.5f}, {0, 1, 0}},
      {"the eye on the point", {1, 2, 3}, {1, 2, 3}, {0, 1, 0}},
      {"straight down the up vector", {0, 0, 0}, {0, -4, 0}, {0, 1, 0}},
      {"straight up it", {0, 0, 0}, {0, 4, 0}, {0, 1, 0}},
      {"a zero up vector", {0, 0, -2}, {0, 0, 0}, {0, 0, 0}},
      {"a zero up vector, oblique", {0, 0, 0}, {1, 2, 3}, {0, 0, 0}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    D3DMATRIX m;
    D3DXMatrixLookAtLH(m, r.eye, r.at, r.up);
    ExpectOrthonormal(m);
    ExpectPointNear(D3DXVec3TransformCoord(r.eye, m), 0, 0, 0, 1e-5f);
    const float dx = r.at.x - r.eye.x, dy = r.at.y - r.eye.y, dz = r.at.z - r.eye.z;
    ExpectPointNear(D3DXVec3TransformCoord(r.at, m), 0, 0, std::sqrt(dx * dx + dy * dy + dz * dz),
                    1e-5f);
  }
  // "Up" stays in the upper half.
  D3DMATRIX m;
  D3DXMatrixLookAtLH(m, {3, -2, 7}, {-1, 4, 0.5f}, {0, 1, 0});
  const D3DVECTOR above = D3DXVec3TransformCoord({3, -1, 7}, m);
  EXPECT_GT(above.y, 0.0f);
  EXPECT_NEAR(above.x, 0.0f, 1e-5f);
}

TEST(D3DXMatrixPerspectiveFovLH, MapsNearToZeroFarToOneAndAspectDividesOnlyX) {
  // The program's own projection (3.14159 / 4, aspect 1) is checked where
  // SetupMatrices sets it.
  D3DMATRIX m;
  D3DXMatrixPerspectiveFovLH(m, kPi / 3, 2.0f, 1.0f, 1000.0f);
  EXPECT_NEAR(D3DXVec3TransformCoord({0, 0, 1}, m).z, 0.0f, 1e-6f);
  EXPECT_NEAR(D3DXVec3TransformCoord({0, 0, 1000}, m).z, 1.0f, 1e-6f);
  EXPECT_NEAR(m.m[1][1], std::sqrt(3.0f), 1e-6f);  // cot(fov / 2)
  EXPECT_NEAR(m.m[0][0], std::sqrt(3.0f) / 2, 1e-6f);
  EXPECT_EQ(m.m[2][3], 1.0f);
}

}  // namespace
