// The composition root on Windows: the system's Direct3D 8 and DirectInput 8,
// the project's D3DX 8 over them, the runtime and the Windows calls.
#pragma once

#include "platform/platform.h"
#include "winhost/win_runtime.h"

class WinPlatform {
 public:
  // Makes the form's window; false when the system refuses it.
  bool Start() { return runtime_.Start(); }
  Platform GetPlatform();
  WinRuntime& Runtime() { return runtime_; }

 private:
  WinRuntime runtime_;
  WinWindowSystem windows_;
  std::unique_ptr<PlatformObjects> objects_;
};
