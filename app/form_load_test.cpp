// frmTest::Form_Load: the start-up order and where each failure stops it, the
// error report, and the shutdown sequence on every path.
#include <gtest/gtest.h>

#include "app/frmTest.h"
#include "graphics/moduleDX8.h"
#include "input/keyboard.h"
#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

const std::vector<std::string> kStartUp = {
    "new DirectX8",
    "DX.Direct3DCreate",
    "D3D.CreateDevice(0, 1, 4660, 32, {640, 480, 23, 1, 0, 2, 0, 0, 1, 80, 0, 0, 0})",
    "new D3DX8",
    "DX.DirectInputCreate",
    "DI.CreateDevice(\"GUID_SysKeyboard\")",
    "Keyboard.SetCooperativeLevel(4660, 10)",
    "Keyboard.Acquire",
    "Form_Font",
    "Font.put_Name(\"Arial\")",
    "Font.get_hFont",
    "D3DX.CreateFont(Device, 22136)",
    "ShowCursor(0) -> -1",
};

const std::vector<std::string> kShutdownReleases = {"release Keyboard", "release DI",
                                                    "release D3DX",     "release Device",
                                                    "release D3D",      "release DX"};

// The lines of `expected` appear in the log in this order.
void ExpectInOrder(const ProgramPlatform& tp, const std::vector<std::string>& expected) {
  int last = -1;
  for (const std::string& line : expected) {
    const int at = tp.IndexOf(line);
    EXPECT_GT(at, last) << line << " missing or out of order";
    if (at >= 0) last = at;
  }
}

// The shutdown sequence ran once, in order, after everything else, and ended
// the process with `exitCode`.
void ExpectShutdownOnce(const ProgramPlatform& tp, int exitCode) {
  const auto& calls = tp.Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), "End(" + std::to_string(exitCode) + ")");
  EXPECT_EQ(tp.Count("End"), 1);
  EXPECT_EQ(tp.Count("DoEvents"), 1);
  EXPECT_EQ(calls[calls.size() - 2], "DoEvents");
  EXPECT_EQ(tp.ExitCode(), exitCode);
  // The cursor is shown once the counter is back at 0, nothing shows it later.
  const auto shows = tp.CallsStartingWith("ShowCursor(1)");
  ASSERT_FALSE(shows.empty());
  EXPECT_EQ(shows.back().substr(shows.back().rfind(' ') + 1), std::to_string(tp.CursorCounter()));
  EXPECT_GE(tp.CursorCounter(), 0);
  // Releases after the cursor, in the program's order, then nothing is left.
  const int last = tp.IndexStartingWith("ShowCursor(1)");
  std::vector<std::string> releasesAfterCursor;
  for (std::size_t i = static_cast<std::size_t>(last) + 1; i < calls.size(); ++i)
    if (calls[i].rfind("release ", 0) == 0) releasesAfterCursor.push_back(calls[i]);
  std::vector<std::string> expected;
  for (const std::string& r : kShutdownReleases)
    if (tp.IndexOf(r) >= 0) expected.push_back(r);
  EXPECT_EQ(releasesAfterCursor, expected);
  EXPECT_FALSE(DX || D3D || D3DDevice || D3DX || DI || DIKeyboard);
}

class FormLoad : public ::testing::Test {
 protected:
  void SetUp() override { tp.PushKeys({DIK_ESCAPE}); }
  ProgramPlatform tp;
};

TEST_F(FormLoad, ANormalRunStartsInOrderAndShutsDownWithStatusZero) {
  EXPECT_EQ(tp.RunFormLoad(), "exit 0");
  EXPECT_EQ(VertexFormat, 834);
  ExpectInOrder(tp, kStartUp);
  ExpectInOrder(tp, {"ShowCursor(0) -> -1", "ShowCursor(1) -> 0", "Keyboard.Unacquire",
                     "release Keyboard", "release DI", "release D3DX", "release Device",
                     "release D3D", "release DX", "DoEvents", "End(0)"});
  ExpectShutdownOnce(tp, 0);
  EXPECT_TRUE(tp.MessageBoxes().empty());
  EXPECT_EQ(tp.script.fontName, "Arial");  // the form's own font object, renamed
  EXPECT_TRUE(tp.Form().FormFont);
  EXPECT_TRUE(tp.Form().D3DFont);
}

TEST_F(FormLoad, AFailingInitDXStopsStartUpThereAndReportsItsError) {
  tp.Fail("new DirectX8", E_FAIL);
  EXPECT_EQ(tp.RunFormLoad(), "exit 1");
  EXPECT_EQ(tp.MessageBoxes(),
            std::vector<std::string>{"(-2147467259) E_FAIL: unspecified failure"});
  for (const char* never : {"DX.Direct3DCreate", "new D3DX8", "DX.DirectInputCreate",
                            "DI.CreateDevice", "Form_hWnd", "Form_Font", "ShowCursor(0)"})
    EXPECT_EQ(tp.Count(never), 0) << never;
  EXPECT_EQ(tp.CallsStartingWith("ShowCursor"), std::vector<std::string>{"ShowCursor(1) -> 1"});
  ExpectInOrder(tp, {"MsgBox(\"(-2147467259) E_FAIL: unspecified failure\")", "ShowCursor(1) -> 1",
                     "DoEvents", "End(1)"});
  ExpectShutdownOnce(tp, 1);
}

TEST_F(FormLoad, AFailingInitD3DOrInitDIStopsStartUpAtItsStep) {
  struct Case {
    const char* failing;
    HRESULT status;
    const char* number;
    const char* never;
  };
  for (const Case c :
       {Case{"DX.Direct3DCreate", D3DERR_INVALIDCALL, "-2005530516", "new D3DX8"},
        Case{"DX.DirectInputCreate", DIERR_NOTINITIALIZED, "-2147024875", "DI.CreateDevice"}}) {
    SCOPED_TRACE(c.failing);
    ProgramPlatform fresh;
    fresh.PushKeys({DIK_ESCAPE});
    fresh.Fail(c.failing, c.status);
    EXPECT_EQ(fresh.RunFormLoad(), "exit 1");
    EXPECT_EQ(fresh.MessageBoxes(), std::vector<std::string>{std::string("(") + c.number + ") " +
                                                             DescribeError(c.status)});
    EXPECT_EQ(fresh.Count(c.never), 0);
    EXPECT_EQ(fresh.Count("Form_Font"), 0);
    ExpectShutdownOnce(fresh, 1);
  }
}

TEST_F(FormLoad, ARefusalWithNothingPendingReportsTheRoutinesResultNotErrorZero) {
  tp.script.modes = {{800, 600, 60, D3DFMT_R5G6B5}};  // no 640 by 480 mode
  EXPECT_EQ(tp.RunFormLoad(), "exit 1");
  EXPECT_EQ(tp.MessageBoxes(),
            std::vector<std::string>{"(-2005530517) " + DescribeError(D3DERR_INVALIDDEVICE)});
  EXPECT_EQ(tp.Count("new D3DX8"), 0);
  ExpectShutdownOnce(tp, 1);
}

TEST_F(FormLoad, ARefusalWithAnErrorPendingReportsThePendingError) {
  tp.script.usableDeviceTypes = {};
  tp.script.unusableDeviceStatus = E_NOTIMPL;  // InitD3D returns NOTAVAILABLE
  EXPECT_EQ(tp.RunFormLoad(), "exit 1");
  EXPECT_EQ(tp.MessageBoxes(),
            std::vector<std::string>{"(-2147467263) " + DescribeError(E_NOTIMPL)});
  ExpectShutdownOnce(tp, 1);
}

TEST_F(FormLoad, AFailingCreateDeviceShowsTwoBoxesAndEndsAtTheFont) {
  tp.Fail("D3D.CreateDevice", D3DERR_NOTAVAILABLE);
  EXPECT_EQ(tp.RunFormLoad(), "exit 1");
  // InitD3D returns 0 after its box; start-up goes on until the font needs
  // the device that does not exist.
  EXPECT_EQ(tp.MessageBoxes(),
            (std::vector<std::string>{"Unable to initialize the device",
                                      "(-2005530516) " + DescribeError(D3DERR_INVALIDCALL)}));
  EXPECT_GE(tp.IndexOf("Keyboard.Acquire"), 0);
  EXPECT_EQ(tp.Count("ShowCursor(0)"), 0);
  ExpectShutdownOnce(tp, 1);
}

TEST_F(FormLoad, EveryRaisingStartUpStepIsReportedWithItsStatus) {
  const char* steps[] = {"Form_hWnd",
                         "new D3DX8",
                         "DI.CreateDevice",
                         "Keyboard.SetCommonDataFormat",
                         "Keyboard.SetCooperativeLevel",
                         "Keyboard.Acquire",
                         "Form_Font",
                         "Font.put_Name",
                         "Font.get_hFont",
                         "D3DX.CreateFont"};
  for (const char* step : steps) {
    SCOPED_TRACE(step);
    ProgramPlatform fresh;
    fresh.Fail(step, DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(fresh.RunFormLoad(), "exit 1");
    EXPECT_EQ(fresh.MessageBoxes(),
              std::vector<std::string>{"(-2147024891) " + DescribeError(DIERR_OTHERAPPHASPRIO)});
    EXPECT_EQ(fresh.Count("ShowCursor(0)"), 0);  // the cursor was never hidden
    ExpectShutdownOnce(fresh, 1);
  }
}

TEST_F(FormLoad, TheSecondWindowHandleReadIsTheKeyboards) {
  tp.Fail("Form_hWnd", E_FAIL, 2);
  EXPECT_EQ(tp.RunFormLoad(), "exit 1");
  EXPECT_GE(tp.IndexOf("DX.DirectInputCreate"), 0);
  EXPECT_EQ(tp.Count("DI.CreateDevice"), 0);
}

TEST_F(FormLoad, AFailingShutdownStepDoesNotStopTheRestAndEndsWithStatusOne) {
  tp.Fail("Keyboard.Unacquire", DIERR_INPUTLOST);
  EXPECT_EQ(tp.RunFormLoad(), "exit 1");
  EXPECT_TRUE(tp.MessageBoxes().empty());  // shutdown runs once, no report loop
  ExpectShutdownOnce(tp, 1);
}

TEST_F(FormLoad, AReportThatCannotBeShownStillShutsDown) {
  tp.Fail("new DirectX8", E_FAIL);
  tp.Fail("MsgBox", E_FAIL);
  EXPECT_EQ(tp.RunFormLoad(), "exit 1");
  ExpectShutdownOnce(tp, 1);
}

// A window or display that goes away reaches the program as a lost keyboard
// or a lost device: one report, then the whole shutdown once.
TEST_F(FormLoad, AnErrorInTheLoopIsReportedAndShutsDown) {
  struct Case {
    const char* call;
    HRESULT status;
    const char* shown;
  };
  for (const Case& c : {Case{"Keyboard.GetDeviceState", DIERR_INPUTLOST, "(-2147024866) "},
                        Case{"Device.Present", D3DERR_DEVICELOST, "(-2005530520) "}}) {
    SCOPED_TRACE(c.call);
    ProgramPlatform fresh;
    fresh.PushKeys({});
    fresh.Fail(c.call, c.status, 2);
    EXPECT_EQ(fresh.RunFormLoad(), "exit 1");
    EXPECT_EQ(fresh.MessageBoxes(), std::vector<std::string>{c.shown + DescribeError(c.status)});
    ExpectInOrder(fresh, kStartUp);
    ExpectShutdownOnce(fresh, 1);
  }
}

}  // namespace
