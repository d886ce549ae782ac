// The Windows calls on the SDL host: the cursor's display counter and the
// tick count.
#pragma once

#include <SDL.h>

#include "platform/winsys.h"
#include "sdlhost/cursor_counter.h"

class SdlWindowSystem final : public WindowSystem {
 public:
  SdlWindowSystem()
      : cursor_([](bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }) {}
  std::int32_t ShowCursor(std::int32_t bShow) override { return cursor_.ShowCursor(bShow); }
  std::uint32_t GetTickCount() override { return SDL_GetTicks(); }

 private:
  CursorCounter cursor_;
};
