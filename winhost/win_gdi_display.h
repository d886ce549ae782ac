// Where the reference device shows its frames on Windows: the form's window,
// drawn into with GDI, so that the program runs where the system has no
// Direct3D 8 device. Full screen covers the screen with the window and
// scales the frame with its aspect kept (the screen's mode is not changed).
#pragma once

#include <cstdint>
#include <vector>

#include "hostcommon/shell.h"
#include "platform/display_host.h"
#include "presentation/pacing.h"

class WinGdiDisplay final : public DisplayHost {
 public:
  // `script`, when given, is a key script whose captures are the frames
  // presented here.
  explicit WinGdiDisplay(PlayedKeyScript* script);

  UINT ModeCount() override;
  bool Mode(UINT index, D3DDISPLAYMODE& mode) override;
  D3DDISPLAYMODE DesktopMode() override;
  bool WindowClientSize(HWND window, UINT& width, UINT& height) override;
  HRESULT AttachDevice(HWND focusWindow, const D3DPRESENT_PARAMETERS& params) override;
  void DetachDevice() override;
  HRESULT Present(const FrameView& frame, HWND destWindow) override;

 private:
  PlayedKeyScript* script_;
  std::vector<D3DDISPLAYMODE> modes_;
  HWND window_ = 0;
  bool fullScreen_ = false;
  RetracePacing pacing_;               // full screen, as the presentation interval asks
  std::vector<std::uint32_t> pixels_;  // the frame as 32-bit pixels, kept between frames
};
