#include "winhost/win_platform.h"

#include <memory>

#include "d3dx/d3dx8_object.h"
#include "winhost/win32_calls.h"
#include "winhost/win32_dinput.h"
#include "winhost/win_dinput.h"
#include "winhost/win_direct3d.h"

namespace {

class WinDirectX8 final : public DirectX8 {
 public:
  WinDirectX8(WinKeyScript* script, CloseRequestCheck closeRequested)
      : script_(script), closeRequested_(std::move(closeRequested)) {}
  HRESULT Direct3DCreate(Ref<Direct3D8>& d3d) override {
    win32::ComObject created = win32::Direct3DCreate8();
    if (created == nullptr) {
      // Direct3DCreate8 gives no status: a missing d3d8.dll (or an older
      // one) is told in words.
      NoteErrorDetail(E_FAIL, "d3d8.dll or its Direct3DCreate8 cannot be loaded");
      return E_FAIL;
    }
    d3d = std::make_shared<WinDirect3D8>(created, script_);
    return 0;
  }
  HRESULT DirectInputCreate(Ref<DirectInput8>& di) override {
    win32::ComObject created = nullptr;
    const HRESULT status = win32::DirectInput8Create(created);
    if (created != nullptr)
      di = std::make_shared<WinDirectInput8>(created, script_, closeRequested_);
    return status;
  }

 private:
  WinKeyScript* script_;
  CloseRequestCheck closeRequested_;
};

class WinPlatformObjects final : public PlatformObjects {
 public:
  WinPlatformObjects(WinKeyScript* script, CloseRequestCheck closeRequested)
      : script_(script), closeRequested_(std::move(closeRequested)) {}
  HRESULT NewDirectX8(Ref<DirectX8>& dx) override {
    dx = std::make_shared<WinDirectX8>(script_, closeRequested_);
    return 0;
  }
  // D3DX 8 is the project's own, over the system's device.
  HRESULT NewD3DX8(Ref<D3DX8>& d3dx) override {
    d3dx = std::make_shared<RuntimeD3DX8>();
    return 0;
  }

 private:
  WinKeyScript* script_;
  CloseRequestCheck closeRequested_;
};

}  // namespace

HostUsage WinPlatform::Usage() {
  HostUsage usage;
  usage.notes =
      "Without a console (started from the desktop) this text and the settings'\n"
      "refusals are shown in a message box.\n";
  return usage;
}

bool WinPlatform::Tell(bool error, const std::string& text) {
  if (win32::HasStandard(error)) return win32::WriteStandard(error, text);
  win32::ShowMessageBox(0, text, "Quillon");
  return true;
}

void WinPlatform::SetVariable(const char* name, const std::string& value) {
  win32::SetEnvironment(name, value);
}

const char* WinPlatform::GetVariable(const char* name) {
  values_.push_back(win32::GetEnvironment(name));
  return values_.back().empty() ? nullptr : values_.back().c_str();
}

bool WinPlatform::Start(const HostConfig& config, std::string& error) {
  if (!LoadKeyScript(config, script_, error)) return false;
  if (!runtime_.Start(config.fixedTime)) {
    error = "the form's window cannot be created";
    return false;
  }
  return true;
}

Platform WinPlatform::GetPlatform() {
  if (!objects_)
    objects_ = std::make_unique<WinPlatformObjects>(script_.get(),
                                                    [this] { return runtime_.TakeCloseRequest(); });
  return Platform{objects_.get(), &windows_, &runtime_};
}
