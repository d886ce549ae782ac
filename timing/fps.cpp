// The frame-rate counter: frames counted over a little more than a second,
// in single precision as the module keeps it.
#include "timing/fps.h"

#include "graphics/platform_access.h"
#include "platform/checked.h"

namespace moduleDX8 {

float TickNow = 0.0f;
float TickLast = 0.0f;
float FrameCount = 0.0f;
float FPS = 0.0f;

void ResetFrameRateState() {
  TickNow = 0.0f;
  TickLast = 0.0f;
  FrameCount = 0.0f;
  FPS = 0.0f;
}

namespace {

// The tick count as a signed 32-bit value, rounded to single precision.
float ReadTick(WindowSystem& windows) {
  return static_cast<float>(static_cast<std::int32_t>(windows.GetTickCount()));
}

}  // namespace

void UpdateFPS() {
  WindowSystem& windows = WindowsOrRaise();
  TickNow = ReadTick(windows);
  FrameCount = ToSingleChecked(static_cast<double>(FrameCount) + 1.0);
  const float elapsed =
      ToSingleChecked(static_cast<double>(TickNow) - static_cast<double>(TickLast));
  if (elapsed > 1000.0f) {
    FPS = FrameCount;
    FrameCount = 0.0f;
    TickLast = ReadTick(windows);
  } else if (elapsed < 0.0f) {
    // The count passed 2^31 ms and turned negative (or wrapped): without this
    // the counter would wait about 24.9 days to sample again. Measure the
    // interval from here instead.
    TickLast = TickNow;
  }
}

}  // namespace moduleDX8
