// frmTest::Form_Load: the start-up and shutdown order, the loop chosen by the
// vertex format, and how the runs that stop early are reported. (That every
// run shuts down once, in order, and every platform call failing in turn with
// its one report, are the fault sweep's.)
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <new>

#include "app/frmTest.h"
#include "graphics/moduleDX8.h"
#include "input/keyboard.h"
#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

using Lines = std::vector<std::string>;

const Lines kStartUp = {
    "new DirectX8",
    "DX.Direct3DCreate",
    "D3D.CreateDevice(0, 1, 4660, 32, {640, 480, 23, 1, 0, 2, 0, 0, 1, 80, 0, 0, 0})",
    "new D3DX8",
    "DX.DirectInputCreate",
    "DI.CreateDevice(\"GUID_SysKeyboard\")",
    "Keyboard.SetCommonDataFormat(1)",
    "Keyboard.SetCooperativeLevel(4660, 10)",
    "Keyboard.Acquire",
    "Form_Font",
    "Font.put_Name(\"Arial\")",
    "Font.get_hFont",
    "D3DX.CreateFont(Device, 22136)",
    "ShowCursor(0) -> -1",
};

const Lines kShutdown = {
    "ShowCursor(1) -> 0", "Keyboard.Unacquire", "release Keyboard", "release DI", "release D3DX",
    "release Device",     "release D3D",        "release DX",       "DoEvents",   "End(0)"};

// The lines of `expected` appear in the log in this order.
void ExpectInOrder(const ProgramPlatform& tp, const Lines& expected) {
  int last = -1;
  for (const std::string& line : expected) {
    const int at = tp.IndexOf(line);
    EXPECT_GT(at, last) << line << " missing or out of order";
    if (at >= 0) last = at;
  }
}

TEST(FormLoad, ANormalRunStartsAndShutsDownInOrder) {
  ProgramPlatform tp;
  tp.PushKeys({DIK_ESCAPE});
  EXPECT_EQ(tp.RunFormLoad(), "exit 0");
  ExpectInOrder(tp, kStartUp);
  ExpectInOrder(tp, kShutdown);
  EXPECT_TRUE(tp.MessageBoxes().empty());
  EXPECT_EQ(tp.script.fontName, "Arial");  // the form's own font object, renamed
  EXPECT_TRUE(tp.Form().FormFont && tp.Form().D3DFont);
}

TEST(FormLoad, TheVertexFormatChoosesTheLoop) {
  // clang-format off
  const struct {
    std::int32_t code;
    const char* drawn;  // the loop's draw call, or none
    int exit;
  } rows[] = {{388, "Device.DrawPrimitiveUP", 0}, {962, "Device.DrawPrimitive", 0},
              // 594 reads a normal and a diffuse colour the 24-byte vertex
              // does not hold: the devices refuse the draw, and it is reported.
              {594, "Device.DrawPrimitive", 1},   {0, nullptr, 0},
              {389, nullptr, 0}};
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(r.code);
    ProgramPlatform tp;
    EditedVertexFormat format(tp, r.code);
    tp.PushKeys({DIK_ESCAPE});
    if (r.code == 388) tp.script.closeFormAtDoEvents = 1;
    EXPECT_EQ(tp.RunFormLoad(), "exit " + std::to_string(r.exit));
    for (const char* draw : {"Device.DrawPrimitiveUP", "Device.DrawPrimitive"})
      EXPECT_EQ(tp.Count(draw), r.drawn && std::string(draw) == r.drawn ? 1 : 0) << draw;
    // Without a loop the cursor is hidden and at once shown again.
    if (!r.drawn) {
      EXPECT_EQ(tp.IndexStartingWith("ShowCursor(1)"), tp.IndexOf("ShowCursor(0) -> -1") + 1);
    }
    EXPECT_EQ(tp.Calls().back(), "End(" + std::to_string(r.exit) + ")");
  }
}

TEST(FormLoad, AStartUpThatStopsReportsOnceAndShutsDown) {
  struct Row {
    const char* what;
    std::function<void(ProgramPlatform&)> arrange;
    Lines boxes;
    Lines reached, never;
  };
  const std::string invalidCall = "(-2005530516) " + DescribeError(D3DERR_INVALIDCALL);
  const Row rows[] = {
      {"InitDX fails",
       [](ProgramPlatform& tp) { tp.Fail("new DirectX8", E_FAIL); },
       {"(-2147467259) E_FAIL: unspecified failure"},
       {},
       {"DX.Direct3DCreate", "new D3DX8", "DX.DirectInputCreate", "Form_Font", "ShowCursor(0)"}},
      {"InitD3D refuses with nothing pending: its own result",
       [](ProgramPlatform& tp) {
         tp.script.modes = {{800, 600, 60, D3DFMT_R5G6B5}};
       },
       {"(-2005530517) " + DescribeError(D3DERR_INVALIDDEVICE)},
       {"DX.Direct3DCreate"},
       {"new D3DX8"}},
      {"InitD3D refuses with an error pending: that error",
       [](ProgramPlatform& tp) {
         tp.script.usableDeviceTypes = {};
         tp.script.unusableDeviceStatus = E_NOTIMPL;
       },
       {"(-2147467263) " + DescribeError(E_NOTIMPL)},
       {},
       {"new D3DX8"}},
      {"no device: its box, then the font needs it",
       [](ProgramPlatform& tp) { tp.Fail("D3D.CreateDevice", D3DERR_NOTAVAILABLE); },
       {"Unable to initialize the device", invalidCall},
       {"Keyboard.Acquire"},
       {"ShowCursor(0)"}},
      {"the second window handle read is the keyboard's",
       [](ProgramPlatform& tp) { tp.Fail("Form_hWnd", E_FAIL, 2); },
       {"(-2147467259) " + DescribeError(E_FAIL)},
       {"DX.DirectInputCreate"},
       {"DI.CreateDevice"}},
      {"an angle that is no number: an overflow before any frame",
       [](ProgramPlatform& tp) { tp.Form().RotX = std::numeric_limits<float>::quiet_NaN(); },
       {"(6) Overflow"},
       {"FileOpenForOutput(\"C:\\FPS.TXT\")"},
       {"Device.BeginScene"}},
      {"a vertex that cannot be formed: an overflow before the log is made",
       [](ProgramPlatform& tp) {
         tp.script.randomValues = {std::numeric_limits<float>::infinity()};
       },
       {"(6) Overflow"},
       {},
       {"FileOpenForOutput"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    ProgramPlatform tp;
    tp.PushKeys({DIK_ESCAPE});
    r.arrange(tp);
    EXPECT_EQ(tp.RunFormLoad(), "exit 1");
    EXPECT_EQ(tp.MessageBoxes(), r.boxes);
    for (const std::string& step : r.reached) EXPECT_GE(tp.IndexOf(step), 0) << step;
    for (const std::string& step : r.never) EXPECT_EQ(tp.Count(step), 0) << step;
    EXPECT_EQ(tp.Calls().back(), "End(1)");
  }
}

// Memory running out anywhere is reported like any error, as the runtime's
// "Out of memory", and shut down after.
TEST(FormLoad, RunningOutOfMemoryIsReportedAsError7) {
  struct NoMemory final : PlatformObjects {
    explicit NoMemory(ProgramPlatform& tp) : tp(tp) { InstallPlatform({this, &tp, &tp}); }
    ~NoMemory() override { InstallPlatform({&tp, &tp, &tp}); }
    HRESULT NewDirectX8(Ref<DirectX8>&) override { throw std::bad_alloc(); }
    HRESULT NewD3DX8(Ref<D3DX8>& d3dx) override { return tp.NewD3DX8(d3dx); }
    ProgramPlatform& tp;
  };
  ProgramPlatform tp;
  NoMemory noMemory(tp);
  EXPECT_EQ(tp.RunFormLoad(), "exit 1");
  EXPECT_EQ(tp.MessageBoxes(), Lines{"(7) " + DescribeError(ErrOutOfMemory)});
  EXPECT_EQ(tp.Calls().back(), "End(1)");
}

}  // namespace
