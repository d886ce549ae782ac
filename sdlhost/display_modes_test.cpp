#include "sdlhost/display_modes.h"

#include <SDL_pixels.h>
#include <gtest/gtest.h>

#include "sdlhost/sdl_display.h"

TEST(DisplayModes, SdlFormatsMapToDirect3DCodes) {
  EXPECT_EQ(D3DFormatFromSdl(SDL_PIXELFORMAT_RGB888), D3DFMT_X8R8G8B8);
  EXPECT_EQ(D3DFormatFromSdl(SDL_PIXELFORMAT_ARGB8888), D3DFMT_A8R8G8B8);
  EXPECT_EQ(D3DFormatFromSdl(SDL_PIXELFORMAT_RGB565), D3DFMT_R5G6B5);
  EXPECT_EQ(D3DFormatFromSdl(SDL_PIXELFORMAT_RGB555), D3DFMT_X1R5G5B5);
  EXPECT_EQ(D3DFormatFromSdl(SDL_PIXELFORMAT_RGB24), D3DFMT_R8G8B8);
  EXPECT_EQ(D3DFormatFromSdl(SDL_PIXELFORMAT_INDEX8), D3DFMT_P8);
  EXPECT_EQ(D3DFormatFromSdl(SDL_PIXELFORMAT_ABGR8888), D3DFMT_UNKNOWN);
  EXPECT_EQ(D3DFormatFromSdl(SDL_PIXELFORMAT_UNKNOWN), D3DFMT_UNKNOWN);
}

TEST(DisplayModes, DisplayOrderFirstThenMissingClassicModesScaled) {
  const std::vector<SdlModeInfo> listed = {
      {1920, 1080, 60, SDL_PIXELFORMAT_RGB888},
      {800, 600, 75, SDL_PIXELFORMAT_RGB888},
      {800, 600, 60, SDL_PIXELFORMAT_RGB565},
      {640, 480, 60, SDL_PIXELFORMAT_ABGR8888},  // no Direct3D code: left out
  };
  auto modes = BuildAdapterModes(listed, {1920, 1080, 60, SDL_PIXELFORMAT_RGB888});
  ASSERT_EQ(modes.size(), 5u);
  EXPECT_EQ(modes[0].mode.Width, 1920u);
  EXPECT_EQ(modes[0].sdlIndex, 0);
  EXPECT_EQ(modes[1].mode.RefreshRate, 75u);
  EXPECT_EQ(modes[2].mode.Format, D3DFMT_R5G6B5);
  EXPECT_EQ(modes[2].sdlIndex, 2);
  EXPECT_FALSE(modes[2].scaled);
  // 640x480 was listed only in a format we cannot show, so it comes scaled;
  // 800x600 is real; 1024x768 comes scaled.
  EXPECT_TRUE(modes[3].scaled);
  EXPECT_EQ(modes[3].mode.Width, 640u);
  EXPECT_EQ(modes[3].mode.Height, 480u);
  EXPECT_EQ(modes[3].mode.Format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(modes[3].mode.RefreshRate, 60u);
  EXPECT_EQ(modes[3].sdlIndex, -1);
  EXPECT_EQ(modes[4].mode.Width, 1024u);
}

TEST(DisplayModes, NothingListedGivesTheThreeScaledModes) {
  auto modes = BuildAdapterModes({}, {1280, 1024, 0, SDL_PIXELFORMAT_RGB888});
  ASSERT_EQ(modes.size(), 3u);
  for (const auto& m : modes) {
    EXPECT_TRUE(m.scaled);
    EXPECT_EQ(m.mode.RefreshRate, 0u);
  }
}

TEST(DisplayModes, FitKeepsTheAspectWithBars) {
  auto wide = FitWithAspect(640, 480, 1920, 1080);  // bars left and right
  EXPECT_EQ(wide.width, 1440);
  EXPECT_EQ(wide.height, 1080);
  EXPECT_EQ(wide.x, 240);
  EXPECT_EQ(wide.y, 0);
  auto tall = FitWithAspect(640, 480, 1280, 1024);  // bars above and below
  EXPECT_EQ(tall.width, 1280);
  EXPECT_EQ(tall.height, 960);
  EXPECT_EQ(tall.y, 32);
  auto same = FitWithAspect(640, 480, 1024, 768);
  EXPECT_EQ(same.x, 0);
  EXPECT_EQ(same.y, 0);
  EXPECT_EQ(same.width, 1024);
  EXPECT_EQ(same.height, 768);
  auto none = FitWithAspect(0, 480, 1024, 768);
  EXPECT_EQ(none.width, 0);
}
