// The SDL host put together: the one place that decides which objects the
// program gets (the runtime, the window system, the display, DirectInput's
// keyboard, the Direct3D object with its device types and the trace) and
// wires them to the host's life; and what the shell's entry asks of a host.
#pragma once

#include <memory>
#include <string>

#include "gldevice/gl_context.h"
#include "hostcommon/shell.h"
#include "platform/platform.h"
#include "sdlhost/sdl_display.h"
#include "sdlhost/sdl_host.h"
#include "sdlhost/sdl_runtime.h"
#include "sdlhost/sdl_window_system.h"

class SdlPlatform final : public ShellHost {
 public:
  SdlPlatform() = default;
  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  HostSettingList Settings() override;
  HostUsage Usage() override;
  bool Tell(bool error, const std::string& text) override;
  void SetVariable(const char* name, const std::string& value) override;
  const char* GetVariable(const char* name) override;
  // Reads the key script, starts the host and builds the platform. False
  // with a reason when it cannot.
  bool Start(const HostConfig& config, std::string& error) override;
  // What InstallPlatform takes; valid while this object lives.
  Platform GetPlatform() override;

  SdlHost& Host() { return host_; }
  SdlRuntime& Runtime() { return *runtime_; }
  SdlDisplayHost& Display() { return *display_; }

 private:
  // "new DirectX8" asks for one afresh each time.
  Ref<Direct3D8> NewDirect3D();

  HostConfig config_;
  std::string deviceName_;  // for the overlay
  SdlHost host_;
  // The hardware device's context; null when the probe refused it.
  std::shared_ptr<GlContext> hardware_;
  std::unique_ptr<PlayedKeyScript> script_;
  std::unique_ptr<SdlRuntime> runtime_;
  std::unique_ptr<SdlWindowSystem> windows_;
  std::unique_ptr<SdlDisplayHost> display_;
  std::unique_ptr<PlatformObjects> objects_;
};
