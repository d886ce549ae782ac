#include "sdlhost/sdl_display.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include "formats/pixel_format.h"
#include "hostcommon/captures.h"
#include "hostcommon/host_log.h"
#include "pictures/picture_files.h"
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
  retrace_ = {};
  interval_ = params.FullScreen_PresentationInterval;
  if (!fullScreen_) {
    SDL_ShowWindow(window);
    attached_ = true;
    return D3D_OK;
  }

  const HostMode* chosen = nullptr;
  for (const auto& m : modes_) {
    if (m.mode.Width == params.BackBufferWidth && m.mode.Height == params.BackBufferHeight &&
        m.mode.Format == params.BackBufferFormat &&
        (params.FullScreen_RefreshRateInHz == 0 ||
         m.mode.RefreshRate == params.FullScreen_RefreshRateInHz)) {
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
  if (options_.vsync && refresh > 0 && interval_ != D3DPRESENT_INTERVAL_IMMEDIATE) {
    int every = interval_ == D3DPRESENT_INTERVAL_TWO     ? 2
                : interval_ == D3DPRESENT_INTERVAL_THREE ? 3
                : interval_ == D3DPRESENT_INTERVAL_FOUR  ? 4
                                                         : 1;
    retrace_ = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(every / static_cast<double>(refresh)));
    retraceOrigin_ = std::chrono::steady_clock::now();
  }
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

void SdlDisplayHost::WaitForRetrace() {
  // Presents are paced to the display's refresh: the next retrace on the grid
  // that starts when the device took the screen.
  auto now = std::chrono::steady_clock::now();
  auto passed = now - retraceOrigin_;
  auto next = retraceOrigin_ + (passed / retrace_ + 1) * retrace_;
  std::this_thread::sleep_until(next);
}

void SdlDisplayHost::SaveCaptures(const FrameView& frame) {
  if (!options_.captures || !options_.captures->CapturesDue()) return;
  SaveDueCaptures(*options_.captures, options_.captureFolder, ImageFromFrame(frame));
}

namespace {

// XDG_PICTURES_DIR from the user's user-dirs.dirs ("$HOME/Pictures" style).
std::string PicturesFromUserDirs(const std::string& home) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string file =
      (config && config[0] == '/' ? std::string(config) : home + "/.config") + "/user-dirs.dirs";
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.starts_with("XDG_PICTURES_DIR=")) continue;
    std::string value = line.substr(17);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.starts_with("$HOME")) value = home + value.substr(5);
    if (value.starts_with("/")) return value;
  }
  return {};
}

}  // namespace

std::string ScreenshotFolder() {
  const char* home = std::getenv("HOME");
  const std::string homeDir = home && *home ? home : ".";
  std::string pictures;
  if (const char* env = std::getenv("XDG_PICTURES_DIR"); env && env[0] == '/') pictures = env;
  if (pictures.empty()) pictures = PicturesFromUserDirs(homeDir);
  if (pictures.empty()) pictures = homeDir + "/Pictures";
  return pictures + "/quillon";
}

namespace {

// The window's pixels as 0x00RRGGBB, top row first.
bool SurfaceImage(SDL_Surface* surface, Image& image) {
  std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> copy(
      SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_RGB888, 0), SDL_FreeSurface);
  if (!copy) return false;
  image = ImageFromFrame({copy->pixels, copy->w, copy->h, copy->pitch, D3DFMT_X8R8G8B8});
  return image.Whole();
}

// A free name in `folder` by the local time; a second picture within the same
// second gets a number. Empty, with the reason, when the folder cannot be
// looked into.
std::string ScreenshotPath(const std::string& folder, std::string& reason) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
  std::string path = folder + "/quillon-" + stamp + ".png";
  for (int n = 2;; ++n) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
      if (!ec) return path;
      reason = ec.message();
      return {};
    }
    path = folder + "/quillon-" + stamp + "-" + std::to_string(n) + ".png";
  }
}

}  // namespace

void SdlDisplayHost::SaveScreenshot(const Image& image) {
  // The folder comes from the environment or the user's settings: quoted.
  const std::string folder = ScreenshotFolder();
  const std::string hint = "; set XDG_PICTURES_DIR to a folder you can write";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    HostLog(LogLevel::Error, "cannot save the screenshot: cannot make the folder " +
                                 scene::Printable(folder) + ": " + ec.message() + hint);
    return;
  }
  std::string reason;
  const std::string path = ScreenshotPath(folder, reason);
  if (path.empty()) {
    HostLog(LogLevel::Error,
            "cannot save the screenshot in " + scene::Printable(folder) + ": " + reason + hint);
    return;
  }
  std::string error;
  // What the user chose to keep survives a crash.
  if (WriteHostPicture(path, image, Durability::kSynced, error))
    HostLog(LogLevel::Warn, "screenshot written to " + scene::Printable(path));
  else
    HostLog(LogLevel::Error, "cannot write the screenshot " + scene::Printable(error) + hint);
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
  if (!FrameToXrgb(frame, static_cast<std::uint32_t*>(frame_->pixels), frame_->pitch))
    return false;

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

HRESULT SdlDisplayHost::Present(const FrameView& frame, HWND destWindow) {
  host_.CheckSignals();
  // The window or the whole display went away: the device has lost its
  // screen, as Direct3D says when a full-screen device loses it.
  if (host_.DisplayLost()) return D3DERR_DEVICELOST;
  SDL_Window* window = host_.Window();
  if (!window || (destWindow != 0 && destWindow != host_.WindowHandle())) return D3DERR_INVALIDCALL;
  if (!frame.pixels || frame.width <= 0 || frame.height <= 0) return D3DERR_INVALIDCALL;

  // Captures are the frame itself, taken before the overlay is drawn.
  SaveCaptures(frame);

  const bool screenshot = host_.TakeScreenshotRequest();
  if (!host_.HasScreen() && !options_.drawUnseen && !screenshot) {
    // The window's surface would be converted (and scaled) for nobody.
    if (!pixel_layout::WithLayout(frame.format, [](auto) {})) return D3DERR_INVALIDCALL;
    if (fullScreen_ && retrace_.count() > 0) WaitForRetrace();
    return D3D_OK;
  }

  SDL_Surface* surface = SDL_GetWindowSurface(window);
  if (!surface) return D3DERR_DRIVERINTERNALERROR;
  if (!Blit(frame, surface)) return D3DERR_INVALIDCALL;
  // F12 saves what is shown, without the overlay.
  if (screenshot) {
    Image image;
    if (SurfaceImage(surface, image))
      SaveScreenshot(image);
    else
      HostLog(LogLevel::Error, std::string("cannot take the screenshot: ") + SDL_GetError());
  }
  if (hud_.Enabled()) {
    hud_.FrameShown(std::chrono::steady_clock::now());
    hud_.Draw(surface);
  }
  if (fullScreen_ && retrace_.count() > 0) WaitForRetrace();
  SDL_UpdateWindowSurface(window);
  // The frame went to a window or a display that is gone: it was not shown.
  if (host_.DisplayLost()) return D3DERR_DEVICELOST;
  presented_ = true;
  ToggleFullScreenOnRequest();
  return D3D_OK;
}
