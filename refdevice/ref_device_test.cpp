#include "refdevice/ref_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "refdevice/test_support.h"

using test_support::Fixture;
using test_support::kTlFvf;
using test_support::TlVertex;
using test_support::Windowed;

namespace {

DWORD Rs(Direct3DDevice8& d, D3DRENDERSTATETYPE s) {
  DWORD v = 0xDEADBEEF;
  EXPECT_EQ(d.GetRenderState(s, v), D3D_OK);
  return v;
}
DWORD Tss(Direct3DDevice8& d, DWORD stage, D3DTEXTURESTAGESTATETYPE s) {
  DWORD v = 0xDEADBEEF;
  EXPECT_EQ(d.GetTextureStageState(stage, s, v), D3D_OK);
  return v;
}

}  // namespace

TEST(RefDeviceState, PublishedDefaults) {
  Fixture f;
  Direct3DDevice8& d = *f.dev;
  struct Default {
    D3DRENDERSTATETYPE state;
    DWORD value;
  };
  // clang-format off
  const Default defaults[] = {
      {D3DRS_ZENABLE, 1},  // automatic depth buffer present
      {D3DRS_ZWRITEENABLE, 1}, {D3DRS_ZFUNC, D3DCMP_LESSEQUAL}, {D3DRS_CULLMODE, D3DCULL_CCW},
      {D3DRS_SHADEMODE, D3DSHADE_GOURAUD}, {D3DRS_LIGHTING, 1}, {D3DRS_SPECULARENABLE, 0},
      {D3DRS_ALPHABLENDENABLE, 0}, {D3DRS_SRCBLEND, D3DBLEND_ONE}, {D3DRS_DESTBLEND, D3DBLEND_ZERO},
      {D3DRS_FOGENABLE, 0}, {D3DRS_FOGTABLEMODE, D3DFOG_NONE}, {D3DRS_FOGSTART, refdev::AsBits(0.0f)},
      {D3DRS_FOGEND, refdev::AsBits(1.0f)}, {D3DRS_FOGDENSITY, refdev::AsBits(1.0f)},
      {D3DRS_FOGCOLOR, 0}, {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS}, {D3DRS_COLORVERTEX, 1},
      {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1}, {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF},
  };
  // clang-format on
  for (const Default& r : defaults) EXPECT_EQ(Rs(d, r.state), r.value) << r.state;

  EXPECT_EQ(Tss(d, 0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_MODULATE));
  EXPECT_EQ(Tss(d, 0, D3DTSS_COLORARG1), D3DTA_TEXTURE);
  EXPECT_EQ(Tss(d, 0, D3DTSS_COLORARG2), D3DTA_CURRENT);
  EXPECT_EQ(Tss(d, 0, D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_SELECTARG1));
  EXPECT_EQ(Tss(d, 0, D3DTSS_ALPHAARG1), D3DTA_TEXTURE);
  EXPECT_EQ(Tss(d, 0, D3DTSS_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
  for (DWORD s = 1; s < 8; ++s) {
    EXPECT_EQ(Tss(d, s, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_DISABLE));
    EXPECT_EQ(Tss(d, s, D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_DISABLE));
    EXPECT_EQ(Tss(d, s, D3DTSS_TEXCOORDINDEX), s);
  }

  D3DVIEWPORT8 vp{};
  ASSERT_EQ(d.GetViewport(vp), D3D_OK);
  EXPECT_EQ(vp.Width, 640u);
  EXPECT_EQ(vp.Height, 480u);
  EXPECT_EQ(vp.MinZ, 0.0f);
  EXPECT_EQ(vp.MaxZ, 1.0f);
  for (auto t : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION}) {
    D3DMATRIX m{};
    ASSERT_EQ(d.GetTransform(t, m), D3D_OK);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m.m[i / 4][i % 4], i % 5 == 0 ? 1.0f : 0.0f);
  }

  Fixture noDepth(Windowed(64, 64, D3DFMT_X8R8G8B8, 0));
  EXPECT_EQ(Rs(*noDepth.dev, D3DRS_ZENABLE), 0u);
}

TEST(RefDeviceClear, FlagsRectanglesAndViewport) {
  Fixture f(Windowed(64, 32, D3DFMT_X8R8G8B8, D3DFMT_D16));
  Direct3DDevice8& d = *f.dev;
  ASSERT_EQ(d.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0), D3D_OK);
  EXPECT_EQ(f.Count(0x102030), 64 * 32);

  // Rectangles, clipped to the viewport.
  D3DVIEWPORT8 vp{8, 4, 40, 20, 0.0f, 1.0f};
  ASSERT_EQ(d.SetViewport(vp), D3D_OK);
  const D3DRECT rects[2] = {{0, 0, 16, 8}, {40, 20, 100, 100}};
  ASSERT_EQ(d.Clear(2, rects, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
  EXPECT_EQ(f.Count(0xFFFFFF), 8 * 4 + 8 * 4);
  EXPECT_EQ(f.Rgb(8, 4), 0xFFFFFFu);
  EXPECT_EQ(f.Rgb(7, 4), 0x102030u);
  EXPECT_EQ(f.Rgb(47, 23), 0xFFFFFFu);
  EXPECT_EQ(f.Rgb(48, 23), 0x102030u);
  // No rectangles: the whole viewport.
  ASSERT_EQ(d.Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
  EXPECT_EQ(f.Count(0), 40 * 20);

  Fixture noDepth(Windowed(16, 16, D3DFMT_R5G6B5, 0));
  EXPECT_EQ(noDepth.dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  ASSERT_EQ(noDepth.dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF8040, 1.0f, 0), D3D_OK);
  // 16-bit: channels truncated and widened back by bit replication.
  EXPECT_EQ(noDepth.Rgb(3, 3), 0xFF8242u);

  Fixture stencil(Windowed(16, 16, D3DFMT_X8R8G8B8, D3DFMT_D24S8));
  EXPECT_EQ(stencil.dev->Clear(0, nullptr, D3DCLEAR_STENCIL | D3DCLEAR_ZBUFFER, 0, 0.5f, 3),
            D3D_OK);
}

TEST(RefDevicePresent, FlipCopyAndDiscardSwapTheBuffers) {
  for (auto swap : {D3DSWAPEFFECT_FLIP, D3DSWAPEFFECT_DISCARD, D3DSWAPEFFECT_COPY}) {
    auto p = Windowed(8, 8);
    p.SwapEffect = swap;
    Fixture f(p);
    ASSERT_EQ(f.dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
    auto frame = f.dev->PresentedFrame();
    std::uint32_t px;
    std::memcpy(&px, frame.pixels, 4);
    EXPECT_EQ(px & 0xFFFFFFu, 0u) << "nothing presented yet";
    ASSERT_EQ(f.dev->Present(nullptr, nullptr, 0, nullptr), D3D_OK);
    frame = f.dev->PresentedFrame();
    std::memcpy(&px, frame.pixels, 4);
    EXPECT_EQ(px & 0xFFFFFFu, 0x00FF00u);
    EXPECT_EQ(f.dev->PresentCount(), 1u);
    // Copy keeps the back buffer; flipping hands back the former front buffer.
    EXPECT_EQ(f.Rgb(0, 0), swap == D3DSWAPEFFECT_COPY ? 0x00FF00u : 0u) << swap;
  }
  Fixture f;
  RECT r{0, 0, 1, 1};
  EXPECT_EQ(f.dev->Present(&r, nullptr, 0, nullptr), D3DERR_INVALIDCALL);
}

// The program makes, fills and drops a buffer every frame: the device hands
// the dropped storage to the next buffer of that size, which still reads as
// zeros; a buffer may outlive its device.
TEST(RefDeviceResources, DroppedVertexBuffersLendTheirMemoryToTheNext) {
  auto fill = [](Direct3DVertexBuffer8& vb, std::uint8_t value) {
    BYTE* p = nullptr;
    ASSERT_EQ(vb.Lock(0, 0, &p, 0), D3D_OK);
    D3DVERTEXBUFFER_DESC desc{};
    ASSERT_EQ(vb.GetDesc(desc), D3D_OK);
    std::fill(p, p + desc.Size, value);
    ASSERT_EQ(vb.Unlock(), D3D_OK);
  };
  auto data = [](const Ref<Direct3DVertexBuffer8>& vb) {
    return static_cast<const refdev::RefVertexBuffer&>(*vb).Data();
  };
  Ref<Direct3DVertexBuffer8> kept;
  {
    Fixture f;
    Ref<Direct3DVertexBuffer8> previous, current;
    std::vector<const std::uint8_t*> seen;
    for (int frame = 0; frame < 6; ++frame) {
      ASSERT_EQ(f.dev->CreateVertexBuffer(72000, 0, 834, D3DPOOL_DEFAULT, current), D3D_OK);
      const auto* bytes = data(current);
      for (UINT i = 0; i < 72000; i += 997) ASSERT_EQ(bytes[i], 0) << frame << " " << i;
      fill(*current, static_cast<std::uint8_t>(frame + 1));
      seen.push_back(bytes);
      // As in the program: the stream still holds last frame's buffer when
      // the new one is made.
      previous = std::move(current);
    }
    // Two buffers are alive at a time, so their storage alternates.
    EXPECT_EQ(seen[4], seen[2]);
    EXPECT_EQ(seen[5], seen[3]);

    // Other sizes get storage of their own.
    Ref<Direct3DVertexBuffer8> other;
    ASSERT_EQ(f.dev->CreateVertexBuffer(96, 0, 322, D3DPOOL_DEFAULT, other), D3D_OK);
    EXPECT_NE(data(other), seen[4]);
    D3DVERTEXBUFFER_DESC desc{};
    ASSERT_EQ(other->GetDesc(desc), D3D_OK);
    EXPECT_EQ(desc.Size, 96u);
    EXPECT_EQ(desc.FVF, 322u);
    kept = previous;
  }
  // The device is gone; its last buffer is still whole, and lets go cleanly.
  EXPECT_EQ(data(kept)[71999], 6);
  fill(*kept, 9);
  kept.reset();
}

TEST(RefDeviceResources, TexturesHaveTheirMipChainsAndLockRules) {
  Fixture f;
  Ref<Direct3DTexture8> t;
  ASSERT_EQ(f.dev->CreateTexture(256, 64, 0, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, t), D3D_OK);
  EXPECT_EQ(t->GetLevelCount(), 9u);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(t->GetLevelDesc(8, desc), D3D_OK);
  EXPECT_EQ(desc.Width, 1u);
  EXPECT_EQ(desc.Height, 1u);
  ASSERT_EQ(t->GetLevelDesc(2, desc), D3D_OK);
  EXPECT_EQ(desc.Width, 64u);
  EXPECT_EQ(desc.Height, 16u);
  EXPECT_EQ(desc.Format, D3DFMT_A4R4G4B4);
  EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
  EXPECT_EQ(t->GetLevelDesc(9, desc), D3DERR_INVALIDCALL);

  D3DLOCKED_RECT lr{};
  ASSERT_EQ(t->LockRect(0, lr, nullptr, 0), D3D_OK);
  EXPECT_EQ(lr.Pitch, 512);
  EXPECT_EQ(t->UnlockRect(0), D3D_OK);
  // A rectangle's lock points at its top-left texel.
  D3DLOCKED_RECT part{};
  const RECT r{3, 2, 5, 4};
  ASSERT_EQ(t->LockRect(0, part, &r, 0), D3D_OK);
  EXPECT_EQ(static_cast<std::uint8_t*>(part.pBits) - static_cast<std::uint8_t*>(lr.pBits),
            2 * 512 + 3 * 2);
  EXPECT_EQ(t->UnlockRect(0), D3D_OK);
  for (auto fmt : {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5,
                   D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4})
    EXPECT_EQ(f.dev->CreateTexture(3, 5, 1, 0, fmt, D3DPOOL_SYSTEMMEM, t), D3D_OK) << fmt;
}
