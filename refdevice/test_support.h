// Helpers shared by the reference device's tests: a windowed device with
// pixel reads, states set from a list, vertex records and matrices.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "formats/pixel_format.h"
#include "platform/d3dx8_math.h"
#include "refdevice/ref_device.h"
#include "refdevice/ref_direct3d.h"

namespace test_support {

constexpr HWND kWindow = 1;

inline D3DPRESENT_PARAMETERS Windowed(UINT w = 640, UINT h = 480,
                                      std::int32_t format = D3DFMT_X8R8G8B8,
                                      std::int32_t depth = D3DFMT_D16) {
  return {w, h, format, 1, 0, D3DSWAPEFFECT_DISCARD, 0, 1, depth != 0, depth, 0, 0, 0};
}

// Pre-transformed vertex with diffuse colour (format 0x44).
struct TlVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
};
constexpr DWORD kTlFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

// Untransformed vertex with diffuse colour (format 0x42).
struct XyzVertex {
  float x, y, z;
  D3DCOLOR color;
};
constexpr DWORD kXyzFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

// Pre-transformed vertex with diffuse colour and one coordinate set.
struct TexVertex {
  TlVertex v;
  float u, w;
};

inline TlVertex V(float x, float y, D3DCOLOR c = 0xFFFFFFFF, float z = 0.5f, float rhw = 1.0f) {
  return TlVertex{x, y, z, rhw, c};
}

// A render state, or with Tss() a texture stage state, and its value.
struct Set {
  int state;
  DWORD value;
};
constexpr int Tss(int state, int stage = 0) { return 1000 * (stage + 1) + state; }

// Sets each state of the list on `dev`, expecting it taken.
inline void SetStates(Direct3DDevice8& dev, const std::vector<Set>& states) {
  for (const Set& s : states) {
    const HRESULT hr = s.state < 1000
                           ? dev.SetRenderState(static_cast<D3DRENDERSTATETYPE>(s.state), s.value)
                           : dev.SetTextureStageState(
                                 static_cast<DWORD>(s.state / 1000 - 1),
                                 static_cast<D3DTEXTURESTAGESTATETYPE>(s.state % 1000), s.value);
    EXPECT_EQ(hr, D3D_OK) << s.state;
  }
}

struct Fixture {
  std::shared_ptr<RefDirect3D8> d3d = std::make_shared<RefDirect3D8>();
  Ref<Direct3DDevice8> ref;
  RefDevice* dev = nullptr;

  explicit Fixture(D3DPRESENT_PARAMETERS p = Windowed(),
                   refdev::RasterizerKind kind = refdev::DefaultRasterizerKind()) {
    d3d->SetRasterizerKind(kind);
    EXPECT_EQ(
        d3d->CreateDevice(0, D3DDEVTYPE_REF, kWindow, D3DCREATE_SOFTWARE_VERTEXPROCESSING, p, ref),
        D3D_OK);
    dev = static_cast<RefDevice*>(ref.get());
  }

  void Set(const std::vector<test_support::Set>& states) { SetStates(*dev, states); }
  void Clear(D3DCOLOR c = 0, DWORD flags = D3DCLEAR_TARGET, float z = 1.0f, DWORD stencil = 0) {
    EXPECT_EQ(dev->Clear(0, nullptr, flags, c, z, stencil), D3D_OK);
  }
  // One scene drawing `count` primitives from `v` in format `fvf`.
  void Draw(D3DPRIMITIVETYPE type, UINT count, const void* v, UINT stride = sizeof(TlVertex),
            DWORD fvf = kTlFvf) {
    ASSERT_EQ(dev->SetVertexShader(fvf), D3D_OK);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    ASSERT_EQ(dev->DrawPrimitiveUP(type, count, v, stride), D3D_OK);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
  }
  // A clockwise rectangle as a two-triangle list.
  void Rect(float x0, float y0, float x1, float y1, D3DCOLOR c, float z = 0.5f) {
    const TlVertex v[6] = {V(x0, y0, c, z), V(x1, y0, c, z), V(x0, y1, c, z),
                           V(x1, y0, c, z), V(x1, y1, c, z), V(x0, y1, c, z)};
    Draw(D3DPT_TRIANGLELIST, 2, v);
  }

  // 0xAARRGGBB of back-buffer pixel (x, y), opaque for formats without alpha.
  std::uint32_t Pixel(int x, int y) const {
    const FrameView f = dev->BackBuffer();
    const auto* row =
        static_cast<const std::uint8_t*>(f.pixels) + static_cast<std::size_t>(y) * f.pitch;
    return DecodePixel(f.format, row + static_cast<std::size_t>(x) * BytesPerPixel(f.format));
  }
  std::uint32_t Rgb(int x, int y) const { return Pixel(x, y) & 0xFFFFFFu; }

  // Count of back-buffer pixels whose colour (without alpha) equals `rgb`.
  int Count(std::uint32_t rgb) const {
    const FrameView f = dev->BackBuffer();
    int n = 0;
    for (int y = 0; y < f.height; ++y)
      for (int x = 0; x < f.width; ++x) n += Rgb(x, y) == rgb;
    return n;
  }
};

// Writes texel(i) into every 32-bit texel of `level`, i counting along rows.
template <typename TexelFn>
void FillLevel(Direct3DTexture8& tex, UINT level, TexelFn texel) {
  D3DSURFACE_DESC desc{};
  D3DLOCKED_RECT lr{};
  ASSERT_EQ(tex.GetLevelDesc(level, desc), D3D_OK);
  ASSERT_EQ(tex.LockRect(level, lr, nullptr, 0), D3D_OK);
  for (UINT i = 0; i < desc.Width * desc.Height; ++i) {
    const std::uint32_t v = texel(i);
    std::memcpy(
        static_cast<std::uint8_t*>(lr.pBits) + i / desc.Width * lr.Pitch + 4 * (i % desc.Width), &v,
        4);
  }
  tex.UnlockRect(level);
}

inline D3DMATRIX Perspective(float fovy, float aspect, float zn, float zf) {
  D3DMATRIX m;
  D3DXMatrixPerspectiveFovLH(m, fovy, aspect, zn, zf);
  return m;
}

}  // namespace test_support
