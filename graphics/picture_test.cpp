#include "graphics/picture.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <vector>

#include "graphics/moduleDX8.h"
#include "tests/harness/program_platform.h"
#include "tests/harness/test_helpers.h"

namespace {

using namespace moduleDX8;

// A device in a scene, reading vertices in the format the picture loop sets.
void MakeDeviceAndD3DX(ProgramPlatform& tp) {
  test_helpers::MakeDevice(tp, true);
  ASSERT_EQ(moduleDX8::D3DDevice->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR |
                                                  D3DFVF_TEX1),
            D3D_OK);
  tp.ClearCalls();
}

std::vector<PictureVertex> DrawnQuad(const ProgramPlatform& tp) {
  const auto& draw = tp.Device()->LastDrawPrimitiveUP;
  if (!draw) return {};
  std::vector<PictureVertex> v(draw->Vertices.size() / sizeof(PictureVertex));
  std::memcpy(v.data(), draw->Vertices.data(), v.size() * sizeof(PictureVertex));
  return v;
}

struct Corner {
  float x, y;
};

void ExpectCorners(const std::vector<PictureVertex>& q, Corner v0, Corner v1, Corner v2,
                   Corner v3) {
  ASSERT_EQ(q.size(), 4u);
  const Corner want[4] = {v0, v1, v2, v3};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(q[i].X, want[i].x) << "vertex " << i;
    EXPECT_EQ(q[i].Y, want[i].y) << "vertex " << i;
  }
}

TEST(CreatePicture, AnEmptyNameGetsABlankD3DXTextureOfTheRequestedSize) {
  ProgramPlatform tp;
  MakeDeviceAndD3DX(tp);
  Picture pic = CreatePicture("", 256, 128);
  ASSERT_EQ(tp.CallsStartingWith("D3DX.CreateTexture(").size(), 1u);
  ASSERT_EQ(tp.Textures().size(), 1u);
  const auto& made = *tp.Textures()[0];
  EXPECT_EQ(made.Width, 256u);
  EXPECT_EQ(made.Height, 128u);
  EXPECT_EQ(made.Pool, D3DPOOL_MANAGED);
  EXPECT_EQ(made.Usage, 0u);
  ASSERT_TRUE(pic.Texture);
  EXPECT_EQ(pic.Width, 256.0f);
  EXPECT_EQ(pic.Height, 128.0f);
  // The record holds the only reference.
  EXPECT_EQ(pic.Texture.use_count(), 1);

  // A zero size goes to D3DX as it is, and the record keeps it.
  Picture empty = CreatePicture("", 0, 0);
  EXPECT_EQ(tp.CallsStartingWith("D3DX.CreateTexture(").size(), 2u);
  EXPECT_EQ(empty.Width, 0.0f);
  EXPECT_EQ(empty.Height, 0.0f);
}

TEST(CreatePicture, ANamedPictureHasNoTextureAndTouchesNothing) {
  ProgramPlatform tp;
  MakeDeviceAndD3DX(tp);
  Picture pic = CreatePicture("C:\\WINDOWS\\Setup.bmp", 640, 480);
  EXPECT_FALSE(pic.Texture);
  EXPECT_EQ(pic.Width, 640.0f);
  EXPECT_EQ(pic.Height, 480.0f);

  // With a zero width or height there is no texture to take a size from: the
  // record keeps the size it was given and nothing fails.
  pic = CreatePicture("C:\\WINDOWS\\Setup.bmp", 0, 480);
  EXPECT_FALSE(pic.Texture);
  EXPECT_EQ(pic.Width, 0.0f);
  EXPECT_EQ(pic.Height, 480.0f);
  pic = CreatePicture("missing.bmp", 320, 0);
  EXPECT_EQ(pic.Width, 320.0f);
  EXPECT_EQ(pic.Height, 0.0f);

  // Neither D3DX, the device nor the file system was asked anything.
  EXPECT_TRUE(tp.Calls().empty()) << tp.Calls().front();

  // Nor are they needed.
  D3DX = nullptr;
  D3DDevice = nullptr;
  EXPECT_NO_THROW(CreatePicture("x", 0, 0));
}

TEST(CreatePicture, ReassignmentReleasesTheFirstTextureAndAFailureKeepsTheOldRecord) {
  ProgramPlatform tp;
  MakeDeviceAndD3DX(tp);
  Picture pic = CreatePicture("", 64, 64);
  ASSERT_EQ(tp.Textures().size(), 1u);
  pic = CreatePicture("", 32, 32);
  ASSERT_EQ(tp.Textures().size(), 2u);
  EXPECT_TRUE(tp.Textures()[0]->Released);
  EXPECT_FALSE(tp.Textures()[1]->Released);

  tp.Fail("D3DX.CreateTexture", E_OUTOFMEMORY);
  try {
    pic = CreatePicture("", 16, 16);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number, E_OUTOFMEMORY);
  }
  EXPECT_EQ(pic.Width, 32.0f);
  EXPECT_FALSE(tp.Textures()[1]->Released);
  EXPECT_EQ(pic.Texture.use_count(), 1);

  // A named picture assigned over it lets the texture go.
  pic = CreatePicture("name", 1, 1);
  EXPECT_TRUE(tp.Textures()[1]->Released);

  // Without D3DX an empty name cannot make its texture.
  D3DX = nullptr;
  try {
    pic = CreatePicture("", 8, 8);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number, ErrObjectNotSet);
  }
}

TEST(DrawPicture, DrawsAFourVertexStripInCornerOrderWithTheGivenColours) {
  ProgramPlatform tp;
  MakeDeviceAndD3DX(tp);
  const Picture pic = CreatePicture("", 64, 32);
  tp.ClearCalls();
  DrawPicture(pic, 100, 50, 800, 600, 0, 0, 1, 0.5f, 0x11111111, 0x22222222, 0x33333333,
              0x44444444);

  EXPECT_EQ(tp.Calls(),
            (std::vector<std::string>{"Device.SetTexture(0, Texture)",
                                      "Device.DrawPrimitiveUP(5, 2, <128 bytes>, 32)"}));
  EXPECT_EQ(tp.Device()->Texture0, tp.Textures()[0]);

  const auto& draw = *tp.Device()->LastDrawPrimitiveUP;
  EXPECT_EQ(draw.Type, D3DPT_TRIANGLESTRIP);
  EXPECT_EQ(draw.PrimitiveCount, 2u);
  EXPECT_EQ(draw.Stride, 32u);
  const auto q = DrawnQuad(tp);
  // Both far edges non-zero: they are screen coordinates, not sizes.
  ExpectCorners(q, {100, 600}, {100, 50}, {800, 600}, {800, 50});
  const D3DCOLOR colours[4] = {0x33333333, 0x11111111, 0x44444444, 0x22222222};
  const float tu[4] = {0, 0, 1, 1}, tv[4] = {0.5f, 0, 0.5f, 0};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(q[i].Color, colours[i]) << i;
    EXPECT_EQ(q[i].Specular, 0u) << i;
    EXPECT_EQ(q[i].Z, 0.0f) << i;
    EXPECT_EQ(q[i].RHW, 1.0f) << i;
    EXPECT_EQ(q[i].tu, tu[i]) << i;
    EXPECT_EQ(q[i].tv, tv[i]) << i;
  }
  // The record is read, not changed.
  EXPECT_EQ(pic.Width, 64.0f);
  EXPECT_EQ(pic.Height, 32.0f);
}

TEST(DrawPicture, AZeroFarEdgeFallsBackToThePicturesSize) {
  ProgramPlatform tp;
  MakeDeviceAndD3DX(tp);
  const Picture screen = CreatePicture("named", 640, 480);

  DrawPicture(screen, 10, 20, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0);
  ExpectCorners(DrawnQuad(tp), {10, 500}, {10, 20}, {650, 500}, {650, 20});
  // One non-zero far edge is ignored as well.
  DrawPicture(screen, 10, 20, 800, 0, 0, 0, 1, 1, 0, 0, 0, 0);
  ExpectCorners(DrawnQuad(tp), {10, 500}, {10, 20}, {650, 500}, {650, 20});
  DrawPicture(screen, 10, 20, 0, 600, 0, 0, 1, 1, 0, 0, 0, 0);
  ExpectCorners(DrawnQuad(tp), {10, 500}, {10, 20}, {650, 500}, {650, 20});

  // No area, still drawn.
  const Picture none;
  DrawPicture(none, 5, 6, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0);
  ExpectCorners(DrawnQuad(tp), {5, 6}, {5, 6}, {5, 6}, {5, 6});
  EXPECT_EQ(tp.CallsStartingWith("Device.DrawPrimitiveUP(").size(), 4u);

  // Reversed edges keep the vertex order.
  DrawPicture(screen, 100, 100, 50, 300, 0, 0, 1, 1, 0, 0, 0, 0);
  ExpectCorners(DrawnQuad(tp), {100, 300}, {100, 100}, {50, 300}, {50, 100});

  // Without a texture stage 0 is unbound, and the colours still arrive.
  EXPECT_EQ(tp.Device()->Texture0, nullptr);
  EXPECT_EQ(tp.Count("Device.SetTexture"), 5);
  EXPECT_EQ(tp.CallsStartingWith("Device.SetTexture(0, Nothing)").size(), 5u);
  DrawPicture(screen, 0, 0, 1, 1, 0, 0, 1, 1, 1, 2, 3, 4);
  const auto q = DrawnQuad(tp);
  EXPECT_EQ(q[0].Color, 3u);
  EXPECT_EQ(q[3].Color, 2u);
}

TEST(DrawPicture, FailuresRaiseAndStopTheDraw) {
  ProgramPlatform tp;
  MakeDeviceAndD3DX(tp);
  Picture wide;
  wide.Width = FLT_MAX;
  wide.Height = 1;
  try {
    DrawPicture(wide, FLT_MAX, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number, ErrOverflow);
  }
  EXPECT_TRUE(tp.Calls().empty());

  tp.Fail("Device.SetTexture", D3DERR_INVALIDCALL, 1);
  try {
    DrawPicture(wide, 0, 0, 10, 10, 0, 0, 1, 1, 0, 0, 0, 0);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number, D3DERR_INVALIDCALL);
  }
  EXPECT_EQ(tp.Count("Device.DrawPrimitiveUP"), 0);

  tp.Fail("Device.DrawPrimitiveUP", D3DERR_INVALIDCALL, 1);
  EXPECT_THROW(DrawPicture(wide, 0, 0, 10, 10, 0, 0, 1, 1, 0, 0, 0, 0), RuntimeError);
  EXPECT_EQ(Err().Number, D3DERR_INVALIDCALL);
}

}  // namespace
