// The transforms of moduleDX8: the fixed matrices, the world's turn order and
// the camera. (A failing SetTransform is the fault sweep's.)
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "graphics/moduleDX8.h"
#include "platform/d3dx8_math.h"
#include "tests/harness/program_platform.h"
#include "tests/harness/test_helpers.h"

namespace {

using namespace moduleDX8;
using test_helpers::ExpectMatrixNear;
using test_helpers::kIdentity;
using test_helpers::MakeDevice;
using test_helpers::Rows;

constexpr float kHalfPi = 1.57079632679f;

const D3DMATRIX& Transform(ProgramPlatform& tp, D3DTRANSFORMSTATETYPE state) {
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
  ProgramPlatform tp;
  MakeDevice(tp);
  SetupMatrices(3);

  ExpectMatrixNear(Transform(tp, D3DTS_WORLD), kIdentity, 0);
  ExpectMatrixNear(Transform(tp, D3DTS_VIEW),
                   Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 3, 1}), 0);
  // cot(3.14159 / 8) in single precision, not the pi / 4 value 2.4142136;
  // aspect 1 although the screen is 640 by 480.
  const float q = 1000.0f / 999.0f;
  const D3DMATRIX& p = Transform(tp, D3DTS_PROJECTION);
  ExpectMatrixNear(p, Rows({2.4142158f, 0, 0, 0, 0, 2.4142158f, 0, 0, 0, 0, q, 1, 0, 0, -q, 0}),
                   3e-7f);
  EXPECT_GT(std::fabs(p.m[0][0] - 2.4142136f), 1e-6f);
}

TEST(SetupMatrices, NegatingTheSmallestDistanceOverflowsAfterTheWorldIsSet) {
  ProgramPlatform tp;
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
  ProgramPlatform tp;
  MakeDevice(tp);
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
  EXPECT_EQ(tp.Calls().size(), 2u);
}

TEST(SetCamera, LooksFromTheEyeAtThePointWithYUp) {
  // The look-at matrix itself is D3DX's; here: the arguments' order and "up".
  ProgramPlatform tp;
  MakeDevice(tp);
  SetCamera(0, 0, 5, 0, 0, 0);
  ExpectMatrixNear(Transform(tp, D3DTS_VIEW),
                   Rows({-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 5, 1}), 0);
  EXPECT_EQ(tp.Calls().size(), 1u);
  EXPECT_EQ(tp.Device()->Transforms.count(D3DTS_WORLD), 0u);
}

}  // namespace
