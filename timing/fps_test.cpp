// UpdateFPS with scripted tick counts: each row starts the counter at
// TickLast (the others at 0), feeds it readings and calls it a number of
// times.
#include "timing/fps.h"

#include <gtest/gtest.h>

#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

struct Row {
  const char* what;
  float tickLast;
  std::vector<std::uint32_t> ticks;  // then tickStep ms apart
  int calls;
  float tickNow, frameCount, fps, tickLastAfter;
  int reads;
};

const float kWrapped = static_cast<float>(static_cast<std::int32_t>(2147485100u));
const std::uint32_t k2To30 = 1u << 30;

// clang-format off
const Row kRows[] = {
    {"the first call samples at once, from the second reading", 0, {5000, 5002}, 1,  //
     5000, 0, 1, 5002, 2},
    {"exactly 1000 ms does not sample", 5000, {6000}, 1, 6000, 1, 0, 5000, 1},
    {"1001 ms samples", 5000, {6001, 6001}, 1, 6001, 0, 1, 6001, 2},
    {"the next interval starts at the second reading", 1000, {2001, 2500, 3400}, 2,  //
     3400, 1, 1, 2500, 3},
    {"a frame every 10 ms samples 101", 0, {5000, 5000}, 102, 6010, 0, 101, 6020, 104},
    {"ticks are singles, ties to the even one below", 1.0e12f, {16777217u}, 1,  //
     16777216, 1, 0, 16777216, 1},
    {"ticks are singles, ties to the even one above", 1.0e12f, {16777219u}, 1,  //
     16777220, 1, 0, 16777220, 1},
    {"above 2^30 950 ms is stored as 896", k2To30, {k2To30 + 950}, 1,  //
     k2To30 + 896.0f, 1, 0, k2To30, 1},
    {"above 2^30 1000 ms is stored as 1024", k2To30, {k2To30 + 1000, k2To30 + 1000}, 1,
     k2To30 + 1024.0f, 0, 1, k2To30 + 1024.0f, 2},
    {"past the signed range the interval restarts, then samples", 2147483000.0f,
     {2147484000u, 2147485100u, 2147485100u}, 2, kWrapped, 0, 2, kWrapped, 3},
    {"past 2^32 one short sample, then on as before", kWrapped, {100, 100, 600, 1101, 1101}, 3,
     1101, 0, 2, 1101, 5},
};
// clang-format on

TEST(UpdateFPS, SamplesTheFramesOfEachIntervalOfMoreThanASecond) {
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.what);
    ProgramPlatform tp;
    TickLast = r.tickLast;
    tp.script.ticks.assign(r.ticks.begin(), r.ticks.end());
    for (int i = 0; i < r.calls; ++i) UpdateFPS();
    EXPECT_EQ(TickNow, r.tickNow);
    EXPECT_EQ(FrameCount, r.frameCount);
    EXPECT_EQ(FPS, r.fps);
    EXPECT_EQ(TickLast, r.tickLastAfter);
    EXPECT_EQ(tp.Count("GetTickCount"), r.reads);
  }
}

}  // namespace
