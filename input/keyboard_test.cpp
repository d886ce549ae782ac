// The keyboard routines: set-up and where a failure stops it, polling, and
// no device. (Their place in start-up and shutdown, and the reports of
// failures, are the form's tests' and the fault sweep's.)
#include "input/keyboard.h"

#include <gtest/gtest.h>

#include <functional>

#include "graphics/moduleDX8.h"
#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

std::int32_t Raised(const std::function<void()>& routine) {
  try {
    routine();
  } catch (const RuntimeError& e) {
    return e.Number;
  }
  return 0;
}

// Each row: the step that fails (none: the last row). The steps before it
// and the failing one are made, nothing after.
TEST(Keyboard, SetUpOpensSharedBackgroundAccessAndStopsAtAFailingStep) {
  const std::vector<std::string> steps = {
      "DI.CreateDevice(\"GUID_SysKeyboard\")", "Keyboard.SetCommonDataFormat(1)",
      "Keyboard.SetCooperativeLevel(321, 10)", "Keyboard.Acquire"};
  for (std::size_t failing = 0; failing <= steps.size(); ++failing) {
    SCOPED_TRACE(failing);
    ProgramPlatform tp;
    ASSERT_EQ(InitDX(), 0);
    ASSERT_EQ(InitDI(), 0);
    tp.ClearCalls();
    std::vector<std::string> expected(steps.begin(), steps.begin() + failing);
    if (failing < steps.size()) {
      tp.Fail(steps[failing].substr(0, steps[failing].find('(')), DIERR_OTHERAPPHASPRIO);
      expected.push_back(steps[failing] + " -> " + std::to_string(DIERR_OTHERAPPHASPRIO));
    }
    EXPECT_EQ(Raised([] { InitKeyboard(321); }),
              failing < steps.size() ? DIERR_OTHERAPPHASPRIO : 0);
    EXPECT_EQ(tp.Calls(), expected);
    EXPECT_EQ(static_cast<bool>(DIKeyboard), failing > 0);
  }
}

}  // namespace
