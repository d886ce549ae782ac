// The spinning-cloud loop run through the load event on the recording
// platform: its set-up, the calls of one frame, the keys, the single-precision
// steps and the frame-rate log. (Its failures, the fill failure among them,
// are the fault sweep's.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

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
float Step(float value, double step) {
  return static_cast<float>(static_cast<double>(value) + step);
}

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
  EXPECT_EQ(setUp,
            (Lines{"ShowCursor(0) -> -1", "Device.SetRenderState(7, 1)",
                   "Device.SetTransform(256, [1 0 0 0; 0 1 0 0; 0 0 1 0; 0 0 0 1])",
                   "Device.SetTransform(2, [1 0 0 0; 0 1 0 0; 0 0 1 0; -0 -0 3 1])",
                   "Device.SetTransform(3, [2.4142158 0 0 0; 0 2.4142158 0 0; "
                   "0 0 1.001001 1; 0 0 -1.001001 0])",
                   "Timer -> 43200", "Randomize(43200)", "FileOpenForOutput(\"C:\\FPS.TXT\")"}));

  const Lines frame = Between(log, "Keyboard.GetDeviceState", "FileClose(1)");
  EXPECT_EQ(
      frame,
      (Lines{"Keyboard.GetDeviceState",
             "Device.SetTransform(2, [1 0 0 0; 0 1 0 0; 0 0 1 0; -0 -0 5 1])",
             WorldLine(0.01f, 0.02f), "Device.BeginScene",
             "Device.Clear(0, Nothing, 3, 4278190335, 1, 0)",
             "Device.SetRenderState(27, 4294967295)", "Device.CreateVertexBuffer(72000, 0, 834, 0)",
             "VertexBuffer.Lock(0, 72000, 0)", "VertexBuffer.Unlock",
             "Device.SetStreamSource(0, VertexBuffer, 24)", "Device.SetVertexShader(834)",
             "Device.DrawPrimitive(4, 0, 1000)", "GetTickCount -> 0", "FilePrintLine(1, \"0\")",
             "Device.SetRenderState(27, 0)", "Device.EndScene", "Form_hWnd",
             "Device.Present(Nothing, Nothing, 4660, Nothing)"}));

  // The log is closed before the shutdown sequence starts.
  EXPECT_EQ(tp.IndexOf("FileClose(1)") + 1, tp.IndexOf("ShowCursor(1) -> 0"));

  // The drawn buffer holds the form's vertices byte for byte.
  const auto& draw = tp.Device()->LastDrawPrimitive;
  ASSERT_TRUE(draw);
  ASSERT_EQ(draw->Vertices.size(), sizeof form.Verts);
  EXPECT_EQ(std::memcmp(draw->Vertices.data(), form.Verts.data(), sizeof form.Verts), 0);
}

// Each row: the key state of each frame (Escape ends the loop after the frame
// that sees it) and the angles the form starts from. The form must end with
// the camera and angles of the keys' steps, each step rounded to single on
// its own, and the last frame's view and world made from them.
TEST_F(SpinningCloud, KeysActOncePerFrameEachStepRoundedToSingle) {
  DIKEYBOARDSTATE lowBitLeft{};
  lowBitLeft[DIK_LEFT] = 0x01;  // the whole byte counts, not its top bit
  const struct Row {
    const char* what;
    std::vector<DIKEYBOARDSTATE> frames;
    float rotX, rotY;
  } rows[] = {
      {"Escape is seen in the third frame",
       {{}, {}, ProgramPlatform::KeysDown({DIK_ESCAPE})},
       0,
       0},
      {"Escape held from the first frame: one frame",
       std::vector<DIKEYBOARDSTATE>(5, ProgramPlatform::KeysDown({DIK_ESCAPE})), 0, 0},
      {"Up and Down, Up twice, Right and Left, a low-bit Left",
       {ProgramPlatform::KeysDown({DIK_UP, DIK_DOWN}), ProgramPlatform::KeysDown({DIK_UP}),
        ProgramPlatform::KeysDown({DIK_UP}), ProgramPlatform::KeysDown({DIK_RIGHT, DIK_LEFT}),
        lowBitLeft, ProgramPlatform::KeysDown({DIK_ESCAPE})},
       0,
       0},
      {"Down held takes the eye through the cloud",
       std::vector<DIKEYBOARDSTATE>(61, ProgramPlatform::KeysDown({DIK_DOWN})), 0, 0},
      {"the turn stalls at 2^18 and 2^19",
       {ProgramPlatform::KeysDown({DIK_ESCAPE})},
       262144.0f,
       524288.0f},
      {"just below, it still moves, and Left's 0.1 is more than half a unit",
       {ProgramPlatform::KeysDown({DIK_LEFT, DIK_ESCAPE})},
       std::nextafter(262144.0f, 0.0f),
       524288.0f},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    ProgramPlatform tp;
    frmTest& form = tp.Form();
    form.RotX = r.rotX;
    form.RotY = r.rotY;
    for (const DIKEYBOARDSTATE& keys : r.frames) tp.PushKeyState(keys);
    if (r.frames.back()[DIK_ESCAPE] == 0) tp.PushKeys({DIK_ESCAPE});
    ASSERT_EQ(tp.RunFormLoad(), "exit 0");

    float x = r.rotX, y = r.rotY, z = -5.0f;
    int frames = 0;
    for (const DIKEYBOARDSTATE& keys : r.frames) {
      ++frames;
      x = Step(x, 0.01);
      y = Step(y, 0.02);
      if (keys[DIK_UP]) z = Step(z, -0.1);
      if (keys[DIK_DOWN]) z = Step(z, 0.1);
      if (keys[DIK_RIGHT]) y = Step(y, -0.1);
      if (keys[DIK_LEFT]) y = Step(y, 0.1);
      if (keys[DIK_ESCAPE]) break;
    }
    if (r.frames.back()[DIK_ESCAPE] == 0) {
      ++frames;
      x = Step(x, 0.01);
      y = Step(y, 0.02);
    }
    EXPECT_EQ(form.CameraZ, z);
    EXPECT_EQ(form.RotX, x);
    EXPECT_EQ(form.RotY, y);
    EXPECT_EQ(tp.Count("Device.Present"), frames);
    EXPECT_EQ(tp.Count("Keyboard.GetDeviceState"), frames);
    std::string log;
    for (int i = 0; i < frames; ++i) log += "0\r\n";
    EXPECT_EQ(tp.ReadTextFile("FPS.TXT"), log);
    EXPECT_EQ(tp.CallsStartingWith("Device.SetTransform(256, ").back(), WorldLine(x, y));
    // Seen from +z the view looks back along -z.
    const D3DMATRIX& view = tp.Device()->Transforms.at(D3DTS_VIEW);
    EXPECT_EQ(view.m[0][0], z > 0 ? -1.0f : 1.0f);
    EXPECT_FLOAT_EQ(view.m[3][2], z > 0 ? z : -z);
    // One buffer per frame; the form keeps the last until the process ends.
    EXPECT_EQ(tp.VertexBuffersMade(), frames);
    EXPECT_EQ(static_cast<int>(tp.CallsStartingWith("release VertexBuffer").size()), frames - 1);
    EXPECT_TRUE(tp.MessageBoxes().empty());
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
