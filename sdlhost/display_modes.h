// The adapter's mode list as the SDL host builds it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d8types.h"

// A mode of the adapter: what the device sees, and whether the display has
// it for real (a mode change) or it is shown scaled on the desktop.
struct HostMode {
  D3DDISPLAYMODE mode{};
  bool scaled = false;
  int sdlIndex = -1;  // the display's own mode index, -1 for a scaled mode
};

// A display mode as SDL reports it.
struct SdlModeInfo {
  int width = 0;
  int height = 0;
  int refreshRate = 0;
  std::uint32_t sdlFormat = 0;  // an SDL_PixelFormatEnum value
};

// The Direct3D format code of an SDL pixel format, D3DFMT_UNKNOWN when there
// is none.
D3DFORMAT D3DFormatFromSdl(std::uint32_t sdlFormat);

// The display's modes in the display's order, then 640x480, 800x600 and
// 1024x768 as scaled modes (in the desktop's format) for each the display
// does not list. Modes whose format has no Direct3D code are left out.
std::vector<HostMode> BuildAdapterModes(const std::vector<SdlModeInfo>& displayModes,
                                        const SdlModeInfo& desktop);
