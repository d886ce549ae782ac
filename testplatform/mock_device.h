// A GoogleMock Direct3D 8 device, for tests of code that drives a device
// through its interface alone (D3DX, the scene runner).
#pragma once

#include <gmock/gmock.h>

#include "platform/d3d8.h"

class MockDevice : public Direct3DDevice8 {
 public:
  MOCK_METHOD(HRESULT, GetDeviceCaps, (D3DCAPS8&), (override));
  MOCK_METHOD(HRESULT, GetDisplayMode, (D3DDISPLAYMODE&), (override));
  MOCK_METHOD(HRESULT, SetRenderState, (D3DRENDERSTATETYPE, DWORD), (override));
  MOCK_METHOD(HRESULT, GetRenderState, (D3DRENDERSTATETYPE, DWORD&), (override));
  MOCK_METHOD(HRESULT, SetTextureStageState, (DWORD, D3DTEXTURESTAGESTATETYPE, DWORD), (override));
  MOCK_METHOD(HRESULT, GetTextureStageState, (DWORD, D3DTEXTURESTAGESTATETYPE, DWORD&), (override));
  MOCK_METHOD(HRESULT, SetTransform, (D3DTRANSFORMSTATETYPE, const D3DMATRIX&), (override));
  MOCK_METHOD(HRESULT, GetTransform, (D3DTRANSFORMSTATETYPE, D3DMATRIX&), (override));
  MOCK_METHOD(HRESULT, SetViewport, (const D3DVIEWPORT8&), (override));
  MOCK_METHOD(HRESULT, GetViewport, (D3DVIEWPORT8&), (override));
  MOCK_METHOD(HRESULT, SetVertexShader, (DWORD), (override));
  MOCK_METHOD(HRESULT, GetVertexShader, (DWORD&), (override));
  MOCK_METHOD(HRESULT, BeginScene, (), (override));
  MOCK_METHOD(HRESULT, EndScene, (), (override));
  MOCK_METHOD(HRESULT, Clear, (DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD), (override));
  MOCK_METHOD(HRESULT, Present, (const RECT*, const RECT*, HWND, const void*), (override));
  MOCK_METHOD(HRESULT, CreateVertexBuffer,
              (UINT, DWORD, DWORD, D3DPOOL, Ref<Direct3DVertexBuffer8>&), (override));
  MOCK_METHOD(HRESULT, CreateTexture,
              (UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, Ref<Direct3DTexture8>&), (override));
  MOCK_METHOD(HRESULT, SetStreamSource, (UINT, const Ref<Direct3DVertexBuffer8>&, UINT),
              (override));
  MOCK_METHOD(HRESULT, SetTexture, (DWORD, const Ref<Direct3DBaseTexture8>&), (override));
  MOCK_METHOD(HRESULT, DrawPrimitive, (D3DPRIMITIVETYPE, UINT, UINT), (override));
  MOCK_METHOD(HRESULT, DrawPrimitiveUP, (D3DPRIMITIVETYPE, UINT, const void*, UINT), (override));
};
