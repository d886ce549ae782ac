// The composition root on Windows: the system's Direct3D 8 and DirectInput 8,
// the project's D3DX 8 over them, the runtime and the Windows calls.
#pragma once

#include <memory>
#include <string>

#include "hostcommon/host_config.h"
#include "platform/platform.h"
#include "winhost/win_key_script.h"
#include "winhost/win_runtime.h"

class WinPlatform {
 public:
  // Reads the key script and makes the form's window; false with a reason
  // when either cannot be done.
  bool Start(const CommonConfig& config, std::string& error);
  Platform GetPlatform();
  WinRuntime& Runtime() { return runtime_; }

 private:
  // "new DirectX8" asks for these afresh each time.
  HRESULT NewDirect3D(Ref<Direct3D8>& d3d);
  HRESULT NewDirectInput(Ref<DirectInput8>& di);

  std::unique_ptr<WinKeyScript> script_;
  WinRuntime runtime_;
  WinWindowSystem windows_;
  std::unique_ptr<PlatformObjects> objects_;
};
