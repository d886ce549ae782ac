// Published Direct3D 8 behaviour that the program's pictures depend on,
// checked on the reference device through scenes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "refdevice/program_scenes.h"
#include "refdevice/test_support.h"

namespace {

using program_scenes::CloudScene;
using program_scenes::CloudView;
using program_scenes::PictureScene;
using program_scenes::PictureVertices;
using test_support::CountPixels;
using test_support::Replay;
using test_support::ScratchFolder;

constexpr std::uint32_t kBlue = 0x0000FF;

std::vector<std::uint8_t> Bytes(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  return std::vector<std::uint8_t>(p, p + size);
}

// The bounding box of the pixels that differ from `background`.
struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  int Width() const { return right - left + 1; }
};
Box Extent(const Image& image, std::uint32_t background) {
  Box box;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (image.At(x, y) != background) {
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
      }
  return box;
}

TEST(PublishedFacts, HalfTransparentRedOverBlueGivesExactly64_0_191) {
  ScratchFolder files;
  struct Tl {
    float x, y, z, rhw;
    std::uint32_t colour;
  };
  const Tl screen[3] = {{100, 100, 0.5f, 1, 0x40FF0000u},
                        {300, 100, 0.5f, 1, 0x40FF0000u},
                        {100, 300, 0.5f, 1, 0x40FF0000u}};
  files.Write("screen.bin", Bytes(screen, sizeof screen));
  struct Model {
    float x, y, z;
    std::uint32_t colour;
  };
  // Identity transforms: model space is clip space.
  const Model model[3] = {{-0.5f, 0.5f, 0.5f, 0x40FF0000u},
                          {0.5f, 0.5f, 0.5f, 0x40FF0000u},
                          {-0.5f, -0.5f, 0.5f, 0x40FF0000u}};
  files.Write("model.bin", Bytes(model, sizeof model));

  const std::string blend =
      "clear 3 0xFF0000FF 1\n"
      "rs 19 5\nrs 20 6\nrs 27 1\n";
  Image image = Replay(blend + "rs 137 0\nfvf 0x44\nup 20 4 1 screen.bin\n", files);
  ASSERT_FALSE(image.pixels.empty());
  EXPECT_EQ(image.At(150, 150), 0x4000BFu);
  EXPECT_EQ(image.At(400, 400), kBlue);

  image = Replay(blend + "rs 137 0\nfvf 0x42\nup 16 4 1 model.bin\n", files);
  ASSERT_FALSE(image.pixels.empty());
  EXPECT_EQ(image.At(200, 200), 0x4000BFu);  // the triangle covers the upper-left quarter
  EXPECT_EQ(image.At(500, 400), kBlue);

  // Lighting on with no lights: no colour is left, but the vertex alpha
  // still weights the blend.
  image = Replay(blend + "fvf 0x42\nup 16 4 1 model.bin\n", files);
  ASSERT_FALSE(image.pixels.empty());
  EXPECT_EQ(image.At(200, 200), 0x0000BFu);
}

TEST(PublishedFacts, PictureQuadWithoutDiffuseFillsTheScreenWhite) {
  ScratchFolder files;
  files.Write("quad.bin", PictureVertices());
  // Device defaults throughout: no lighting, blend or texture state set.
  const Image image = Replay("fvf 388\nclear 1 0 0\nup 32 5 2 quad.bin\n", files);
  ASSERT_EQ(image.pixels.size(), 640u * 480u);
  EXPECT_EQ(CountPixels(image, 0xFFFFFF), 640 * 480);
}

TEST(PublishedFacts, PictureQuadWithDiffuseShowsItsCornerColours) {
  ScratchFolder files;
  files.Write("quad.bin", PictureVertices());
  const Image image = Replay(PictureScene(452, "quad.bin"), files);
  ASSERT_EQ(image.pixels.size(), 640u * 480u);
  // The top-left vertex sits on pixel (0, 0)'s centre.
  EXPECT_EQ(image.At(0, 0), 0x0000FFu);
  auto r = [&](int x, int y) { return (image.At(x, y) >> 16) & 255; };
  auto g = [&](int x, int y) { return (image.At(x, y) >> 8) & 255; };
  auto b = [&](int x, int y) { return image.At(x, y) & 255; };
  // The quad reaches (800, 600), so the screen's corners are 80% of the way.
  EXPECT_GT(g(639, 0), 190u);  // top-right: green
  EXPECT_LT(r(639, 0), 5u);
  EXPECT_GT(r(0, 479), 190u);  // bottom-left: red
  EXPECT_LT(g(0, 479), 5u);
  EXPECT_GT(r(639, 479), 150u);  // bottom-right: towards yellow
  EXPECT_GT(g(639, 479), 150u);
  EXPECT_LT(b(639, 479), 60u);
  // Colours are interpolated, not flat: the middle mixes all four.
  EXPECT_GT(r(320, 240), 60u);
  EXPECT_GT(g(320, 240), 60u);
  EXPECT_GT(b(320, 240), 60u);
}

TEST(PublishedFacts, CounterClockwiseStripIsCulledByDefault) {
  ScratchFolder files;
  // Left and right swapped: both triangles of the strip turn the other way.
  files.Write("mirrored.bin", PictureVertices(800.0f, 0.0f, 0.0f, 600.0f));
  const std::string draw = "fvf 452\nclear 1 0 0\nup 32 5 2 mirrored.bin\n";
  Image image = Replay(draw, files);
  EXPECT_EQ(CountPixels(image, 0x000000), 640 * 480);

  image = Replay("rs 22 1\n" + draw, files);  // CULLMODE NONE
  EXPECT_EQ(CountPixels(image, 0x000000), 0);
  image = Replay("rs 22 2\n" + draw, files);  // CULLMODE CW
  EXPECT_EQ(CountPixels(image, 0x000000), 0);
}

TEST(PublishedFacts, CloudFromFiveUnitsIsAPatchAbout170PixelsWide) {
  ScratchFolder files;
  files.Write("cloud.vtx", program_scenes::CloudVertices());
  const Image image = Replay(CloudScene(CloudView{}, "cloud.vtx"), files);
  ASSERT_FALSE(image.pixels.empty());
  const Box box = Extent(image, kBlue);
  EXPECT_GE(box.Width(), 150);
  EXPECT_LE(box.Width(), 195);
  EXPECT_NEAR((box.left + box.right) / 2.0, 320.0, 15.0);
  EXPECT_NEAR((box.top + box.bottom) / 2.0, 240.0, 15.0);
  // Blended at alpha 64 over blue: every covered pixel keeps some blue.
  for (std::uint32_t p : image.pixels) ASSERT_GT(p & 255u, 0u);
}

// Draws the cloud's triangles one at a time and counts those that reach a
// pixel, for one cull mode.
int TrianglesDrawn(DWORD cullMode) {
  test_support::SceneDevice d;
  Direct3DDevice8& dev = *d.device;
  const CloudView view;
  const std::vector<std::uint8_t> cloud = program_scenes::CloudVertices();
  dev.SetVertexShader(program_scenes::kCloudFvf);
  dev.SetRenderState(D3DRS_LIGHTING, 0);
  dev.SetRenderState(D3DRS_ZENABLE, 0);
  dev.SetRenderState(D3DRS_CULLMODE, cullMode);
  dev.SetTransform(D3DTS_WORLD, view.World());
  dev.SetTransform(D3DTS_VIEW, view.View());
  dev.SetTransform(D3DTS_PROJECTION, CloudView::Projection());
  // The patch lies well inside this window.
  const D3DRECT window{200, 120, 440, 360};
  int drawn = 0;
  EXPECT_EQ(dev.BeginScene(), D3D_OK);
  for (int t = 0; t < program_scenes::kCloudTriangles; ++t) {
    dev.Clear(1, &window, D3DCLEAR_TARGET, 0, 1.0f, 0);
    EXPECT_EQ(dev.DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cloud.data() + 72 * t, 24), D3D_OK);
    const FrameView frame = d.Device().BackBuffer();
    bool any = false;
    for (int y = window.y1; y < window.y2 && !any; ++y) {
      const auto* row = static_cast<const std::uint8_t*>(frame.pixels) + y * frame.pitch;
      for (int x = window.x1; x < window.x2; ++x) {
        std::uint32_t p;
        std::memcpy(&p, row + 4 * x, 4);
        if ((p & 0xFFFFFFu) != 0) {
          any = true;
          break;
        }
      }
    }
    drawn += any;
  }
  EXPECT_EQ(dev.EndScene(), D3D_OK);
  return drawn;
}

TEST(PublishedFacts, AboutHalfOfTheCloudsTrianglesAreCulled) {
  const int all = TrianglesDrawn(D3DCULL_NONE);
  const int ccwCulled = TrianglesDrawn(D3DCULL_CCW);
  const int cwCulled = TrianglesDrawn(D3DCULL_CW);
  EXPECT_GT(all, 950);  // nearly every triangle covers a pixel centre
  // Each triangle that shows faces one way or the other.
  EXPECT_EQ(ccwCulled + cwCulled, all);
  EXPECT_GT(ccwCulled, all * 40 / 100);
  EXPECT_LT(ccwCulled, all * 60 / 100);
}

TEST(PublishedFacts, EyeInsideTheCloudFillsMostOfTheScreen) {
  ScratchFolder files;
  files.Write("cloud.vtx", program_scenes::CloudVertices());
  CloudView view;
  view.eyeZ = -1.2f;  // part of the cloud is behind the near plane
  const Image image = Replay(CloudScene(view, "cloud.vtx"), files);
  ASSERT_FALSE(image.pixels.empty());
  const std::int64_t covered = 640 * 480 - CountPixels(image, kBlue);
  EXPECT_GT(covered, 640 * 480 * 6 / 10);
}

// Fog with blending off, so that each covered pixel shows one triangle.
std::string FogStates(const char* start, const char* end) {
  return std::string("rs 27 0\n") +
         "rs 28 1           # FOGENABLE\n"
         "rs 34 0x00FF8000  # FOGCOLOR\n"
         "rs 35 3           # FOGTABLEMODE LINEAR\n"
         "rsf 36 " +
         start +
         "\n"
         "rsf 37 " +
         end + "\n";
}

TEST(PublishedFacts, TableFogUsesTheEyeSpaceDistance) {
  ScratchFolder files;
  files.Write("cloud.vtx", program_scenes::CloudVertices());
  const Image plain = Replay(CloudScene(CloudView{}, "cloud.vtx", "rs 27 0\n"), files);
  const Image full = Replay(CloudScene(CloudView{}, "cloud.vtx", FogStates("0.5", "0.8")), files);
  const Image part = Replay(CloudScene(CloudView{}, "cloud.vtx", FogStates("4.5", "5.5")), files);
  ASSERT_FALSE(plain.pixels.empty() || full.pixels.empty() || part.pixels.empty());

  const std::int64_t covered = 640 * 480 - CountPixels(plain, kBlue);
  ASSERT_GT(covered, 10000);
  // Every point is 4 to 6 units from the eye, beyond a fog end of 0.8: the
  // whole cloud takes the fog colour (depth-buffer values, near 0.8, would
  // leave much of it clear).
  EXPECT_EQ(CountPixels(full, 0xFF8000), covered);
  EXPECT_EQ(CountPixels(full, kBlue), 640 * 480 - covered);

  // Fog from 4.5 to 5.5 spans the cloud's depth: each pixel keeps the
  // share of its own colour that its distance leaves, near ones more.
  std::int64_t between = 0, measured = 0;
  double least = 1.0, most = 0.0;
  for (std::size_t i = 0; i < plain.pixels.size(); ++i) {
    if (plain.pixels[i] == kBlue) continue;
    between += part.pixels[i] != plain.pixels[i] && part.pixels[i] != 0xFF8000u;
    // The kept share, from the channel where colour and fog differ most.
    int best = 0, shift = 0;
    for (int s : {0, 8, 16}) {
      const int d = static_cast<int>((plain.pixels[i] >> s) & 255u) -
                    static_cast<int>((0xFF8000u >> s) & 255u);
      if (std::abs(d) > std::abs(best)) best = d, shift = s;
    }
    if (std::abs(best) < 96) continue;
    const int got = static_cast<int>((part.pixels[i] >> shift) & 255u) -
                    static_cast<int>((0xFF8000u >> shift) & 255u);
    const double kept = static_cast<double>(got) / best;
    least = std::min(least, kept);
    most = std::max(most, kept);
    ++measured;
  }
  EXPECT_GT(between, covered * 9 / 10);
  ASSERT_GT(measured, covered / 4);
  EXPECT_LT(least, 0.45);
  EXPECT_GT(most, 0.7);
  EXPECT_GE(least, -0.01);
  EXPECT_LE(most, 1.01);
}

}  // namespace
