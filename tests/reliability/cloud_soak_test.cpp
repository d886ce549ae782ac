// The spinning cloud for 200,000 frames on the recording platform: memory
// stays flat (each frame's vertex buffer goes when the next one comes), the
// angles run into the values where their steps vanish without any error,
// and the log holds one whole line per frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/frmTest.h"
#include "input/keyboard.h"
#include "tests/harness/program_platform.h"

namespace {

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

TEST(CloudSoak, LongRunsKeepMemoryFlatTheAnglesSafeAndEveryLogLine) {
  // The sanitizers keep freed memory aside for a while, so resident memory
  // says nothing there; the sweep covers those builds.
  if (std::getenv("QUILLON_SANITIZED")) GTEST_SKIP() << "memory is measured without sanitizers";

  constexpr std::int64_t kFrames = 200'000;
  ProgramPlatform tp;
  tp.script.keepLog = false;
  std::vector<long> residentKb;  // after every 20,000 frames
  int mostBuffersAlive = 0;
  tp.script.keyboard = [&](std::int64_t poll, DIKEYBOARDSTATE& keys) {
    keys.fill(0);
    // The eye goes back and forth; the keys that turn the cloud stay up so
    // that only the automatic steps move the angles.
    keys[poll % 2 ? DIK_UP : DIK_DOWN] = 0x80;
    if (poll == kFrames) keys[DIK_ESCAPE] = 0x80;
    if (poll % 20'000 == 1) residentKb.push_back(ResidentKb());
    const auto live = tp.LiveObjects().find("VertexBuffer");
    if (live != tp.LiveObjects().end() && live->second > mostBuffersAlive)
      mostBuffersAlive = live->second;
  };
  // From 0 the angles would need some 26 million frames to get there; they
  // start where 137,216 frames carry both over the edge (each step rounds to
  // a whole single spacing below it): RotX's 0.01 step rounds to nothing at
  // 262144, RotY's 0.02 step at 524288.
  frmTest& form = tp.Form();
  form.RotX = 260000.0f;
  form.RotY = 520000.0f;

  ASSERT_EQ(tp.RunFormLoad(), "exit 0");
  EXPECT_TRUE(tp.MessageBoxes().empty());
  EXPECT_EQ(form.RotX, 262144.0f);
  EXPECT_EQ(form.RotY, 524288.0f);
  EXPECT_EQ(tp.VertexBuffersMade(), kFrames);
  EXPECT_LE(mostBuffersAlive, 1);

  ASSERT_EQ(residentKb.size(), 10u);
  // Flat: no growth between the first 20,000 frames and the last, beyond
  // the allocator's noise.
  EXPECT_LE(residentKb[9], residentKb[1] + 2048);
  std::printf("resident memory: %ld KB after 1 frame, %ld KB after 20,000, %ld KB after 180,000\n",
              residentKb[0], residentKb[1], residentKb[9]);

  std::ifstream log(tp.DriveC() + "/FPS.TXT", std::ios::binary);
  std::int64_t lines = 0;
  bool whole = true;
  for (std::string line; std::getline(log, line);) {
    ++lines;
    whole = whole && line.size() >= 2 && line.back() == '\r' &&
            line.find_first_not_of("0123456789") == line.size() - 1;
  }
  EXPECT_EQ(lines, kFrames);
  EXPECT_TRUE(whole);
}

}  // namespace
