// The reference device's picture on Windows, composed in memory: the frame
// stretched into the window's picture with bars, its pixels repeated or
// smoothed, and the overlay's fills kept inside the picture.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "presentation/placement.h"
#include "winhost/win32_gdi.h"
#include "winhost/win_presentation.h"

// A 64x48 frame, red on the left and green on the right (meeting inside a
// pixel of either window) above a blue band, into windows of another shape:
// black bars where the frame does not reach, the frame the right way up, and
// red and green mixed where they meet only when smoothed. One picture serves
// every window, resized.
TEST(ShownPicture, FrameStretchedBetweenBarsSmoothedOnlyWhenAsked) {
  std::vector<std::uint32_t> frame(64 * 48);
  for (std::size_t i = 0; i < frame.size(); ++i)
    frame[i] = i >= 36 * 64 ? 0x0000FFu : i % 64 < 30 ? 0xFF0000u : 0x00FF00u;
  win32::ShownPicture shown;
  const struct {
    int width, height;
    bool smooth;
  } cases[] = {{100, 50, false}, {100, 50, true}, {50, 100, false}, {50, 100, true}};
  for (const auto& c : cases) {
    ASSERT_TRUE(shown.Resize(c.width, c.height));
    ASSERT_EQ(shown.Width() * 1000 + shown.Height(), c.width * 1000 + c.height);
    const Placement p = FitWithAspect(64, 48, c.width, c.height);
    // A picture over the whole window first: the bars must cover it again.
    ASSERT_TRUE(shown.DrawFrame(frame.data(), 64, 48, 0, 0, c.width, c.height, c.smooth));
    ASSERT_TRUE(shown.DrawFrame(frame.data(), 64, 48, p.x, p.y, p.width, p.height, c.smooth));
    const auto at = [&](int x, int y) { return shown.Pixels()[y * c.width + x] & 0xFFFFFFu; };
    int lit = 0, mixed = 0;
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x)
        lit += (x < p.x || x >= p.x + p.width || y < p.y || y >= p.y + p.height) && at(x, y) != 0;
    const int right = p.x + p.width - 1, bottom = p.y + p.height - 1, middle = p.y + p.height / 2;
    for (int x = p.x; x <= right; ++x)
      mixed += at(x, middle) != 0xFF0000u && at(x, middle) != 0x00FF00u;
    EXPECT_EQ((std::array{lit, int{mixed > 0}}), (std::array{0, int{c.smooth}}))
        << c.width << " " << mixed;
    EXPECT_EQ((std::array{at(p.x, p.y), at(right, p.y), at(p.x, bottom), at(right, bottom)}),
              (std::array{0xFF0000u, 0x00FF00u, 0x0000FFu, 0x0000FFu}))
        << c.width << " " << c.smooth;
  }
}

// The overlay's rectangles on a 4x3 picture: what falls outside is left out,
// nothing around the picture is touched.
TEST(PixelCanvas, FillsOnlyInsideThePicture) {
  // clang-format off
  const struct { D3DRECT rect; std::array<int, 12> lit; } cases[] = {
      {{-2, -1, 2, 2}, {1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0}},
      {{3, 2, 9, 9},   {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
      {{1, 0, 3, 3},   {0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0}},
      {{4, 0, 8, 3},   {}},
      {{0, 3, 4, 5},   {}},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::array<std::uint32_t, 20> memory{};  // the picture between two guard rows
    PixelCanvas canvas(memory.data() + 4, 4, 3);
    canvas.Fill(0x123456u, &c.rect, 1);
    std::array<int, 12> lit{};
    int guards = 0;
    for (int i = 0; i < 20; ++i) (i >= 4 && i < 16 ? lit[i - 4] : guards) += memory[i] == 0x123456u;
    EXPECT_EQ(lit, c.lit) << c.rect.x1 << "," << c.rect.y1;
    EXPECT_EQ(guards, 0) << c.rect.x1 << "," << c.rect.y1;
  }
}
