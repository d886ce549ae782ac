#include "sdlhost/key_codes.h"

#include <SDL_scancode.h>
#include <gtest/gtest.h>

#include <utility>

#include "platform/dinput8.h"

// X keycodes are evdev's plus eight; codes past the tables are no key (0).
TEST(KeyCodes, XKeycodesAndSdlScancodes) {
  // clang-format off
  const std::pair<int, int> xKeycodes[] = {{9, DIK_ESCAPE}, {111, DIK_UP}, {116, DIK_DOWN},
      {113, DIK_LEFT}, {114, DIK_RIGHT}, {38, 0x1E}, {0, 0}, {100000, 0}};
  const std::pair<int, int> sdlScancodes[] = {{SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
      {SDL_SCANCODE_UP, DIK_UP}, {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RALT, 0xB8},
      {SDL_SCANCODE_A, 0x1E}, {-1, 0}, {SDL_NUM_SCANCODES, 0}};
  // clang-format on
  for (const auto& [x, dik] : xKeycodes) EXPECT_EQ(DikFromXKeycode(x), dik) << x;
  for (const auto& [sdl, dik] : sdlScancodes) EXPECT_EQ(DikFromSdlScancode(sdl), dik) << sdl;
}
