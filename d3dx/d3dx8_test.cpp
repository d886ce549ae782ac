// D3DX: the texture request adjusted to the device's rules, the texture made
// from it, the font, and the matrix helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "d3dx/d3dx8_object.h"
#include "platform/d3dx8_math.h"
#include "testplatform/test_platform.h"
#include "tests/harness/matrix_test_util.h"

namespace {

D3DCAPS8 Caps(DWORD textureCaps, DWORD maxSize = 4096) {
  D3DCAPS8 caps{};
  caps.TextureCaps = textureCaps;
  caps.MaxTextureWidth = caps.MaxTextureHeight = maxSize;
  return caps;
}

// Each row: the device's texture caps and largest size, the request, and the
// texture D3DX asks the device for.
TEST(D3DXTextureRequest, DefaultsAndTheDevicesSizeRules) {
  constexpr DWORD kPow2 = kTextureCapsPow2;
  // clang-format off
  const struct {
    DWORD caps, maxSize;
    std::int32_t w, h, levels, format;
    UINT width, height, levelsMade;
    D3DFORMAT formatMade;
  } rows[] = {
      {0, 4096, 256, 128, D3DX_DEFAULT, 0, 256, 128, 9, D3DFMT_A8R8G8B8},
      {0, 4096, 0, D3DX_DEFAULT, 0, D3DFMT_R5G6B5, 256, 256, 9, D3DFMT_R5G6B5},
      {0, 4096, 1, 1, D3DX_DEFAULT, 0, 1, 1, 1, D3DFMT_A8R8G8B8},
      {0, 4096, 16, 16, 3, 0, 16, 16, 3, D3DFMT_A8R8G8B8},
      {0, 4096, 16, 16, 40, 0, 16, 16, 5, D3DFMT_A8R8G8B8},  // cut to the chain
      {0, 4096, 640, 480, D3DX_DEFAULT, 0, 640, 480, 10, D3DFMT_A8R8G8B8},
      {kPow2, 4096, 640, 480, D3DX_DEFAULT, 0, 1024, 512, 11, D3DFMT_A8R8G8B8},
      // Conditional non-powers of two: for one level only.
      {kPow2 | kTextureCapsNonPow2Conditional, 4096, 640, 480, 1, 0, 640, 480, 1, D3DFMT_A8R8G8B8},
      {kPow2 | kTextureCapsNonPow2Conditional, 4096, 640, 480, 2, 0, 1024, 512, 2,
       D3DFMT_A8R8G8B8},
      {kPow2 | kTextureCapsSquareOnly, 4096, 100, 20, 1, 0, 128, 128, 1, D3DFMT_A8R8G8B8},
      {kPow2, 512, 640, 480, D3DX_DEFAULT, 0, 512, 512, 10, D3DFMT_A8R8G8B8},
  };
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.w) + "x" + std::to_string(r.h) + " caps " +
                 std::to_string(r.caps));
    D3DXTextureRequest made;
    ASSERT_EQ(D3DXAdjustTextureRequest(Caps(r.caps, r.maxSize), r.w, r.h, r.levels, r.format, made),
              D3D_OK);
    EXPECT_EQ(std::tie(made.width, made.height, made.levels, made.format),
              std::tie(r.width, r.height, r.levelsMade, r.formatMade));
  }
  D3DXTextureRequest bad;
  EXPECT_EQ(D3DXAdjustTextureRequest(Caps(0), -2, 4, 1, 0, bad), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXAdjustTextureRequest(Caps(0), 4, 4, -3, 0, bad), D3DERR_INVALIDCALL);
}

// The adjusted request, cut to the device's largest size, reaches the
// device; any failure leaves the target as it was.
TEST(RuntimeD3DX8, CreateTextureAsksTheDeviceForTheAdjustedRequest) {
  TestPlatform tp;  // its device's largest texture: 4096
  const Ref<Direct3DDevice8> device = tp.NewDevice();
  tp.Fail("Device.GetDeviceCaps", D3DERR_DEVICELOST, 2);
  tp.Fail("Device.CreateTexture", E_OUTOFMEMORY, 2);
  RuntimeD3DX8 d3dx;
  const auto create = [&](Ref<Direct3DDevice8> on, std::int32_t width, Ref<Direct3DTexture8>& t) {
    return d3dx.CreateTexture(on, width, 8, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, t);
  };
  Ref<Direct3DTexture8> previous;
  ASSERT_EQ(create(device, 1, previous), D3D_OK);
  Ref<Direct3DTexture8> texture = previous;
  EXPECT_EQ(create(device, 5000, texture), D3DERR_DEVICELOST);
  EXPECT_EQ(create(device, 5000, texture), E_OUTOFMEMORY);
  EXPECT_EQ(create(nullptr, 5000, texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(create(device, -5, texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture, previous);
  ASSERT_EQ(create(device, 5000, texture), D3D_OK);
  EXPECT_NE(texture, previous);
  EXPECT_EQ(tp.Calls().back(), "Device.CreateTexture(4096, 8, 13, 0, 21, 1)");
}

TEST(RuntimeD3DX8, FontNeedsAHandleAndKeepsItsDevice) {
  RuntimeD3DX8 d3dx;
  TestPlatform tp;
  Ref<Direct3DDevice8> device = tp.NewDevice();
  Ref<D3DXFont> font;
  EXPECT_EQ(d3dx.CreateFont(device, 0, font), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3dx.CreateFont(nullptr, 7, font), D3DERR_INVALIDCALL);
  EXPECT_EQ(font, nullptr);

  ASSERT_EQ(d3dx.CreateFont(device, 7, font), D3D_OK);
  auto* made = dynamic_cast<RuntimeD3DXFont*>(font.get());
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->FontHandle(), 7);
  std::weak_ptr<Direct3DDevice8> watch = device;
  device.reset();
  EXPECT_FALSE(watch.expired());  // the font holds it
  font.reset();
  EXPECT_TRUE(watch.expired());
}

constexpr float kPi = 3.14159265358979f;
constexpr float kTol = 2e-6f;

using test_helpers::Rows;

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
  test_helpers::ExpectMatrixNear(m, Rows({1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1}), kTol);
  D3DXMatrixRotationY(m, 0.3f);
  test_helpers::ExpectMatrixNear(m, Rows({c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1}), kTol);
  D3DXMatrixRotationZ(m, 0.3f);
  test_helpers::ExpectMatrixNear(m, Rows({c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}), kTol);
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
  test_helpers::ExpectMatrixNear(first, ab, 0);
  test_helpers::ExpectMatrixNear(second, ab, 0);
  test_helpers::ExpectMatrixNear(both, aa, 0);
}

// Each row: a view, oblique or degenerate. The matrix must stay a finite
// rotation taking the eye to the origin and the look-at point onto +z at its
// distance (an eye on the point looks along +z). (The program's views from
// either side of the cloud show in its own frame tests.)
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
      {"a direction too short to survive squaring", {0, 0, 0}, {0, 0, 1e-30f}, {0, 1, 0}},
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
}

// The program's own projection (3.14159 / 4, aspect 1, depth 1 to 1000)
// shows whole in its frame transcript; only an aspect other than 1 is left.
TEST(D3DXMatrixPerspectiveFovLH, AspectDividesOnlyX) {
  D3DMATRIX m;
  D3DXMatrixPerspectiveFovLH(m, kPi / 3, 2.0f, 1.0f, 1000.0f);
  EXPECT_NEAR(m.m[1][1], std::sqrt(3.0f), 1e-6f);  // cot(fov / 2)
  EXPECT_NEAR(m.m[0][0], std::sqrt(3.0f) / 2, 1e-6f);
}

}  // namespace
