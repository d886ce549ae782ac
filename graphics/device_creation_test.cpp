// InitDX, InitD3D and InitD3DX over the recording platform.
#include <gtest/gtest.h>

#include <climits>

#include "graphics/moduleDX8.h"
#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

class DeviceCreation : public ::testing::Test {
 protected:
  void SetUp() override {
    VertexFormat = 834;
    ASSERT_EQ(InitDX(), 0);
    tp.ClearCalls();
  }
  std::int32_t FullScreen(std::int32_t depthFormat = D3DFMT_D16) {
    return InitD3D(tp.script.hWnd, 640, 480, 16, 1, depthFormat);
  }
  std::string Params() const { return FormatPresentParameters(D3DPP); }

  ProgramPlatform tp;
};

TEST_F(DeviceCreation, InitDXReturnsZeroExactlyWhenTheRootWasCreated) {
  EXPECT_TRUE(DX);
  TerminateDX();
  tp.Fail("new DirectX8", E_OUTOFMEMORY);
  Err().Number = 5;  // cleared on entry; only the creation counts
  EXPECT_EQ(InitDX(), E_OUTOFMEMORY);
  EXPECT_FALSE(DX);
  EXPECT_EQ(Err().Number, E_OUTOFMEMORY);  // left pending for the report
}

TEST_F(DeviceCreation, FullScreenCallsInOrderAndFillsTheParameters) {
  EXPECT_EQ(FullScreen(), 0);
  EXPECT_EQ(tp.Calls(), (std::vector<std::string>{
                            "DX.Direct3DCreate",
                            "D3D.GetDeviceCaps(0, 1)",
                            "D3D.GetAdapterDisplayMode(0)",
                            "D3D.GetAdapterModeCount(0) -> 5",
                            "D3D.EnumAdapterModes(0, 0)",
                            "D3D.CheckDeviceFormat(0, 1, 23, 2, 1, 80)",
                            "D3D.CreateDevice(0, 1, 4660, 32, "
                            "{640, 480, 23, 1, 0, 2, 0, 0, 1, 80, 0, 0, 0})",
                            "Device.SetVertexShader(834)",
                            "Device.SetRenderState(137, 0)",
                            "Device.SetRenderState(19, 5)",
                            "Device.SetRenderState(20, 6)",
                        }));
  EXPECT_EQ(DevType, D3DDEVTYPE_HAL);
  EXPECT_EQ(DispMode.Format, D3DFMT_X8R8G8B8);
  EXPECT_TRUE(D3D);
  EXPECT_TRUE(D3DDevice);
  EXPECT_EQ(Err().Number, 0);
  EXPECT_TRUE(tp.MessageBoxes().empty());
}

TEST_F(DeviceCreation, FullScreenTakesTheFormatOfTheFirstModeOfTheSize) {
  tp.script.modes = {{800, 600, 60, D3DFMT_R5G6B5},
                     {640, 480, 85, D3DFMT_X8R8G8B8},
                     {640, 480, 60, D3DFMT_R5G6B5}};
  EXPECT_EQ(InitD3D(1, 640, 480, 16, 2, D3DFMT_D16), 0);
  EXPECT_EQ(Params(), "{640, 480, 22, 2, 0, 2, 0, 0, 1, 80, 0, 0, 0}");
}

TEST_F(DeviceCreation, FallsBackToTheReferenceDeviceAndClearsTheFirstProbesError) {
  tp.script.usableDeviceTypes = {D3DDEVTYPE_REF};
  EXPECT_EQ(FullScreen(), 0);
  EXPECT_EQ(DevType, D3DDEVTYPE_REF);
  EXPECT_EQ(Err().Number, 0);
  EXPECT_GE(tp.IndexOf("D3D.GetDeviceCaps(0, 2)"), 0);
  EXPECT_GE(tp.IndexOf("D3D.CheckDeviceFormat(0, 2, 23, 2, 1, 80)"), 0);
  EXPECT_GE(tp.IndexStartingWith("D3D.CreateDevice(0, 2, "), 0);
}

TEST_F(DeviceCreation, NeitherDeviceTypeUsableIsNotAvailableWithTheSecondFailurePending) {
  tp.script.usableDeviceTypes = {};
  tp.Fail("D3D.GetDeviceCaps", E_FAIL, 2);  // the second probe fails differently
  EXPECT_EQ(FullScreen(), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(DevType, D3DDEVTYPE_REF);
  EXPECT_EQ(Err().Number, E_FAIL);
  EXPECT_TRUE(D3D);
  EXPECT_EQ(tp.Count("D3D.GetDeviceCaps"), 2);
  EXPECT_EQ(tp.Count("D3D.GetAdapterDisplayMode"), 0);
  EXPECT_EQ(tp.Count("D3D.CreateDevice"), 0);
}

TEST_F(DeviceCreation, AFailedDirect3DCreateOrAnUnsetRootIsReturnedAndLeftPending) {
  tp.Fail("DX.Direct3DCreate", E_OUTOFMEMORY, 1);
  EXPECT_EQ(FullScreen(), E_OUTOFMEMORY);
  EXPECT_FALSE(D3D);
  EXPECT_EQ(Err().Number, E_OUTOFMEMORY);
  TerminateDX();
  EXPECT_EQ(FullScreen(), ErrObjectNotSet);
  EXPECT_EQ(Err().Number, ErrObjectNotSet);
}

TEST_F(DeviceCreation, WindowedWhenTheSumIsZero) {
  struct Case {
    std::int32_t w, h, d;
  };
  for (const Case c : {Case{0, 0, 0}, Case{100, -100, 0}, Case{-16, 0, 16}}) {
    SCOPED_TRACE(std::to_string(c.w) + "," + std::to_string(c.h) + "," + std::to_string(c.d));
    ProgramPlatform fresh;
    ASSERT_EQ(InitDX(), 0);
    fresh.script.desktop = {1280, 1024, 60, D3DFMT_R5G6B5};
    EXPECT_EQ(InitD3D(9, c.w, c.h, c.d, 3, D3DFMT_D16), 0);
    // No depth buffer and no back-buffer count, whatever was asked.
    EXPECT_EQ(FormatPresentParameters(D3DPP), "{0, 0, 23, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0}");
    EXPECT_EQ(fresh.Count("D3D.CheckDeviceFormat"), 0);
    EXPECT_EQ(fresh.Count("D3D.GetAdapterModeCount"), 0);
  }
}

TEST_F(DeviceCreation, AnOverflowingSumSelectsWindowedInEitherAddition) {
  struct Case {
    std::int32_t w, h, d;
  };
  // The second case's full sum would fit: the first addition already overflows.
  for (const Case c : {Case{INT_MAX, 1, -5}, Case{INT_MAX, 0, 1}, Case{INT_MIN, -1, 1}}) {
    SCOPED_TRACE(std::to_string(c.w) + "," + std::to_string(c.h) + "," + std::to_string(c.d));
    ProgramPlatform fresh;
    ASSERT_EQ(InitDX(), 0);
    fresh.script.desktop.Format = D3DFMT_P8;  // stops right after the choice
    EXPECT_EQ(InitD3D(9, c.w, c.h, c.d, 1, D3DFMT_D16), D3DERR_INVALIDDEVICE);
    EXPECT_EQ(Err().Number, ErrOverflow);  // passed over, still pending
    EXPECT_EQ(fresh.Count("D3D.GetAdapterModeCount"), 0);

    ProgramPlatform again;
    ASSERT_EQ(InitDX(), 0);
    EXPECT_EQ(InitD3D(9, c.w, c.h, c.d, 1, D3DFMT_D16), 0);
    EXPECT_EQ(D3DPP.Windowed, 1);
    EXPECT_EQ(D3DPP.SwapEffect, D3DSWAPEFFECT_DISCARD);
  }
}

TEST_F(DeviceCreation, WindowedRefusesAPalettizedDesktopBeforeCreatingAnything) {
  for (std::int32_t format : {D3DFMT_P8, D3DFMT_A8P8}) {
    ProgramPlatform fresh;
    ASSERT_EQ(InitDX(), 0);
    fresh.script.desktop.Format = format;
    EXPECT_EQ(InitD3D(9, 0, 0, 0, 1, 0), D3DERR_INVALIDDEVICE);
    EXPECT_EQ(Err().Number, 0);  // the routine's own refusal leaves nothing pending
    EXPECT_EQ(fresh.Count("D3D.CreateDevice"), 0);
    EXPECT_EQ(FormatPresentParameters(D3DPP), "{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}");
  }
}

TEST_F(DeviceCreation, AnyFailedModeSearchBecomesInvalidDevice) {
  tp.script.modes = {{800, 600, 60, D3DFMT_R5G6B5}};
  EXPECT_EQ(FullScreen(), D3DERR_INVALIDDEVICE);
  EXPECT_EQ(Err().Number, 0);
  EXPECT_EQ(FormatPresentParameters(D3DPP), "{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}");

  ProgramPlatform failing;  // the enumeration's own error number is not passed on
  ASSERT_EQ(InitDX(), 0);
  failing.Fail("D3D.EnumAdapterModes", E_FAIL);
  EXPECT_EQ(FullScreen(), D3DERR_INVALIDDEVICE);
  EXPECT_EQ(Err().Number, E_FAIL);
  EXPECT_EQ(failing.Count("D3D.CreateDevice"), 0);
}

TEST_F(DeviceCreation, AFailedDesktopQueryFailsFullScreenButGoesUnnoticedWindowed) {
  tp.Fail("D3D.GetAdapterDisplayMode", E_FAIL);
  EXPECT_EQ(FullScreen(), D3DERR_INVALIDDEVICE);
  EXPECT_EQ(Err().Number, E_FAIL);
  EXPECT_EQ(tp.Count("D3D.EnumAdapterModes"), 0);

  ProgramPlatform windowed;
  ASSERT_EQ(InitDX(), 0);
  DispMode = {1, 2, 3, D3DFMT_R5G6B5};  // kept: the failed query writes nothing
  windowed.Fail("D3D.GetAdapterDisplayMode", E_FAIL);
  EXPECT_EQ(InitD3D(9, 0, 0, 0, 1, 0), 0);
  EXPECT_EQ(D3DPP.BackBufferFormat, D3DFMT_R5G6B5);
  EXPECT_TRUE(D3DDevice);
}

TEST_F(DeviceCreation, ARefusedDepthFormatGivesADeviceWithoutDepthBuffer) {
  tp.script.depthFormatCheck = D3DERR_NOTAVAILABLE;
  EXPECT_EQ(FullScreen(), 0);
  EXPECT_EQ(Params(), "{640, 480, 23, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0}");
  EXPECT_TRUE(D3DDevice);
  EXPECT_TRUE(tp.MessageBoxes().empty());
}

TEST_F(DeviceCreation, NoDepthFormatTestForZeroOrNegativeDepthFormats) {
  for (std::int32_t depthFormat : {0, -80}) {
    ProgramPlatform fresh;
    ASSERT_EQ(InitDX(), 0);
    EXPECT_EQ(FullScreen(depthFormat), 0);
    EXPECT_EQ(fresh.Count("D3D.CheckDeviceFormat"), 0);
    EXPECT_EQ(D3DPP.EnableAutoDepthStencil, 0);
    EXPECT_EQ(D3DPP.AutoDepthStencilFormat, 0);
  }
}

TEST_F(DeviceCreation, AFailingCreateDeviceShowsTheMessageAndStillReturnsZero) {
  tp.Fail("D3D.CreateDevice", D3DERR_NOTAVAILABLE);
  EXPECT_EQ(FullScreen(), 0);
  EXPECT_FALSE(D3DDevice);
  EXPECT_EQ(tp.MessageBoxes(), std::vector<std::string>{"Unable to initialize the device"});
  EXPECT_EQ(Err().Number, ErrObjectNotSet);  // the default states' failure
  EXPECT_TRUE(tp.CallsStartingWith("Device.").empty());
}

TEST_F(DeviceCreation, FailingDefaultStatesOnARealDeviceShowTheMessageToo) {
  tp.Fail("Device.SetRenderState", D3DERR_INVALIDCALL, 3);
  EXPECT_EQ(FullScreen(), 0);
  EXPECT_TRUE(D3DDevice);
  EXPECT_EQ(tp.MessageBoxes(), std::vector<std::string>{"Unable to initialize the device"});
}

TEST_F(DeviceCreation, ASecondCallKeepsTheFieldsItDoesNotWrite) {
  EXPECT_EQ(FullScreen(), 0);
  EXPECT_EQ(InitD3D(9, 0, 0, 0, 1, 0), 0);
  EXPECT_EQ(Params(), "{640, 480, 22, 1, 0, 1, 0, 1, 1, 80, 0, 0, 0}");
}

TEST_F(DeviceCreation, InitD3DXRaisesItsFailureAndKeepsTheFormerObject) {
  InitD3DX();
  ASSERT_TRUE(D3DX);
  const Ref<D3DX8> before = D3DX;
  tp.Fail("new D3DX8", E_OUTOFMEMORY);
  try {
    InitD3DX();
    FAIL() << "no error raised";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number, E_OUTOFMEMORY);
  }
  EXPECT_EQ(D3DX, before);
}

}  // namespace
