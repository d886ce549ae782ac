// ShowMouse drives the cursor counter across zero from any start.
#include "timing/cursor.h"

#include <gtest/gtest.h>

#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

struct Case {
  std::int32_t start;
  std::int16_t show;
  int calls;
  std::int32_t end;
};

TEST(ShowMouse, MovesTheCounterOneStepAtATimeToTheOtherSideOfZero) {
  const Case cases[] = {
      {0, 0, 1, -1},  {0, -1, 1, 1}, {-3, -1, 3, 0}, {2, 0, 3, -1},
      {-1, 0, 1, -2}, {-1, 1, 1, 0}, {5, 7, 1, 6},   {-40, 1, 40, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("start " + std::to_string(c.start) + " show " + std::to_string(c.show));
    ProgramPlatform tp;
    tp.script.cursorCounter = c.start;
    ShowMouse(c.show);
    EXPECT_EQ(tp.Count("ShowCursor"), c.calls);
    EXPECT_EQ(tp.CursorCounter(), c.end);
    EXPECT_EQ(tp.CallsStartingWith(c.show ? "ShowCursor(0)" : "ShowCursor(1)").size(), 0u);
  }
}

}  // namespace
