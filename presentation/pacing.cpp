#include "presentation/pacing.h"

#include <thread>

void RetracePacing::Start(int refreshHz, DWORD interval, Clock::time_point origin) {
  period_ = {};
  if (refreshHz <= 0 || interval == D3DPRESENT_INTERVAL_IMMEDIATE) return;
  const int every = interval == D3DPRESENT_INTERVAL_TWO     ? 2
                    : interval == D3DPRESENT_INTERVAL_THREE ? 3
                    : interval == D3DPRESENT_INTERVAL_FOUR  ? 4
                                                            : 1;
  period_ = Clock::duration(std::chrono::seconds(every)) / refreshHz;
  origin_ = origin;
}

RetracePacing::Clock::time_point RetracePacing::NextRetrace(Clock::time_point now) const {
  if (!Paced()) return now;
  return origin_ + ((now - origin_) / period_ + 1) * period_;
}

void RetracePacing::Wait() const {
  if (Paced()) std::this_thread::sleep_until(NextRetrace(Clock::now()));
}
