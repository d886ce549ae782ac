// moduleDX8's device routines over the recording platform: InitD3D's choice
// of device and parameters, FindDisplayMode, SetDefaultRenderStates and the
// view's overflow. (Every failing call with its report is the fault sweep's;
// the fixed matrices, the camera and the world's turns show in the program's
// own frame transcript.)
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <functional>

#include "graphics/moduleDX8.h"
#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

using Lines = std::vector<std::string>;
using Args = std::array<std::int32_t, 6>;  // hWnd, width, height, depth, back buffers, depth format

const Args kFullScreen = {4660, 640, 480, 16, 1, D3DFMT_D16};
const Args kWindowed = {9, 0, 0, 0, 1, 0};
const char* const kNone = "{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}";
const char* const kFullScreenParams = "{640, 480, 23, 1, 0, 2, 0, 0, 1, 80, 0, 0, 0}";
const char* const kNoDepthBuffer = "{640, 480, 23, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0}";
const char* const kWindowedParams = "{0, 0, 22, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0}";  // the desktop's

void Nothing(ProgramPlatform&) {}

TEST(DeviceCreation, InitD3DChoosesTheDeviceAndItsParameters) {
  const struct {
    const char* what;
    std::function<void(ProgramPlatform&)> arrange;
    Args args;
    std::int32_t result, pending;
    const char* params;  // the presentation parameters afterwards
    Lines made, never;   // calls made (by their start) and calls never made
  } rows[] = {
      // clang-format off
      {"full screen on the hardware device", Nothing, kFullScreen, 0, 0, kFullScreenParams,
       {"D3D.GetDeviceCaps(0, 1)", "D3D.CheckDeviceFormat(0, 1, 23, 2, 1, 80)", "D3D.CreateDevice(0, 1, 4660, 32, ",
        "Device.SetVertexShader(834)"}, {"D3D.GetDeviceCaps(0, 2)", "MsgBox"}},
      {"the format of the first mode of the size",
       [](ProgramPlatform& tp) { tp.script.modes = {{800, 600, 60, D3DFMT_R5G6B5}, {640, 480, 85, D3DFMT_X8R8G8B8}, {640, 480, 60, D3DFMT_R5G6B5}}; },
       {1, 640, 480, 16, 2, D3DFMT_D16}, 0, 0, "{640, 480, 22, 2, 0, 2, 0, 0, 1, 80, 0, 0, 0}", {}, {}},
      {"the reference device when the hardware one fails its probe, its error cleared",
       [](ProgramPlatform& tp) { tp.script.usableDeviceTypes = {D3DDEVTYPE_REF}; }, kFullScreen, 0, 0, kFullScreenParams,
       {"D3D.GetDeviceCaps(0, 2)", "D3D.CheckDeviceFormat(0, 2, 23, 2, 1, 80)", "D3D.CreateDevice(0, 2, "}, {}},
      {"neither type: not available, the second probe's error pending",
       [](ProgramPlatform& tp) { tp.script.usableDeviceTypes = {}; tp.Fail("D3D.GetDeviceCaps", E_FAIL, 2); },
       kFullScreen, D3DERR_NOTAVAILABLE, E_FAIL, kNone, {}, {"D3D.GetAdapterDisplayMode", "D3D.CreateDevice"}},
      {"windowed when the sum is 0", Nothing, {9, 100, -100, 0, 3, 80}, 0, 0, kWindowedParams, {},
       {"D3D.CheckDeviceFormat", "D3D.GetAdapterModeCount"}},
      {"an overflow in the sum is windowed", [](ProgramPlatform& tp) { tp.script.desktop.Format = D3DFMT_P8; },
       {9, INT_MAX, 1, -5, 1, 80}, D3DERR_INVALIDDEVICE, ErrOverflow, kNone, {}, {"D3D.GetAdapterModeCount"}},
      {"windowed refuses a palettized desktop with nothing pending", [](ProgramPlatform& tp) { tp.script.desktop.Format = D3DFMT_A8P8; },
       kWindowed, D3DERR_INVALIDDEVICE, 0, kNone, {}, {"D3D.CreateDevice"}},
      {"no mode of the size", [](ProgramPlatform& tp) { tp.script.modes = {{800, 600, 60, 23}}; },
       kFullScreen, D3DERR_INVALIDDEVICE, 0, kNone, {}, {"D3D.CreateDevice"}},
      {"a failed mode enumeration is an invalid device, its error pending",
       [](ProgramPlatform& tp) { tp.Fail("D3D.EnumAdapterModes", E_FAIL); }, kFullScreen,
       D3DERR_INVALIDDEVICE, E_FAIL, kNone, {}, {"D3D.CreateDevice"}},
      {"a failed desktop query fails full screen", [](ProgramPlatform& tp) { tp.Fail("D3D.GetAdapterDisplayMode", E_FAIL); },
       kFullScreen, D3DERR_INVALIDDEVICE, E_FAIL, kNone, {}, {"D3D.EnumAdapterModes"}},
      {"a failed desktop query goes unnoticed windowed, the old mode kept",
       [](ProgramPlatform& tp) { DispMode = {1, 2, 3, D3DFMT_R5G6B5}; tp.Fail("D3D.GetAdapterDisplayMode", E_FAIL); },
       kWindowed, 0, 0, "{0, 0, 23, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0}", {"D3D.CreateDevice"}, {}},
      {"a refused depth format: no depth buffer", [](ProgramPlatform& tp) { tp.script.depthFormatCheck = D3DERR_NOTAVAILABLE; },
       kFullScreen, 0, 0, kNoDepthBuffer, {"D3D.CreateDevice"}, {"MsgBox"}},
      {"no depth format 0 is asked for", Nothing, {4660, 640, 480, 16, 1, 0}, 0, 0, kNoDepthBuffer, {}, {"D3D.CheckDeviceFormat"}},
      {"a second call keeps the fields it does not write",
       [](ProgramPlatform&) { ASSERT_EQ(InitD3D(4660, 640, 480, 16, 1, D3DFMT_D16), 0); ASSERT_EQ(InitD3D(9, 0, 0, 0, 1, 0), 0); D3D = nullptr; },
       kWindowed, 0, 0, "{640, 480, 22, 1, 0, 1, 0, 1, 1, 80, 0, 0, 0}", {}, {}},
      // clang-format on
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    ProgramPlatform tp;
    VertexFormat = 834;
    ASSERT_EQ(InitDX(), 0);
    r.arrange(tp);
    tp.ClearCalls();
    EXPECT_EQ(InitD3D(r.args[0], r.args[1], r.args[2], r.args[3], r.args[4], r.args[5]), r.result);
    EXPECT_EQ(Err().Number, r.pending);
    EXPECT_EQ(FormatPresentParameters(D3DPP), r.params);
    EXPECT_EQ(static_cast<bool>(D3DDevice), std::string(r.params) != kNone);
    for (const std::string& call : r.made) EXPECT_GE(tp.IndexOf(call), 0) << call;
    for (const std::string& call : r.never) EXPECT_EQ(tp.Count(call), 0) << call;
  }
}

// Each row: a mode list, a depth, and what the search returns, finds and
// reads.
TEST(DisplayMode, FindsTheFirstModeOfTheSizeAndDepth) {
  constexpr std::int32_t kUntouched = -7;
  const std::vector<D3DDISPLAYMODE> noFit = {
      {640, 400, 60, D3DFMT_R5G6B5}, {480, 640, 60, D3DFMT_R5G6B5}, {640, 480, 60, D3DFMT_R5G6B5}};
  const struct {
    std::vector<D3DDISPLAYMODE> modes;
    std::int32_t depth, result, format;
    int reads;                       // modes enumerated
    std::int32_t pendingBefore = 0;  // an error pending at entry
    int failingRead = 0;             // the enumeration that fails, if any
  } rows[] = {
      // clang-format off
      {{{800, 600, 60, D3DFMT_R5G6B5}, {640, 480, 60, D3DFMT_X8R8G8B8}, {640, 480, 60, D3DFMT_R5G6B5}}, 16, 0, D3DFMT_X8R8G8B8, 2},
      {{{640, 480, 60, D3DFMT_R5G6B5}, {640, 480, 85, D3DFMT_X1R5G5B5}}, 16, 0, D3DFMT_R5G6B5, 1},
      {{{640, 480, 60, D3DFMT_R5G6B5}, {640, 480, 75, D3DFMT_X1R5G5B5}, {640, 480, 60, D3DFMT_A8R8G8B8}}, 32, 0, D3DFMT_A8R8G8B8, 3},
      {{{640, 480, 60, D3DFMT_A8R3G3B2}, {640, 480, 60, D3DFMT_R8G8B8}}, 32, 0, D3DFMT_R8G8B8, 2},
      {{{640, 480, 60, D3DFMT_A8R3G3B2}, {640, 480, 60, D3DFMT_X8R8G8B8}}, 32, 0, D3DFMT_X8R8G8B8, 2},
      {noFit, 32, D3DERR_INVALIDDEVICE, kUntouched, 3},
      {noFit, 24, D3DERR_INVALIDDEVICE, kUntouched, 3},
      {{}, 16, D3DERR_INVALIDDEVICE, kUntouched, 0},
      {noFit, 16, D3DERR_INVALIDCALL, kUntouched, 0, E_FAIL},  // an error pending: no mode read
      // A failed read returns its number and reads no further.
      {{{800, 600, 60, D3DFMT_R5G6B5}, {800, 600, 60, D3DFMT_X8R8G8B8}, {640, 480, 60, D3DFMT_R5G6B5}}, 16,
       D3DERR_DRIVERINTERNALERROR, kUntouched, 2, 0, 2},
      // clang-format on
  };
  for (std::size_t row = 0; row < std::size(rows); ++row) {
    const auto& r = rows[row];
    SCOPED_TRACE(row);
    ProgramPlatform tp;
    ASSERT_EQ(InitDX(), 0);
    ASSERT_EQ(DX->Direct3DCreate(D3D), 0);
    tp.script.modes = r.modes;
    if (r.failingRead) tp.Fail("D3D.EnumAdapterModes", D3DERR_DRIVERINTERNALERROR, r.failingRead);
    Err().Number = r.pendingBefore;
    std::int32_t format = kUntouched;
    EXPECT_EQ(FindDisplayMode(640, 480, r.depth, format), r.result);
    EXPECT_EQ(format, r.format);
    EXPECT_EQ(tp.Count("D3D.EnumAdapterModes"), r.reads);
    EXPECT_LE(tp.Count("D3D.GetAdapterModeCount"), 1);
    // Its own refusals leave nothing pending; a pending error stays.
    EXPECT_EQ(Err().Number, r.failingRead ? D3DERR_DRIVERINTERNALERROR : r.pendingBefore);
  }
}

// All four settings are always tried; any failure is an invalid call, the
// device's error pending.
TEST(DefaultRenderStates, EverySettingIsTriedAndAnyFailureIsAnInvalidCall) {
  const std::vector<std::string> all = {
      "Device.SetVertexShader(388)", "Device.SetRenderState(137, 0)",
      "Device.SetRenderState(19, 5)", "Device.SetRenderState(20, 6)"};
  for (std::size_t failing = 0; failing <= all.size(); ++failing) {
    SCOPED_TRACE(failing);
    ProgramPlatform tp;
    tp.MakeDevice();
    VertexFormat = 388;
    Err().Number = E_NOTIMPL;  // from before: does not count
    std::vector<std::string> calls = all;
    if (failing > 0) {
      std::string& step = calls[failing - 1];
      tp.Fail(step.substr(0, step.find('(')), E_FAIL,
              failing < 2 ? 1 : static_cast<int>(failing) - 1);
      step += " -> " + std::to_string(E_FAIL);
    }
    EXPECT_EQ(SetDefaultRenderStates(), failing ? D3DERR_INVALIDCALL : 0);
    EXPECT_EQ(Err().Number, failing ? E_FAIL : 0);  // the device's, not the result
    EXPECT_EQ(tp.Calls(), calls);
  }
}

// The view's eye is at minus the distance, negated with an overflow check
// once the world is set.
TEST(SetupMatrices, NegatingTheSmallestDistanceOverflowsAfterTheWorldIsSet) {
  ProgramPlatform tp;
  tp.MakeDevice();
  EXPECT_THROW(SetupMatrices(INT32_MIN), RuntimeError);
  EXPECT_EQ(Err().Number, ErrOverflow);
  EXPECT_EQ(tp.Device()->Transforms.count(D3DTS_WORLD), 1u);
  EXPECT_EQ(tp.Device()->Transforms.count(D3DTS_VIEW), 0u);
  SetupMatrices(INT32_MAX);  // the largest one is fine
  EXPECT_FLOAT_EQ(tp.Device()->Transforms.at(D3DTS_VIEW).m[3][2], 2147483648.0f);
}

}  // namespace
