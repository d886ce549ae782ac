// The picture loop, selected by the vertex-format code 388, on the recording
// platform: its frames, the corner colours, the message pass and its end.
// (A failing frame is the fault sweep's; replacing a picture, CreatePicture's.)
#include <gtest/gtest.h>

#include <cstring>

#include "app/frmTest.h"
#include "graphics/moduleDX8.h"
#include "graphics/picture.h"
#include "tests/harness/program_platform.h"

namespace {

using Lines = std::vector<std::string>;

class PictureLoop : public ::testing::Test {
 protected:
  ProgramPlatform tp;
  EditedVertexFormat format{tp};
  frmTest& form = tp.Form();
};

const Lines kFrame = {"Device.BeginScene",
                      "Device.Clear(0, Nothing, 1, 0, 0, 0)",
                      "Device.SetTexture(0, Nothing)",
                      "Device.DrawPrimitiveUP(5, 2, <128 bytes>, 32)",
                      "Device.EndScene",
                      "Form_hWnd",
                      "Device.Present(Nothing, Nothing, 4660, Nothing)",
                      "DoEvents"};

TEST_F(PictureLoop, DrawsTheSameQuadEveryFrameUntilTheWindowIsClosed) {
  tp.script.closeFormAtDoEvents = 3;
  ASSERT_EQ(tp.RunFormLoad(), "exit 0");
  EXPECT_GE(tp.IndexOf("Device.SetVertexShader(388)"), 0);

  // Set-up registers for the close before the first frame; then three whole
  // frames, each ending with one message pass, the third of which closes the
  // window; then straight to shutdown.
  const Lines& calls = tp.Calls();
  const int start = tp.IndexOf("SetFormEvents");
  ASSERT_GE(start, 0);
  EXPECT_EQ(calls[static_cast<std::size_t>(start) - 1], "ShowCursor(0) -> -1");
  Lines expected;
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), kFrame.begin(), kFrame.end());
  expected.push_back("form closed");
  expected.push_back("ShowCursor(1) -> 0");
  const Lines loop(calls.begin() + start + 1, calls.begin() + start + 1 + expected.size());
  EXPECT_EQ(loop, expected);
  EXPECT_EQ(tp.Count("DoEvents"), 4);  // three frames and the shutdown's one
  EXPECT_EQ(form.QuitRequested, kTrue);
  EXPECT_TRUE(tp.MessageBoxes().empty());
  // The spinning cloud's pieces never ran.
  EXPECT_EQ(tp.Count("Keyboard.GetDeviceState"), 0);
  EXPECT_EQ(tp.Count("FileOpenForOutput"), 0);
  EXPECT_EQ(tp.Count("Rnd"), 0);

  // The quad spans the fixed edges with the corner colours in order.
  const auto& draw = tp.Device()->LastDrawPrimitiveUP;
  ASSERT_TRUE(draw);
  ASSERT_EQ(draw->Vertices.size(), 4 * sizeof(PictureVertex));
  PictureVertex q[4];
  std::memcpy(q, draw->Vertices.data(), sizeof q);
  // Bottom-left, top-left, bottom-right, top-right. RGB(255, 0, 0) reaches
  // the device as blue, RGB(0, 0, 255) as red, all with alpha 0.
  const struct {
    float x, y, tu, tv;
    D3DCOLOR color;
  } want[4] = {{0, 600, 0, 1, 0x00FF0000},
               {0, 0, 0, 0, 0x000000FF},
               {800, 600, 1, 1, 0x00FFFF00},
               {800, 0, 1, 0, 0x0000FF00}};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(q[i].X, want[i].x);
    EXPECT_EQ(q[i].Y, want[i].y);
    EXPECT_EQ(q[i].tu, want[i].tu);
    EXPECT_EQ(q[i].tv, want[i].tv);
    EXPECT_EQ(q[i].Color, want[i].color);
  }
  // The named picture keeps its size and never had a texture.
  EXPECT_EQ(form.MainPicture.Width, 640.0f);
  EXPECT_EQ(form.MainPicture.Height, 480.0f);
  EXPECT_FALSE(form.MainPicture.Texture);
  EXPECT_TRUE(tp.Textures().empty());
}

}  // namespace
