// The window system's cursor display counter: the cursor shows while the
// counter is 0 or more. The host is told only when the counter crosses zero.
#pragma once

#include <cstdint>
#include <functional>

class CursorCounter {
 public:
  explicit CursorCounter(std::function<void(bool visible)> setVisible)
      : setVisible_(std::move(setVisible)) {}

  // 1 raises the counter, 0 lowers it; returns the new value.
  std::int32_t ShowCursor(std::int32_t bShow) {
    const bool wasVisible = counter_ >= 0;
    if (bShow != 0) {
      if (counter_ < INT32_MAX) ++counter_;
    } else {
      if (counter_ > INT32_MIN) --counter_;
    }
    const bool visible = counter_ >= 0;
    if (visible != wasVisible && setVisible_) setVisible_(visible);
    return counter_;
  }
  std::int32_t Counter() const { return counter_; }

 private:
  std::function<void(bool)> setVisible_;
  std::int32_t counter_ = 0;
};
