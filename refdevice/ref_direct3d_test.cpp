#include "refdevice/ref_direct3d.h"

#include <gtest/gtest.h>

#include "refdevice/test_support.h"

using test_support::kWindow;
using test_support::Windowed;

namespace {

class FakeHost : public DisplayHost {
 public:
  std::vector<D3DDISPLAYMODE> modes{{640, 480, 75, D3DFMT_X8R8G8B8}, {320, 200, 70, D3DFMT_R5G6B5}};
  D3DDISPLAYMODE desktop{1280, 1024, 60, D3DFMT_X8R8G8B8};
  UINT clientW = 0, clientH = 0;
  int attached = 0, detached = 0, presents = 0;
  HRESULT attachResult = D3D_OK;
  FrameView lastFrame{};

  UINT ModeCount() override { return static_cast<UINT>(modes.size()); }
  bool Mode(UINT i, D3DDISPLAYMODE& m) override {
    if (i >= modes.size()) return false;
    m = modes[i];
    return true;
  }
  D3DDISPLAYMODE DesktopMode() override { return desktop; }
  bool WindowClientSize(HWND, UINT& w, UINT& h) override {
    if (clientW == 0) return false;
    w = clientW;
    h = clientH;
    return true;
  }
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

HRESULT Create(RefDirect3D8& d3d, D3DPRESENT_PARAMETERS& p, Ref<Direct3DDevice8>& dev) {
  return d3d.CreateDevice(0, D3DDEVTYPE_REF, kWindow, D3DCREATE_SOFTWARE_VERTEXPROCESSING, p, dev);
}

HRESULT Create(RefDirect3D8& d3d, D3DPRESENT_PARAMETERS& p, HWND focus = kWindow,
               D3DDEVTYPE type = D3DDEVTYPE_REF) {
  Ref<Direct3DDevice8> dev;
  return d3d.CreateDevice(0, type, focus, D3DCREATE_SOFTWARE_VERTEXPROCESSING, p, dev);
}

D3DPRESENT_PARAMETERS FullScreen(UINT w, UINT h, std::int32_t fmt) {
  D3DPRESENT_PARAMETERS p = Windowed(w, h, fmt, 0);
  p.Windowed = 0;
  p.SwapEffect = D3DSWAPEFFECT_FLIP;
  return p;
}

}  // namespace

TEST(RefDirect3D8, HeadlessAdapterListsTheClassicModes) {
  RefDirect3D8 d3d;
  ASSERT_EQ(d3d.GetAdapterModeCount(0), 6u);
  int seen640 = 0;
  for (UINT i = 0; i < 6; ++i) {
    D3DDISPLAYMODE m{};
    ASSERT_EQ(d3d.EnumAdapterModes(0, i, m), D3D_OK);
    EXPECT_TRUE(m.Format == D3DFMT_X8R8G8B8 || m.Format == D3DFMT_R5G6B5);
    EXPECT_EQ(m.RefreshRate, 60u);
    seen640 += m.Width == 640 && m.Height == 480;
  }
  EXPECT_EQ(seen640, 2);
  D3DDISPLAYMODE m{};
  EXPECT_EQ(d3d.EnumAdapterModes(0, 6, m), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d.EnumAdapterModes(1, 0, m), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d.GetAdapterModeCount(1), 0u);
  ASSERT_EQ(d3d.GetAdapterDisplayMode(0, m), D3D_OK);
  EXPECT_EQ(m.Format, D3DFMT_X8R8G8B8);
}

TEST(RefDirect3D8, HostSuppliesModesAndDesktop) {
  FakeHost host;
  RefDirect3D8 d3d(&host);
  ASSERT_EQ(d3d.GetAdapterModeCount(0), 2u);
  D3DDISPLAYMODE m{};
  ASSERT_EQ(d3d.EnumAdapterModes(0, 1, m), D3D_OK);
  EXPECT_EQ(m.Width, 320u);
  EXPECT_EQ(m.Format, D3DFMT_R5G6B5);
  ASSERT_EQ(d3d.GetAdapterDisplayMode(0, m), D3D_OK);
  EXPECT_EQ(m.Width, 1280u);
}

TEST(RefDirect3D8, HardwareTypeNeedsAHardwareDevice) {
  D3DCAPS8 caps{};
  RefDirect3D8 without;
  EXPECT_EQ(without.GetDeviceCaps(0, D3DDEVTYPE_HAL, caps), D3DERR_NOTAVAILABLE);
  ASSERT_EQ(without.GetDeviceCaps(0, D3DDEVTYPE_REF, caps), D3D_OK);
  EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_REF);
  EXPECT_EQ(without.GetDeviceCaps(1, D3DDEVTYPE_REF, caps), D3DERR_INVALIDCALL);
  auto p = Windowed();
  EXPECT_EQ(Create(without, p, kWindow, D3DDEVTYPE_HAL), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(without.CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                      D3DRTYPE_SURFACE, D3DFMT_D16),
            D3DERR_NOTAVAILABLE);

  RefDirect3D8 with(nullptr, true);
  ASSERT_EQ(with.GetDeviceCaps(0, D3DDEVTYPE_HAL, caps), D3D_OK);
  EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_HAL);
  p = Windowed();
  EXPECT_EQ(Create(with, p, kWindow, D3DDEVTYPE_HAL), D3D_OK);
}

TEST(RefDirect3D8, DepthFormatsAgainstDisplayFormats) {
  RefDirect3D8 d3d;
  for (auto adapter : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5})
    for (auto depth : {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D32})
      EXPECT_EQ(d3d.CheckDeviceFormat(0, D3DDEVTYPE_REF, adapter, D3DUSAGE_DEPTHSTENCIL,
                                      D3DRTYPE_SURFACE, depth),
                D3D_OK)
          << adapter << " " << depth;
  // Not a depth format, or not a display format.
  EXPECT_NE(d3d.CheckDeviceFormat(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                  D3DRTYPE_SURFACE, D3DFMT_X8R8G8B8),
            D3D_OK);
  EXPECT_NE(d3d.CheckDeviceFormat(0, D3DDEVTYPE_REF, D3DFMT_P8, D3DUSAGE_DEPTHSTENCIL,
                                  D3DRTYPE_SURFACE, D3DFMT_D16),
            D3D_OK);
  EXPECT_EQ(d3d.CheckDeviceFormat(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE,
                                  D3DFMT_A4R4G4B4),
            D3D_OK);
  EXPECT_NE(
      d3d.CheckDeviceFormat(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_P8),
      D3D_OK);
}

TEST(RefDirect3D8, CreateDeviceRefusesWhatThePublishedInterfaceRefuses) {
  RefDirect3D8 d3d;
  struct Case {
    const char* what;
    D3DPRESENT_PARAMETERS p;
    HWND focus;
  };
  std::vector<Case> cases;
  auto add = [&](const char* what, auto change, HWND focus = kWindow) {
    D3DPRESENT_PARAMETERS p = FullScreen(640, 480, D3DFMT_X8R8G8B8);
    change(p);
    cases.push_back({what, p, focus});
  };
  add("size without a mode", [](auto& p) { p.BackBufferWidth = 641; });
  add("format without a mode", [](auto& p) { p.BackBufferFormat = D3DFMT_X1R5G5B5; });
  add("full screen of size 0", [](auto& p) { p.BackBufferWidth = 0; });
  add("four back buffers", [](auto& p) { p.BackBufferCount = 4; });
  add("copy with two back buffers", [](auto& p) {
    p.SwapEffect = D3DSWAPEFFECT_COPY;
    p.BackBufferCount = 2;
  });
  add("unknown swap effect", [](auto& p) { p.SwapEffect = 9; });
  add("swap effect 0", [](auto& p) { p.SwapEffect = 0; });
  add("unsupported depth format", [](auto& p) {
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = D3DFMT_X8R8G8B8;
  });
  add("depth without a format", [](auto& p) { p.EnableAutoDepthStencil = 1; });
  add("refresh rate no mode has", [](auto& p) { p.FullScreen_RefreshRateInHz = 59; });
  add(
      "no window at all", [](auto& p) { (void)p; }, 0);
  add("windowed with a refresh rate", [](auto& p) {
    p.Windowed = 1;
    p.FullScreen_RefreshRateInHz = 60;
  });
  add("windowed with a presentation interval", [](auto& p) {
    p.Windowed = 1;
    p.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_TWO;
  });
  add("multisampling", [](auto& p) { p.MultiSampleType = 2; });
  for (auto& c : cases) EXPECT_EQ(Create(d3d, c.p, c.focus), D3DERR_INVALIDCALL) << c.what;

  // Behaviour flags: exactly one kind of vertex processing.
  Ref<Direct3DDevice8> dev;
  auto p = Windowed();
  EXPECT_EQ(d3d.CreateDevice(0, D3DDEVTYPE_REF, kWindow, 0, p, dev), D3DERR_INVALIDCALL);
  EXPECT_EQ(
      d3d.CreateDevice(1, D3DDEVTYPE_REF, kWindow, D3DCREATE_SOFTWARE_VERTEXPROCESSING, p, dev),
      D3DERR_INVALIDCALL);
  EXPECT_EQ(dev, nullptr);
}

TEST(RefDirect3D8, CreateDeviceAcceptsFullScreenAndWindowed) {
  RefDirect3D8 d3d;
  // The program's request: first 640x480 mode, one back buffer, flip, D16.
  auto p = FullScreen(640, 480, D3DFMT_R5G6B5);
  p.EnableAutoDepthStencil = 1;
  p.AutoDepthStencilFormat = D3DFMT_D16;
  Ref<Direct3DDevice8> dev;
  ASSERT_EQ(Create(d3d, p, dev), D3D_OK);
  auto* ref = static_cast<RefDevice*>(dev.get());
  EXPECT_EQ(ref->BackBuffer().format, D3DFMT_R5G6B5);
  EXPECT_EQ(ref->BackBuffer().width, 640);
  DWORD z = 0;
  ref->GetRenderState(D3DRS_ZENABLE, z);
  EXPECT_EQ(z, 1u);

  // Three back buffers and a refresh rate a mode has.
  p = FullScreen(1024, 768, D3DFMT_X8R8G8B8);
  p.BackBufferCount = 3;
  p.FullScreen_RefreshRateInHz = 60;
  EXPECT_EQ(Create(d3d, p), D3D_OK);

  // Windowed: count 0 becomes 1, size 0 the headless 640x480, UNKNOWN the desktop format.
  D3DPRESENT_PARAMETERS w{};
  w.Windowed = 1;
  w.SwapEffect = D3DSWAPEFFECT_DISCARD;
  ASSERT_EQ(Create(d3d, w, dev), D3D_OK);
  EXPECT_EQ(w.BackBufferCount, 1u);
  EXPECT_EQ(w.BackBufferWidth, 640u);
  EXPECT_EQ(w.BackBufferHeight, 480u);
  EXPECT_EQ(w.BackBufferFormat, D3DFMT_X8R8G8B8);
  ref = static_cast<RefDevice*>(dev.get());
  ref->GetRenderState(D3DRS_ZENABLE, z);
  EXPECT_EQ(z, 0u);  // no automatic depth buffer

  // A device window alone is enough for a windowed device.
  w = Windowed();
  w.hDeviceWindow = 7;
  EXPECT_EQ(Create(d3d, w, 0), D3D_OK);
}

TEST(RefDirect3D8, HostSeesAttachPresentAndDetach) {
  FakeHost host;
  host.clientW = 320;
  host.clientH = 240;
  RefDirect3D8 d3d(&host);
  D3DPRESENT_PARAMETERS w{};
  w.Windowed = 1;
  w.SwapEffect = D3DSWAPEFFECT_COPY;
  {
    Ref<Direct3DDevice8> dev;
    ASSERT_EQ(Create(d3d, w, dev), D3D_OK);
    EXPECT_EQ(w.BackBufferWidth, 320u);
    EXPECT_EQ(host.attached, 1);
    ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0), D3D_OK);
    ASSERT_EQ(dev->Present(nullptr, nullptr, 0, nullptr), D3D_OK);
    EXPECT_EQ(host.presents, 1);
    EXPECT_EQ(host.lastFrame.width, 320);
    std::uint32_t first;
    std::memcpy(&first, host.lastFrame.pixels, 4);
    EXPECT_EQ(first & 0xFFFFFFu, 0x123456u);
  }
  EXPECT_EQ(host.detached, 1);

  // A refusal from the host fails creation with its status.
  host.attachResult = E_FAIL;
  w = Windowed();
  EXPECT_EQ(Create(d3d, w), E_FAIL);

  // Full screen only in the host's modes.
  auto p = FullScreen(320, 200, D3DFMT_R5G6B5);
  host.attachResult = D3D_OK;
  EXPECT_EQ(Create(d3d, p), D3D_OK);
  p = FullScreen(800, 600, D3DFMT_X8R8G8B8);
  EXPECT_EQ(Create(d3d, p), D3DERR_INVALIDCALL);
}
