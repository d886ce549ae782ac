// Where the reference device shows its frames on Windows: the form's window,
// drawn into with GDI, so that the program runs where the system has no
// Direct3D 8 device. Full screen covers the screen with the window and
// scales the frame with its aspect kept (the screen's mode is not changed);
// shown in a window (QUILLON_WINDOWED), the window has the frame's size where
// the desktop holds it. Each frame is composed in memory with the overlay
// over it, then shown whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hostcommon/shell.h"
#include "platform/display_host.h"
#include "presentation/pacing.h"
#include "winhost/win32_gdi.h"
#include "winhost/win_presentation.h"

class WinGdiDisplay final : public DisplayHost {
 public:
  // `script`, when given, is a key script whose captures are the frames
  // presented here; `options` say how they are shown.
  WinGdiDisplay(PlayedKeyScript* script, const WinPresentOptions& options);

  UINT ModeCount() override;
  bool Mode(UINT index, D3DDISPLAYMODE& mode) override;
  D3DDISPLAYMODE DesktopMode() override;
  bool WindowClientSize(HWND window, UINT& width, UINT& height) override;
  HRESULT AttachDevice(HWND focusWindow, const D3DPRESENT_PARAMETERS& params) override;
  void DetachDevice() override;
  HRESULT Present(const FrameView& frame, HWND destWindow) override;

 private:
  class Steps;

  bool ShowInWindow(HWND window);
  bool ShowOverScreen(HWND window);
  std::string HowShown() const;
  void ToggleOnRequest();

  PlayedKeyScript* script_;
  WinPresentOptions options_;
  std::vector<D3DDISPLAYMODE> modes_;
  HWND window_ = 0;
  bool fullScreen_ = false;
  bool covered_ = false;  // the window covers the screen
  int frameWidth_ = 640, frameHeight_ = 480;
  UINT interval_ = 0;                  // the full-screen presentation interval asked for
  RetracePacing pacing_;               // full screen, as the presentation interval asks
  std::vector<std::uint32_t> pixels_;  // the frame as 32-bit pixels, kept between frames
  win32::ShownPicture shown_;          // the window's picture, kept while its size stays
  std::unique_ptr<WinOverlay> overlay_;
};
