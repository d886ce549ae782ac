// The SDL2 host: the program's window system, windowing runtime, display,
// keyboard and platform objects on SDL (x11, wayland, KMSDRM, or the offscreen
// driver when there is no display).
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "sdlhost/host_config.h"
#include "sdlhost/key_script.h"

class SdlDisplayHost;
class SdlRuntime;
class SdlWindowSystem;

// The host: owns SDL, the form's window and every service the program uses.
class SdlHost {
 public:
  SdlHost();
  ~SdlHost();
  SdlHost(const SdlHost&) = delete;
  SdlHost& operator=(const SdlHost&) = delete;

  // Starts SDL and makes the form's window (hidden until a device or the
  // message loop shows it). False with a reason when it cannot.
  bool Start(const HostConfig& config, std::string& error);
  Platform GetPlatform();

  SDL_Window* Window() const { return window_; }
  std::int32_t WindowHandle() const { return static_cast<std::int32_t>(windowId_); }
  bool HasScreen() const { return hasScreen_; }
  const HostConfig& Config() const { return config_; }
  SdlRuntime& RuntimeService() { return *runtime_; }
  SdlDisplayHost& Display() { return *display_; }
  // The key script, when one plays.
  KeyScriptPlayer* Script() { return script_.get(); }
  const std::string& ScriptFolder() const { return scriptFolder_; }
  // The X server's connection when SDL runs on X11 (for the global key map).
  void* XDisplay() const { return xDisplay_; }

  // Handles the waiting window events: a close request closes the form, an
  // uncovered window shows the last frame again. A pending termination signal
  // ends the process first.
  void ProcessEvents();
  // Waits up to `timeoutMs` for an event to arrive (without handling it).
  void WaitForEvents(int timeoutMs);
  // Shows the form's window (it starts hidden).
  void ShowWindow();
  // A modal box over the form's window when it is shown. A termination signal
  // during it ends the process at once: the box holds the only thread.
  void ShowMessageBox(const std::string& title, const std::string& text);

  // Ends the process when a termination signal has arrived. The program
  // comes here at every event pass, keyboard poll and present.
  void CheckSignals();
  // Gives the screen back (mode, cursor) and shuts SDL down.
  void Shutdown();
  // Shuts down and ends the process with `exitCode`.
  [[noreturn]] void EndProcess(int exitCode);

 private:
  HostConfig config_;
  bool sdlStarted_ = false;
  bool hasScreen_ = false;
  SDL_Window* window_ = nullptr;
  std::uint32_t windowId_ = 0;
  void* xDisplay_ = nullptr;
  std::unique_ptr<KeyScriptPlayer> script_;
  std::string scriptFolder_;
  std::unique_ptr<SdlRuntime> runtime_;
  std::unique_ptr<SdlWindowSystem> windows_;
  std::unique_ptr<SdlDisplayHost> display_;
  std::unique_ptr<PlatformObjects> objects_;
};
