// Where the reference device shows its frames in a browser tab: the page's
// 640x480 canvas, scaled to the page with its aspect kept, and the whole
// screen through the browser's Fullscreen API for a full-screen device. A
// present gives the browser its turn: until its next animation frame (its
// retrace) when the presentation waits for one, else only for its events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hostcommon/shell.h"
#include "platform/display_host.h"
#include "presentation/overlay.h"

struct WebDisplayOptions {
  bool vsync = true;
  OverlayItems hud;
  // The key script whose captures are the frames presented here (may be null).
  PlayedKeyScript* script = nullptr;
};

class WebDisplay final : public DisplayHost {
 public:
  explicit WebDisplay(WebDisplayOptions options);

  UINT ModeCount() override { return static_cast<UINT>(modes_.size()); }
  bool Mode(UINT index, D3DDISPLAYMODE& mode) override;
  D3DDISPLAYMODE DesktopMode() override { return desktop_; }
  bool WindowClientSize(HWND window, UINT& width, UINT& height) override;
  HRESULT AttachDevice(HWND focusWindow, const D3DPRESENT_PARAMETERS& params) override;
  void DetachDevice() override;
  HRESULT Present(const FrameView& frame, HWND destWindow) override;

 private:
  class Steps;
  void SaveCaptures(const FrameView& frame);
  void SaveScreenshot(const FrameView& frame);

  WebDisplayOptions options_;
  std::vector<D3DDISPLAYMODE> modes_;
  D3DDISPLAYMODE desktop_{};
  bool attached_ = false;
  bool fullScreen_ = false;
  std::vector<std::uint32_t> pixels_;  // the frame as the canvas takes it, kept between frames
  OverlayModel overlay_;
};

// 0x??RRGGBB pixels as the canvas's bytes R, G, B, A (opaque); `dst` may be `src`.
void XrgbToCanvasBytes(const std::uint32_t* src, std::uint32_t* dst, std::size_t count);
// The frame as the canvas's bytes, its rows packed: false for a format
// without a layout.
bool FrameToCanvasBytes(const FrameView& frame, std::uint32_t* dst);
