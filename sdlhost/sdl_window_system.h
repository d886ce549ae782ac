// The Windows calls on the SDL host: the cursor's display counter and the
// tick count.
#pragma once

#include <SDL.h>
#include <time.h>

#include "hostcommon/cursor_counter.h"
#include "platform/winsys.h"
#include "sdlhost/sdl_host.h"

class SdlWindowSystem final : public WindowSystem {
 public:
  // The counter goes on after the display is lost; SDL is not asked then.
  explicit SdlWindowSystem(const SdlHost& host)
      : cursor_([&host](bool visible) {
          if (!host.DisplayLost()) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
        }) {}
  std::int32_t ShowCursor(std::int32_t bShow) override { return cursor_.ShowCursor(bShow); }
  // Milliseconds since the system started (suspended time included), as the
  // original platform counts them; wraps after about 49.7 days.
  std::uint32_t GetTickCount() override {
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
  }

 private:
  CursorCounter cursor_;
};
