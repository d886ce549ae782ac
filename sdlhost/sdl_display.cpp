#include "sdlhost/sdl_display.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "formats/pixel_format.h"
#include "hostcommon/captures.h"
#include "hostcommon/host_log.h"
#include "pictures/picture_files.h"
#include "presentation/present_order.h"
#include "presentation/screenshots.h"
#include "runtime/user_home.h"
#include "scene/user_files.h"
#include "sdlhost/sdl_host.h"

SdlDisplayHost::SdlDisplayHost(SdlHost& host, DisplayOptions options)
    : host_(host), options_(std::move(options)), hud_(options_.hud, options_.deviceName) {
  std::vector<SdlModeInfo> listed;
  const int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode m{};
    if (SDL_GetDisplayMode(0, i, &m) == 0)
      listed.push_back({m.w, m.h, m.refresh_rate, m.format});
    else
      listed.push_back({});  // keeps SDL's indices
  }
  SDL_DisplayMode d{};
  SdlModeInfo desktop{640, 480, 0, SDL_PIXELFORMAT_RGB888};
  if (SDL_GetDesktopDisplayMode(0, &d) == 0) desktop = {d.w, d.h, d.refresh_rate, d.format};
  modes_ = BuildAdapterModes(listed, desktop);
  D3DFORMAT desktopFormat = D3DFormatFromSdl(desktop.sdlFormat);
  desktop_ = {static_cast<UINT>(desktop.width), static_cast<UINT>(desktop.height),
              static_cast<UINT>(desktop.refreshRate > 0 ? desktop.refreshRate : 0),
              desktopFormat == D3DFMT_UNKNOWN ? D3DFMT_X8R8G8B8 : desktopFormat};
}

bool SdlDisplayHost::Mode(UINT index, D3DDISPLAYMODE& mode) {
  if (index >= modes_.size()) return false;
  mode = modes_[index].mode;
  return true;
}

bool SdlDisplayHost::WindowClientSize(HWND window, UINT& width, UINT& height) {
  if (window != host_.WindowHandle() || !host_.Window()) return false;
  int w = 0, h = 0;
  SDL_GetWindowSize(host_.Window(), &w, &h);
  width = static_cast<UINT>(w);
  height = static_cast<UINT>(h);
  return w > 0 && h > 0;
}

HRESULT SdlDisplayHost::AttachDevice(HWND focusWindow, const D3DPRESENT_PARAMETERS& params) {
  SDL_Window* window = host_.Window();
  const HWND target = params.hDeviceWindow ? params.hDeviceWindow : focusWindow;
  if (!window || target != host_.WindowHandle()) return D3DERR_INVALIDCALL;

  fullScreen_ = !params.Windowed;
  pacing_.Stop();
  if (!fullScreen_) {
    SDL_ShowWindow(window);
    attached_ = true;
    return D3D_OK;
  }

  const HostMode* chosen = nullptr;
  for (const auto& m : modes_) {
    if (ModeMatches(m.mode, params)) {
      chosen = &m;
      break;
    }
  }
  if (!chosen) return D3DERR_INVALIDCALL;

  int refresh = static_cast<int>(chosen->mode.RefreshRate);
  screenMode_ = *chosen;
  inWindow_ = options_.windowed;
  if (options_.windowed) {
    // The device believes it has the screen; the frame goes to a window.
    SDL_SetWindowSize(window, static_cast<int>(params.BackBufferWidth),
                      static_cast<int>(params.BackBufferHeight));
    // The user may size the window; the frame is scaled into it, shape kept.
    SDL_SetWindowResizable(window, SDL_TRUE);
    SDL_ShowWindow(window);
    refresh = 0;
  } else if (!TakeScreen(window, *chosen)) {
    return D3DERR_INVALIDCALL;
  }
  SDL_RaiseWindow(window);
  if (options_.vsync)
    pacing_.Start(refresh, params.FullScreen_PresentationInterval, RetracePacing::Clock::now());
  attached_ = true;
  return D3D_OK;
}

bool SdlDisplayHost::TakeScreen(SDL_Window* window, const HostMode& mode) {
  if (!mode.scaled) {
    SDL_DisplayMode dm{};
    if (SDL_GetDisplayMode(0, mode.sdlIndex, &dm) != 0 ||
        SDL_SetWindowDisplayMode(window, &dm) != 0)
      return false;
    SDL_SetWindowPosition(window, 0, 0);
    SDL_SetWindowSize(window, dm.w, dm.h);
    SDL_ShowWindow(window);
    return SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) == 0;
  }
  // The display lacks the mode: cover the desktop and scale the frame.
  SDL_Rect bounds{0, 0, static_cast<int>(desktop_.Width), static_cast<int>(desktop_.Height)};
  SDL_GetDisplayBounds(0, &bounds);
  SDL_SetWindowBordered(window, SDL_FALSE);
  SDL_SetWindowPosition(window, bounds.x, bounds.y);
  SDL_SetWindowSize(window, bounds.w, bounds.h);
  SDL_ShowWindow(window);
  return SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
}

void SdlDisplayHost::DetachDevice() {
  if (!attached_) return;
  attached_ = false;
  presented_ = false;
  // A window that is gone has nothing to give back; the host's shutdown
  // gives the display its mode.
  if (SDL_Window* window = host_.Window();
      window && fullScreen_ && !inWindow_ && !host_.DisplayLost()) {
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowBordered(window, SDL_TRUE);
    SDL_SetWindowSize(window, 640, 480);
  }
  fullScreen_ = false;
}

void SdlDisplayHost::ToggleFullScreenOnRequest() {
  SDL_Window* window = host_.Window();
  if (!host_.TakeFullScreenToggle() || !attached_ || !fullScreen_ || !window || host_.DisplayLost())
    return;
  if (!inWindow_) {
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowBordered(window, SDL_TRUE);
    SDL_SetWindowResizable(window, SDL_TRUE);
    SDL_SetWindowSize(window, static_cast<int>(screenMode_.mode.Width),
                      static_cast<int>(screenMode_.mode.Height));
    SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    inWindow_ = true;
  } else {
    // Back as the device took the screen; a window the user asked for
    // (QUILLON_WINDOWED) covers the desktop.
    HostMode mode = screenMode_;
    if (options_.windowed) mode.scaled = true;
    TakeScreen(window, mode);
    SDL_RaiseWindow(window);
    inWindow_ = false;
  }
}

void SdlDisplayHost::Refresh() {
  if (presented_ && host_.Window() && !host_.DisplayLost()) SDL_UpdateWindowSurface(host_.Window());
}

void SdlDisplayHost::SaveCaptures(const FrameView& frame) {
  if (!options_.captures || !options_.captures->CapturesDue()) return;
  SaveDueCaptures(*options_.captures, options_.captureFolder, ImageFromFrame(frame));
}

std::string ScreenshotFolder() { return XdgScreenshotFolder(UserHome()); }

namespace {

// The window's pixels as 0x00RRGGBB, top row first.
bool SurfaceImage(SDL_Surface* surface, Image& image) {
  std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> copy(
      SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_RGB888, 0), SDL_FreeSurface);
  if (!copy) return false;
  image = ImageFromFrame({copy->pixels, copy->w, copy->h, copy->pitch, D3DFMT_X8R8G8B8});
  return image.Whole();
}

}  // namespace

void SdlDisplayHost::SaveScreenshot(const Image& image) {
  // The folder comes from the environment or the user's settings: quoted.
  const std::string folder = ScreenshotFolder();
  const std::string hint = "; set XDG_PICTURES_DIR to a folder you can write";
  if (folder.empty()) {
    const std::string why = "no home folder is known (HOME is unset and the user has none)";
    HostLog(LogLevel::Error, "cannot save the screenshot: " + why + hint);
    return;
  }
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    HostLog(LogLevel::Error, "cannot save the screenshot: cannot make the folder " +
                                 scene::Printable(folder) + ": " + ec.message() + hint);
    return;
  }
  std::string reason;
  const std::string path = ClaimScreenshotPath(folder, std::time(nullptr), reason);
  if (path.empty()) {
    HostLog(LogLevel::Error,
            "cannot save the screenshot in " + scene::Printable(folder) + ": " + reason + hint);
    return;
  }
  std::string error;
  // What the user chose to keep survives a crash.
  if (WriteHostPicture(path, image, Durability::kSynced, error)) {
    HostLog(LogLevel::Warn, "screenshot written to " + scene::Printable(path));
    return;
  }
  HostLog(LogLevel::Error, "cannot write the screenshot " + scene::Printable(error) + hint);
  std::filesystem::remove(path, ec);  // the empty file that held its name
}

namespace {

// A frame shown at its own size on a 32-bit XRGB surface is converted
// straight into the surface's rows, one pass and no copy of our own.
bool ConvertIntoSurface(const FrameView& frame, SDL_Surface* surface) {
  if (surface->w != frame.width || surface->h != frame.height) return false;
  std::uint32_t alpha = 0;
  if (surface->format->format == SDL_PIXELFORMAT_ARGB8888)
    alpha = 0xFF000000u;  // what SDL's blit from an XRGB frame writes there
  else if (surface->format->format != SDL_PIXELFORMAT_RGB888)
    return false;
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return false;
  const bool converted =
      FrameToXrgb(frame, static_cast<std::uint32_t*>(surface->pixels), surface->pitch, alpha);
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  return converted;
}

}  // namespace

bool SdlDisplayHost::Blit(const FrameView& frame, SDL_Surface* surface) {
  if (ConvertIntoSurface(frame, surface)) return true;
  if (!frame_ || frame_->w != frame.width || frame_->h != frame.height) {
    frame_.reset(
        SDL_CreateRGBSurfaceWithFormat(0, frame.width, frame.height, 32, SDL_PIXELFORMAT_RGB888));
    if (!frame_) return false;
  }
  if (!FrameToXrgb(frame, static_cast<std::uint32_t*>(frame_->pixels), frame_->pitch)) return false;

  // A screen or window of another size shows the whole frame with its shape
  // kept and black bars, placed as the OpenGL device places it.
  const Placement p = FitWithAspect(frame.width, frame.height, surface->w, surface->h);
  SDL_Rect dest{p.x, p.y, p.width, p.height};
  if (p.x > 0 || p.y > 0 || p.width < surface->w || p.height < surface->h)
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
  if (p.width == frame.width && p.height == frame.height)
    return SDL_BlitSurface(frame_.get(), nullptr, surface, &dest) == 0;
  if (options_.linearScaling && surface->format->format == frame_->format->format)
    return SDL_SoftStretchLinear(frame_.get(), nullptr, surface, &dest) == 0;
  return SDL_BlitScaled(frame_.get(), nullptr, surface, &dest) == 0;
}

bool SdlDisplayHost::TakeScreenshotRequest() { return host_.TakeScreenshotRequest(); }

bool SdlDisplayHost::WantsFramePixels() { return host_.HasScreen() || CapturesDue(); }

// One present's steps on the window's surface.
class SdlDisplayHost::Steps final : public PresentSteps {
 public:
  Steps(SdlDisplayHost& display, const FrameView& frame, SDL_Window* window)
      : d_(display), frame_(frame), window_(window) {}

  void SaveCaptures() override { d_.SaveCaptures(frame_); }
  bool TakeScreenshotRequest() override { return d_.host_.TakeScreenshotRequest(); }
  bool Seen() override { return d_.host_.HasScreen() || d_.options_.drawUnseen; }
  HRESULT CheckUnshown() override {
    // The window's surface would be converted (and scaled) for nobody.
    return pixel_layout::WithLayout(frame_.format, [](auto) {}) ? D3D_OK : D3DERR_INVALIDCALL;
  }
  HRESULT Show() override {
    surface_ = SDL_GetWindowSurface(window_);
    if (!surface_) return D3DERR_DRIVERINTERNALERROR;
    return d_.Blit(frame_, surface_) ? D3D_OK : D3DERR_INVALIDCALL;
  }
  void SaveScreenshot() override {
    Image image;
    if (SurfaceImage(surface_, image))
      d_.SaveScreenshot(image);
    else
      HostLog(LogLevel::Error, std::string("cannot take the screenshot: ") + SDL_GetError());
  }
  void DrawOverlay() override {
    if (!d_.hud_.Enabled()) return;
    d_.hud_.FrameShown(Hud::Clock::now());
    d_.hud_.Draw(surface_);
  }
  void WaitForRetrace() override {
    if (d_.fullScreen_) d_.pacing_.Wait();
  }
  HRESULT Flip() override {
    SDL_UpdateWindowSurface(window_);
    // The frame went to a window or a display that is gone: it was not shown.
    if (d_.host_.DisplayLost()) return D3DERR_DEVICELOST;
    d_.presented_ = true;
    return D3D_OK;
  }
  void ToggleOnRequest() override { d_.ToggleFullScreenOnRequest(); }

 private:
  SdlDisplayHost& d_;
  const FrameView& frame_;
  SDL_Window* window_;
  SDL_Surface* surface_ = nullptr;
};

HRESULT SdlDisplayHost::Present(const FrameView& frame, HWND destWindow) {
  host_.CheckSignals();
  // The window or the whole display went away: the device has lost its
  // screen, as Direct3D says when a full-screen device loses it.
  if (host_.DisplayLost()) return D3DERR_DEVICELOST;
  SDL_Window* window = host_.Window();
  if (!window || (destWindow != 0 && destWindow != host_.WindowHandle())) return D3DERR_INVALIDCALL;
  if (!frame.pixels || frame.width <= 0 || frame.height <= 0) return D3DERR_INVALIDCALL;

  Steps steps(*this, frame, window);
  return PresentInOrder(steps);
}
