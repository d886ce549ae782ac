#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "graphics/moduleDX8.h"
#include "runtime/d3dx8_math.h"
#include "testplatform/test_platform.h"

namespace {

using namespace moduleDX8;

constexpr float kHalfPi = 1.57079632679f;

// A device made straight on the recording platform, without the start-up.
void MakeDevice(TestPlatform& tp) {
  ASSERT_EQ(tp.NewDirectX8(DX), D3D_OK);
  ASSERT_EQ(DX->Direct3DCreate(D3D), D3D_OK);
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 640;
  pp.BackBufferHeight = 480;
  pp.BackBufferFormat = D3DFMT_R5G6B5;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_FLIP;
  pp.hDeviceWindow = tp.script.hWnd;
  ASSERT_EQ(D3D->CreateDevice(0, D3DDEVTYPE_HAL, tp.script.hWnd,
                              D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp, D3DDevice),
            D3D_OK);
  tp.ClearCalls();
}

D3DMATRIX Rows(std::initializer_list<float> v) {
  D3DMATRIX m{};
  int i = 0;
  for (float x : v) {
    m.m[i / 4][i % 4] = x;
    ++i;
  }
  return m;
}

void ExpectMatrixNear(const D3DMATRIX& actual, const D3DMATRIX& expected, float tol) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      EXPECT_NEAR(actual.m[i][j], expected.m[i][j], tol) << "element _" << i + 1 << j + 1;
}

const D3DMATRIX& Transform(TestPlatform& tp, D3DTRANSFORMSTATETYPE state) {
  static const D3DMATRIX kMissing = Rows({NAN});
  const auto& set = tp.Device()->Transforms;
  const auto it = set.find(state);
  if (it == set.end()) {
    ADD_FAILURE() << "transform " << state << " was never set";
    return kMissing;
  }
  return it->second;
}

TEST(SetupMatrices, SetsIdentityWorldViewFromMinusDistanceAndTheFixedProjection) {
  TestPlatform tp;
  MakeDevice(tp);
  SetupMatrices(3);

  const auto sets = tp.CallsStartingWith("Device.SetTransform(");
  ASSERT_EQ(sets.size(), 3u);
  EXPECT_EQ(sets[0].rfind("Device.SetTransform(256, ", 0), 0u) << sets[0];
  EXPECT_EQ(sets[1].rfind("Device.SetTransform(2, ", 0), 0u) << sets[1];
  EXPECT_EQ(sets[2].rfind("Device.SetTransform(3, ", 0), 0u) << sets[2];

  ExpectMatrixNear(Transform(tp, D3DTS_WORLD), Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}),
                   0);
  ExpectMatrixNear(Transform(tp, D3DTS_VIEW), Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 3, 1}),
                   0);
  // cot(3.14159 / 8) in single precision, not the pi / 4 value 2.4142136;
  // aspect 1 although the screen is 640 by 480.
  const float q = 1000.0f / 999.0f;
  const D3DMATRIX& p = Transform(tp, D3DTS_PROJECTION);
  ExpectMatrixNear(p, Rows({2.4142158f, 0, 0, 0, 0, 2.4142158f, 0, 0, 0, 0, q, 1, 0, 0, -q, 0}),
                   3e-7f);
  EXPECT_GT(std::fabs(p.m[0][0] - 2.4142136f), 1e-6f);
}

TEST(SetupMatrices, NegatingTheSmallestDistanceOverflowsAfterTheWorldIsSet) {
  TestPlatform tp;
  MakeDevice(tp);
  try {
    SetupMatrices(INT32_MIN);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number, ErrOverflow);
  }
  EXPECT_EQ(tp.Device()->Transforms.count(D3DTS_WORLD), 1u);
  EXPECT_EQ(tp.Device()->Transforms.count(D3DTS_VIEW), 0u);

  // The largest one is fine.
  SetupMatrices(INT32_MAX);
  EXPECT_FLOAT_EQ(Transform(tp, D3DTS_VIEW).m[3][2], 2147483648.0f);
}

TEST(RotateWorld, TurnsAboutZThenXThenY) {
  TestPlatform tp;
  MakeDevice(tp);
  RotateWorld(0, 0, 0);
  ExpectMatrixNear(Transform(tp, D3DTS_WORLD),
                   Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}), 0);

  // Rx * Ry takes (0, 1, 0) to (1, 0, 0); Ry * Rx would give (0, 0, 1).
  RotateWorld(kHalfPi, kHalfPi, 0);
  D3DVECTOR p = D3DXVec3TransformCoord({0, 1, 0}, Transform(tp, D3DTS_WORLD));
  EXPECT_NEAR(p.x, 1, 1e-6f);
  EXPECT_NEAR(p.y, 0, 1e-6f);
  EXPECT_NEAR(p.z, 0, 1e-6f);

  // Rz * Rx takes (1, 0, 0) to (0, 0, 1); Rx * Rz would give (0, 1, 0).
  RotateWorld(kHalfPi, 0, kHalfPi);
  p = D3DXVec3TransformCoord({1, 0, 0}, Transform(tp, D3DTS_WORLD));
  EXPECT_NEAR(p.x, 0, 1e-6f);
  EXPECT_NEAR(p.y, 0, 1e-6f);
  EXPECT_NEAR(p.z, 1, 1e-6f);

  EXPECT_EQ(tp.CallsStartingWith("Device.SetTransform(256, ").size(), 3u);
  EXPECT_EQ(tp.Calls().size(), 3u);
}

TEST(SetCamera, LooksFromTheEyeAtThePointWithYUp) {
  TestPlatform tp;
  MakeDevice(tp);
  SetCamera(0, 0, -5, 0, 0, 0);
  ExpectMatrixNear(Transform(tp, D3DTS_VIEW), Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1}),
                   0);
  SetCamera(0, 0, 5, 0, 0, 0);
  ExpectMatrixNear(Transform(tp, D3DTS_VIEW),
                   Rows({-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 5, 1}), 0);
  // The eye on the look-at point (the cloud's centre reached with Down held)
  // still sets a finite view.
  SetCamera(0, 0, 0, 0, 0, 0);
  for (const auto& row : Transform(tp, D3DTS_VIEW).m)
    for (float v : row) EXPECT_TRUE(std::isfinite(v));
  EXPECT_EQ(tp.CallsStartingWith("Device.SetTransform(2,").size(), 3u);
  EXPECT_EQ(tp.Device()->Transforms.count(D3DTS_WORLD), 0u);
}

TEST(Transforms, AFailingSetRaisesItsStatusAndLeavesTheLaterTransformsAlone) {
  TestPlatform tp;
  MakeDevice(tp);
  tp.Fail("Device.SetTransform", D3DERR_INVALIDCALL, 2);
  try {
    SetupMatrices(3);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number, D3DERR_INVALIDCALL);
    EXPECT_EQ(e.Source, "Direct3DDevice8");
    EXPECT_EQ(Err().Number, D3DERR_INVALIDCALL);
  }
  EXPECT_EQ(tp.CallsStartingWith("Device.SetTransform(").size(), 2u);
  EXPECT_EQ(tp.Device()->Transforms.count(D3DTS_PROJECTION), 0u);

  // Without a device each routine raises "object not set".
  D3DDevice = nullptr;
  for (auto call : {+[] { SetupMatrices(3); }, +[] { RotateWorld(0, 0, 0); },
                    +[] { SetCamera(0, 0, -5, 0, 0, 0); }}) {
    try {
      call();
      ADD_FAILURE() << "no error";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Number, ErrObjectNotSet);
    }
  }
}

}  // namespace
