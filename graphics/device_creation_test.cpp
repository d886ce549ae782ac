// InitD3D over the recording platform: which device type, full screen or
// windowed, the presentation parameters, and what each refusal returns and
// leaves pending. (Every failing call with its report is the fault sweep's.)
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

struct Row {
  const char* what;
  std::function<void(ProgramPlatform&)> arrange;
  Args args;
  std::int32_t result, pending;
  const char* params;  // the presentation parameters afterwards
  Lines made, never;   // calls made (by their start) and calls never made
};

void Nothing(ProgramPlatform&) {}
void PalettizedDesktop(ProgramPlatform& tp) { tp.script.desktop.Format = D3DFMT_P8; }

// clang-format off
const Row kRows[] = {
    {"full screen on the hardware device", Nothing, kFullScreen, 0, 0, kFullScreenParams,
     {"D3D.GetDeviceCaps(0, 1)", "D3D.CheckDeviceFormat(0, 1, 23, 2, 1, 80)",
      "D3D.CreateDevice(0, 1, 4660, 32, ", "Device.SetVertexShader(834)"},
     {"D3D.GetDeviceCaps(0, 2)", "MsgBox"}},
    {"the format of the first mode of the size",
     [](ProgramPlatform& tp) {
       tp.script.modes = {{800, 600, 60, D3DFMT_R5G6B5},
                          {640, 480, 85, D3DFMT_X8R8G8B8},
                          {640, 480, 60, D3DFMT_R5G6B5}};
     },
     {1, 640, 480, 16, 2, D3DFMT_D16}, 0, 0, "{640, 480, 22, 2, 0, 2, 0, 0, 1, 80, 0, 0, 0}", {},
     {}},
    {"the reference device when the hardware one fails its probe, its error cleared",
     [](ProgramPlatform& tp) { tp.script.usableDeviceTypes = {D3DDEVTYPE_REF}; }, kFullScreen, 0,
     0, kFullScreenParams,
     {"D3D.GetDeviceCaps(0, 2)", "D3D.CheckDeviceFormat(0, 2, 23, 2, 1, 80)",
      "D3D.CreateDevice(0, 2, "},
     {}},
    {"neither type: not available, the second probe's error pending",
     [](ProgramPlatform& tp) {
       tp.script.usableDeviceTypes = {};
       tp.Fail("D3D.GetDeviceCaps", E_FAIL, 2);
     },
     kFullScreen, D3DERR_NOTAVAILABLE, E_FAIL, kNone, {},
     {"D3D.GetAdapterDisplayMode", "D3D.CreateDevice"}},
    {"windowed when the sum is 0", Nothing, {9, 0, 0, 0, 3, 80}, 0, 0, kWindowedParams, {},
     {"D3D.CheckDeviceFormat", "D3D.GetAdapterModeCount"}},
    {"windowed when the sum is 0 (100 - 100)", Nothing, {9, 100, -100, 0, 3, 80}, 0, 0,
     kWindowedParams, {}, {"D3D.GetAdapterModeCount"}},
    {"windowed when the sum is 0 (-16 + 16)", Nothing, {9, -16, 0, 16, 3, 80}, 0, 0,
     kWindowedParams, {}, {"D3D.GetAdapterModeCount"}},
    {"an overflow in the first addition is windowed", PalettizedDesktop, {9, INT_MAX, 1, -5, 1, 80},
     D3DERR_INVALIDDEVICE, ErrOverflow, kNone, {}, {"D3D.GetAdapterModeCount"}},
    {"an overflow in the second addition is windowed", PalettizedDesktop,
     {9, INT_MIN, -1, 1, 1, 80}, D3DERR_INVALIDDEVICE, ErrOverflow, kNone, {},
     {"D3D.GetAdapterModeCount"}},
    {"windowed refuses a palettized desktop with nothing pending", PalettizedDesktop, kWindowed,
     D3DERR_INVALIDDEVICE, 0, kNone, {}, {"D3D.CreateDevice"}},
    {"windowed refuses the other palettized format",
     [](ProgramPlatform& tp) { tp.script.desktop.Format = D3DFMT_A8P8; }, kWindowed,
     D3DERR_INVALIDDEVICE, 0, kNone, {}, {"D3D.CreateDevice"}},
    {"no mode of the size", [](ProgramPlatform& tp) { tp.script.modes = {{800, 600, 60, 23}}; },
     kFullScreen, D3DERR_INVALIDDEVICE, 0, kNone, {}, {"D3D.CreateDevice"}},
    {"a failed mode enumeration is an invalid device, its error pending",
     [](ProgramPlatform& tp) { tp.Fail("D3D.EnumAdapterModes", E_FAIL); }, kFullScreen,
     D3DERR_INVALIDDEVICE, E_FAIL, kNone, {}, {"D3D.CreateDevice"}},
    {"a failed desktop query fails full screen",
     [](ProgramPlatform& tp) { tp.Fail("D3D.GetAdapterDisplayMode", E_FAIL); }, kFullScreen,
     D3DERR_INVALIDDEVICE, E_FAIL, kNone, {}, {"D3D.EnumAdapterModes"}},
    {"a failed desktop query goes unnoticed windowed, the old mode kept",
     [](ProgramPlatform& tp) {
       DispMode = {1, 2, 3, D3DFMT_R5G6B5};
       tp.Fail("D3D.GetAdapterDisplayMode", E_FAIL);
     },
     kWindowed, 0, 0, "{0, 0, 23, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0}", {"D3D.CreateDevice"}, {}},
    {"a refused depth format: no depth buffer",
     [](ProgramPlatform& tp) { tp.script.depthFormatCheck = D3DERR_NOTAVAILABLE; }, kFullScreen,
     0, 0, kNoDepthBuffer, {"D3D.CreateDevice"}, {"MsgBox"}},
    {"no depth format 0 is asked for", Nothing, {4660, 640, 480, 16, 1, 0}, 0, 0, kNoDepthBuffer,
     {}, {"D3D.CheckDeviceFormat"}},
    {"nor a negative one", Nothing, {4660, 640, 480, 16, 1, -80}, 0, 0, kNoDepthBuffer, {},
     {"D3D.CheckDeviceFormat"}},
    {"a second call keeps the fields it does not write",
     [](ProgramPlatform&) {
       ASSERT_EQ(InitD3D(4660, 640, 480, 16, 1, D3DFMT_D16), 0);
       ASSERT_EQ(InitD3D(9, 0, 0, 0, 1, 0), 0);
       D3D = nullptr;
     },
     kWindowed, 0, 0, "{640, 480, 22, 1, 0, 1, 0, 1, 1, 80, 0, 0, 0}", {}, {}},
};
// clang-format on

TEST(DeviceCreation, InitD3DChoosesTheDeviceAndItsParameters) {
  for (const Row& r : kRows) {
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
    for (const std::string& call : r.made) EXPECT_GE(tp.IndexStartingWith(call), 0) << call;
    for (const std::string& call : r.never) EXPECT_EQ(tp.Count(call), 0) << call;
  }
}

}  // namespace
