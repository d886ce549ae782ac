// UpdateFPS with scripted tick counts.
#include "timing/fps.h"

#include <gtest/gtest.h>

#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

TEST(UpdateFPS, TheFirstCallAfterStartSamplesAtOnceFromTheSecondReading) {
  ProgramPlatform tp;
  tp.script.ticks = {5000, 5002};
  UpdateFPS();
  EXPECT_EQ(TickNow, 5000.0f);
  EXPECT_EQ(FPS, 1.0f);
  EXPECT_EQ(FrameCount, 0.0f);
  EXPECT_EQ(TickLast, 5002.0f);  // a new reading, not TickNow
  EXPECT_EQ(tp.Count("GetTickCount"), 2);
}

TEST(UpdateFPS, ExactlyOneThousandDoesNotSampleOneMoreDoes) {
  ProgramPlatform tp;
  TickLast = 5000.0f;
  FPS = 42.0f;
  tp.script.ticks = {6000, 6001, 6001};
  UpdateFPS();
  EXPECT_EQ(FPS, 42.0f);
  EXPECT_EQ(FrameCount, 1.0f);
  EXPECT_EQ(tp.Count("GetTickCount"), 1);
  UpdateFPS();
  EXPECT_EQ(FPS, 2.0f);
  EXPECT_EQ(FrameCount, 0.0f);
}

TEST(UpdateFPS, AFrameEveryTenMillisecondsSamplesAboutAHundredAndOne) {
  ProgramPlatform tp;
  tp.script.ticks = {5000, 5000};  // the first sample happens at start-up
  tp.script.tickStep = 10;
  UpdateFPS();
  ASSERT_EQ(FPS, 1.0f);
  std::vector<float> samples;
  for (int frame = 0; frame < 1000; ++frame) {
    UpdateFPS();
    if (FrameCount == 0.0f) samples.push_back(FPS);
  }
  ASSERT_GE(samples.size(), 8u);
  for (float s : samples) EXPECT_EQ(s, 101.0f);
}

TEST(UpdateFPS, TheNextIntervalStartsAtTheSecondReading) {
  ProgramPlatform tp;
  TickLast = 1000.0f;
  tp.script.ticks = {2001, 2500, 3400, 3501};
  UpdateFPS();  // samples, TickLast := 2500
  EXPECT_EQ(TickLast, 2500.0f);
  UpdateFPS();  // 3400 - 2500 = 900: no sample although 3400 - 2001 > 1000
  EXPECT_EQ(FrameCount, 1.0f);
  UpdateFPS();
  EXPECT_EQ(FrameCount, 0.0f);
  EXPECT_EQ(FPS, 2.0f);
}

TEST(UpdateFPS, LargeTickCountsAreHeldInSinglePrecisionTiesToEven) {
  ProgramPlatform tp;
  TickLast = 1.0e12f;  // keep the counter from sampling
  tp.script.ticks = {16777217u, 16777219u, 33554434u};
  UpdateFPS();
  EXPECT_EQ(TickNow, 16777216.0f);  // halfway: to the even neighbour below
  UpdateFPS();
  EXPECT_EQ(TickNow, 16777220.0f);  // halfway: to the even neighbour above
  UpdateFPS();
  EXPECT_EQ(TickNow, 33554432.0f);
}

TEST(UpdateFPS, AboveTwoToTheThirtyIntervalsAreCountedIn128MillisecondSteps) {
  ProgramPlatform tp;
  const std::uint32_t base = 1u << 30;
  TickLast = static_cast<float>(base);
  // 950 ms as stored is 896: no sample; exactly 1000 ms as stored is 1024:
  // a sample.
  tp.script.ticks = {base + 950, base + 1000, base + 1000};
  UpdateFPS();
  EXPECT_EQ(FrameCount, 1.0f);
  UpdateFPS();
  EXPECT_EQ(FrameCount, 0.0f);
  EXPECT_EQ(FPS, 2.0f);
}

TEST(UpdateFPS, KeepsSamplingWhenTheCountPassesTheSignedRangeAndWraps) {
  ProgramPlatform tp;
  tp.script.ticks = {2147483000u, 2147483000u};
  UpdateFPS();
  tp.script.ticks = {2147484000u};  // negative as a signed count
  UpdateFPS();
  EXPECT_LT(TickNow, 0.0f);
  tp.script.ticks = {2147485100u, 2147485100u};  // 1100 ms after the last reading
  UpdateFPS();
  EXPECT_EQ(FrameCount, 0.0f);
  EXPECT_EQ(FPS, 2.0f);
  tp.script.ticks = {100u, 100u};  // wrapped past 2^32: one short sample
  UpdateFPS();
  EXPECT_EQ(FrameCount, 0.0f);
  tp.script.ticks = {600u, 1101u, 1101u};
  UpdateFPS();
  UpdateFPS();
  EXPECT_EQ(FrameCount, 0.0f);
  EXPECT_EQ(FPS, 2.0f);
}

}  // namespace
