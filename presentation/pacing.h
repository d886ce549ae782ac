// Full-screen presents paced to the display's refresh, as the device's
// presentation interval asks: on a grid of retraces that starts when the
// device took the screen.
#pragma once

#include <chrono>

#include "platform/d3d8types.h"

class RetracePacing {
 public:
  using Clock = std::chrono::steady_clock;

  // Each present waits for the `interval`'s retrace (every one, second,
  // third, fourth) of a display refreshing `refreshHz` times a second. An
  // immediate interval, or a display of no known rate (0), does not wait.
  void Start(int refreshHz, DWORD interval, Clock::time_point origin);
  void Stop() { period_ = {}; }
  bool Paced() const { return period_.count() > 0; }
  // The first retrace of the grid after `now`.
  Clock::time_point NextRetrace(Clock::time_point now) const;
  // Sleeps until then (when paced).
  void Wait() const;

 private:
  Clock::duration period_{};
  Clock::time_point origin_{};
};
