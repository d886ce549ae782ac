// A Direct3D object assembled from one object per device type, so that a
// host offers a new kind of device by naming it beside the others.
#pragma once

#include <utility>
#include <vector>

#include "platform/d3d8.h"

class Direct3DByDeviceType final : public Direct3D8 {
 public:
  using DeviceType = std::pair<D3DDEVTYPE, Ref<Direct3D8>>;

  // The first object also answers for the adapter (its modes, the desktop
  // mode) and for every device type no object is named for, which it then
  // refuses as its own rules say. `types` must not be empty.
  explicit Direct3DByDeviceType(std::vector<DeviceType> types);

  UINT GetAdapterCount() override { return First().GetAdapterCount(); }
  UINT GetAdapterModeCount(UINT adapter) override { return First().GetAdapterModeCount(adapter); }
  HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE& out) override {
    return First().EnumAdapterModes(adapter, mode, out);
  }
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE& out) override {
    return First().GetAdapterDisplayMode(adapter, out);
  }
  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8& caps) override {
    return For(type).GetDeviceCaps(adapter, type, caps);
  }
  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override {
    return For(type).CheckDeviceFormat(adapter, type, adapterFormat, usage, resourceType,
                                       checkFormat);
  }
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS& params, Ref<Direct3DDevice8>& device) override {
    return For(type).CreateDevice(adapter, type, focusWindow, behaviorFlags, params, device);
  }

 private:
  Direct3D8& First() { return *types_.front().second; }
  Direct3D8& For(D3DDEVTYPE type);

  std::vector<DeviceType> types_;
};
