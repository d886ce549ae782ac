#include "winhost/win_gdi_display.h"

#include "formats/pixel_format.h"
#include "hostcommon/captures.h"
#include "hostcommon/host_log.h"
#include "pictures/image.h"
#include "presentation/placement.h"
#include "presentation/present_order.h"
#include "winhost/win32_calls.h"
#include "winhost/win32_present.h"

WinGdiDisplay::WinGdiDisplay(PlayedKeyScript* script, const WinPresentOptions& options)
    : script_(script), options_(options) {
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
  if (options_.hud.Any())
    overlay_ = std::make_unique<WinOverlay>(options_.hud, "reference rasterizer, GDI");
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
  covered_ = false;
  pacing_.Stop();
  if (!params.Windowed) {
    bool listed = false;
    for (const auto& mode : modes_) listed = listed || ModeMatches(mode, params);
    if (!listed) return D3DERR_INVALIDCALL;
    frameWidth_ = static_cast<int>(params.BackBufferWidth);
    frameHeight_ = static_cast<int>(params.BackBufferHeight);
    interval_ = params.FullScreen_PresentationInterval;
    if (!(options_.windowed ? ShowInWindow(target) : ShowOverScreen(target)))
      return D3DERR_INVALIDCALL;
  } else {
    win32::ShowWindow(target);
  }
  window_ = target;
  fullScreen_ = !params.Windowed;
  HostLog(LogLevel::Info, "device: reference, shown through GDI " + HowShown());
  return D3D_OK;
}

// The device believes it has the screen; its frames go to a window, which
// presents as it is drawn, with no retrace to wait for.
bool WinGdiDisplay::ShowInWindow(HWND window) {
  if (covered_) win32::RestoreWindow(window, frameWidth_, frameHeight_);
  covered_ = false;
  pacing_.Stop();
  PlaceInWindow(window, frameWidth_, frameHeight_);
  win32::ShowWindow(window);
  return true;
}

bool WinGdiDisplay::ShowOverScreen(HWND window) {
  if (!win32::CoverScreen(window)) return false;
  covered_ = true;
  if (options_.vsync)
    pacing_.Start(static_cast<int>(DesktopMode().RefreshRate), interval_,
                  RetracePacing::Clock::now());
  return true;
}

std::string WinGdiDisplay::HowShown() const {
  return std::string(!covered_         ? "in a window"
                     : pacing_.Paced() ? "over the screen, paced to its refresh"
                                       : "over the screen, presenting at once") +
         (options_.smoothScaling ? ", smoothed where scaled" : "");
}

// Alt+Enter, one press a frame: a full-screen device's picture goes to a
// window and back; the device and its frames are as they were.
void WinGdiDisplay::ToggleOnRequest() {
  if (!win32::TakeFullScreenTogglePress() || !fullScreen_ || window_ == 0) return;
  if (!(covered_ ? ShowInWindow(window_) : ShowOverScreen(window_))) {
    HostLog(LogLevel::Warn, "Alt+Enter: the window could not cover the screen");
    return;
  }
  HostLog(LogLevel::Info, covered_ ? "Alt+Enter: full screen" : "Alt+Enter: in a window");
}

void WinGdiDisplay::DetachDevice() {
  if (window_ != 0 && covered_) win32::RestoreWindow(window_, 640, 480);
  window_ = 0;
  fullScreen_ = covered_ = false;
  pacing_.Stop();
}

// One present's steps: the frame is converted and scaled into the window's
// picture in memory, the overlay drawn over it, and the picture shown.
class WinGdiDisplay::Steps final : public PresentSteps {
 public:
  Steps(WinGdiDisplay& display, const FrameView& frame, HWND window, int width, int height)
      : d_(display), frame_(frame), window_(window), width_(width), height_(height) {}

  // Captures are the frame itself, taken before it is shown.
  void SaveCaptures() override {
    PlayedKeyScript* script = d_.script_;
    if (!script || !script->player.CapturesDue()) return;
    const Image image = ImageFromFrame(frame_);
    if (image.Whole())
      SaveDueCaptures(script->player, script->captureFolder, image);
    else
      FailDueCaptures(script->player, script->captureFolder, "the frame's format has no layout");
  }
  bool TakeScreenshotRequest() override { return win32::TakeScreenshotPress(); }
  // A minimised window has no client area to draw into.
  bool Seen() override { return width_ > 0 && height_ > 0; }
  HRESULT CheckUnshown() override {
    return pixel_layout::WithLayout(frame_.format, [](auto) {}) ? D3D_OK : D3DERR_INVALIDCALL;
  }
  HRESULT Show() override {
    const std::size_t count = static_cast<std::size_t>(frame_.width) * frame_.height;
    if (d_.pixels_.size() != count) d_.pixels_.resize(count);
    if (!FrameToXrgb(frame_, d_.pixels_.data(), frame_.width * 4)) return D3DERR_INVALIDCALL;
    if (!Seen()) return D3D_OK;  // only F12 asked for it: the last picture shown stands
    if (!d_.shown_.Resize(width_, height_)) return D3DERR_OUTOFVIDEOMEMORY;
    const Placement at = FitWithAspect(frame_.width, frame_.height, width_, height_);
    d_.shown_.DrawFrame(d_.pixels_.data(), frame_.width, frame_.height, at.x, at.y, at.width,
                        at.height, d_.options_.smoothScaling);
    return D3D_OK;
  }
  // What the window shows, bars and all, without the overlay.
  void SaveScreenshot() override {
    win32::ShownPicture& shown = d_.shown_;
    if (shown.Pixels() == nullptr) {
      HostLog(LogLevel::Error, "cannot take the screenshot: the window shows no picture yet");
      return;
    }
    ::SaveScreenshot(ImageFromFrame(
        {shown.Pixels(), shown.Width(), shown.Height(), shown.Width() * 4, D3DFMT_X8R8G8B8}));
  }
  void DrawOverlay() override {
    if (!d_.overlay_ || !Seen()) return;
    PixelCanvas canvas(d_.shown_.Pixels(), d_.shown_.Width(), d_.shown_.Height());
    d_.overlay_->Draw(canvas);
  }
  void WaitForRetrace() override { d_.pacing_.Wait(); }
  HRESULT Flip() override {
    if (Seen()) d_.shown_.ShowIn(window_);
    return D3D_OK;
  }
  void ToggleOnRequest() override { d_.ToggleOnRequest(); }

 private:
  WinGdiDisplay& d_;
  const FrameView& frame_;
  HWND window_;
  int width_, height_;
};

HRESULT WinGdiDisplay::Present(const FrameView& frame, HWND destWindow) {
  const HWND window = destWindow ? destWindow : window_;
  if (window == 0 || frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0)
    return D3DERR_INVALIDCALL;
  int w = 0, h = 0;
  if (!win32::ClientSize(window, w, h)) return D3DERR_INVALIDCALL;
  Steps steps(*this, frame, window, w, h);
  return PresentInOrder(steps);
}
