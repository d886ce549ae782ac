// The keyboard routines: its set-up steps and where a failure stops them,
// polling into KeyState, and the routines without a device. (Their place in
// start-up and shutdown, and the reports of failures, are checked by the
// form's tests and the fault sweep.)
#include "input/keyboard.h"

#include <gtest/gtest.h>

#include <functional>

#include "graphics/moduleDX8.h"
#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

using Lines = std::vector<std::string>;

std::int32_t Raised(const std::function<void()>& routine) {
  try {
    routine();
  } catch (const RuntimeError& e) {
    return e.Number;
  }
  return 0;
}

class Keyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(InitDX(), 0);
    ASSERT_EQ(InitDI(), 0);
    tp.ClearCalls();
  }
  ProgramPlatform tp;
};

TEST_F(Keyboard, SetUpOpensSharedBackgroundAccessAndStopsAtAFailingStep) {
  const Lines steps = {"DI.CreateDevice(\"GUID_SysKeyboard\")", "Keyboard.SetCommonDataFormat(1)",
                       "Keyboard.SetCooperativeLevel(321, 10)", "Keyboard.Acquire"};
  const std::string failed = " -> " + std::to_string(DIERR_OTHERAPPHASPRIO);
  for (std::size_t failing = 0; failing <= steps.size(); ++failing) {
    SCOPED_TRACE(failing);
    ProgramPlatform fresh;
    ASSERT_EQ(InitDX(), 0);
    ASSERT_EQ(InitDI(), 0);
    fresh.ClearCalls();
    Lines expected(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(failing));
    if (failing < steps.size()) {
      const std::string& step = steps[failing];
      fresh.Fail(step.substr(0, step.find('(')), DIERR_OTHERAPPHASPRIO);
      expected.push_back(step + failed);
    }
    EXPECT_EQ(Raised([] { InitKeyboard(321); }),
              failing < steps.size() ? DIERR_OTHERAPPHASPRIO : 0);
    EXPECT_EQ(fresh.Calls(), expected);
    EXPECT_EQ(static_cast<bool>(DIKeyboard), failing > 0);
  }
}

TEST_F(Keyboard, APollReplacesAllOfKeyStateAndOnlyHeldKeysAreDown) {
  InitKeyboard(1);
  tp.PushKeys({DIK_UP, DIK_LEFT});
  tp.PushKeys({DIK_UP});
  tp.PushKeys({});
  ReadKeyboard();
  EXPECT_EQ(KeyState, ProgramPlatform::KeysDown({DIK_UP, DIK_LEFT}));
  ReadKeyboard();
  EXPECT_EQ(KeyState, ProgramPlatform::KeysDown({DIK_UP}));  // held over frames
  ReadKeyboard();
  EXPECT_EQ(KeyState, DIKEYBOARDSTATE{});
}

// Shutdown unacquires also after a start-up that stopped before the keyboard;
// a failure there is said and shutdown goes on.
TEST_F(Keyboard, UnacquireGivesUpAccessWhenThereIsADevice) {
  EXPECT_EQ(Raised(ReadKeyboard), ErrObjectNotSet);
  EXPECT_EQ(Raised(UnacquireKeyboard), 0);
  EXPECT_TRUE(tp.Calls().empty());
  InitKeyboard(1);
  tp.Fail("Keyboard.Unacquire", E_FAIL);
  EXPECT_EQ(Raised(UnacquireKeyboard), E_FAIL);
}

}  // namespace
