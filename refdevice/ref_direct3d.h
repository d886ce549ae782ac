// The Direct3D 8 object of the reference device: adapter 0, its display modes,
// capabilities and format checks, and device creation.
#pragma once

#include <vector>

#include "d3dfront/argument_checks.h"
#include "platform/d3d8.h"
#include "platform/display_host.h"
#include "refdevice/raster/rasterizer.h"

class RefDirect3D8 final : public Direct3D8 {
 public:
  // `host` (may be null: headless) lists the modes, tells the desktop mode and
  // shows presented frames; it must outlive every device made here.
  // `halAvailable` says whether a hardware device type exists; without one,
  // D3DDEVTYPE_HAL fails with D3DERR_NOTAVAILABLE and only D3DDEVTYPE_REF works.
  explicit RefDirect3D8(DisplayHost* host = nullptr, bool halAvailable = false);

  UINT GetAdapterCount() override { return 1; }
  UINT GetAdapterModeCount(UINT adapter) override;
  HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE& out) override;
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE& out) override;
  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8& caps) override;
  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
  // Validates `params` as the published interface does and fills in what it
  // defaults: a zero back-buffer count becomes 1; windowed, a zero size becomes
  // the window's client size (640x480 headless) and D3DFMT_UNKNOWN the
  // desktop format. A focus window and a device window both 0 are refused.
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS& params, Ref<Direct3DDevice8>& device) override;
  // CreateDevice's checks and defaults without making a device: `params`
  // gets the defaults, `deviceWindow` the window frames go to and
  // `shownMode` the mode the screen shows. Another device type built on
  // these adapters checks its parameters here.
  HRESULT CheckDeviceParameters(UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                                DWORD behaviorFlags, D3DPRESENT_PARAMETERS& params,
                                HWND& deviceWindow, D3DDISPLAYMODE& shownMode);

  // The rasterizer back end of the devices made from now on, and what the
  // host chose for it.
  void SetRasterizerKind(refdev::RasterizerKind kind) { rasterizer_ = kind; }
  void SetRasterizerOptions(const refdev::RasterizerOptions& options) { options_ = options; }

  // Primitives a draw may ask for (the caps' MaxPrimitiveCount).
  static constexpr DWORD kMaxPrimitiveCount = d3dfront::kMaxPrimitiveCount;

  // The fixed classic mode list used without a host.
  static const std::vector<D3DDISPLAYMODE>& ClassicModes();
  // The caps a device of `type` reports.
  static void FillCaps(D3DDEVTYPE type, D3DCAPS8& caps);

 private:
  bool TypeUsable(D3DDEVTYPE type) const;
  bool IsDisplayFormat(std::int32_t format);
  bool HasMode(UINT width, UINT height, std::int32_t format, UINT refresh);

  DisplayHost* host_;
  bool halAvailable_;
  refdev::RasterizerKind rasterizer_ = refdev::DefaultRasterizerKind();
  refdev::RasterizerOptions options_;
};
