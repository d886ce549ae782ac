// The Direct3D 8 object with both device types: the hardware device over
// OpenGL when a context was accepted for it, and the reference device. The
// adapter (modes, display format, format checks) is the reference device's.
#pragma once

#include <memory>

#include "gldevice/gl_context.h"
#include "platform/d3d8.h"
#include "platform/display_host.h"
#include "refdevice/ref_direct3d.h"

class GlDirect3D8 final : public Direct3D8 {
 public:
  // `context` null: no hardware device (D3DDEVTYPE_HAL is not available).
  // `host` may be null (headless); it must outlive every device made here.
  GlDirect3D8(DisplayHost* host, std::shared_ptr<GlContext> context);

  UINT GetAdapterCount() override { return 1; }
  UINT GetAdapterModeCount(UINT adapter) override { return ref_.GetAdapterModeCount(adapter); }
  HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE& out) override {
    return ref_.EnumAdapterModes(adapter, mode, out);
  }
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE& out) override {
    return ref_.GetAdapterDisplayMode(adapter, out);
  }
  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8& caps) override;
  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS& params, Ref<Direct3DDevice8>& device) override;

 private:
  // The hardware type stands for the reference type in the adapter's checks.
  static D3DDEVTYPE Checked(D3DDEVTYPE type) {
    return type == D3DDEVTYPE_HAL ? D3DDEVTYPE_REF : type;
  }

  DisplayHost* host_;
  RefDirect3D8 ref_;
  std::shared_ptr<GlContext> context_;
  std::shared_ptr<void> shared_;  // gldev::SharedContext, made on first use
};

// The platform's Direct3D object for a host: the hardware device over
// `context` when there is one, the reference device in any case.
Ref<Direct3D8> MakeGlDirect3D8(DisplayHost* host, std::shared_ptr<GlContext> context);
