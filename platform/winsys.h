// The window system's services that the timing routines use.
#pragma once

#include <cstdint>

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // With 1 raises the cursor display counter by one, with 0 lowers it by one;
  // returns the new counter. The cursor shows while the counter is >= 0.
  virtual std::int32_t ShowCursor(std::int32_t bShow) = 0;
  // Milliseconds since the system started (wraps after about 49.7 days).
  virtual std::uint32_t GetTickCount() = 0;
};
