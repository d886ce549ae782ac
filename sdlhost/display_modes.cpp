#include "sdlhost/display_modes.h"

#include <SDL_pixels.h>

D3DFORMAT D3DFormatFromSdl(std::uint32_t sdlFormat) {
  switch (sdlFormat) {
    case SDL_PIXELFORMAT_RGB888: return D3DFMT_X8R8G8B8;
    case SDL_PIXELFORMAT_ARGB8888: return D3DFMT_A8R8G8B8;
    case SDL_PIXELFORMAT_RGB24: return D3DFMT_R8G8B8;
    case SDL_PIXELFORMAT_RGB565: return D3DFMT_R5G6B5;
    case SDL_PIXELFORMAT_RGB555: return D3DFMT_X1R5G5B5;
    case SDL_PIXELFORMAT_ARGB1555: return D3DFMT_A1R5G5B5;
    case SDL_PIXELFORMAT_ARGB4444: return D3DFMT_A4R4G4B4;
    case SDL_PIXELFORMAT_RGB444: return D3DFMT_X4R4G4B4;
    case SDL_PIXELFORMAT_RGB332: return D3DFMT_R3G3B2;
    case SDL_PIXELFORMAT_INDEX8: return D3DFMT_P8;
    default: return D3DFMT_UNKNOWN;
  }
}

std::vector<HostMode> BuildAdapterModes(const std::vector<SdlModeInfo>& displayModes,
                                        const SdlModeInfo& desktop) {
  std::vector<HostMode> modes;
  for (std::size_t i = 0; i < displayModes.size(); ++i) {
    const auto& m = displayModes[i];
    D3DFORMAT format = D3DFormatFromSdl(m.sdlFormat);
    if (format == D3DFMT_UNKNOWN || m.width <= 0 || m.height <= 0) continue;
    HostMode h;
    h.mode = {static_cast<UINT>(m.width), static_cast<UINT>(m.height),
              static_cast<UINT>(m.refreshRate > 0 ? m.refreshRate : 0), format};
    h.sdlIndex = static_cast<int>(i);
    modes.push_back(h);
  }
  D3DFORMAT desktopFormat = D3DFormatFromSdl(desktop.sdlFormat);
  if (desktopFormat == D3DFMT_UNKNOWN) desktopFormat = D3DFMT_X8R8G8B8;
  constexpr int kClassic[][2] = {{640, 480}, {800, 600}, {1024, 768}};
  for (const auto& size : kClassic) {
    bool listed = false;
    for (const auto& m : displayModes)
      listed = listed || (m.width == size[0] && m.height == size[1] &&
                          D3DFormatFromSdl(m.sdlFormat) != D3DFMT_UNKNOWN);
    if (listed) continue;
    HostMode h;
    h.mode = {static_cast<UINT>(size[0]), static_cast<UINT>(size[1]),
              static_cast<UINT>(desktop.refreshRate > 0 ? desktop.refreshRate : 0), desktopFormat};
    h.scaled = true;
    modes.push_back(h);
  }
  return modes;
}
