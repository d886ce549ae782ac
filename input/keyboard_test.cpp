// The keyboard routines: DirectInput creation, the keyboard's set-up steps,
// polling into KeyState, and its release.
#include "input/keyboard.h"

#include <gtest/gtest.h>

#include "graphics/moduleDX8.h"
#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

std::int32_t RaisedNumber(void (*routine)()) {
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
    tp.ClearCalls();
  }
  ProgramPlatform tp;
};

TEST_F(Keyboard, InitDIReportsItsCreationByResultAndRaisesNothing) {
  Err().Number = 7;  // cleared on entry
  EXPECT_EQ(InitDI(), 0);
  EXPECT_TRUE(DI);
  EXPECT_EQ(Err().Number, 0);

  TerminateDI();
  tp.Fail("DX.DirectInputCreate", DIERR_NOTINITIALIZED);
  EXPECT_EQ(InitDI(), DIERR_NOTINITIALIZED);
  EXPECT_FALSE(DI);
  EXPECT_EQ(Err().Number, DIERR_NOTINITIALIZED);

  TerminateDX();
  EXPECT_EQ(InitDI(), ErrObjectNotSet);
}

TEST_F(Keyboard, InitKeyboardOpensSharedBackgroundAccessAndAcquires) {
  ASSERT_EQ(InitDI(), 0);
  InitKeyboard(321);
  EXPECT_TRUE(DIKeyboard);
  EXPECT_EQ(tp.Calls(), (std::vector<std::string>{
                            "DX.DirectInputCreate", "DI.CreateDevice(\"GUID_SysKeyboard\")",
                            "Keyboard.SetCommonDataFormat(1)",
                            "Keyboard.SetCooperativeLevel(321, 10)", "Keyboard.Acquire"}));
}

TEST_F(Keyboard, InitKeyboardStopsAtTheFailingStepAndRaisesItsStatus) {
  const char* steps[] = {"DI.CreateDevice", "Keyboard.SetCommonDataFormat",
                         "Keyboard.SetCooperativeLevel", "Keyboard.Acquire"};
  for (int failing = 0; failing < 4; ++failing) {
    SCOPED_TRACE(steps[failing]);
    ProgramPlatform fresh;
    ASSERT_EQ(InitDX(), 0);
    ASSERT_EQ(InitDI(), 0);
    fresh.Fail(steps[failing], DIERR_OTHERAPPHASPRIO);
    try {
      InitKeyboard(1);
      FAIL() << "no error raised";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Number, DIERR_OTHERAPPHASPRIO);
      EXPECT_EQ(Err().Number, DIERR_OTHERAPPHASPRIO);
    }
    for (int later = failing + 1; later < 4; ++later) EXPECT_EQ(fresh.Count(steps[later]), 0);
    EXPECT_EQ(static_cast<bool>(DIKeyboard), failing > 0);
  }
}

TEST_F(Keyboard, APollReplacesAllOfKeyStateAndOnlyHeldKeysAreDown) {
  ASSERT_EQ(InitDI(), 0);
  InitKeyboard(1);
  tp.PushKeys({DIK_UP, DIK_LEFT});
  tp.PushKeys({DIK_UP});
  tp.PushKeys({});
  ReadKeyboard();
  EXPECT_EQ(KeyState, ProgramPlatform::KeysDown({DIK_UP, DIK_LEFT}));
  ReadKeyboard();
  EXPECT_EQ(KeyState[DIK_UP], 0x80);  // held over frames
  EXPECT_EQ(KeyState[DIK_LEFT], 0);
  ReadKeyboard();
  EXPECT_EQ(KeyState, DIKEYBOARDSTATE{});
  TerminateDI();
  EXPECT_EQ(KeyState, DIKEYBOARDSTATE{});  // kept after release
}

TEST_F(Keyboard, AFailedPollRaisesItsStatusAndAPollWithoutKeyboardIsObjectNotSet) {
  EXPECT_EQ(RaisedNumber(ReadKeyboard), ErrObjectNotSet);
  ASSERT_EQ(InitDI(), 0);
  InitKeyboard(1);
  tp.Fail("Keyboard.GetDeviceState", DIERR_INPUTLOST);
  EXPECT_EQ(RaisedNumber(ReadKeyboard), DIERR_INPUTLOST);
}

TEST_F(Keyboard, UnacquireWithoutKeyboardDoesNothingButAFailureRaises) {
  EXPECT_EQ(RaisedNumber(UnacquireKeyboard), 0);
  EXPECT_TRUE(tp.Calls().empty());
  ASSERT_EQ(InitDI(), 0);
  InitKeyboard(1);
  UnacquireKeyboard();
  EXPECT_EQ(tp.Calls().back(), "Keyboard.Unacquire");
  tp.Fail("Keyboard.Unacquire", E_FAIL);
  EXPECT_EQ(RaisedNumber(UnacquireKeyboard), E_FAIL);
}

TEST_F(Keyboard, TerminateDIReleasesTheKeyboardBeforeDirectInputAndIsSafeWhenUnset) {
  TerminateDI();
  ASSERT_EQ(InitDI(), 0);
  InitKeyboard(1);
  TerminateDI();
  EXPECT_FALSE(DIKeyboard || DI);
  EXPECT_EQ(tp.CallsStartingWith("release "),
            (std::vector<std::string>{"release Keyboard", "release DI"}));
  EXPECT_EQ(tp.Count("Keyboard.Unacquire"), 0);  // the shutdown sequence does that
}

}  // namespace
