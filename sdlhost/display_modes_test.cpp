// What SDL and X report, in Direct3D's and DirectInput's terms: formats,
// modes, key codes.
#include "sdlhost/display_modes.h"

#include <SDL_pixels.h>
#include <SDL_scancode.h>
#include <gtest/gtest.h>

#include <tuple>

#include "platform/dinput8.h"
#include "sdlhost/key_codes.h"
#include "sdlhost/sdl_display.h"

TEST(DisplayModes, SdlFormatsMapToDirect3DCodes) {
  // clang-format off
  const std::pair<Uint32, D3DFORMAT> cases[] = {
      {SDL_PIXELFORMAT_RGB888, D3DFMT_X8R8G8B8}, {SDL_PIXELFORMAT_ARGB8888, D3DFMT_A8R8G8B8},
      {SDL_PIXELFORMAT_RGB565, D3DFMT_R5G6B5},   {SDL_PIXELFORMAT_RGB555, D3DFMT_X1R5G5B5},
      {SDL_PIXELFORMAT_RGB24, D3DFMT_R8G8B8},    {SDL_PIXELFORMAT_INDEX8, D3DFMT_P8},
      {SDL_PIXELFORMAT_ABGR8888, D3DFMT_UNKNOWN}, {SDL_PIXELFORMAT_UNKNOWN, D3DFMT_UNKNOWN},
  };
  // clang-format on
  for (const auto& [sdl, d3d] : cases) EXPECT_EQ(D3DFormatFromSdl(sdl), d3d) << sdl;
}

// The display's own modes in its order, then the classic sizes it lacks,
// scaled (a size listed only in a format without a Direct3D code counts as
// lacking); with nothing listed, the three classic sizes.
TEST(DisplayModes, DisplayOrderFirstThenMissingClassicModesScaled) {
  // clang-format off
  const std::vector<SdlModeInfo> listed = {
      {1920, 1080, 60, SDL_PIXELFORMAT_RGB888}, {800, 600, 75, SDL_PIXELFORMAT_RGB888},
      {800, 600, 60, SDL_PIXELFORMAT_RGB565}, {640, 480, 60, SDL_PIXELFORMAT_ABGR8888}};
  const struct { UINT width, height, refresh; D3DFORMAT format; int sdlIndex; bool scaled; } want[] = {
      {1920, 1080, 60, D3DFMT_X8R8G8B8, 0, false},
      {800, 600, 75, D3DFMT_X8R8G8B8, 1, false},
      {800, 600, 60, D3DFMT_R5G6B5, 2, false},
      {640, 480, 60, D3DFMT_X8R8G8B8, -1, true},
      {1024, 768, 60, D3DFMT_X8R8G8B8, -1, true},
  };
  // clang-format on
  auto modes = BuildAdapterModes(listed, {1920, 1080, 60, SDL_PIXELFORMAT_RGB888});
  ASSERT_EQ(modes.size(), std::size(want));
  for (std::size_t i = 0; i < modes.size(); ++i) {
    const auto& [m, w] = std::tie(modes[i], want[i]);
    EXPECT_EQ(std::tie(m.mode.Width, m.mode.Height, m.mode.RefreshRate, m.mode.Format),
              std::tie(w.width, w.height, w.refresh, w.format))
        << i;
    EXPECT_EQ(std::tie(m.sdlIndex, m.scaled), std::tie(w.sdlIndex, w.scaled)) << i;
  }

  modes = BuildAdapterModes({}, {1280, 1024, 0, SDL_PIXELFORMAT_RGB888});
  ASSERT_EQ(modes.size(), 3u);
  for (const auto& m : modes) EXPECT_TRUE(m.scaled && m.mode.RefreshRate == 0);
}

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
