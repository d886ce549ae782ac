#include "webhost/web_display.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// The canvas wants the bytes R, G, B, 255 in rows packed side by side,
// whatever the frame's format and pitch; a format without a layout is refused
// without writing.
TEST(WebDisplay, FramesBecomeOpaqueCanvasBytesRowByRow) {
  // Two rows of two pixels, each row padded to 12 bytes.
  const std::uint32_t xrgb[] = {0x00112233, 0x00445566, 0xDEADBEEF,
                                0x80FF0000, 0xFF00FF00, 0xDEADBEEF};
  const std::uint16_t rgb565[] = {0xF800, 0x07E0, 0xFFFF, 0x001F, 0x0000, 0xFFFF};
  const struct {
    FrameView frame;
    std::uint8_t bytes[16];
  } rows[] = {
      {{xrgb, 2, 2, 12, D3DFMT_X8R8G8B8},
       {0x11, 0x22, 0x33, 255, 0x44, 0x55, 0x66, 255, 0xFF, 0, 0, 255, 0, 0xFF, 0, 255}},
      {{xrgb, 2, 2, 12, D3DFMT_A8R8G8B8},
       {0x11, 0x22, 0x33, 255, 0x44, 0x55, 0x66, 255, 0xFF, 0, 0, 255, 0, 0xFF, 0, 255}},
      {{rgb565, 2, 2, 6, D3DFMT_R5G6B5},
       {0xFF, 0, 0, 255, 0, 0xFF, 0, 255, 0, 0, 0xFF, 255, 0, 0, 0, 255}},
  };
  for (const auto& r : rows) {
    std::vector<std::uint32_t> out(4, 0x12345678u);
    ASSERT_TRUE(FrameToCanvasBytes(r.frame, out.data())) << r.frame.format;
    EXPECT_EQ(std::memcmp(out.data(), r.bytes, sizeof r.bytes), 0) << r.frame.format;
  }
  std::uint32_t untouched = 7;
  EXPECT_FALSE(FrameToCanvasBytes({rgb565, 1, 1, 2, D3DFMT_D16}, &untouched));
  EXPECT_EQ(untouched, 7u);
}

}  // namespace
