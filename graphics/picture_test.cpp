// Picture records: what CreatePicture makes for a name or none, and the quad
// DrawPicture sends. (Failing device calls are the fault sweep's.)
#include "graphics/picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <vector>

#include "graphics/moduleDX8.h"
#include "tests/harness/program_platform.h"
#include "tests/harness/test_helpers.h"

namespace {

using namespace moduleDX8;

// A device in a scene, reading vertices in the format the picture loop sets.
void MakeDrawingDevice(ProgramPlatform& tp) {
  test_helpers::MakeDevice(tp, true);
  ASSERT_EQ(D3DDevice->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR |
                                       D3DFVF_TEX1),
            D3D_OK);
  tp.ClearCalls();
}

TEST(CreatePicture, AnEmptyNameGetsABlankTextureANamedOneNothing) {
  // clang-format off
  const struct {
    const char* name;
    std::int32_t width, height;
  } rows[] = {{"", 256, 128}, {"", 0, 0}, {"C:\\WINDOWS\\Setup.bmp", 640, 480},
              {"C:\\WINDOWS\\Setup.bmp", 0, 480}, {"missing.bmp", 320, 0}};
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.name) + " " + std::to_string(r.width) + "x" +
                 std::to_string(r.height));
    ProgramPlatform tp;
    test_helpers::MakeDevice(tp, true);
    const Picture pic = CreatePicture(r.name, r.width, r.height);
    // The record keeps the size it was given; a name is never loaded.
    EXPECT_EQ(pic.Width, static_cast<float>(r.width));
    EXPECT_EQ(pic.Height, static_cast<float>(r.height));
    if (*r.name) {
      EXPECT_FALSE(pic.Texture);
      EXPECT_TRUE(tp.Calls().empty());
      continue;
    }
    ASSERT_EQ(tp.Textures().size(), 1u);
    const auto& made = *tp.Textures()[0];
    // (D3DX makes at least one texel of a zero size.)
    EXPECT_EQ(made.Width, static_cast<UINT>(std::max(1, r.width)));
    EXPECT_EQ(made.Height, static_cast<UINT>(std::max(1, r.height)));
    EXPECT_EQ(made.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(made.Usage, 0u);
    EXPECT_EQ(pic.Texture.use_count(), 1);  // the record holds the only reference
  }
}

TEST(CreatePicture, ReassignmentReleasesTheTextureAndAFailureKeepsTheOldRecord) {
  ProgramPlatform tp;
  test_helpers::MakeDevice(tp, true);
  Picture pic = CreatePicture("", 64, 64);
  pic = CreatePicture("", 32, 32);
  ASSERT_EQ(tp.Textures().size(), 2u);
  EXPECT_TRUE(tp.Textures()[0]->Released);
  tp.Fail("D3DX.CreateTexture", E_OUTOFMEMORY);
  EXPECT_THROW(pic = CreatePicture("", 16, 16), RuntimeError);
  EXPECT_EQ(pic.Width, 32.0f);
  EXPECT_FALSE(tp.Textures()[1]->Released);
  pic = CreatePicture("name", 1, 1);
  EXPECT_TRUE(tp.Textures()[1]->Released);
}

// Each row: the near and far edges given, and the corners drawn (x, y of
// bottom-left, top-left, bottom-right, top-right) for a 640x480 picture.
TEST(DrawPicture, FarEdgesAreGivenOnlyWhenBothAreNonZero) {
  // clang-format off
  const struct {
    float x1, y1, x2, y2;
    float corners[8];
  } rows[] = {
      {100, 50, 800, 600, {100, 600, 100, 50, 800, 600, 800, 50}},
      {10, 20, 0, 0, {10, 500, 10, 20, 650, 500, 650, 20}},
      {10, 20, 800, 0, {10, 500, 10, 20, 650, 500, 650, 20}},
      {10, 20, 0, 600, {10, 500, 10, 20, 650, 500, 650, 20}},
      {100, 100, 50, 300, {100, 300, 100, 100, 50, 300, 50, 100}},  // reversed: same order
  };
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.x1) + "," + std::to_string(r.y1) + " " + std::to_string(r.x2) +
                 "," + std::to_string(r.y2));
    ProgramPlatform tp;
    MakeDrawingDevice(tp);
    const Picture pic = CreatePicture("", 640, 480);
    tp.ClearCalls();
    DrawPicture(pic, r.x1, r.y1, r.x2, r.y2, 0, 0, 1, 0.5f, 0x11111111, 0x22222222, 0x33333333,
                0x44444444);
    EXPECT_EQ(tp.Calls(),
              (std::vector<std::string>{"Device.SetTexture(0, Texture)",
                                        "Device.DrawPrimitiveUP(5, 2, <128 bytes>, 32)"}));
    EXPECT_EQ(tp.Device()->Texture0, tp.Textures()[0]);
    const auto& draw = *tp.Device()->LastDrawPrimitiveUP;
    ASSERT_EQ(draw.Vertices.size(), 4 * sizeof(PictureVertex));
    PictureVertex q[4];
    std::memcpy(q, draw.Vertices.data(), sizeof q);
    const D3DCOLOR colours[4] = {0x33333333, 0x11111111, 0x44444444, 0x22222222};
    const float tu[4] = {0, 0, 1, 1}, tv[4] = {0.5f, 0, 0.5f, 0};
    for (int i = 0; i < 4; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(q[i].X, r.corners[2 * i]);
      EXPECT_EQ(q[i].Y, r.corners[2 * i + 1]);
      EXPECT_EQ(q[i].Z, 0.0f);
      EXPECT_EQ(q[i].RHW, 1.0f);
      EXPECT_EQ(q[i].Color, colours[i]);
      EXPECT_EQ(q[i].Specular, 0u);
      EXPECT_EQ(q[i].tu, tu[i]);
      EXPECT_EQ(q[i].tv, tv[i]);
    }
  }
}

TEST(DrawPicture, WithoutTextureStageZeroIsUnboundAndAnOverflowDrawsNothing) {
  ProgramPlatform tp;
  MakeDrawingDevice(tp);
  DrawPicture(Picture{}, 5, 6, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0);
  EXPECT_EQ(tp.Calls(),
            (std::vector<std::string>{"Device.SetTexture(0, Nothing)",
                                      "Device.DrawPrimitiveUP(5, 2, <128 bytes>, 32)"}));
  EXPECT_EQ(tp.Device()->Texture0, nullptr);
  tp.ClearCalls();
  Picture wide;
  wide.Width = FLT_MAX;
  EXPECT_THROW(DrawPicture(wide, FLT_MAX, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0), RuntimeError);
  EXPECT_EQ(Err().Number, ErrOverflow);
  EXPECT_TRUE(tp.Calls().empty());
}

}  // namespace
