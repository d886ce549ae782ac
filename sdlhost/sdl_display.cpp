#include "sdlhost/sdl_display.h"

#include <cstring>
#include <thread>

#include "formats/pixel_format.h"
#include "refdevice/image_io.h"
#include "scene/user_files.h"
#include "sdlhost/sdl_host.h"

SdlDisplayHost::SdlDisplayHost(SdlHost& host, DisplayOptions options)
    : host_(host), options_(std::move(options)) {
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
  if (options_.windowed) {
    // The device believes it has the screen; the frame goes to a window.
    SDL_SetWindowSize(window, static_cast<int>(params.BackBufferWidth),
                      static_cast<int>(params.BackBufferHeight));
    SDL_ShowWindow(window);
    refresh = 0;
  } else if (!chosen->scaled) {
    SDL_DisplayMode dm{};
    if (SDL_GetDisplayMode(0, chosen->sdlIndex, &dm) != 0 ||
        SDL_SetWindowDisplayMode(window, &dm) != 0)
      return D3DERR_INVALIDCALL;
    SDL_SetWindowPosition(window, 0, 0);
    SDL_SetWindowSize(window, dm.w, dm.h);
    SDL_ShowWindow(window);
    if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) return D3DERR_INVALIDCALL;
  } else {
    // The display lacks the mode: cover the desktop and scale the frame.
    SDL_Rect bounds{0, 0, static_cast<int>(desktop_.Width), static_cast<int>(desktop_.Height)};
    SDL_GetDisplayBounds(0, &bounds);
    SDL_SetWindowBordered(window, SDL_FALSE);
    SDL_SetWindowPosition(window, bounds.x, bounds.y);
    SDL_SetWindowSize(window, bounds.w, bounds.h);
    SDL_ShowWindow(window);
    if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
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
  surfaceW_ = surfaceH_ = 0;  // placement is rebuilt at the next present
  attached_ = true;
  return D3D_OK;
}

void SdlDisplayHost::DetachDevice() {
  if (!attached_) return;
  attached_ = false;
  presented_ = false;
  if (SDL_Window* window = host_.Window(); window && fullScreen_ && !options_.windowed) {
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowBordered(window, SDL_TRUE);
    SDL_SetWindowSize(window, 640, 480);
  }
  fullScreen_ = false;
}

void SdlDisplayHost::Refresh() {
  if (presented_ && host_.Window()) SDL_UpdateWindowSurface(host_.Window());
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
  if (!options_.captures) return;
  auto captures = options_.captures->TakeDueCaptures();
  if (captures.empty()) return;
  Image image = ImageFromFrame(frame);
  for (const auto& name : captures) {
    std::string path = name.starts_with('/') ? name : options_.captureFolder + name;
    std::string error;
    // The name comes from the key script: shown quoted.
    const std::string shown = scene::Printable(path);
    if (WriteImage(path, image, &error))
      std::fprintf(stderr, "Quillon: picture written to %s\n", shown.c_str());
    else
      std::fprintf(stderr, "Quillon: cannot write the picture %s: %s\n", shown.c_str(),
                   scene::Printable(error).c_str());
  }
}

bool SdlDisplayHost::Blit(const FrameView& frame, SDL_Surface* surface) {
  const SDL_PixelFormat* fmt = surface->format;
  const bool xrgb = fmt->BytesPerPixel == 4 && fmt->Rmask == 0x00FF0000u &&
                    fmt->Gmask == 0x0000FF00u && fmt->Bmask == 0x000000FFu;
  const std::uint32_t alpha = xrgb ? fmt->Amask : 0;
  if (surface->w != surfaceW_ || surface->h != surfaceH_ || frame.width != frameW_ ||
      frame.height != frameH_) {
    surfaceW_ = surface->w;
    surfaceH_ = surface->h;
    frameW_ = frame.width;
    frameH_ = frame.height;
    // A screen or window of another size shows the frame with its aspect
    // kept, as the OpenGL device presents it.
    placement_ = FitWithAspect(frameW_, frameH_, surfaceW_, surfaceH_);
    columns_.resize(static_cast<std::size_t>(std::max(placement_.width, 0)));
    for (int x = 0; x < placement_.width; ++x)
      columns_[static_cast<std::size_t>(x)] = static_cast<std::int32_t>(
          (static_cast<std::int64_t>(x) * frameW_ + frameW_ / 2) / placement_.width);
    for (auto& c : columns_) c = std::min(c, frameW_ - 1);
    row_.resize(static_cast<std::size_t>(std::max(frameW_, 1)));
  }
  const Placement& p = placement_;
  const bool identity = p.width == frameW_ && p.height == frameH_;
  auto* base = static_cast<std::uint8_t*>(surface->pixels);
  int previousSy = -1;
  for (int y = 0; y < surfaceH_; ++y) {
    auto* dest =
        reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * surface->pitch);
    if (!xrgb) {
      // Uncommon surface formats: one pixel at a time through SDL's mapping.
      if (y < p.y || y >= p.y + p.height) {
        std::memset(base + static_cast<std::ptrdiff_t>(y) * surface->pitch, 0,
                    static_cast<std::size_t>(surfaceW_) * fmt->BytesPerPixel);
        continue;
      }
      int sy =
          static_cast<int>((static_cast<std::int64_t>(y - p.y) * frameH_ + frameH_ / 2) / p.height);
      // A source row shown twice when scaling up is converted once.
      if (sy != previousSy && !ConvertRowToXrgb(frame.format,
                                                static_cast<const std::uint8_t*>(frame.pixels) +
                                                    static_cast<std::ptrdiff_t>(sy) * frame.pitch,
                                                row_.data(), frameW_))
        return false;
      previousSy = sy;
      auto* line = base + static_cast<std::ptrdiff_t>(y) * surface->pitch;
      for (int x = 0; x < surfaceW_; ++x) {
        Uint32 v = 0;
        if (x >= p.x && x < p.x + p.width) {
          std::uint32_t c =
              row_[static_cast<std::size_t>(columns_[static_cast<std::size_t>(x - p.x)])];
          v = SDL_MapRGB(fmt, static_cast<Uint8>(c >> 16), static_cast<Uint8>(c >> 8),
                         static_cast<Uint8>(c));
        }
        std::memcpy(line + static_cast<std::ptrdiff_t>(x) * fmt->BytesPerPixel, &v,
                    fmt->BytesPerPixel);
      }
      continue;
    }
    if (y < p.y || y >= p.y + p.height) {
      std::fill(dest, dest + surfaceW_, alpha);
      continue;
    }
    // The source row under the pixel's centre, as for columns (and as the
    // OpenGL device's nearest-pixel scaling picks it).
    int sy =
        static_cast<int>((static_cast<std::int64_t>(y - p.y) * frameH_ + frameH_ / 2) / p.height);
    if (sy == previousSy) {
      // A source row shown twice when scaling up: copy the row just made.
      std::memcpy(dest, base + static_cast<std::ptrdiff_t>(y - 1) * surface->pitch,
                  static_cast<std::size_t>(surfaceW_) * 4);
      continue;
    }
    previousSy = sy;
    const auto* src = static_cast<const std::uint8_t*>(frame.pixels) +
                      static_cast<std::ptrdiff_t>(sy) * frame.pitch;
    std::fill(dest, dest + p.x, alpha);
    if (identity) {
      if (!ConvertRowToXrgb(frame.format, src, dest + p.x, frameW_)) return false;
      if (alpha)
        for (int x = 0; x < frameW_; ++x) dest[p.x + x] |= alpha;
    } else {
      if (!ConvertRowToXrgb(frame.format, src, row_.data(), frameW_)) return false;
      for (int x = 0; x < p.width; ++x)
        dest[p.x + x] =
            row_[static_cast<std::size_t>(columns_[static_cast<std::size_t>(x)])] | alpha;
    }
    std::fill(dest + p.x + p.width, dest + surfaceW_, alpha);
  }
  return true;
}

bool SdlDisplayHost::WantsFramePixels() { return host_.HasScreen() || CapturesDue(); }

HRESULT SdlDisplayHost::Present(const FrameView& frame, HWND destWindow) {
  host_.CheckSignals();
  SDL_Window* window = host_.Window();
  if (!window || (destWindow != 0 && destWindow != host_.WindowHandle())) return D3DERR_INVALIDCALL;
  if (!frame.pixels || frame.width <= 0 || frame.height <= 0) return D3DERR_INVALIDCALL;

  SaveCaptures(frame);

  SDL_Surface* surface = SDL_GetWindowSurface(window);
  if (!surface) return D3DERR_DRIVERINTERNALERROR;
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return D3DERR_DRIVERINTERNALERROR;
  const bool ok = Blit(frame, surface);
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  if (!ok) return D3DERR_INVALIDCALL;
  if (fullScreen_ && retrace_.count() > 0) WaitForRetrace();
  SDL_UpdateWindowSurface(window);
  presented_ = true;
  return D3D_OK;
}
