// The SDL2 host: the program's window system, windowing runtime, display,
// keyboard and platform objects on SDL (x11, wayland, KMSDRM, or the offscreen
// driver when there is no display).
#pragma once

#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gldevice/gl_context.h"
#include "graphics/display_host.h"
#include "runtime/platform.h"
#include "runtime/random.h"
#include "runtime/text_files.h"
#include "sdlhost/cursor_counter.h"
#include "sdlhost/display_modes.h"
#include "sdlhost/host_config.h"
#include "sdlhost/key_script.h"

class SdlHost;

class SdlFont final : public IFont {
 public:
  explicit SdlFont(std::int32_t handle) : handle_(handle) {}
  HRESULT get_Name(std::string& name) override;
  HRESULT put_Name(const std::string& name) override;
  HRESULT get_hFont(std::int32_t& handle) override;

 private:
  std::string name_ = "Sans Serif";
  std::int32_t handle_;
};

class SdlRuntime final : public Runtime {
 public:
  explicit SdlRuntime(SdlHost& host);

  HRESULT Form_hWnd(std::int32_t& hWnd) override;
  HRESULT Form_Font(Ref<IFont>& font) override;
  void SetFormEvents(FormEvents events) override { events_ = std::move(events); }
  bool FormClosed() override { return closed_; }
  HRESULT MsgBox(const std::string& text) override;
  void DoEvents() override;
  void RunUntilFormClosed() override;
  [[noreturn]] void End(int exitCode) override;
  std::int32_t FileOpenForOutput(const std::string& path, std::int32_t& fileNumber) override;
  std::int32_t FilePrintLine(std::int32_t fileNumber, const std::string& text) override;
  std::int32_t FileClose(std::int32_t fileNumber) override;
  float Timer() override;
  void Randomize(double seed) override { random_.Seed(seed); }
  float Rnd() override { return random_.Next(); }

 private:
  void CloseForm();

  SdlHost& host_;
  Ref<IFont> font_;
  FormEvents events_;
  bool closed_ = false;
  TextFiles files_;
  RandomGenerator random_;
};

class SdlWindowSystem final : public WindowSystem {
 public:
  SdlWindowSystem();
  std::int32_t ShowCursor(std::int32_t bShow) override { return cursor_.ShowCursor(bShow); }
  std::uint32_t GetTickCount() override { return SDL_GetTicks(); }

 private:
  CursorCounter cursor_;
};

class SdlDisplayHost final : public DisplayHost {
 public:
  explicit SdlDisplayHost(SdlHost& host);

  UINT ModeCount() override { return static_cast<UINT>(modes_.size()); }
  bool Mode(UINT index, D3DDISPLAYMODE& mode) override;
  D3DDISPLAYMODE DesktopMode() override { return desktop_; }
  bool WindowClientSize(HWND window, UINT& width, UINT& height) override;
  HRESULT AttachDevice(HWND focusWindow, const D3DPRESENT_PARAMETERS& params) override;
  void DetachDevice() override;
  // Only a screen or a capture due looks at the pixels.
  bool WantsFramePixels() override;
  HRESULT Present(const FrameView& frame, HWND destWindow) override;

  // Shows the last frame again (the window was uncovered).
  void Refresh();
  bool FullScreen() const { return attached_ && fullScreen_; }
  const std::vector<HostMode>& Modes() const { return modes_; }

 private:
  void SaveCaptures(const FrameView& frame);
  void WaitForRetrace();
  bool Blit(const FrameView& frame, SDL_Surface* surface);

  SdlHost& host_;
  std::vector<HostMode> modes_;
  D3DDISPLAYMODE desktop_{};
  bool attached_ = false;
  bool fullScreen_ = false;    // the device is full screen (maybe shown in a window)
  bool keepAspect_ = false;    // the frame is scaled onto a larger screen
  bool presented_ = false;
  DWORD interval_ = 0;
  std::chrono::steady_clock::duration retrace_{};  // zero: the display has no known rate
  std::chrono::steady_clock::time_point retraceOrigin_{};
  // The placement of the frame on the current surface, and the source column
  // of each destination column; rebuilt when either size changes.
  int surfaceW_ = 0, surfaceH_ = 0, frameW_ = 0, frameH_ = 0;
  Placement placement_;
  std::vector<std::int32_t> columns_;
  std::vector<std::uint32_t> row_;
};

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
  // The hardware device's context; null when start-up refused it.
  std::shared_ptr<GlContext> HardwareContext() const { return hardware_; }
  // The X server's connection when SDL runs on X11 (for the global key map).
  void* XDisplay() const { return xDisplay_; }

  // Ends the process when a termination signal has arrived.
  void CheckSignals();
  // Gives the screen back (mode, cursor) and shuts SDL down.
  void Shutdown();

 private:
  HostConfig config_;
  bool sdlStarted_ = false;
  bool hasScreen_ = false;
  SDL_Window* window_ = nullptr;
  std::uint32_t windowId_ = 0;
  void* xDisplay_ = nullptr;
  std::shared_ptr<GlContext> hardware_;
  std::unique_ptr<KeyScriptPlayer> script_;
  std::string scriptFolder_;
  std::unique_ptr<SdlRuntime> runtime_;
  std::unique_ptr<SdlWindowSystem> windows_;
  std::unique_ptr<SdlDisplayHost> display_;
  std::unique_ptr<PlatformObjects> objects_;
};

// Converts one row of `count` pixels of a back-buffer format to 0x00RRGGBB.
// Returns false for a format it does not know.
bool ConvertRowToXrgb(D3DFORMAT format, const void* source, std::uint32_t* dest, int count);
