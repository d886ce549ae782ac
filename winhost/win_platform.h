// The composition root on Windows: the system's Direct3D 8 and DirectInput 8,
// the project's D3DX 8 over them, the runtime and the Windows calls; and
// what the shell's entry asks of a host.
#pragma once

#include <deque>
#include <memory>
#include <string>

#include "hostcommon/shell.h"
#include "platform/platform.h"
#include "winhost/win_key_script.h"
#include "winhost/win_runtime.h"

class WinPlatform final : public ShellHost {
 public:
  // The settings every host takes; the others are not read yet.
  HostSettingList Settings() override { return CommonSettings(); }
  HostUsage Usage() override;
  // To the console, pipe or file the program was started with, else in a
  // box: a program started from the desktop has none.
  bool Tell(bool error, const std::string& text) override;
  void SetVariable(const char* name, const std::string& value) override;
  const char* GetVariable(const char* name) override;
  // Reads the key script and makes the form's window; false with a reason
  // when either cannot be done.
  bool Start(const HostConfig& config, std::string& error) override;
  Platform GetPlatform() override;
  WinRuntime& Runtime() { return runtime_; }

 private:
  // "new DirectX8" asks for these afresh each time.
  HRESULT NewDirect3D(Ref<Direct3D8>& d3d);
  HRESULT NewDirectInput(Ref<DirectInput8>& di);

  std::deque<std::string> values_;  // what GetVariable returned, kept alive
  std::unique_ptr<WinKeyScript> script_;
  WinRuntime runtime_;
  WinWindowSystem windows_;
  std::unique_ptr<PlatformObjects> objects_;
};
