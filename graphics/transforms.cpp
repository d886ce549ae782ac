// moduleDX8's transforms: world, view and projection on D3DDevice.
#include "graphics/moduleDX8.h"
#include "graphics/platform_access.h"
#include "platform/checked.h"
#include "platform/d3dx8_math.h"

namespace moduleDX8 {

namespace {

constexpr const char* kDevice = "Direct3DDevice8";

void SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) {
  Check(Use(D3DDevice, kDevice).SetTransform(state, matrix), kDevice);
}

void SetLookAt(const D3DVECTOR& eye, const D3DVECTOR& at) {
  D3DMATRIX view;
  D3DXMatrixLookAtLH(view, eye, at, D3DVECTOR{0.0f, 1.0f, 0.0f});
  SetTransform(D3DTS_VIEW, view);
}

}  // namespace

void SetupMatrices(std::int32_t Distance) {
  D3DMATRIX world;
  D3DXMatrixIdentity(world);
  SetTransform(D3DTS_WORLD, world);

  // The negation is 32-bit integer arithmetic, so it overflows for the
  // smallest Long like any other.
  const float eyeZ = static_cast<float>(SubChecked(0, Distance));
  SetLookAt(D3DVECTOR{0.0f, 0.0f, eyeZ}, D3DVECTOR{0.0f, 0.0f, 0.0f});

  // The field of view is the literal 3.14159 / 4 (not pi / 4), and the aspect
  // is square although the screen is 640 by 480: the scene is drawn slightly
  // stretched horizontally, as it always was.
  const float fovy = ToSingleChecked(3.14159 / 4);
  D3DMATRIX projection;
  D3DXMatrixPerspectiveFovLH(projection, fovy, 1.0f, 1.0f, 1000.0f);
  SetTransform(D3DTS_PROJECTION, projection);
}

void RotateWorld(float AngleX, float AngleY, float AngleZ) {
  D3DMATRIX rx, ry, rz, world;
  D3DXMatrixRotationX(rx, AngleX);
  D3DXMatrixRotationY(ry, AngleY);
  D3DXMatrixRotationZ(rz, AngleZ);
  D3DXMatrixMultiply(world, rx, ry);
  D3DXMatrixMultiply(world, rz, world);
  SetTransform(D3DTS_WORLD, world);
}

void SetCamera(float EyeX, float EyeY, float EyeZ, float AtX, float AtY, float AtZ) {
  SetLookAt(D3DVECTOR{EyeX, EyeY, EyeZ}, D3DVECTOR{AtX, AtY, AtZ});
}

}  // namespace moduleDX8
