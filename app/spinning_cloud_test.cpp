// The spinning-cloud loop run through the load event on the recording
// platform: its set-up, the calls of one frame, the keys, the single-precision
// steps, the frame-rate log and the ways out of the loop.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "app/frmTest.h"
#include "graphics/moduleDX8.h"
#include "input/keyboard.h"
#include "platform/d3dx8_math.h"
#include "tests/harness/program_platform.h"

namespace {

using Lines = std::vector<std::string>;

// The log without the 24000 random draws of the vertex set-up.
Lines WithoutDraws(const ProgramPlatform& tp) {
  Lines out;
  for (const std::string& line : tp.Calls())
    if (line.rfind("Rnd -> ", 0) != 0) out.push_back(line);
  return out;
}

// The lines from `first` (included) up to `last` (excluded).
Lines Between(const Lines& lines, const std::string& first, const std::string& last) {
  Lines out;
  bool in = false;
  for (const std::string& line : lines) {
    if (line == first) in = true;
    if (in && line == last) break;
    if (in) out.push_back(line);
  }
  return out;
}

std::string WorldLine(float rotX, float rotY) {
  D3DMATRIX rx, ry, rz, w;
  D3DXMatrixRotationX(rx, rotX);
  D3DXMatrixRotationY(ry, rotY);
  D3DXMatrixRotationZ(rz, 0.0f);
  D3DXMatrixMultiply(w, rx, ry);
  D3DXMatrixMultiply(w, rz, w);
  return "Device.SetTransform(256, " + FormatMatrix(w) + ")";
}

// A single-precision value plus a double step, rounded once.
float Step(float value, double step) { return static_cast<float>(static_cast<double>(value) + step); }

class SpinningCloud : public ::testing::Test {
 protected:
  ProgramPlatform tp;
  frmTest& form = tp.Form();
};

TEST_F(SpinningCloud, SetsUpThenRunsEachFrameInItsFixedOrder) {
  tp.PushKeys({DIK_ESCAPE});
  ASSERT_EQ(tp.RunFormLoad(), "exit 0");

  const Lines log = WithoutDraws(tp);
  EXPECT_EQ(tp.Count("Rnd"), 24000);
  const Lines setUp = Between(log, "ShowCursor(0) -> -1", "Keyboard.GetDeviceState");
  EXPECT_EQ(setUp, (Lines{"ShowCursor(0) -> -1",
                          "Device.SetRenderState(7, 1)",
                          "Device.SetTransform(256, [1 0 0 0; 0 1 0 0; 0 0 1 0; 0 0 0 1])",
                          "Device.SetTransform(2, [1 0 0 0; 0 1 0 0; 0 0 1 0; -0 -0 3 1])",
                          "Device.SetTransform(3, [2.4142158 0 0 0; 0 2.4142158 0 0; "
                          "0 0 1.001001 1; 0 0 -1.001001 0])",
                          "Timer -> 43200",
                          "Randomize(43200)",
                          "FileOpenForOutput(\"C:\\FPS.TXT\")"}));

  const Lines frame = Between(log, "Keyboard.GetDeviceState", "FileClose(1)");
  EXPECT_EQ(frame, (Lines{"Keyboard.GetDeviceState",
                          "Device.SetTransform(2, [1 0 0 0; 0 1 0 0; 0 0 1 0; -0 -0 5 1])",
                          WorldLine(0.01f, 0.02f),
                          "Device.BeginScene",
                          "Device.Clear(0, Nothing, 3, 4278190335, 1, 0)",
                          "Device.SetRenderState(27, 4294967295)",
                          "Device.CreateVertexBuffer(72000, 0, 834, 0)",
                          "VertexBuffer.Lock(0, 72000, 0)",
                          "VertexBuffer.Unlock",
                          "Device.SetStreamSource(0, VertexBuffer, 24)",
                          "Device.SetVertexShader(834)",
                          "Device.DrawPrimitive(4, 0, 1000)",
                          "GetTickCount -> 0",
                          "FilePrintLine(1, \"0\")",
                          "Device.SetRenderState(27, 0)",
                          "Device.EndScene",
                          "Form_hWnd",
                          "Device.Present(Nothing, Nothing, 4660, Nothing)"}));

  // The log is closed before the shutdown sequence starts.
  EXPECT_EQ(tp.IndexOf("FileClose(1)") + 1, tp.IndexOf("ShowCursor(1) -> 0"));

  // The drawn buffer holds the form's vertices byte for byte.
  const auto& draw = tp.Device()->LastDrawPrimitive;
  ASSERT_TRUE(draw);
  EXPECT_EQ(draw->Stride, 24u);
  EXPECT_EQ(draw->PrimitiveCount, 1000u);
  ASSERT_EQ(draw->Vertices.size(), sizeof form.Verts);
  EXPECT_EQ(std::memcmp(draw->Vertices.data(), form.Verts.data(), sizeof form.Verts), 0);
  EXPECT_EQ(form.VertexSize, 24);
  EXPECT_EQ(tp.LastVertexBuffer()->Pool, D3DPOOL_DEFAULT);
}

TEST_F(SpinningCloud, EscapeEndsTheLoopAfterTheFrameThatSeesIt) {
  tp.PushKeys({});
  tp.PushKeys({});
  tp.PushKeys({DIK_ESCAPE});
  ASSERT_EQ(tp.RunFormLoad(), "exit 0");
  EXPECT_EQ(tp.Count("Keyboard.GetDeviceState"), 3);
  EXPECT_EQ(tp.Count("Device.Present"), 3);
  EXPECT_EQ(tp.Count("FilePrintLine"), 3);
  EXPECT_EQ(tp.ReadTextFile("FPS.TXT"), "0\r\n0\r\n0\r\n");
  EXPECT_EQ(form.QuitRequested, kTrue);

  // One buffer per frame. Each goes in the next frame, once the form has
  // replaced it and the device has bound the new one; the form keeps the
  // last until the process ends.
  EXPECT_EQ(tp.VertexBuffersMade(), 3);
  Lines buffers;
  for (const std::string& line : tp.Calls())
    if (line.rfind("Device.CreateVertexBuffer", 0) == 0 || line == "release VertexBuffer" ||
        line.rfind("Device.SetStreamSource", 0) == 0)
      buffers.push_back(line.substr(0, line.find('(')));
  EXPECT_EQ(buffers, (Lines{"Device.CreateVertexBuffer", "Device.SetStreamSource",
                            "Device.CreateVertexBuffer", "Device.SetStreamSource",
                            "release VertexBuffer", "Device.CreateVertexBuffer",
                            "Device.SetStreamSource", "release VertexBuffer"}));
  EXPECT_TRUE(form.VertexBuffer);
  EXPECT_TRUE(tp.MessageBoxes().empty());
}

TEST_F(SpinningCloud, EscapeHeldFromTheFirstFrameDrawsAndLogsExactlyOnce) {
  for (int i = 0; i < 5; ++i) tp.PushKeys({DIK_ESCAPE});
  ASSERT_EQ(tp.RunFormLoad(), "exit 0");
  EXPECT_EQ(tp.Count("Device.BeginScene"), 1);
  EXPECT_EQ(tp.Count("Device.DrawPrimitive"), 1);
  EXPECT_EQ(tp.Count("Device.Present"), 1);
  EXPECT_EQ(tp.ReadTextFile("FPS.TXT"), "0\r\n");
  EXPECT_EQ(tp.Calls().back(), "End(0)");
}

TEST_F(SpinningCloud, KeysActOncePerFrameEachStepRoundedToSingle) {
  // Up and Down together, then Up alone twice, then Right and Left together,
  // then Left with only a low bit set (the whole byte counts), then Escape.
  tp.PushKeys({DIK_UP, DIK_DOWN});
  tp.PushKeys({DIK_UP});
  tp.PushKeys({DIK_UP});
  tp.PushKeys({DIK_RIGHT, DIK_LEFT});
  DIKEYBOARDSTATE lowBit{};
  lowBit[DIK_LEFT] = 0x01;
  tp.PushKeyState(lowBit);
  tp.PushKeys({DIK_ESCAPE});
  ASSERT_EQ(tp.RunFormLoad(), "exit 0");

  float z = -5.0f;
  z = Step(Step(z, -0.1), 0.1);
  z = Step(z, -0.1);
  z = Step(z, -0.1);
  EXPECT_EQ(form.CameraZ, z);

  float x = 0.0f, y = 0.0f;
  for (int frame = 1; frame <= 6; ++frame) {
    x = Step(x, 0.01);
    y = Step(y, 0.02);
    if (frame == 4) y = Step(Step(y, -0.1), 0.1);
    if (frame == 5) y = Step(y, 0.1);
  }
  EXPECT_EQ(form.RotX, x);
  EXPECT_EQ(form.RotY, y);

  // The last frame's view and world come from those values.
  const auto views = tp.CallsStartingWith("Device.SetTransform(2, ");
  ASSERT_EQ(views.size(), 7u);  // set-up, then one per frame
  EXPECT_EQ(views[3], "Device.SetTransform(2, [1 0 0 0; 0 1 0 0; 0 0 1 0; -0 -0 " +
                          FormatFloat(-z) + " 1])");
  EXPECT_EQ(tp.CallsStartingWith("Device.SetTransform(256, ").back(), WorldLine(x, y));
}

TEST_F(SpinningCloud, DownHeldTakesTheEyeThroughTheCloudToTheOtherSide) {
  for (int i = 0; i < 60; ++i) tp.PushKeys({DIK_DOWN});
  tp.PushKeys({DIK_DOWN, DIK_ESCAPE});
  ASSERT_EQ(tp.RunFormLoad(), "exit 0");
  EXPECT_GT(form.CameraZ, 1.0f);
  // Seen from +z the view looks back along -z.
  const D3DMATRIX& view = tp.Device()->Transforms.at(D3DTS_VIEW);
  EXPECT_EQ(view.m[0][0], -1.0f);
  EXPECT_EQ(view.m[2][2], -1.0f);
  EXPECT_FLOAT_EQ(view.m[3][2], form.CameraZ);
  EXPECT_TRUE(tp.MessageBoxes().empty());
}

TEST_F(SpinningCloud, TheAutomaticTurnStallsWhereItsStepFallsBelowHalfAUnit) {
  // 262144 = 2^18: a single there steps by 1/32, and 0.01 rounds away; 2^19
  // steps by 1/16, and 0.02 rounds away. Just below, both still move.
  form.RotX = 262144.0f;
  form.RotY = 524288.0f;
  tp.PushKeys({DIK_ESCAPE});
  ASSERT_EQ(tp.RunFormLoad(), "exit 0");
  EXPECT_EQ(form.RotX, 262144.0f);
  EXPECT_EQ(form.RotY, 524288.0f);
}

TEST_F(SpinningCloud, BelowTheStallTheTurnStillAdvancesAndKeysStillSteer) {
  form.RotX = std::nextafter(262144.0f, 0.0f);
  form.RotY = 524288.0f;
  tp.PushKeys({DIK_LEFT, DIK_ESCAPE});
  ASSERT_EQ(tp.RunFormLoad(), "exit 0");
  EXPECT_EQ(form.RotX, 262144.0f);
  EXPECT_EQ(form.RotY, 524288.125f);  // the 0.1 of Left is more than half a unit
}

TEST_F(SpinningCloud, AnInvalidAngleIsAnOverflowReportedBeforeAnythingIsDrawn) {
  form.RotX = std::numeric_limits<float>::quiet_NaN();
  tp.PushKeys({DIK_ESCAPE});
  ASSERT_EQ(tp.RunFormLoad(), "exit 1");
  EXPECT_EQ(tp.MessageBoxes(), Lines{"(6) Overflow"});
  EXPECT_EQ(tp.Count("Device.BeginScene"), 0);
  EXPECT_EQ(tp.ReadTextFile("FPS.TXT"), "");
}

TEST_F(SpinningCloud, AFailedFillLeavesTheLoadEventWithEverythingAlive) {
  tp.PushKeys({});
  tp.PushKeys({});
  tp.Fail("VertexBuffer.Lock", D3DERR_INVALIDCALL, 2);
  EXPECT_EQ(tp.RunFormLoad(), "returned without ending the process");

  // The first frame was logged; the failing one was not, and nothing after
  // the fill ran.
  EXPECT_EQ(tp.ReadTextFile("FPS.TXT"), "0\r\n");
  const Lines log = WithoutDraws(tp);
  EXPECT_EQ(log.back(), "VertexBuffer.Lock(0, 72000, 0) -> " + std::to_string(D3DERR_INVALIDCALL));
  EXPECT_EQ(tp.Count("Device.SetStreamSource"), 1);
  // No report, no shutdown: the scene stays open, the log unclosed, the
  // cursor hidden and every object held.
  EXPECT_TRUE(tp.MessageBoxes().empty());
  EXPECT_EQ(tp.Count("FileClose"), 0);
  EXPECT_EQ(tp.Count("DoEvents"), 0);
  EXPECT_FALSE(tp.ExitCode());
  EXPECT_TRUE(tp.Device()->InScene);
  EXPECT_EQ(tp.CursorCounter(), -1);
  EXPECT_TRUE(moduleDX8::D3DDevice && moduleDX8::DIKeyboard && form.VertexBuffer);
  // The first frame's buffer is still bound to the device.
  EXPECT_TRUE(tp.CallsStartingWith("release ").empty());
}

TEST_F(SpinningCloud, AFailedFillInTheFirstFrameLeavesAnEmptyLog) {
  tp.PushKeys({DIK_ESCAPE});
  tp.Fail("VertexBuffer.Unlock", E_FAIL, 1);
  EXPECT_EQ(tp.RunFormLoad(), "returned without ending the process");
  EXPECT_TRUE(tp.TextFileExists("FPS.TXT"));
  EXPECT_EQ(tp.ReadTextFile("FPS.TXT"), "");
  EXPECT_EQ(tp.Count("FilePrintLine"), 0);
}

TEST_F(SpinningCloud, AnErrorMidFrameIsReportedAndTheLogKeepsItsLines) {
  tp.PushKeys({});
  tp.PushKeys({});
  tp.PushKeys({});
  tp.Fail("Device.DrawPrimitive", D3DERR_INVALIDCALL, 3);
  ASSERT_EQ(tp.RunFormLoad(), "exit 1");
  EXPECT_EQ(tp.MessageBoxes(), Lines{"(-2005530516) " + DescribeError(D3DERR_INVALIDCALL)});
  EXPECT_EQ(tp.ReadTextFile("FPS.TXT"), "0\r\n0\r\n");
  // The report comes straight from the failing call: the scene begun in that
  // frame is not ended and the log is left to the end of the process.
  EXPECT_EQ(tp.Count("Device.EndScene"), 2);
  EXPECT_EQ(tp.Count("FileClose"), 0);
  EXPECT_EQ(tp.IndexOf("Device.DrawPrimitive(4, 0, 1000) -> " + std::to_string(D3DERR_INVALIDCALL)) + 1,
            tp.IndexOf("MsgBox(\"(-2005530516) " + DescribeError(D3DERR_INVALIDCALL) + "\")"));
  EXPECT_EQ(tp.Calls().back(), "End(1)");
}

TEST_F(SpinningCloud, SetUpFailuresAreReportedWithTheirNumbers) {
  {
    // A vertex that cannot be formed: SetupVertecies hands back its error and
    // the loop raises it again; no log is created.
    ProgramPlatform fresh;
    fresh.script.randomValues = {std::numeric_limits<float>::infinity()};
    ASSERT_EQ(fresh.RunFormLoad(), "exit 1");
    EXPECT_EQ(fresh.MessageBoxes(), Lines{"(6) Overflow"});
    EXPECT_EQ(fresh.Count("FileOpenForOutput"), 0);
    EXPECT_FALSE(fresh.TextFileExists("FPS.TXT"));
  }
  {
    ProgramPlatform fresh;
    fresh.Fail("FileOpenForOutput", ErrPermissionDenied);
    ASSERT_EQ(fresh.RunFormLoad(), "exit 1");
    EXPECT_EQ(fresh.MessageBoxes(), Lines{"(70) Permission denied"});
    EXPECT_EQ(fresh.Count("Keyboard.GetDeviceState"), 0);
  }
  {
    ProgramPlatform fresh;
    fresh.PushKeys({});
    fresh.Fail("FilePrintLine", ErrDiskFull, 2);
    ASSERT_EQ(fresh.RunFormLoad(), "exit 1");
    EXPECT_EQ(fresh.MessageBoxes(), Lines{"(61) Disk full"});
    EXPECT_EQ(fresh.ReadTextFile("FPS.TXT"), "0\r\n");
    EXPECT_EQ(fresh.Count("Device.EndScene"), 1);
  }
}

TEST_F(SpinningCloud, TheLogHoldsEachFramesSampleAsDigitsAndCrLf) {
  // Frame 3 passes a second since the start: three frames; frame 5 passes
  // another second: two frames. The counter reads the clock again after
  // each sample.
  tp.script.ticks = {0, 500, 1001, 1001, 1500, 2002, 2002, 2600};
  for (int i = 0; i < 5; ++i) tp.PushKeys({});
  tp.PushKeys({DIK_ESCAPE});
  // A log from an earlier run is emptied first.
  {
    std::ofstream old(std::filesystem::path(tp.DriveC()) / "FPS.TXT", std::ios::binary);
    old << "stale line\r\nanother\r\n";
  }
  ASSERT_EQ(tp.RunFormLoad(), "exit 0");
  EXPECT_EQ(tp.ReadTextFile("FPS.TXT"), "0\r\n0\r\n3\r\n3\r\n2\r\n2\r\n");
}

}  // namespace
