#include "winhost/win_gdi_display.h"

#include "hostcommon/captures.h"
#include "pictures/image.h"
#include "presentation/placement.h"
#include "winhost/win32_gdi.h"

WinGdiDisplay::WinGdiDisplay(PlayedKeyScript* script) : script_(script) {
  // Every mode is shown by scaling onto the screen as it is, in the
  // screen's own format: the classic sizes, and the screen's.
  const D3DDISPLAYMODE desktop = DesktopMode();
  constexpr UINT kClassic[][2] = {{640, 480}, {800, 600}, {1024, 768}};
  for (const auto& size : kClassic)
    modes_.push_back({size[0], size[1], desktop.RefreshRate, desktop.Format});
  bool listed = false;
  for (const auto& mode : modes_)
    listed = listed || (mode.Width == desktop.Width && mode.Height == desktop.Height);
  if (!listed) modes_.push_back(desktop);
}

UINT WinGdiDisplay::ModeCount() { return static_cast<UINT>(modes_.size()); }

bool WinGdiDisplay::Mode(UINT index, D3DDISPLAYMODE& mode) {
  if (index >= modes_.size()) return false;
  mode = modes_[index];
  return true;
}

D3DDISPLAYMODE WinGdiDisplay::DesktopMode() {
  int width = 0, height = 0;
  win32::ScreenSize(width, height);
  if (width <= 0 || height <= 0) width = 640, height = 480;
  return {static_cast<UINT>(width), static_cast<UINT>(height), 60, D3DFMT_X8R8G8B8};
}

bool WinGdiDisplay::WindowClientSize(HWND window, UINT& width, UINT& height) {
  int w = 0, h = 0;
  if (!win32::ClientSize(window, w, h) || w <= 0 || h <= 0) return false;
  width = static_cast<UINT>(w);
  height = static_cast<UINT>(h);
  return true;
}

HRESULT WinGdiDisplay::AttachDevice(HWND focusWindow, const D3DPRESENT_PARAMETERS& params) {
  const HWND target = params.hDeviceWindow ? params.hDeviceWindow : focusWindow;
  int w = 0, h = 0;
  if (!win32::ClientSize(target, w, h)) return D3DERR_INVALIDCALL;
  if (!params.Windowed) {
    bool listed = false;
    for (const auto& mode : modes_) listed = listed || ModeMatches(mode, params);
    if (!listed || !win32::CoverScreen(target)) return D3DERR_INVALIDCALL;
  } else {
    win32::ShowWindow(target);
  }
  window_ = target;
  fullScreen_ = !params.Windowed;
  pacing_.Stop();
  if (fullScreen_)
    pacing_.Start(static_cast<int>(DesktopMode().RefreshRate),
                  params.FullScreen_PresentationInterval, RetracePacing::Clock::now());
  return D3D_OK;
}

void WinGdiDisplay::DetachDevice() {
  if (window_ != 0 && fullScreen_) win32::RestoreWindow(window_, 640, 480);
  window_ = 0;
  fullScreen_ = false;
  pacing_.Stop();
}

HRESULT WinGdiDisplay::Present(const FrameView& frame, HWND destWindow) {
  const HWND window = destWindow ? destWindow : window_;
  if (window == 0 || frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0)
    return D3DERR_INVALIDCALL;
  // Captures are the frame itself, taken before it is shown.
  if (script_ && script_->player.CapturesDue()) {
    const Image image = ImageFromFrame(frame);
    if (image.Whole())
      SaveDueCaptures(script_->player, script_->captureFolder, image);
    else
      FailDueCaptures(script_->player, script_->captureFolder, "the frame's format has no layout");
  }
  const std::size_t count = static_cast<std::size_t>(frame.width) * frame.height;
  if (pixels_.size() != count) pixels_.resize(count);
  if (!FrameToXrgb(frame, pixels_.data(), frame.width * 4)) return D3DERR_INVALIDCALL;
  int w = 0, h = 0;
  if (!win32::ClientSize(window, w, h)) return D3DERR_INVALIDCALL;
  if (w <= 0 || h <= 0) return D3D_OK;  // minimised: nothing to draw into
  pacing_.Wait();
  const Placement at = FitWithAspect(frame.width, frame.height, w, h);
  win32::DrawFrame(window, pixels_.data(), frame.width, frame.height, at.x, at.y, at.width,
                   at.height);
  return D3D_OK;
}
