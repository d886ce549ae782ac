// What every host's presentation does alike: the frame's place on a screen
// of another size, the pacing of full-screen presents, the overlay's graph.
#include <gtest/gtest.h>

#include <array>

#include "presentation/overlay.h"
#include "presentation/pacing.h"
#include "presentation/placement.h"

// The frame keeps its aspect inside the screen, centred between bars.
TEST(Placement, FitKeepsTheAspectWithBars) {
  // clang-format off
  const struct { int frameW, frameH, screenW, screenH, x, y, width, height; } cases[] = {
      {640, 480, 1920, 1080, 240, 0, 1440, 1080},  // bars left and right
      {640, 480, 1280, 1024, 0, 32, 1280, 960},    // bars above and below
      {640, 480, 1024, 768, 0, 0, 1024, 768},
      {0, 480, 1024, 768, 0, 0, 0, 0},
  };
  // clang-format on
  for (const auto& c : cases) {
    const Placement p = FitWithAspect(c.frameW, c.frameH, c.screenW, c.screenH);
    EXPECT_EQ((std::array{p.x, p.y, p.width, p.height}), (std::array{c.x, c.y, c.width, c.height}))
        << c.frameW << "x" << c.frameH << " on " << c.screenW << "x" << c.screenH;
  }
}

// A present waits for the next retrace of the interval's grid, counted from
// the device taking the screen; immediate, or no known rate, waits for none.
TEST(Pacing, NextRetraceOnTheIntervalsGrid) {
  using std::chrono::microseconds;
  // clang-format off
  const struct { int hz; DWORD interval; int nowUs, nextUs; } cases[] = {
      {50, D3DPRESENT_INTERVAL_DEFAULT, 0, 20'000}, {50, D3DPRESENT_INTERVAL_ONE, 20'000, 40'000},
      {50, D3DPRESENT_INTERVAL_TWO, 39'999, 40'000}, {50, D3DPRESENT_INTERVAL_THREE, 1, 60'000},
      {50, D3DPRESENT_INTERVAL_FOUR, 80'001, 160'000}, {50, D3DPRESENT_INTERVAL_IMMEDIATE, 7, 7},
      {0, D3DPRESENT_INTERVAL_ONE, 7, 7},
  };
  // clang-format on
  const RetracePacing::Clock::time_point origin{std::chrono::seconds(5)};
  for (const auto& c : cases) {
    RetracePacing pacing;
    pacing.Start(c.hz, c.interval, origin);
    EXPECT_EQ(pacing.NextRetrace(origin + microseconds(c.nowUs)), origin + microseconds(c.nextUs))
        << c.hz << " Hz, interval " << c.interval << ", at " << c.nowUs;
  }
}

// The overlay's graph: a bar for each of the last frames shown (up to three
// seconds back), as high as the frame took against 50 ms over 40 rows, at
// least one row, the last at the panel's right.
TEST(Overlay, GraphHasABarPerFrameOfTheLastSeconds) {
  using std::chrono::microseconds;
  // clang-format off
  const struct { microseconds first, step; int frames, bars, height; } cases[] = {
      {microseconds(0),         microseconds(20'000), 100, 99, 16},
      {microseconds(0),         microseconds(1'000),  30,  29, 1},
      {microseconds(-4'000'000), microseconds(25'000), 60, 58, 20},  // the first frame is too old
  };
  // clang-format on
  for (const auto& c : cases) {
    OverlayModel overlay({.frameTime = true}, "reference");
    const OverlayModel::Clock::time_point start{std::chrono::seconds(10)};
    overlay.FrameShown(start + c.first);
    for (int i = 1; i < c.frames; ++i) overlay.FrameShown(start + c.step * i);
    int bars = 0;
    const OverlayShape* last = nullptr;
    for (const OverlayShape& s : overlay.Layout({}))
      if (s.rgb == OverlayModel::kBarRgb) bars += 1, last = &s;
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(bars, c.bars) << c.step.count();
    EXPECT_EQ(last->height, c.height) << c.step.count();
    EXPECT_EQ((std::array{last->x, last->y + last->height}), (std::array{6 + 180 - 1, 6 + 40}));
  }
}
