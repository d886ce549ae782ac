// The platform the program runs on: one instance of each interface, installed
// by the host (or by a test) before the form is loaded.
#pragma once

#include "platform/d3dx8.h"
#include "platform/runtime.h"
#include "platform/winsys.h"

class PlatformObjects {
 public:
  virtual ~PlatformObjects() = default;
  // "new DirectX8" and "new D3DX8".
  virtual HRESULT NewDirectX8(Ref<DirectX8>& dx) = 0;
  virtual HRESULT NewD3DX8(Ref<D3DX8>& d3dx) = 0;
};

struct Platform {
  PlatformObjects* objects = nullptr;
  WindowSystem* windows = nullptr;
  Runtime* runtime = nullptr;
};

// The installed platform. Installing one does not take ownership.
Platform& CurrentPlatform();
void InstallPlatform(const Platform& platform);
