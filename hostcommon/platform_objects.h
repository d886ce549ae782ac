// What "new DirectX8" and "new D3DX8" give the program on every host: each a
// fresh object, the DirectX object making its Direct3D and DirectInput
// objects through the host's own makers, D3DX 8 the project's own.
#pragma once

#include <functional>
#include <memory>

#include "platform/platform.h"

struct DirectXMakers {
  // Each call a fresh object, with the status the system gave.
  std::function<HRESULT(Ref<Direct3D8>&)> direct3d;
  std::function<HRESULT(Ref<DirectInput8>&)> directInput;
};

std::unique_ptr<PlatformObjects> MakePlatformObjects(DirectXMakers makers);
