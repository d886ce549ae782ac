// Picture records: what CreatePicture makes for a name or none, and the quad
// DrawPicture sends. (Failing device calls are the fault sweep's.)
#include "graphics/picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/moduleDX8.h"
#include "tests/harness/program_platform.h"

namespace {

using namespace moduleDX8;

// Each row: a name and size. An empty name gets a blank managed texture (at
// least one texel); a name is never loaded. The size is kept either way.
TEST(CreatePicture, AnEmptyNameGetsABlankTextureANamedOneNothing) {
  // clang-format off
  const struct { const char* name; std::int32_t width, height; } rows[] = {
      {"", 256, 128}, {"", 0, 0}, {"C:\\WINDOWS\\Setup.bmp", 0, 480}, {"missing.bmp", 320, 0}};
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(&r - rows);
    ProgramPlatform tp;
    tp.MakeDevice(true);
    const Picture pic = CreatePicture(r.name, r.width, r.height);
    EXPECT_EQ(pic.Width, static_cast<float>(r.width));
    EXPECT_EQ(pic.Height, static_cast<float>(r.height));
    EXPECT_EQ(tp.Count("D3DX.CreateTexture"), *r.name ? 0 : 1);
    if (*r.name) continue;
    D3DSURFACE_DESC made{};
    ASSERT_EQ(pic.Texture->GetLevelDesc(0, made), D3D_OK);
    EXPECT_EQ(made.Width, static_cast<UINT>(std::max(1, r.width)));
    EXPECT_EQ(made.Height, static_cast<UINT>(std::max(1, r.height)));
    EXPECT_EQ(made.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(pic.Texture.use_count(), 1);  // the record holds the only reference
  }
}

// Each row: the near and far edges given, whether the picture has a texture,
// and the corners drawn (x, y of bottom-left, top-left, bottom-right,
// top-right) for a 640x480 picture. Far edges count only when both are
// non-zero.
TEST(DrawPicture, FarEdgesAreGivenOnlyWhenBothAreNonZero) {
  // clang-format off
  const struct { float x1, y1, x2, y2; bool texture; float corners[8]; } rows[] = {
      {100, 50, 800, 600, true, {100, 600, 100, 50, 800, 600, 800, 50}},
      {10, 20, 0, 0, true, {10, 500, 10, 20, 650, 500, 650, 20}},
      {10, 20, 800, 0, true, {10, 500, 10, 20, 650, 500, 650, 20}},
      {10, 20, 0, 600, false, {10, 500, 10, 20, 650, 500, 650, 20}},
      {100, 100, 50, 300, true, {100, 300, 100, 100, 50, 300, 50, 100}},  // reversed: same order
  };
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(&r - rows);
    ProgramPlatform tp;
    tp.MakeDevice(true);
    ASSERT_EQ(
        D3DDevice->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1),
        D3D_OK);
    Picture pic = CreatePicture("", 640, 480);
    if (!r.texture) pic.Texture = nullptr;
    tp.ClearCalls();
    DrawPicture(pic, r.x1, r.y1, r.x2, r.y2, 0, 0, 1, 0.5f, 0x11111111, 0x22222222, 0x33333333,
                0x44444444);
    EXPECT_EQ(tp.Calls(),
              (std::vector<std::string>{
                  r.texture ? "Device.SetTexture(0, Texture)" : "Device.SetTexture(0, Nothing)",
                  "Device.DrawPrimitiveUP(5, 2, <128 bytes>, 32)"}));
    const float* c = r.corners;
    const PictureVertex want[4] = {{c[0], c[1], 0, 1, 0x33333333, 0, 0, 0.5f},
                                   {c[2], c[3], 0, 1, 0x11111111, 0, 0, 0},
                                   {c[4], c[5], 0, 1, 0x44444444, 0, 1, 0.5f},
                                   {c[6], c[7], 0, 1, 0x22222222, 0, 1, 0}};
    const std::vector<BYTE>& drawn = *tp.Device()->LastDrawPrimitiveUP;
    ASSERT_EQ(drawn.size(), sizeof want);
    EXPECT_EQ(std::memcmp(drawn.data(), want, sizeof want), 0);
  }
}

// A replaced record gives up its texture; a failed creation keeps the old
// record, and an overflowing far edge draws nothing.
TEST(Picture, ReassignmentReleasesAndFailuresKeepTheOldRecord) {
  ProgramPlatform tp;
  tp.MakeDevice(true);
  Picture pic = CreatePicture("", 64, 64);
  const std::weak_ptr<Direct3DTexture8> first = pic.Texture;
  pic = CreatePicture("", 32, 32);
  const std::weak_ptr<Direct3DTexture8> second = pic.Texture;
  EXPECT_TRUE(first.expired());
  tp.Fail("D3DX.CreateTexture", E_OUTOFMEMORY);
  EXPECT_THROW(pic = CreatePicture("", 16, 16), RuntimeError);
  EXPECT_EQ(pic.Width, 32.0f);
  EXPECT_FALSE(second.expired());
  tp.ClearCalls();
  pic.Width = FLT_MAX;
  EXPECT_THROW(DrawPicture(pic, FLT_MAX, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0), RuntimeError);
  EXPECT_EQ(Err().Number, ErrOverflow);
  EXPECT_TRUE(tp.Calls().empty());
}

}  // namespace
