#include "gldevice/gl_direct3d.h"

#include "gldevice/gl_device.h"

GlDirect3D8::GlDirect3D8(DisplayHost* host, std::shared_ptr<GlContext> context)
    : host_(host), ref_(host, false), context_(std::move(context)) {}

HRESULT GlDirect3D8::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8& caps) {
  if (type == D3DDEVTYPE_HAL) {
    if (adapter != 0) return D3DERR_INVALIDCALL;
    if (!context_) return D3DERR_NOTAVAILABLE;
    RefDirect3D8::FillCaps(D3DDEVTYPE_HAL, caps);
    return D3D_OK;
  }
  return ref_.GetDeviceCaps(adapter, type, caps);
}

HRESULT GlDirect3D8::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                       DWORD usage, D3DRESOURCETYPE resourceType,
                                       D3DFORMAT checkFormat) {
  if (type == D3DDEVTYPE_HAL && !context_)
    return adapter != 0 ? D3DERR_INVALIDCALL : D3DERR_NOTAVAILABLE;
  return ref_.CheckDeviceFormat(adapter, Checked(type), adapterFormat, usage, resourceType,
                                checkFormat);
}

HRESULT GlDirect3D8::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                                  DWORD behaviorFlags, D3DPRESENT_PARAMETERS& params,
                                  Ref<Direct3DDevice8>& device) {
  if (type != D3DDEVTYPE_HAL)
    return ref_.CreateDevice(adapter, type, focusWindow, behaviorFlags, params, device);
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (!context_) return D3DERR_NOTAVAILABLE;
  D3DPRESENT_PARAMETERS p = params;
  HWND window = 0;
  D3DDISPLAYMODE shown{};
  HRESULT hr = ref_.CheckDeviceParameters(adapter, D3DDEVTYPE_REF, focusWindow, behaviorFlags, p,
                                          window, shown);
  if (hr != D3D_OK) return hr;
  if (host_) {
    hr = host_->AttachDevice(focusWindow, p);
    if (hr != D3D_OK) return hr;
  }
  if (!shared_) shared_ = std::make_shared<gldev::SharedContext>(context_);
  auto made = std::make_shared<GlDevice>(std::static_pointer_cast<gldev::SharedContext>(shared_),
                                         host_, window, p, shown);
  if (!made->Ready(nullptr)) return D3DERR_NOTAVAILABLE;  // its destructor detaches the host
  params = p;
  device = std::move(made);
  return D3D_OK;
}

Ref<Direct3D8> MakeGlDirect3D8(DisplayHost* host, std::shared_ptr<GlContext> context) {
  return std::make_shared<GlDirect3D8>(host, std::move(context));
}
