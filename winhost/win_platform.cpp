#include "winhost/win_platform.h"

#include <memory>

#include "hostcommon/platform_objects.h"
#include "winhost/win32_calls.h"
#include "winhost/win32_dinput.h"
#include "winhost/win_dinput.h"
#include "winhost/win_direct3d.h"

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

HRESULT WinPlatform::NewDirect3D(Ref<Direct3D8>& d3d) {
  win32::ComObject created = win32::Direct3DCreate8();
  if (created == nullptr) {
    // Direct3DCreate8 gives no status: a missing d3d8.dll (or an older one)
    // is told in words.
    NoteErrorDetail(E_FAIL, "d3d8.dll or its Direct3DCreate8 cannot be loaded");
    return E_FAIL;
  }
  d3d = std::make_shared<WinDirect3D8>(created, script_.get());
  return 0;
}

HRESULT WinPlatform::NewDirectInput(Ref<DirectInput8>& di) {
  win32::ComObject created = nullptr;
  const HRESULT status = win32::DirectInput8Create(created);
  if (created != nullptr)
    di = std::make_shared<WinDirectInput8>(created, script_.get(),
                                           [this] { return runtime_.TakeCloseRequest(); });
  return status;
}

Platform WinPlatform::GetPlatform() {
  if (!objects_)
    objects_ = MakePlatformObjects({[this](Ref<Direct3D8>& d3d) { return NewDirect3D(d3d); },
                                    [this](Ref<DirectInput8>& di) { return NewDirectInput(di); }});
  return Platform{objects_.get(), &windows_, &runtime_};
}
