// The frame-rate counter over scripted tick counts, and the cursor counter.
#include <gtest/gtest.h>

#include "tests/harness/program_platform.h"
#include "timing/cursor.h"
#include "timing/fps.h"

using namespace moduleDX8;

namespace {

// Each row: TickLast at the start, the readings (then 10 ms apart), the calls,
// and TickNow, FrameCount, FPS and TickLast after them, with the readings made.
// Past the signed range (a wrap) the interval restarts, then samples.
TEST(UpdateFPS, SamplesTheFramesOfEachIntervalOfMoreThanASecond) {
  const float wrapped = static_cast<float>(static_cast<std::int32_t>(2147485100u));
  const std::uint32_t k30 = 1u << 30;
  // clang-format off
  const struct {
    float last;
    std::vector<std::uint32_t> ticks;
    int calls;
    float now, frames, fps, lastAfter;
    int reads;
  } rows[] = {
      {0, {5000, 5002}, 1, 5000, 0, 1, 5002, 2},  // the first call samples, from the second reading
      {5000, {6000}, 1, 6000, 1, 0, 5000, 1},  // exactly 1000 ms does not sample
      {5000, {6001, 6001}, 1, 6001, 0, 1, 6001, 2},  // 1001 ms does
      {1000, {2001, 2500, 3400}, 2, 3400, 1, 1, 2500, 3},  // next interval from the second reading
      {0, {5000, 5000}, 102, 6010, 0, 101, 6020, 104},  // a frame every 10 ms samples 101
      {1.0e12f, {16777217u}, 1, 16777216, 1, 0, 16777216, 1},  // singles: ties to even, below
      {1.0e12f, {16777219u}, 1, 16777220, 1, 0, 16777220, 1},  // and above
      {k30, {k30 + 950}, 1, k30 + 896.0f, 1, 0, k30, 1},  // above 2^30 950 ms is stored as 896
      {k30, {k30 + 1000, k30 + 1000}, 1, k30 + 1024.0f, 0, 1, k30 + 1024.0f, 2},  // 1000 as 1024
      {2147483000.0f, {2147484000u, 2147485100u, 2147485100u}, 2, wrapped, 0, 2, wrapped, 3},
      {wrapped, {100, 100, 600, 1101, 1101}, 3, 1101, 0, 2, 1101, 5},  // past 2^32
  };
  // clang-format on
  for (std::size_t row = 0; row < std::size(rows); ++row) {
    const auto& r = rows[row];
    SCOPED_TRACE(row);
    ProgramPlatform tp;
    TickLast = r.last;
    tp.script.ticks.assign(r.ticks.begin(), r.ticks.end());
    for (int i = 0; i < r.calls; ++i) UpdateFPS();
    EXPECT_EQ(std::vector<float>({TickNow, FrameCount, FPS, TickLast}),
              std::vector<float>({r.now, r.frames, r.fps, r.lastAfter}));
    EXPECT_EQ(tp.Count("GetTickCount"), r.reads);
  }
}

// Each row: the counter's start, the argument, the calls and the end.
TEST(ShowMouse, MovesTheCounterOneStepAtATimeToTheOtherSideOfZero) {
  // clang-format off
  const struct { std::int32_t start; std::int16_t show; int calls; std::int32_t end; } rows[] = {
      {0, 0, 1, -1}, {0, -1, 1, 1}, {-3, -1, 3, 0}, {2, 0, 3, -1},
      {-1, 0, 1, -2}, {-1, 1, 1, 0}, {5, 7, 1, 6}, {-40, 1, 40, 0}};
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE("start " + std::to_string(r.start) + " show " + std::to_string(r.show));
    ProgramPlatform tp;
    tp.script.cursorCounter = r.start;
    ShowMouse(r.show);
    EXPECT_EQ(tp.Count("ShowCursor"), r.calls);  // each with the same argument, the first's:
    EXPECT_EQ(tp.IndexOf(r.show ? "ShowCursor(1)" : "ShowCursor(0)"), 0);
    EXPECT_EQ(tp.CursorCounter(), r.end);
  }
}

}  // namespace
