#include "sdlhost/sdl_platform.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "gldevice/gl_direct3d.h"
#include "hostcommon/direct3d_by_type.h"
#include "hostcommon/host_log.h"
#include "hostcommon/platform_objects.h"
#include "hostcommon/trace.h"
#include "refdevice/raster/thread_pool.h"
#include "refdevice/ref_direct3d.h"
#include "scene/user_files.h"
#include "sdlhost/sdl_config.h"
#include "sdlhost/sdl_gl.h"
#include "sdlhost/sdl_keyboard.h"
#include "sdlhost/window_icon.h"

HostSettingList SdlPlatform::Settings() { return SdlSettings(); }

HostUsage SdlPlatform::Usage() { return SdlUsage(); }

bool SdlPlatform::Tell(bool error, const std::string& text) {
  std::FILE* to = error ? stderr : stdout;
  return std::fputs(text.c_str(), to) >= 0 && std::fflush(to) == 0 && !std::ferror(to);
}

void SdlPlatform::SetVariable(const char* name, const std::string& value) {
  ::setenv(name, value.c_str(), 1);
}

const char* SdlPlatform::GetVariable(const char* name) { return std::getenv(name); }

bool SdlPlatform::Start(const HostConfig& config, std::string& error) {
  config_ = config;
  // Under a tight memory or process limit the reference device draws with
  // the threads the system lets it start, down to the program's own.
  refdev::SetThreadShortfallReport([](int wanted, int started) {
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
      HostLog(LogLevel::Info, "reference device: drawing with " + std::to_string(started) + " of " +
                                  std::to_string(wanted) +
                                  " threads (the system would start no more)");
  });
  if (!LoadKeyScript(config, script_, error)) return false;
  // The hardware device is tried first; on a screen it draws into the form's
  // window, which must then be made as an OpenGL window.
  auto probeHardware = [this](const std::string& videoDriver, bool hasScreen) {
    HardwareProbe probe = ProbeHardwareDevice(config_, host_, videoDriver, hasScreen);
    hardware_ = std::move(probe.context);
    if (hardware_)
      HostLog(LogLevel::Info, "device: hardware (OpenGL renderer " + probe.renderer + ", version " +
                                  probe.version + ")");
    else
      HostLog(LogLevel::Info, "device: reference (no hardware device: " + probe.reason + ")");
    deviceName_ = hardware_ ? "hardware, " + probe.renderer : "reference rasterizer";
    return probe.window;
  };
  if (!host_.Start(error, probeHardware)) return false;
  if (host_.HasScreen()) SetWindowIcon(host_.Window());

  const std::string log = scene::Printable(TextFiles().DriveC() + "/FPS.TXT");
  if (!host_.HasScreen() && script_) {
    // Said once, so that a run that shows nothing is not a mystery. (Without
    // a key script there is no keyboard, and the program's report says so.)
    HostLog(LogLevel::Warn, "running without a window; the log goes to " + log +
                                ", captures beside the key script; Ctrl+C or kill " +
                                std::to_string(::getpid()) + " ends it");
  } else {
    HostLog(LogLevel::Info, "frame-rate log: " + log + " (rewritten at each start)");
  }
  runtime_ = std::make_unique<SdlRuntime>(host_, config.fixedTime);
  windows_ = std::make_unique<SdlWindowSystem>(host_);
  DisplayOptions options;
  options.windowed = config.windowed;
  options.vsync = config.vsync;
  options.captures = script_ ? &script_->player : nullptr;
  options.captureFolder = script_ ? script_->captureFolder : "";
  options.linearScaling = config.linearScaling;
  options.hud = {config.hudFps, config.hudFrameTime, config.hudDevice};
  options.deviceName = deviceName_;
  // SDL's offscreen driver saves the window's surface as pictures when asked.
  options.drawUnseen = config.drawUnseen || std::getenv("SDL_VIDEO_OFFSCREEN_SAVE_FRAMES");
  display_ = std::make_unique<SdlDisplayHost>(host_, std::move(options));
  if (hardware_) ConnectCaptures(*hardware_, *display_);
  host_.SetEventHandlers({[this] { runtime_->CloseForm(); }, [this] { display_->Refresh(); }});
  objects_ = MakePlatformObjects({[this](Ref<Direct3D8>& d3d) {
                                    d3d = NewDirect3D();
                                    return D3D_OK;
                                  },
                                  [this](Ref<DirectInput8>& di) {
                                    di = std::make_shared<SdlDirectInput8>(
                                        host_, script_ ? &script_->player : nullptr);
                                    return DI_OK;
                                  }});
  return true;
}

Ref<Direct3D8> SdlPlatform::NewDirect3D() {
  // The device types this host offers, one line each, with the object that
  // makes their devices; the first also answers for the adapter. Without a
  // hardware device the reference object refuses that type itself.
  std::vector<Direct3DByDeviceType::DeviceType> types;
  auto ref = std::make_shared<RefDirect3D8>(display_.get(), false);
  ref->SetRasterizerOptions({config_.threads, config_.kernels});
  types.emplace_back(D3DDEVTYPE_REF, std::move(ref));
  if (hardware_) types.emplace_back(D3DDEVTYPE_HAL, MakeGlDirect3D8(display_.get(), hardware_));
  Ref<Direct3D8> d3d = std::make_shared<Direct3DByDeviceType>(std::move(types));
  if (!config_.tracePath.empty())
    d3d = std::make_shared<TracingDirect3D8>(std::move(d3d), config_.tracePath, config_.traceFrames,
                                             [this](const std::string& why) {
                                               HostLog(LogLevel::Error, "trace: " + why);
                                               host_.FailAtEnd();
                                             });
  return d3d;
}

Platform SdlPlatform::GetPlatform() {
  Platform p;
  p.objects = objects_.get();
  p.windows = windows_.get();
  p.runtime = runtime_.get();
  return p;
}
