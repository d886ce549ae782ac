#include "winhost/win_platform.h"

#include <memory>
#include <vector>

#include "hostcommon/direct3d_by_type.h"
#include "hostcommon/host_log.h"
#include "hostcommon/platform_objects.h"
#include "hostcommon/trace.h"
#include "refdevice/ref_direct3d.h"
#include "winhost/win32_calls.h"
#include "winhost/win32_dinput.h"
#include "winhost/win_dinput.h"
#include "winhost/win_direct3d.h"
#include "winhost/win_gdi_display.h"

HostSettingList WinPlatform::Settings() {
  // One line each: a setting this host comes to honour is added here.
  // clang-format off
  static const std::vector<HostSetting> taken = SettingsTaken({
      "QUILLON_DRIVE_C",
      "QUILLON_KEYS",
      "QUILLON_LOG_LEVEL",
      "QUILLON_TIME",
      "QUILLON_DEVICE",
      "QUILLON_THREADS",
      "QUILLON_KERNELS",
      "QUILLON_TRACE",
      "QUILLON_TRACE_FRAMES",
      "QUILLON_WINDOWED",
      "QUILLON_HUD",
      "QUILLON_VSYNC",
      "QUILLON_SCALE",
  });
  // clang-format on
  return taken;
}

HostUsage WinPlatform::Usage() {
  HostUsage usage;
  usage.keys =
      "  F12           save the picture on screen as PNG in Pictures\\Quillon\n"
      "  Alt+Enter     show the picture in a window, and full screen again\n";
  usage.notes =
      "QUILLON_SCALE is taken with QUILLON_DEVICE=ref, whose pictures this host\n"
      "scales (linear: GDI's smoothing); the system's Direct3D 8 scales its own.\n"
      "Without a console (started from the desktop) this text and the settings'\n"
      "refusals are shown in a message box. The host's lines also go to\n"
      "%LOCALAPPDATA%\\Quillon\\quillon.log, rewritten at each start and kept\n"
      "under 1 MiB (a last line says when further ones were dropped).\n";
  usage.system = "Windows";
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
  config_ = config;
  // Only the reference device's pictures are scaled here: a choice the
  // system's device would not follow is refused rather than ignored.
  if (const char* scale = GetVariable("QUILLON_SCALE"); scale && config.device != DeviceChoice::Ref)
    return RefuseSetting(Settings(), error, "QUILLON_SCALE", scale,
                         "unset unless QUILLON_DEVICE is ref: the system's Direct3D 8 scales "
                         "its pictures itself");
  if (!LoadKeyScript(config, script_, error)) return false;
  present_ = {config.windowed,
              config.vsync,
              {config.hudFps, config.hudFrameTime, config.hudDevice},
              config.linearScaling};
  if (!runtime_.Start(config.fixedTime)) {
    error = "the form's window cannot be created";
    return false;
  }
  return true;
}

HRESULT WinPlatform::NewDirect3D(Ref<Direct3D8>& d3d) {
  if (config_.device == DeviceChoice::Ref) {
    // The project's own device, shown through GDI: it needs nothing of the
    // system's Direct3D. Its HAL is refused, so the program takes REF.
    if (!display_) display_ = std::make_unique<WinGdiDisplay>(script_.get(), present_);
    auto ref = std::make_shared<RefDirect3D8>(display_.get(), false);
    ref->SetRasterizerOptions({config_.threads, config_.kernels});
    std::vector<Direct3DByDeviceType::DeviceType> types;
    types.emplace_back(D3DDEVTYPE_REF, std::move(ref));
    d3d = std::make_shared<Direct3DByDeviceType>(std::move(types));
  } else {
    win32::ComObject created = win32::Direct3DCreate8();
    if (created == nullptr) {
      // Direct3DCreate8 gives no status: a missing d3d8.dll (or an older one)
      // is told in words.
      NoteErrorDetail(E_FAIL, "d3d8.dll or its Direct3DCreate8 cannot be loaded");
      return E_FAIL;
    }
    d3d = std::make_shared<WinDirect3D8>(created, script_.get(), present_);
  }
  if (!config_.tracePath.empty())
    d3d = std::make_shared<TracingDirect3D8>(std::move(d3d), config_.tracePath, config_.traceFrames,
                                             [this](const std::string& why) {
                                               HostLog(LogLevel::Error, "trace: " + why);
                                               runtime_.FailAtEnd();
                                             });
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
