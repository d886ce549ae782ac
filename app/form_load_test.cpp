// frmTest::Form_Load: the start-up order, the loop chosen by the vertex
// format, the runs that stop early without a failing call, and the picture
// loop; and the form's SetupPixelFog. (Shutdown order and every failing
// platform call with its one report are the fault sweep's.)
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <new>

#include "app/frmTest.h"
#include "graphics/moduleDX8.h"
#include "graphics/picture.h"
#include "input/keyboard.h"
#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

using Lines = std::vector<std::string>;

// clang-format off
const Lines kStartUp = {
    "new DirectX8", "DX.Direct3DCreate",
    "D3D.CreateDevice(0, 1, 4660, 32, {640, 480, 23, 1, 0, 2, 0, 0, 1, 80, 0, 0, 0})",
    "new D3DX8", "DX.DirectInputCreate", "DI.CreateDevice(\"GUID_SysKeyboard\")",
    "Keyboard.SetCommonDataFormat(1)", "Keyboard.SetCooperativeLevel(4660, 10)", "Keyboard.Acquire",
    "Form_Font", "Font.put_Name(\"Arial\")", "Font.get_hFont", "D3DX.CreateFont(Device, 22136)",
    "ShowCursor(0) -> -1"};
// clang-format on

// Each row: the vertex-format code, the loop's draw call (none: no loop) and
// the exit code. The start-up is the same for all.
TEST(FormLoad, StartsUpInOrderThenTheVertexFormatChoosesTheLoop) {
  // clang-format off
  const struct { std::int32_t code; const char* drawn; int exit; } rows[] = {
      {834, "Device.DrawPrimitive", 0},
      {388, "Device.DrawPrimitiveUP", 0},
      {962, "Device.DrawPrimitive", 0},
      {594, "Device.DrawPrimitive", 1},  // its normal and colour are not in the vertex: refused
      {0, nullptr, 0},
      {389, nullptr, 0},
  };
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(r.code);
    ProgramPlatform tp;
    if (r.code != 834) EditedVertexFormat{tp, r.code};
    tp.PushKeys({DIK_ESCAPE});
    if (r.code == 388) tp.script.closeFormAtDoEvents = 1;
    EXPECT_EQ(tp.RunFormLoad(), "exit " + std::to_string(r.exit));
    int last = -1;
    for (const std::string& line : kStartUp) {
      EXPECT_GT(tp.IndexOf(line), last) << line << " missing or out of order";
      last = std::max(last, tp.IndexOf(line));
    }
    for (const char* draw : {"Device.DrawPrimitiveUP", "Device.DrawPrimitive"})
      EXPECT_EQ(tp.Count(draw), r.drawn && std::string(draw) == r.drawn ? 1 : 0) << draw;
    // Without a loop the cursor is hidden and at once shown again.
    if (!r.drawn) {
      EXPECT_EQ(tp.IndexOf("ShowCursor(1)"), tp.IndexOf("ShowCursor(0) -> -1") + 1);
    }
  }
}

// Runs that stop with no platform call failing: the one report, then the
// shutdown (exit 1).
TEST(FormLoad, AStartUpThatStopsReportsOnce) {
  const float kNaN = std::numeric_limits<float>::quiet_NaN();
  const float kInf = std::numeric_limits<float>::infinity();
  // clang-format off
  const struct {
    std::function<void(ProgramPlatform&)> arrange;
    std::string box;
    const char* never;  // a later step that must not run
  } rows[] = {
      {[](ProgramPlatform& tp) { tp.script.modes = {{800, 600, 60, D3DFMT_R5G6B5}}; },
       "(-2005530517) " + DescribeError(D3DERR_INVALIDDEVICE), "new D3DX8"},  // its own result
      {[](ProgramPlatform& tp) { tp.script.usableDeviceTypes = {}; tp.script.unusableDeviceStatus = E_NOTIMPL; },
       "(-2147467263) " + DescribeError(E_NOTIMPL), "new D3DX8"},  // the pending error
      {[kNaN](ProgramPlatform& tp) { tp.Form().RotX = kNaN; }, "(6) Overflow", "Device.BeginScene"},
      {[kInf](ProgramPlatform& tp) { tp.script.randomValues = {kInf}; }, "(6) Overflow", "FileOpenForOutput"},
      {[](ProgramPlatform& tp) { tp.script.beforeNewDirectX8 = [] { throw std::bad_alloc(); }; },
       "(7) " + DescribeError(ErrOutOfMemory), "DX.Direct3DCreate"},
  };
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(r.box);
    ProgramPlatform tp;
    tp.PushKeys({DIK_ESCAPE});
    r.arrange(tp);
    EXPECT_EQ(tp.RunFormLoad(), "exit 1");
    EXPECT_EQ(tp.MessageBoxes(), Lines{r.box});
    EXPECT_EQ(tp.Count(r.never), 0);
    EXPECT_EQ(tp.Calls().back(), "End(1)");
  }
}

// The picture loop (code 388): the same quad every frame, each frame ending
// with one message pass, until the pass that delivers the window's close.
TEST(PictureLoop, DrawsTheSameQuadEveryFrameUntilTheWindowIsClosed) {
  ProgramPlatform tp;
  EditedVertexFormat format(tp);
  tp.script.closeFormAtDoEvents = 3;
  ASSERT_EQ(tp.RunFormLoad(), "exit 0");
  // clang-format off
  const Lines frame = {"Device.BeginScene", "Device.Clear(0, Nothing, 1, 0, 0, 0)",
                       "Device.SetTexture(0, Nothing)", "Device.DrawPrimitiveUP(5, 2, <128 bytes>, 32)",
                       "Device.EndScene", "Form_hWnd", "Device.Present(Nothing, Nothing, 4660, Nothing)",
                       "DoEvents"};
  // clang-format on
  Lines expected = {"ShowCursor(0) -> -1", "SetFormEvents"};
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), frame.begin(), frame.end());
  expected.insert(expected.end(), {"form closed", "ShowCursor(1) -> 0"});
  const auto start = tp.Calls().begin() + tp.IndexOf("ShowCursor(0) -> -1");
  EXPECT_EQ(Lines(start, start + static_cast<std::ptrdiff_t>(expected.size())), expected);
  EXPECT_EQ(tp.Count("Rnd") + tp.Count("FileOpenForOutput"), 0);  // nothing of the cloud's
  EXPECT_EQ(tp.Form().MainPicture.Width, 640.0f);
  EXPECT_EQ(tp.Form().MainPicture.Height, 480.0f);

  // Bottom-left, top-left, bottom-right, top-right over the fixed edges. The
  // runtime's RGB(255, 0, 0) reaches the device as blue, RGB(0, 0, 255) as red.
  // clang-format off
  const PictureVertex want[4] = {{0, 600, 0, 1, 0x00FF0000, 0, 0, 1}, {0, 0, 0, 1, 0x000000FF, 0, 0, 0},
                                 {800, 600, 0, 1, 0x00FFFF00, 0, 1, 1}, {800, 0, 0, 1, 0x0000FF00, 0, 1, 0}};
  // clang-format on
  const std::vector<BYTE>& drawn = *tp.Device()->LastDrawPrimitiveUP;
  ASSERT_EQ(drawn.size(), sizeof want);
  EXPECT_EQ(std::memcmp(drawn.data(), want, sizeof want), 0);
}

// Each row: the fog mode, which render-state call fails (0: none) and the
// calls made. The colour goes through bit for bit; a failure stops the rest.
TEST(PixelFog, EachModeSetsItsStatesInOrder) {
  frmTest form;
  const std::string on = "Device.SetRenderState(28, 4294967295)";
  const std::string colour = "Device.SetRenderState(34, 2870097012)";  // 0xAB123474
  const auto mode = [](std::int32_t m) {
    return "Device.SetRenderState(35, " + std::to_string(static_cast<DWORD>(m)) + ")";
  };
  // 0.5, 0.8 and 0.66 as single-precision bit patterns.
  const std::string start = "Device.SetRenderState(36, 1056964608)";
  const std::string end = "Device.SetRenderState(37, 1061997773)";
  const std::string density = "Device.SetRenderState(38, 1059648963)";
  const std::string failed = " -> " + std::to_string(D3DERR_INVALIDCALL);
  // clang-format off
  const struct { std::int32_t mode; int failing; Lines calls; } rows[] = {
      {D3DFOG_LINEAR, 0, {on, colour, mode(3), start, end}},
      {D3DFOG_EXP, 0, {on, colour, mode(1), density}},
      {D3DFOG_EXP2, 0, {on, colour, mode(2), density}},
      {-1, 0, {on, colour, mode(-1), density}},  // any other value as it is
      {D3DFOG_EXP, 2, {on, colour + failed}},
      {D3DFOG_LINEAR, 5, {on, colour, mode(3), start, end + failed}},
  };
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.mode) + " failing " + std::to_string(r.failing));
    ProgramPlatform tp;
    tp.MakeDevice();
    if (r.failing) tp.Fail("Device.SetRenderState", D3DERR_INVALIDCALL, r.failing);
    EXPECT_EQ(form.SetupPixelFog(0xAB123474, r.mode), r.failing ? D3DERR_INVALIDCALL : 0);
    EXPECT_EQ(tp.Calls(), r.calls);
  }
}

}  // namespace
