#include "presentation/placement.h"

#include <cstdint>

Placement FitWithAspect(int frameWidth, int frameHeight, int screenWidth, int screenHeight) {
  if (frameWidth <= 0 || frameHeight <= 0 || screenWidth <= 0 || screenHeight <= 0) return {};
  Placement p;
  // Compare the aspects exactly: frameW/frameH against screenW/screenH.
  auto fw = static_cast<std::int64_t>(frameWidth), fh = static_cast<std::int64_t>(frameHeight);
  auto sw = static_cast<std::int64_t>(screenWidth), sh = static_cast<std::int64_t>(screenHeight);
  if (fw * sh >= sw * fh) {
    p.width = screenWidth;
    p.height = static_cast<int>((sw * fh + fw / 2) / fw);
  } else {
    p.height = screenHeight;
    p.width = static_cast<int>((sh * fw + fh / 2) / fh);
  }
  if (p.width > screenWidth) p.width = screenWidth;
  if (p.height > screenHeight) p.height = screenHeight;
  p.x = (screenWidth - p.width) / 2;
  p.y = (screenHeight - p.height) / 2;
  return p;
}

bool ModeMatches(const D3DDISPLAYMODE& mode, const D3DPRESENT_PARAMETERS& params) {
  return mode.Width == params.BackBufferWidth && mode.Height == params.BackBufferHeight &&
         mode.Format == params.BackBufferFormat &&
         (params.FullScreen_RefreshRateInHz == 0 ||
          mode.RefreshRate == params.FullScreen_RefreshRateInHz);
}
