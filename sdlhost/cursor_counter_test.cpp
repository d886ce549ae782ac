#include "sdlhost/cursor_counter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Recorder {
  std::vector<bool> changes;
  CursorCounter counter{[this](bool v) { changes.push_back(v); }};
};

}  // namespace

TEST(CursorCounter, HostIsToldOnlyWhenZeroIsCrossed) {
  Recorder r;
  EXPECT_EQ(r.counter.ShowCursor(1), 1);  // already visible: nothing to do
  EXPECT_EQ(r.counter.ShowCursor(0), 0);
  EXPECT_TRUE(r.changes.empty());
  EXPECT_EQ(r.counter.ShowCursor(0), -1);  // hides
  EXPECT_EQ(r.counter.ShowCursor(0), -2);
  EXPECT_EQ(r.counter.ShowCursor(1), -1);
  EXPECT_EQ(r.counter.ShowCursor(1), 0);  // shows
  EXPECT_EQ(r.changes, (std::vector<bool>{false, true}));
  // Any non-zero argument shows (the loop from any start is ShowMouse's test).
  EXPECT_EQ(r.counter.ShowCursor(-1), 1);
  EXPECT_EQ(r.counter.ShowCursor(7), 2);
}

