// What every host's presentation does alike: the frame's place on a screen
// of another size, the pacing of full-screen presents, the overlay's graph.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "presentation/overlay.h"
#include "presentation/pacing.h"
#include "presentation/placement.h"
#include "presentation/screenshots.h"

// The frame keeps its aspect inside the screen, centred between bars.
TEST(Placement, FitKeepsTheAspectWithBars) {
  // clang-format off
  const struct { int frameW, frameH, screenW, screenH, x, y, width, height; } cases[] = {
      {640, 480, 1920, 1080, 240, 0, 1440, 1080},  // bars left and right
      {640, 480, 1280, 1024, 0, 32, 1280, 960},    // bars above and below
      {640, 480, 1024, 768, 0, 0, 1024, 768},
      {640, 360, 1000, 1000, 0, 218, 1000, 563},   // 562.5 rows: a half rounds up
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

// The overlay's texts, in the items asked for only, one under the other; the
// graph's labels beside it, the 60 Hz one centred on its line but inside the
// panel. (Texts here are 7 pixels a letter and 10 high.)
TEST(Overlay, TextsOfTheItemsAskedForOnly) {
  using Slot = OverlayModel::TextSlot;
  using Texts = std::vector<std::array<int, 3>>;  // slot, x, y
  // clang-format off
  const struct { OverlayItems items; Texts texts; } cases[] = {
      {{.fps = true}, {{Slot::kFps, 6, 6}}},
      {{.device = true}, {{Slot::kDevice, 6, 6}}},
      {{.frameTime = true, .device = true},
       {{Slot::kScaleTop, 188, 6}, {Slot::kScaleLine, 188, 28}, {Slot::kDevice, 6, 48}}},
      {{.fps = true, .frameTime = true},
       {{Slot::kFps, 6, 6}, {Slot::kScaleTop, 188, 18}, {Slot::kScaleLine, 188, 40}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    OverlayModel overlay(c.items, "reference");
    Texts texts;
    for (const OverlayShape& s : overlay.Layout([](int, const std::string&text, int&w, int&h) {
           w = 7 * static_cast<int>(text.size()), h = 10;
           return true;
         }))
      if (s.text >= 0) texts.push_back({s.text, s.x, s.y});
    EXPECT_EQ(texts, c.texts) << c.items.fps << c.items.frameTime << c.items.device;
  }
}

// Each picture of one second gets a name of its own, even when two programs
// choose before either has written: the chosen name is taken at once. A
// folder that is not there gives no name and says why.
TEST(Screenshots, NamesOfOneSecondAreTakenAsTheyAreChosen) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(testing::TempDir()) / "quillon-claims";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::time_t now = 1700000000;
  std::string reason;
  std::vector<std::string> names;
  for (int i = 0; i < 3; ++i) names.push_back(ClaimScreenshotPath(folder.string(), now, reason));
  ASSERT_EQ(names.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    ASSERT_FALSE(names[i].empty()) << reason;
    EXPECT_EQ(fs::file_size(names[i]), 0u) << names[i];
  }
  EXPECT_TRUE(names[0].ends_with(".png") && !names[0].ends_with("-2.png")) << names[0];
  EXPECT_TRUE(names[1].ends_with("-2.png")) << names[1];
  EXPECT_TRUE(names[2].ends_with("-3.png")) << names[2];
  EXPECT_TRUE(ClaimScreenshotPath((folder / "missing").string(), now, reason).empty());
  EXPECT_FALSE(reason.empty());
  fs::remove_all(folder);
}
