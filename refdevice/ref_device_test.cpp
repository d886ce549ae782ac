// The reference device's Direct3D object and device: adapters and modes,
// what creation accepts and refuses, the display host's part, defaults that
// depend on the creation, clears, presents and resources.
#include "refdevice/ref_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "refdevice/test_support.h"

using namespace test_support;

namespace {

class FakeHost : public DisplayHost {
 public:
  std::vector<D3DDISPLAYMODE> modes{{640, 480, 75, D3DFMT_X8R8G8B8}, {320, 200, 70, D3DFMT_R5G6B5}};
  UINT clientW = 0, clientH = 0;
  int attached = 0, detached = 0, presents = 0;
  HRESULT attachResult = D3D_OK;
  FrameView lastFrame{};

  UINT ModeCount() override { return static_cast<UINT>(modes.size()); }
  bool Mode(UINT i, D3DDISPLAYMODE& m) override { return i < modes.size() && (m = modes[i], true); }
  D3DDISPLAYMODE DesktopMode() override { return {1280, 1024, 60, D3DFMT_X8R8G8B8}; }
  bool WindowClientSize(HWND, UINT& w, UINT& h) override { return (h = clientH, w = clientW) != 0; }
  HRESULT AttachDevice(HWND, const D3DPRESENT_PARAMETERS&) override {
    ++attached;
    return attachResult;
  }
  void DetachDevice() override { ++detached; }
  HRESULT Present(const FrameView& f, HWND) override {
    ++presents;
    lastFrame = f;
    return D3D_OK;
  }
};

HRESULT Create(RefDirect3D8& d3d, D3DPRESENT_PARAMETERS& p, Ref<Direct3DDevice8>& dev,
               HWND focus = kWindow, D3DDEVTYPE type = D3DDEVTYPE_REF) {
  return d3d.CreateDevice(0, type, focus, D3DCREATE_SOFTWARE_VERTEXPROCESSING, p, dev);
}
HRESULT Create(RefDirect3D8& d3d, D3DPRESENT_PARAMETERS p, HWND focus = kWindow,
               D3DDEVTYPE type = D3DDEVTYPE_REF) {
  Ref<Direct3DDevice8> dev;
  return Create(d3d, p, dev, focus, type);
}

D3DPRESENT_PARAMETERS FullScreen(UINT w, UINT h, std::int32_t fmt) {
  D3DPRESENT_PARAMETERS p = Windowed(w, h, fmt);
  p.Windowed = 0;
  p.SwapEffect = D3DSWAPEFFECT_FLIP;
  return p;
}

// Adapter 0's mode count, then its modes as enumerated: "WxH@RATE/FORMAT".
std::string Modes(Direct3D8& d3d) {
  std::string s = std::to_string(d3d.GetAdapterModeCount(0));
  D3DDISPLAYMODE m{};
  for (UINT i = 0; d3d.EnumAdapterModes(0, i, m) == D3D_OK; ++i)
    s += " " + std::to_string(m.Width) + "x" + std::to_string(m.Height) + "@" +
         std::to_string(m.RefreshRate) + "/" + std::to_string(m.Format);
  return s;
}

TEST(RefDirect3D8, AdaptersModesCapsAndFormats) {
  RefDirect3D8 d3d;  // headless: the classic modes, 16-bit first as the program expects
  EXPECT_EQ(Modes(d3d),
            "6 640x480@60/23 800x600@60/23 1024x768@60/23 640x480@60/22 "
            "800x600@60/22 1024x768@60/22");
  D3DDISPLAYMODE m{};
  EXPECT_EQ(d3d.EnumAdapterModes(1, 0, m), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d.GetAdapterModeCount(1), 0u);
  ASSERT_EQ(d3d.GetAdapterDisplayMode(0, m), D3D_OK);
  EXPECT_EQ(m.Format, D3DFMT_X8R8G8B8);
  FakeHost host;  // a host supplies its modes and desktop
  RefDirect3D8 hosted(&host);
  EXPECT_EQ(Modes(hosted), "2 640x480@75/22 320x200@70/23");
  ASSERT_EQ(hosted.GetAdapterDisplayMode(0, m), D3D_OK);
  EXPECT_EQ(m.Width, 1280u);

  // The hardware type needs a hardware device.
  D3DCAPS8 caps{};
  EXPECT_EQ(d3d.GetDeviceCaps(0, D3DDEVTYPE_HAL, caps), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d.GetDeviceCaps(1, D3DDEVTYPE_REF, caps), D3DERR_INVALIDCALL);
  ASSERT_EQ(d3d.GetDeviceCaps(0, D3DDEVTYPE_REF, caps), D3D_OK);
  EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_REF);
  EXPECT_EQ(Create(d3d, Windowed(), kWindow, D3DDEVTYPE_HAL), D3DERR_NOTAVAILABLE);
  RefDirect3D8 with(nullptr, true);
  ASSERT_EQ(with.GetDeviceCaps(0, D3DDEVTYPE_HAL, caps), D3D_OK);
  EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_HAL);
  EXPECT_EQ(Create(with, Windowed(), kWindow, D3DDEVTYPE_HAL), D3D_OK);

  // Depth formats against display formats, and texture formats.
  struct Format {
    D3DFORMAT adapter, format;
    bool texture, ok;
  };
  // clang-format off
  const Format formats[] = {
      {D3DFMT_X8R8G8B8, D3DFMT_D16, false, true}, {D3DFMT_R5G6B5, D3DFMT_D24S8, false, true},
      {D3DFMT_R5G6B5, D3DFMT_D24X8, false, true}, {D3DFMT_X8R8G8B8, D3DFMT_D32, false, true},
      {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, false, false}, {D3DFMT_P8, D3DFMT_D16, false, false},
      {D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4, true, true}, {D3DFMT_X8R8G8B8, D3DFMT_P8, true, false},
  };
  // clang-format on
  for (const Format& f : formats)
    EXPECT_EQ(
        d3d.CheckDeviceFormat(0, D3DDEVTYPE_REF, f.adapter, f.texture ? 0 : D3DUSAGE_DEPTHSTENCIL,
                              f.texture ? D3DRTYPE_TEXTURE : D3DRTYPE_SURFACE, f.format) == D3D_OK,
        f.ok)
        << f.adapter << " " << f.format;
  EXPECT_EQ(d3d.CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                  D3DRTYPE_SURFACE, D3DFMT_D16),
            D3DERR_NOTAVAILABLE);
}

// Creation from the program's full-screen request (the first 640x480 mode,
// one back buffer, flip, D16) changed as each row says.
TEST(RefDirect3D8, CreateDeviceRefusesWhatThePublishedInterfaceRefuses) {
  RefDirect3D8 d3d;
  struct Case {
    const char* what;
    HRESULT want;
    void (*change)(D3DPRESENT_PARAMETERS&);
    HWND focus = kWindow;
  };
  constexpr HRESULT kBad = D3DERR_INVALIDCALL;
  // clang-format off
  const Case cases[] = {
      {"the program's request", D3D_OK, [](auto&) {}},
      {"three back buffers at a mode's rate", D3D_OK, [](auto& p) { p.BackBufferCount = 3; p.FullScreen_RefreshRateInHz = 60; }},
      {"windowed with a device window alone", D3D_OK, [](auto& p) { p.Windowed = 1; p.hDeviceWindow = 7; }, 0},
      {"size without a mode", kBad, [](auto& p) { p.BackBufferWidth = 641; }},
      {"format without a mode", kBad, [](auto& p) { p.BackBufferFormat = D3DFMT_X1R5G5B5; }},
      {"full screen of size 0", kBad, [](auto& p) { p.BackBufferWidth = 0; }},
      {"four back buffers", kBad, [](auto& p) { p.BackBufferCount = 4; }},
      {"copy with two back buffers", kBad, [](auto& p) { p.SwapEffect = D3DSWAPEFFECT_COPY; p.BackBufferCount = 2; }},
      {"unknown swap effect", kBad, [](auto& p) { p.SwapEffect = 9; }},
      {"swap effect 0", kBad, [](auto& p) { p.SwapEffect = 0; }},
      {"unsupported depth format", kBad, [](auto& p) { p.AutoDepthStencilFormat = D3DFMT_X8R8G8B8; }},
      {"depth without a format", kBad, [](auto& p) { p.AutoDepthStencilFormat = 0; }},
      {"refresh rate no mode has", kBad, [](auto& p) { p.FullScreen_RefreshRateInHz = 59; }},
      {"no window at all", kBad, [](auto&) {}, 0},
      {"windowed with a refresh rate", kBad, [](auto& p) { p.Windowed = 1; p.FullScreen_RefreshRateInHz = 60; }},
      {"windowed with a presentation interval", kBad, [](auto& p) { p.Windowed = 1; p.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_TWO; }},
      {"multisampling", kBad, [](auto& p) { p.MultiSampleType = 2; }},
  };
  // clang-format on
  for (const Case& c : cases) {
    D3DPRESENT_PARAMETERS p = FullScreen(640, 480, D3DFMT_R5G6B5);
    c.change(p);
    EXPECT_EQ(Create(d3d, p, c.focus), c.want) << c.what;
  }
  // Behaviour flags: exactly one kind of vertex processing; adapter 0 only.
  Ref<Direct3DDevice8> dev;
  auto p = Windowed();
  EXPECT_EQ(d3d.CreateDevice(0, D3DDEVTYPE_REF, kWindow, 0, p, dev), kBad);
  EXPECT_EQ(
      d3d.CreateDevice(1, D3DDEVTYPE_REF, kWindow, D3DCREATE_SOFTWARE_VERTEXPROCESSING, p, dev),
      kBad);
  EXPECT_EQ(dev, nullptr);
}

// Windowed: count 0 becomes 1, size 0 the window's client area (else the
// headless 640x480), UNKNOWN the desktop format; ZENABLE follows the
// automatic depth buffer, the viewport the back buffer.
TEST(RefDirect3D8, CreateDeviceFillsInWhatWasLeftOpen) {
  FakeHost host;
  RefDirect3D8 d3d(&host);
  struct Client {
    UINT w, h, wantW, wantH;
    std::int32_t depth;
  };
  for (const Client& c : {Client{0, 0, 640, 480, 0}, Client{320, 240, 320, 240, D3DFMT_D16},
                          Client{320, 1, 320, 1, 0}, Client{0, 200, 640, 480, 0}}) {
    host.clientW = c.w;
    host.clientH = c.h;
    D3DPRESENT_PARAMETERS w = Windowed(0, 0, D3DFMT_UNKNOWN, c.depth);
    w.BackBufferCount = 0;
    Ref<Direct3DDevice8> dev;
    ASSERT_EQ(Create(d3d, w, dev), D3D_OK);
    EXPECT_EQ(w.BackBufferCount, 1u);
    EXPECT_EQ(w.BackBufferWidth * 10000 + w.BackBufferHeight, c.wantW * 10000 + c.wantH);
    EXPECT_EQ(w.BackBufferFormat, D3DFMT_X8R8G8B8);
    DWORD z = 7;
    ASSERT_EQ(dev->GetRenderState(D3DRS_ZENABLE, z), D3D_OK);
    EXPECT_EQ(z, c.depth ? 1u : 0u);
    D3DVIEWPORT8 vp{};
    ASSERT_EQ(dev->GetViewport(vp), D3D_OK);
    EXPECT_EQ(vp.Width * 10000 + vp.Height, c.wantW * 10000 + c.wantH);
  }
}

// The host sees each device attach, present and detach; a present hands it
// the back buffer, after which copying keeps it and flipping hands back the
// former front buffer. A refusal from the host fails creation with its
// status; full screen takes only the host's modes.
TEST(RefDirect3D8, PresentsReachTheHost) {
  FakeHost host;
  RefDirect3D8 d3d(&host);
  auto first = [](const FrameView& f) {
    return *static_cast<const std::uint32_t*>(f.pixels) & 0xFFFFFFu;
  };
  for (auto swap : {D3DSWAPEFFECT_FLIP, D3DSWAPEFFECT_DISCARD, D3DSWAPEFFECT_COPY}) {
    Ref<Direct3DDevice8> dev;
    auto w = Windowed(32, 16);
    w.SwapEffect = swap;
    ASSERT_EQ(Create(d3d, w, dev), D3D_OK);
    auto& ref = static_cast<RefDevice&>(*dev);
    ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0), D3D_OK);
    EXPECT_EQ(first(ref.PresentedFrame()), 0u) << "nothing presented yet";
    ASSERT_EQ(dev->Present(nullptr, nullptr, 0, nullptr), D3D_OK);
    EXPECT_EQ(host.lastFrame.width, 32);
    EXPECT_EQ(first(host.lastFrame), 0x123456u);
    EXPECT_EQ(first(ref.BackBuffer()), swap == D3DSWAPEFFECT_COPY ? 0x123456u : 0u) << swap;
    const RECT r{0, 0, 1, 1};
    EXPECT_EQ(dev->Present(&r, nullptr, 0, nullptr), D3DERR_INVALIDCALL);
  }
  EXPECT_EQ(host.attached * 100 + host.presents * 10 + host.detached, 333);
  host.attachResult = E_FAIL;
  EXPECT_EQ(Create(d3d, Windowed()), E_FAIL);
  host.attachResult = D3D_OK;
  EXPECT_EQ(Create(d3d, FullScreen(320, 200, D3DFMT_R5G6B5)), D3D_OK);
  EXPECT_EQ(Create(d3d, FullScreen(800, 600, D3DFMT_X8R8G8B8)), D3DERR_INVALIDCALL);
}

TEST(RefDevice, ClearsFlagsRectanglesAndTheViewport) {
  Fixture f(Windowed(64, 32, D3DFMT_X8R8G8B8, D3DFMT_D16));
  f.Clear(0xFF102030, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
  EXPECT_EQ(f.Count(0x102030), 64 * 32);
  // Rectangles, clipped to the viewport.
  ASSERT_EQ(f.dev->SetViewport({8, 4, 40, 20, 0.0f, 1.0f}), D3D_OK);
  const D3DRECT rects[2] = {{0, 0, 16, 8}, {40, 20, 100, 100}};
  ASSERT_EQ(f.dev->Clear(2, rects, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
  EXPECT_EQ(f.Count(0xFFFFFF), 8 * 4 + 8 * 4);
  for (const auto& [x, y, white] : {std::tuple{8, 4, true}, std::tuple{7, 4, false},
                                    std::tuple{47, 23, true}, std::tuple{48, 23, false}})
    EXPECT_EQ(f.Rgb(x, y), white ? 0xFFFFFFu : 0x102030u) << x << "," << y;
  // No rectangles: the whole viewport.
  f.Clear(0xFF000000);
  EXPECT_EQ(f.Count(0), 40 * 20);
  // 16-bit: channels truncated and widened back by bit replication.
  Fixture noDepth(Windowed(16, 16, D3DFMT_R5G6B5, 0));
  EXPECT_EQ(noDepth.dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  noDepth.Clear(0xFFFF8040);
  EXPECT_EQ(noDepth.Rgb(3, 3), 0xFF8242u);
}

// The program makes, fills and drops a buffer every frame; the device lends
// dropped storage to the next of that size, which still reads as zeros. A
// buffer may outlive its device.
TEST(RefDevice, VertexBuffersStartZeroedAndMayOutliveTheirDevice) {
  Ref<Direct3DVertexBuffer8> kept, vb;
  BYTE* p = nullptr;
  {
    Fixture f;
    for (int frame = 0; frame < 4; ++frame) {
      ASSERT_EQ(f.dev->CreateVertexBuffer(72000, 0, 834, D3DPOOL_DEFAULT, vb), D3D_OK);
      ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
      EXPECT_EQ(std::count(p, p + 72000, 0), 72000) << frame;
      std::fill(p, p + 72000, static_cast<BYTE>(frame + 1));
      kept = std::move(vb);  // as in the program: last frame's is still bound
    }
  }
  ASSERT_EQ(kept->Lock(0, 0, &p, 0), D3D_OK);
  EXPECT_EQ(p[71999], 4);
}

TEST(RefDevice, TexturesHaveTheirMipChainsAndLockRules) {
  Fixture f;
  Ref<Direct3DTexture8> t;
  ASSERT_EQ(f.dev->CreateTexture(256, 64, 0, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, t), D3D_OK);
  EXPECT_EQ(t->GetLevelCount(), 9u);
  D3DSURFACE_DESC desc{};
  for (const auto& [level, w, h] : {std::tuple{8u, 1u, 1u}, std::tuple{2u, 64u, 16u}}) {
    ASSERT_EQ(t->GetLevelDesc(level, desc), D3D_OK);
    EXPECT_EQ(desc.Width * 1000 + desc.Height, w * 1000 + h) << level;
    EXPECT_EQ(desc.Format, D3DFMT_A4R4G4B4);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
  }
  EXPECT_EQ(t->GetLevelDesc(9, desc), D3DERR_INVALIDCALL);
  // A rectangle's lock points at its top-left texel.
  D3DLOCKED_RECT lr{}, part{};
  ASSERT_EQ(t->LockRect(0, lr, nullptr, 0), D3D_OK);
  EXPECT_EQ(lr.Pitch, 512);
  EXPECT_EQ(t->UnlockRect(0), D3D_OK);
  const RECT r{3, 2, 5, 4};
  ASSERT_EQ(t->LockRect(0, part, &r, 0), D3D_OK);
  EXPECT_EQ(static_cast<std::uint8_t*>(part.pBits) - static_cast<std::uint8_t*>(lr.pBits),
            2 * 512 + 3 * 2);
  EXPECT_EQ(t->UnlockRect(0), D3D_OK);
  for (auto fmt : {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5,
                   D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4})
    EXPECT_EQ(f.dev->CreateTexture(3, 5, 1, 0, fmt, D3DPOOL_SYSTEMMEM, t), D3D_OK) << fmt;
}

}  // namespace
