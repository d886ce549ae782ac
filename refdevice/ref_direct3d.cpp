#include "refdevice/ref_direct3d.h"

#include <cstring>

#include "refdevice/ref_device.h"
#include "refdevice/resources/resources.h"

namespace {

bool IsDepthFormat(std::int32_t f) {
  switch (f) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D32:
      return true;
    default:
      return false;
  }
}

bool IsRenderTargetFormat(std::int32_t f) {
  return f == D3DFMT_X8R8G8B8 || f == D3DFMT_A8R8G8B8 || f == D3DFMT_R5G6B5 || f == D3DFMT_X1R5G5B5;
}

constexpr UINT kHeadlessWidth = 640;
constexpr UINT kHeadlessHeight = 480;

}  // namespace

RefDirect3D8::RefDirect3D8(DisplayHost* host, bool halAvailable)
    : host_(host), halAvailable_(halAvailable) {}

const std::vector<D3DDISPLAYMODE>& RefDirect3D8::ClassicModes() {
  // 16-bit modes first, then 32-bit, each by size, as classic drivers list them.
  static const std::vector<D3DDISPLAYMODE> modes = {
      {640, 480, 60, D3DFMT_R5G6B5},   {800, 600, 60, D3DFMT_R5G6B5},
      {1024, 768, 60, D3DFMT_R5G6B5},  {640, 480, 60, D3DFMT_X8R8G8B8},
      {800, 600, 60, D3DFMT_X8R8G8B8}, {1024, 768, 60, D3DFMT_X8R8G8B8},
  };
  return modes;
}

UINT RefDirect3D8::GetAdapterModeCount(UINT adapter) {
  if (adapter != 0) return 0;
  return host_ ? host_->ModeCount() : static_cast<UINT>(ClassicModes().size());
}

HRESULT RefDirect3D8::EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE& out) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (host_) {
    D3DDISPLAYMODE m{};
    if (mode >= host_->ModeCount() || !host_->Mode(mode, m)) return D3DERR_INVALIDCALL;
    out = m;
    return D3D_OK;
  }
  if (mode >= ClassicModes().size()) return D3DERR_INVALIDCALL;
  out = ClassicModes()[mode];
  return D3D_OK;
}

HRESULT RefDirect3D8::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE& out) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  out = host_ ? host_->DesktopMode() : D3DDISPLAYMODE{1024, 768, 60, D3DFMT_X8R8G8B8};
  return D3D_OK;
}

bool RefDirect3D8::TypeUsable(D3DDEVTYPE type) const {
  return type == D3DDEVTYPE_REF || (type == D3DDEVTYPE_HAL && halAvailable_);
}

void RefDirect3D8::FillCaps(D3DDEVTYPE type, D3DCAPS8& caps) {
  std::memset(&caps, 0, sizeof caps);
  caps.DeviceType = type;
  caps.AdapterOrdinal = 0;
  caps.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
  caps.PrimitiveMiscCaps =
      0x2 | 0x10 | 0x20 | 0x40 | 0x80 | 0x800;  // mask Z, culls, write mask, blend op
  caps.RasterCaps = 0x10 | 0x80 | 0x100 | 0x100000 | 0x200000;  // z test, vertex/table/w/z fog
  caps.ZCmpCaps = 0xFF;                                         // every comparison
  caps.SrcBlendCaps = 0x1FFF;
  caps.DestBlendCaps = 0x1FFF;
  caps.AlphaCmpCaps = 0xFF;
  caps.ShadeCaps = 0x8 | 0x200 | 0x4000 | 0x80000;  // Gouraud colour, specular, alpha, fog
  caps.TextureCaps = 0x1 | 0x4 | 0x4000;            // perspective, alpha, mipmaps; any size
  caps.TextureFilterCaps =
      0x100 | 0x200 | 0x10000 | 0x20000 | 0x1000000 | 0x2000000;  // point/linear min, mip, mag
  caps.TextureAddressCaps =
      0x1 | 0x2 | 0x4 | 0x8 | 0x20;              // wrap, mirror, clamp, border, mirror once
  caps.LineCaps = 0x1 | 0x2 | 0x4 | 0x8 | 0x10;  // texture, z test, blend, alpha test, fog
  caps.MaxTextureWidth = 4096;
  caps.MaxTextureHeight = 4096;
  caps.MaxTextureRepeat = 8192;
  caps.MaxTextureAspectRatio = 4096;
  caps.MaxAnisotropy = 1;
  caps.MaxVertexW = 1e10f;
  caps.GuardBandLeft = -4096.0f;
  caps.GuardBandTop = -4096.0f;
  caps.GuardBandRight = 4096.0f;
  caps.GuardBandBottom = 4096.0f;
  caps.FVFCaps = 8;                // texture coordinate sets
  caps.TextureOpCaps = 0x39EFFFF;  // all but premodulate and the bump-mapping ops
  caps.MaxTextureBlendStages = D3D_MAX_TEXTURE_STAGES;
  caps.MaxSimultaneousTextures = D3D_MAX_TEXTURE_STAGES;
  caps.MaxActiveLights = 0;
  caps.MaxPointSize = 1.0f;
  caps.MaxPrimitiveCount = kMaxPrimitiveCount;
  caps.MaxVertexIndex = 0xFFFFF;
  caps.MaxStreams = 1;
  caps.MaxStreamStride = 255;
}

HRESULT RefDirect3D8::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8& caps) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF) return D3DERR_INVALIDCALL;
  if (!TypeUsable(type)) return D3DERR_NOTAVAILABLE;
  FillCaps(type, caps);
  return D3D_OK;
}

bool RefDirect3D8::IsDisplayFormat(std::int32_t format) {
  const UINT n = GetAdapterModeCount(0);
  for (UINT i = 0; i < n; ++i) {
    D3DDISPLAYMODE m{};
    if (EnumAdapterModes(0, i, m) == D3D_OK && m.Format == format) return true;
  }
  D3DDISPLAYMODE desk{};
  return GetAdapterDisplayMode(0, desk) == D3D_OK && desk.Format == format;
}

bool RefDirect3D8::HasMode(UINT width, UINT height, std::int32_t format, UINT refresh) {
  const UINT n = GetAdapterModeCount(0);
  for (UINT i = 0; i < n; ++i) {
    D3DDISPLAYMODE m{};
    if (EnumAdapterModes(0, i, m) != D3D_OK) continue;
    if (m.Width == width && m.Height == height && m.Format == format &&
        (refresh == 0 || m.RefreshRate == refresh))
      return true;
  }
  return false;
}

HRESULT RefDirect3D8::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                        DWORD usage, D3DRESOURCETYPE resourceType,
                                        D3DFORMAT checkFormat) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF) return D3DERR_INVALIDCALL;
  if (!TypeUsable(type)) return D3DERR_NOTAVAILABLE;
  if (!IsDisplayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
  if (usage & D3DUSAGE_DEPTHSTENCIL) {
    if (usage & D3DUSAGE_RENDERTARGET) return D3DERR_NOTAVAILABLE;
    if (resourceType != D3DRTYPE_SURFACE && resourceType != D3DRTYPE_TEXTURE)
      return D3DERR_NOTAVAILABLE;
    // Depth textures are not offered: only depth surfaces.
    return (resourceType == D3DRTYPE_SURFACE && IsDepthFormat(checkFormat)) ? D3D_OK
                                                                            : D3DERR_NOTAVAILABLE;
  }
  if (usage & D3DUSAGE_RENDERTARGET) {
    return (resourceType == D3DRTYPE_SURFACE && IsRenderTargetFormat(checkFormat))
               ? D3D_OK
               : D3DERR_NOTAVAILABLE;
  }
  switch (resourceType) {
    case D3DRTYPE_TEXTURE:
    case D3DRTYPE_SURFACE:
      return refdev::IsTextureFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DRTYPE_VERTEXBUFFER:
      return D3D_OK;
    default:
      return D3DERR_NOTAVAILABLE;
  }
}

HRESULT RefDirect3D8::CheckDeviceParameters(UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                                            DWORD behaviorFlags, D3DPRESENT_PARAMETERS& params,
                                            HWND& deviceWindow, D3DDISPLAYMODE& shownMode) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF) return D3DERR_INVALIDCALL;
  if (!TypeUsable(type)) return D3DERR_NOTAVAILABLE;

  // Exactly one vertex-processing behaviour.
  const DWORD vp =
      behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                       D3DCREATE_MIXED_VERTEXPROCESSING);
  if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
      vp != D3DCREATE_MIXED_VERTEXPROCESSING)
    return D3DERR_INVALIDCALL;

  D3DPRESENT_PARAMETERS p = params;
  const HWND window = p.hDeviceWindow != 0 ? p.hDeviceWindow : focusWindow;
  if (window == 0) return D3DERR_INVALIDCALL;
  if (focusWindow == 0 && !p.Windowed) return D3DERR_INVALIDCALL;  // full screen needs a focus

  if (p.BackBufferCount > 3) return D3DERR_INVALIDCALL;
  if (p.BackBufferCount == 0) p.BackBufferCount = 1;
  if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY_VSYNC)
    return D3DERR_INVALIDCALL;
  if ((p.SwapEffect == D3DSWAPEFFECT_COPY || p.SwapEffect == D3DSWAPEFFECT_COPY_VSYNC) &&
      p.BackBufferCount > 1)
    return D3DERR_INVALIDCALL;
  // Multisampling is not offered.
  if (p.MultiSampleType != 0) return D3DERR_INVALIDCALL;
  if (p.Flags & ~D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) return D3DERR_INVALIDCALL;

  D3DDISPLAYMODE desktop{};
  GetAdapterDisplayMode(0, desktop);
  D3DDISPLAYMODE shown{};

  if (p.Windowed) {
    if (p.FullScreen_RefreshRateInHz != 0) return D3DERR_INVALIDCALL;
    if (p.FullScreen_PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT &&
        p.FullScreen_PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE)
      return D3DERR_INVALIDCALL;
    if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = desktop.Format;
    if (!IsRenderTargetFormat(p.BackBufferFormat)) return D3DERR_INVALIDCALL;
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
      UINT w = 0, h = 0;
      if (!(host_ && host_->WindowClientSize(window, w, h) && w > 0 && h > 0)) {
        w = kHeadlessWidth;
        h = kHeadlessHeight;
      }
      if (p.BackBufferWidth == 0) p.BackBufferWidth = w;
      if (p.BackBufferHeight == 0) p.BackBufferHeight = h;
    }
    shown = desktop;
  } else {
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) return D3DERR_INVALIDCALL;
    if (!HasMode(p.BackBufferWidth, p.BackBufferHeight, p.BackBufferFormat,
                 p.FullScreen_RefreshRateInHz))
      return D3DERR_INVALIDCALL;
    const DWORD interval = p.FullScreen_PresentationInterval;
    if (interval != D3DPRESENT_INTERVAL_DEFAULT && interval != D3DPRESENT_INTERVAL_ONE &&
        interval != D3DPRESENT_INTERVAL_TWO && interval != D3DPRESENT_INTERVAL_THREE &&
        interval != D3DPRESENT_INTERVAL_FOUR && interval != D3DPRESENT_INTERVAL_IMMEDIATE)
      return D3DERR_INVALIDCALL;
    shown = {p.BackBufferWidth, p.BackBufferHeight, p.FullScreen_RefreshRateInHz,
             p.BackBufferFormat};
  }
  // Keeps the later arithmetic on sizes far from overflow.
  if (p.BackBufferWidth > 16384 || p.BackBufferHeight > 16384) return D3DERR_INVALIDCALL;

  if (p.EnableAutoDepthStencil) {
    if (CheckDeviceFormat(0, type, static_cast<D3DFORMAT>(shown.Format), D3DUSAGE_DEPTHSTENCIL,
                          D3DRTYPE_SURFACE,
                          static_cast<D3DFORMAT>(p.AutoDepthStencilFormat)) != D3D_OK &&
        !(p.Windowed && IsDepthFormat(p.AutoDepthStencilFormat)))
      return D3DERR_INVALIDCALL;
  }

  params = p;
  deviceWindow = window;
  shownMode = shown;
  return D3D_OK;
}

HRESULT RefDirect3D8::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                                   DWORD behaviorFlags, D3DPRESENT_PARAMETERS& params,
                                   Ref<Direct3DDevice8>& device) {
  D3DPRESENT_PARAMETERS p = params;
  HWND window = 0;
  D3DDISPLAYMODE shown{};
  HRESULT hr = CheckDeviceParameters(adapter, type, focusWindow, behaviorFlags, p, window, shown);
  if (hr != D3D_OK) return hr;
  if (host_) {
    hr = host_->AttachDevice(focusWindow, p);
    if (hr != D3D_OK) return hr;
  }
  params = p;
  device = std::make_shared<RefDevice>(host_, type, p, shown, rasterizer_, options_);
  return D3D_OK;
}
