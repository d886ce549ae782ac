// The recording platform's own promises that the program's tests do not
// exercise on their own: the failure of one chosen occurrence, releases after
// the platform has gone, and the keyboard's refusals and end of script. (Its
// device keeps and checks state by the devices' shared rules, tested there.)
#include "testplatform/test_platform.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(TestPlatform, FailsTheChosenOccurrenceOnly) {
  TestPlatform tp;
  tp.Fail("DX.Direct3DCreate", E_FAIL, 2);
  Ref<DirectX8> dx;
  ASSERT_EQ(tp.NewDirectX8(dx), 0);
  Ref<Direct3D8> a, b, c;
  EXPECT_EQ(dx->Direct3DCreate(a), 0);
  EXPECT_EQ(dx->Direct3DCreate(b), E_FAIL);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(dx->Direct3DCreate(c), 0);
  EXPECT_EQ(tp.Calls(),
            (std::vector<std::string>{"new DirectX8", "DX.Direct3DCreate",
                                      "DX.Direct3DCreate -> -2147467259", "DX.Direct3DCreate"}));
  EXPECT_EQ(tp.Count("DX.Direct3DCreate"), 3);
}

TEST(TestPlatform, RecordsReleasesFromDestructorsEvenAfterThePlatformHasGone) {
  Ref<DirectX8> dx;
  {
    TestPlatform tp;
    ASSERT_EQ(tp.NewDirectX8(dx), 0);
    Ref<Direct3D8> d3d;
    ASSERT_EQ(dx->Direct3DCreate(d3d), 0);
    d3d = nullptr;
    EXPECT_EQ(tp.CallsStartingWith("release "), std::vector<std::string>{"release D3D"});
  }
  dx = nullptr;  // must not touch the gone platform
}

TEST(TestPlatform, KeyboardReadsTheScriptedPollsThenNothing) {
  TestPlatform tp;
  tp.PushKeys({DIK_UP, DIK_ESCAPE});
  tp.script.pollsAfterScript = 2;
  Ref<DirectX8> dx;
  Ref<DirectInput8> di;
  Ref<DirectInputDevice8> kb;
  ASSERT_EQ(tp.NewDirectX8(dx), 0);
  ASSERT_EQ(dx->DirectInputCreate(di), 0);
  ASSERT_EQ(di->CreateDevice("GUID_SysKeyboard", kb), 0);
  DIKEYBOARDSTATE s{};
  EXPECT_EQ(kb->GetDeviceStateKeyboard(s), DIERR_NOTACQUIRED);
  EXPECT_EQ(kb->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
  ASSERT_EQ(kb->SetCommonDataFormat(DIFORMAT_KEYBOARD), 0);
  EXPECT_EQ(kb->SetCooperativeLevel(1, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
            DIERR_INVALIDPARAM);
  ASSERT_EQ(kb->Acquire(), 0);
  ASSERT_EQ(kb->GetDeviceStateKeyboard(s), 0);
  EXPECT_EQ(s[DIK_UP], 0x80);
  EXPECT_EQ(s[DIK_ESCAPE], 0x80);
  EXPECT_EQ(s[DIK_DOWN], 0);
  ASSERT_EQ(kb->GetDeviceStateKeyboard(s), 0);
  EXPECT_EQ(s, DIKEYBOARDSTATE{});
  ASSERT_EQ(kb->GetDeviceStateKeyboard(s), 0);
  EXPECT_THROW(kb->GetDeviceStateKeyboard(s), TestScriptExhausted);
}

}  // namespace
