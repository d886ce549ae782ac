// The spinning-cloud loop run through the load event on the recording
// platform: its set-up, the calls of one frame, the keys, the single-precision
// steps and the frame-rate log; and its vertices. (Its failures, the fill
// failure among them, are the fault sweep's.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "app/frmTest.h"
#include "graphics/moduleDX8.h"
#include "input/keyboard.h"
#include "platform/d3dx8_math.h"
#include "tests/harness/program_platform.h"

namespace {

using Lines = std::vector<std::string>;

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

// The set-up, one frame in its fixed order, and the log closed just before
// the shutdown starts.
TEST_F(SpinningCloud, SetsUpThenRunsEachFrameInItsFixedOrder) {
  tp.PushKeys({DIK_ESCAPE});
  ASSERT_EQ(tp.RunFormLoad(), "exit 0");
  EXPECT_EQ(tp.Count("Rnd"), 24000);
  Lines log;  // from the cursor hidden to shown, without the random draws
  for (std::size_t i = static_cast<std::size_t>(tp.IndexOf("ShowCursor(0) -> -1"));
       i < tp.Calls().size() && (log.empty() || log.back() != "ShowCursor(1) -> 0"); ++i)
    if (tp.Calls()[i].rfind("Rnd -> ", 0) != 0) log.push_back(tp.Calls()[i]);
  // clang-format off
  EXPECT_EQ(log, (Lines{
      "ShowCursor(0) -> -1", "Device.SetRenderState(7, 1)",
      "Device.SetTransform(256, [1 0 0 0; 0 1 0 0; 0 0 1 0; 0 0 0 1])",
      "Device.SetTransform(2, [1 0 0 0; 0 1 0 0; 0 0 1 0; -0 -0 3 1])",
      "Device.SetTransform(3, [2.4142158 0 0 0; 0 2.4142158 0 0; 0 0 1.001001 1; 0 0 -1.001001 0])",
      "Timer -> 43200", "Randomize(43200)", "FileOpenForOutput(\"C:\\FPS.TXT\")",
      "Keyboard.GetDeviceState", "Device.SetTransform(2, [1 0 0 0; 0 1 0 0; 0 0 1 0; -0 -0 5 1])",
      WorldLine(0.01f, 0.02f), "Device.BeginScene", "Device.Clear(0, Nothing, 3, 4278190335, 1, 0)",
      "Device.SetRenderState(27, 4294967295)", "Device.CreateVertexBuffer(72000, 0, 834, 0)",
      "VertexBuffer.Lock(0, 72000, 0)", "VertexBuffer.Unlock", "Device.SetStreamSource(0, VertexBuffer, 24)",
      "Device.SetVertexShader(834)", "Device.DrawPrimitive(4, 0, 1000)", "GetTickCount -> 0",
      "FilePrintLine(1, \"0\")", "Device.SetRenderState(27, 0)", "Device.EndScene", "Form_hWnd",
      "Device.Present(Nothing, Nothing, 4660, Nothing)", "FileClose(1)", "ShowCursor(1) -> 0"}));
  // clang-format on
  // The drawn buffer holds the form's vertices byte for byte.
  const auto& draw = tp.Device()->LastDrawPrimitive;
  ASSERT_TRUE(draw);
  ASSERT_EQ(draw->size(), sizeof form.Verts);
  EXPECT_EQ(std::memcmp(draw->data(), form.Verts.data(), sizeof form.Verts), 0);
}

// Each row: the key state of each frame (Escape ends the loop after the frame
// that sees it) and the angles the form starts from. The form must end with
// the camera and angles of the keys' steps, each rounded to single on its own.
TEST_F(SpinningCloud, KeysActOncePerFrameEachStepRoundedToSingle) {
  using K = DIKEYBOARDSTATE;
  const auto down = [](std::initializer_list<int> keys) { return ProgramPlatform::KeysDown(keys); };
  K lowBitLeft{};
  lowBitLeft[DIK_LEFT] = 0x01;  // the whole byte counts, not its top bit
  const float belowEdge = std::nextafter(262144.0f, 0.0f);
  // clang-format off
  const struct { std::vector<K> frames; float rotX, rotY; } rows[] = {
      {{{}, {}, down({DIK_ESCAPE})}, 0, 0},
      {std::vector<K>(5, down({DIK_ESCAPE})), 0, 0},  // held from the first frame: one frame
      {{down({DIK_UP, DIK_DOWN}), down({DIK_UP}), down({DIK_UP}), down({DIK_RIGHT, DIK_LEFT}), lowBitLeft}, 0, 0},
      {std::vector<K>(61, down({DIK_DOWN})), 0, 0},  // the eye goes through the cloud
      {{down({DIK_ESCAPE})}, 262144.0f, 524288.0f},  // the turn stalls at 2^18 and 2^19
      {{down({DIK_LEFT, DIK_ESCAPE})}, belowEdge, 524288.0f},  // Left's 0.1 is over half a unit
  };
  // clang-format on
  for (std::size_t row = 0; row < std::size(rows); ++row) {
    const auto& r = rows[row];
    SCOPED_TRACE(row);
    ProgramPlatform tp;
    frmTest& form = tp.Form();
    form.RotX = r.rotX;
    form.RotY = r.rotY;
    std::vector<K> frames = r.frames;
    if (frames.back()[DIK_ESCAPE] == 0) frames.push_back(down({DIK_ESCAPE}));
    for (const K& keys : frames) tp.script.keyStates.push_back(keys);
    ASSERT_EQ(tp.RunFormLoad(), "exit 0");

    float x = r.rotX, y = r.rotY, z = -5.0f;
    int drawn = 0;
    for (const K& keys : frames) {
      ++drawn;
      x = Step(x, 0.01);
      y = Step(y, 0.02);
      if (keys[DIK_UP]) z = Step(z, -0.1);
      if (keys[DIK_DOWN]) z = Step(z, 0.1);
      if (keys[DIK_RIGHT]) y = Step(y, -0.1);
      if (keys[DIK_LEFT]) y = Step(y, 0.1);
      if (keys[DIK_ESCAPE]) break;
    }
    EXPECT_EQ(form.CameraZ, z);
    EXPECT_EQ(form.RotX, x);
    EXPECT_EQ(form.RotY, y);
    EXPECT_EQ(tp.Count("Device.Present"), drawn);
    EXPECT_EQ(
        "Device.SetTransform(256, " + FormatMatrix(tp.Device()->Transforms.at(D3DTS_WORLD)) + ")",
        WorldLine(x, y));
    // Seen from +z the view looks back along -z.
    const D3DMATRIX& view = tp.Device()->Transforms.at(D3DTS_VIEW);
    EXPECT_EQ(view.m[0][0], z > 0 ? -1.0f : 1.0f);
    EXPECT_FLOAT_EQ(view.m[3][2], z > 0 ? z : -z);
  }
}

TEST_F(SpinningCloud, TheLogHoldsEachFramesSampleAsDigitsAndCrLf) {
  // Frame 3 passes a second since the start: three frames; frame 5 passes
  // another second: two frames. The counter reads the clock again after
  // each sample.
  tp.script.ticks = {0, 500, 1001, 1001, 1500, 2002, 2002, 2600};
  for (int i = 0; i < 5; ++i) tp.PushKeys({});
  tp.PushKeys({DIK_ESCAPE});
  ASSERT_EQ(tp.RunFormLoad(), "exit 0");
  EXPECT_EQ(tp.ReadTextFile("FPS.TXT"), "0\r\n0\r\n3\r\n3\r\n2\r\n2\r\n");
}

// SetupVertecies: record i from draws 8i+1 to 8i+8, colours rounded to
// nearest. Records 0 and 1 test the rounding; from there on draw k is
// k / 2^15, distinct and exact.
TEST(Vertices, RecordIFillsFromDrawsEightIPlusOneToEightIPlusEight) {
  ProgramPlatform tp;
  frmTest form;
  const float below = std::nextafter(0.5f / 255.0f, 0.0f),
              above = std::nextafter(0.5f / 255.0f, 1.0f);
  // clang-format off
  tp.script.randomValues = {0, 0, 0, 0.5f, 0.0f, std::nextafter(1.0f, 0.0f), 0, 0,
                            0, 0, 0, below, above, 0.998f, 0, 0};
  // clang-format on
  for (int k = 17; k <= 24000; ++k) tp.script.randomValues.push_back(k / 32768.0f);
  ASSERT_EQ(form.SetupVertecies(), 0);
  // 127.5 goes to the even 128, just under 255 up to 255, 0.998 * 255 down to 254.
  EXPECT_EQ(form.Verts[0].Color, 0x408000FFu);
  EXPECT_EQ(form.Verts[1].Color, 0x400001FEu);
  for (std::size_t i : {2u, 1499u, 2999u}) {
    SCOPED_TRACE(i);
    const SceneVertex& v = form.Verts[i];
    auto r = [i](int n) { return static_cast<double>(8 * i + n) / 32768.0; };
    auto c = [&r](int n, int shift) {
      return static_cast<D3DCOLOR>(std::nearbyint(r(n) * 255)) << shift;
    };
    EXPECT_EQ(v.X, static_cast<float>(r(1) - 0.5));
    EXPECT_EQ(v.Y, static_cast<float>(r(2) - 0.5));
    EXPECT_EQ(v.Z, static_cast<float>(r(3) - 0.5));
    EXPECT_EQ(v.Color, 0x40000000u | c(4, 16) | c(5, 8) | c(6, 0));
    EXPECT_EQ(v.tu, static_cast<float>(r(7)));
    EXPECT_EQ(v.tv, static_cast<float>(r(8)));
  }
}

TEST(Vertices, AFaultEndsTheCallKeepingTheRecordsFilledSoFar) {
  ProgramPlatform tp;
  frmTest form;
  for (SceneVertex& v : form.Verts) v = {9, 9, 9, 0xDEADBEEF, 9, 9};
  // Record 5's red component overflows 16 bits.
  tp.script.randomValues.assign(43, 0.25f);
  tp.script.randomValues.push_back(200.0f);
  EXPECT_EQ(form.SetupVertecies(), ErrOverflow);
  EXPECT_EQ(tp.Count("Rnd"), 44);  // nothing is drawn after the fault
  EXPECT_EQ(form.Verts[4].X, -0.25f);
  EXPECT_EQ(form.Verts[5].Color, 0xDEADBEEFu);
}

}  // namespace
