// The display on the SDL host: the adapter's modes, taking the screen for a
// device, and presenting its frames into the form's window (scaled with the
// shape kept where the display lacks the mode).
#pragma once

#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hostcommon/key_script.h"
#include "platform/display_host.h"
#include "pictures/image.h"
#include "presentation/pacing.h"
#include "presentation/placement.h"
#include "sdlhost/display_modes.h"
#include "sdlhost/hud.h"

class SdlHost;

struct DisplayOptions {
  bool windowed = false;  // a full-screen device is shown in a window
  bool vsync = true;      // full-screen presents wait for the retrace
  // The key script whose `capture` lines save presented frames (may be
  // null), and the folder relative names are written to.
  KeyScriptPlayer* captures = nullptr;
  std::string captureFolder;
  bool linearScaling = false;  // a scaled frame is filtered, not repeated
  OverlayItems hud;            // the overlay's parts
  std::string deviceName;      // what the overlay names as the device
  // Without a screen nobody sees the window, so frames are not drawn into
  // its surface; true draws them anyway, for whoever reads that surface.
  bool drawUnseen = false;
};

// Where F12 saves pictures: $XDG_PICTURES_DIR/quillon (from the environment
// or the user's user-dirs.dirs), by default ~/Pictures/quillon; empty when
// no home is known.
std::string ScreenshotFolder();

class SdlDisplayHost final : public DisplayHost {
 public:
  SdlDisplayHost(SdlHost& host, DisplayOptions options);

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
  // For a device that shows its frames in the window itself (OpenGL): a
  // capture is due, and saving it from the frame's pixels.
  bool CapturesDue() const { return options_.captures && options_.captures->CapturesDue(); }
  void SaveCaptures(const FrameView& frame);
  // F12's picture of what the window shows, saved under ScreenshotFolder();
  // one line says where, or why it could not be saved.
  void SaveScreenshot(const Image& image);
  // For a device that shows its frames itself: F12 was pressed, and the
  // overlay to draw over each frame it shows.
  bool TakeScreenshotRequest();
  Hud& Overlay() { return hud_; }
  // After Alt+Enter: a full-screen device's frames go to a window instead,
  // or back to the screen. The device keeps its mode; only the host's
  // presentation changes, the frame scaled with its shape kept.
  void ToggleFullScreenOnRequest();
  bool FullScreen() const { return attached_ && fullScreen_; }
  const std::vector<HostMode>& Modes() const { return modes_; }

 private:
  class Steps;
  // The window covers the screen in `mode` (or the desktop, scaled).
  bool TakeScreen(SDL_Window* window, const HostMode& mode);
  bool Blit(const FrameView& frame, SDL_Surface* surface);

  SdlHost& host_;
  DisplayOptions options_;
  std::vector<HostMode> modes_;
  D3DDISPLAYMODE desktop_{};
  bool attached_ = false;
  bool fullScreen_ = false;  // the device is full screen (maybe shown in a window)
  bool presented_ = false;
  // The mode a full-screen device asked for, and whether its frames go to
  // a window (QUILLON_WINDOWED, or after Alt+Enter).
  HostMode screenMode_{};
  bool inWindow_ = false;
  RetracePacing pacing_;  // full-screen presents on the screen
  // The frame in the window surface's usual format, which SDL scales.
  std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> frame_{nullptr, SDL_FreeSurface};
  Hud hud_;
};
