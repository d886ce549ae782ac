// The tiled rasterizer must give exactly the band rasterizer's bytes, colour
// and depth, on one thread and on many, with every instruction set its
// kernels are compiled for: the program's frames (those of the golden scenes
// among them), repeated clears, and randomised scenes over primitives,
// states, formats and clears.
// The one kernel the identity does not reach, the host's present rows, is
// checked on every instruction set at the end.
#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <bit>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/d3d8_defaults.h"
#include "refdevice/raster/simd_kernels.h"
#include "refdevice/test_support.h"
#include "replay/program_scenes.h"

namespace {

using namespace test_support;
using refdev::RasterizerKind;
using DrawFn = std::function<void(Direct3DDevice8&)>;

// The colour buffer, then depth and stencil, as bytes.
std::vector<std::uint8_t> Render(RasterizerKind kind, int threads,
                                 const D3DPRESENT_PARAMETERS& params, const DrawFn& draw) {
  Fixture fixture(params, kind);
  std::vector<std::uint8_t> out;
  if (!fixture.dev) return out;
  RefDevice& dev = *fixture.dev;
  dev.SetThreadCount(threads);
  draw(dev);
  const FrameView f = dev.BackBuffer();
  const auto* c = static_cast<const std::uint8_t*>(f.pixels);
  out.assign(c, c + static_cast<std::size_t>(f.pitch) * f.height);
  const refdev::DepthBuffer& z = dev.DepthStencil();
  auto append = [&out](const auto& v) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(v.data());
    out.insert(out.end(), b, b + v.size() * sizeof(v[0]));
  };
  append(z.d16);
  append(z.d32);
  append(z.stencil);
  return out;
}

// Reports the first byte that differs.
void ExpectSameBytes(const D3DPRESENT_PARAMETERS& params, const DrawFn& draw,
                     const std::string& what) {
  const std::vector<std::uint8_t> want = Render(RasterizerKind::kBand, 1, params, draw);
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets())
    for (int threads : {1, 64}) {
      hwy::SetSupportedTargetsForTest(target);
      const std::vector<std::uint8_t> got = Render(RasterizerKind::kTiled, threads, params, draw);
      hwy::SetSupportedTargetsForTest(0);
      ASSERT_EQ(want.size(), got.size()) << what;
      const auto diff = std::mismatch(want.begin(), want.end(), got.begin());
      EXPECT_TRUE(diff.first == want.end())
          << what << ", " << hwy::TargetName(target) << ", " << threads << " threads: byte "
          << (diff.first - want.begin()) << " of " << want.size() << " is " << int(*diff.second)
          << ", band " << int(*diff.first);
    }
}

// The program's frames in a row on one device, the first half of the
// triangles without blending: from afar, near, from inside the cloud, on a
// target that keeps alpha, and clearing the colour alone over the depths
// the last frames left (so the tiles rebuild their depth bounds from the
// buffer) on a size that cuts blocks at the right and bottom edges.
TEST(TiledRasterizer, CloudFramesGiveTheBandRasterizersBytes) {
  const std::vector<std::uint8_t> cloud = program_scenes::CloudVertices();
  constexpr UINT kHalf = program_scenes::kCloudTriangles / 2;
  constexpr UINT kStride = program_scenes::kCloudStride;
  struct Case {
    float eye;
    D3DFORMAT format;
    UINT width, height;
    bool keepDepth;  // later frames clear the colour alone
    float z = 1;     // under 1: all blended, seen through a rectangle cleared to 1
  };
  // clang-format off
  const Case cases[] = {
      {-5.0f, D3DFMT_X8R8G8B8, 640, 480, false}, {-1.2f, D3DFMT_A8R8G8B8, 640, 480, false},
      {0.6f, D3DFMT_X8R8G8B8, 640, 480, false},  {-2.5f, D3DFMT_X8R8G8B8, 333, 201, true},
      {-5.0f, D3DFMT_X8R8G8B8, 640, 480, false, 0.5f},
  };
  // clang-format on
  for (const Case& c : cases) {
    ExpectSameBytes(
        Windowed(c.width, c.height, c.format, D3DFMT_D16),
        [&](Direct3DDevice8& dev) {
          program_scenes::CloudView view;
          view.eyeZ = c.eye;
          dev.SetVertexShader(program_scenes::kCloudFvf);
          SetStates(dev, {{D3DRS_LIGHTING, 0},
                          {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                          {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}});
          dev.SetTransform(D3DTS_PROJECTION, program_scenes::CloudView::Projection());
          dev.SetTransform(D3DTS_VIEW, view.View());
          for (int frame = 0; frame < 3; ++frame) {
            view.angleX += 0.37f;
            view.angleY += 0.61f;
            dev.SetTransform(D3DTS_WORLD, view.World());
            dev.BeginScene();
            const bool colourOnly = c.keepDepth && frame > 0;
            dev.Clear(0, nullptr, colourOnly ? D3DCLEAR_TARGET : D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER,
                      0x800000FF, c.z, 0);
            const D3DRECT rect{100, 50, 300, 200};
            if (c.z < 1) dev.Clear(1, &rect, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
            const UINT plain = c.z < 1 ? 0 : kHalf;
            dev.DrawPrimitiveUP(D3DPT_TRIANGLELIST, plain, cloud.data(), kStride);
            dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 0xFFFFFFFF);
            dev.DrawPrimitiveUP(D3DPT_TRIANGLELIST, program_scenes::kCloudTriangles - plain,
                                cloud.data() + plain * 3 * kStride, kStride);
            dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
            dev.EndScene();
            if (frame < 2) dev.Present(nullptr, nullptr, 0, nullptr);
          }
        },
        "cloud at " + std::to_string(c.eye) + ", " + std::to_string(c.width));
  }
}

// A clear that repeats what a tile already holds is skipped: frames in a row,
// flipped and copied, where a tile is drawn, partly cleared, cleared to
// other values, or left alone, then cleared again. Any tile wrongly taken as
// holding the clear's values keeps stale pixels in the last frame. A texture
// rewritten between two draws of one scene while it stays bound: each draw
// sees the texels it was drawn with.
TEST(TiledRasterizer, RepeatedClearsAndRewrittenTexturesGiveTheBandRasterizersBytes) {
  struct Frame {
    D3DCOLOR colour;
    float z;
    bool draw = false;       // a textured triangle over the left half
    bool partClear = false;  // a rectangle cleared to another colour after the clear
  };
  constexpr D3DCOLOR kBlue = 0xFF0000FF, kPink = 0xFFFF00FF;
  // clang-format off
  const std::vector<std::vector<Frame>> runs = {
      // Drawn, then two clears only: each back buffer of the flip must lose it.
      {{kBlue, 1, true}, {kBlue, 1}, {kBlue, 1}},
      // Cleared alone, then to other values, then back.
      {{kBlue, 1}, {kBlue, 1}, {0xFF00FF00, 0.5f}, {kBlue, 1}, {kBlue, 1}},
      // A rectangle cleared over a uniform tile, then the whole screen to its values.
      {{kBlue, 1}, {kBlue, 1, false, true}, {kPink, 0.25f}, {kPink, 0.25f}},
      // Drawn every other frame.
      {{kBlue, 1, true}, {kBlue, 1}, {kBlue, 1, true}, {kBlue, 1}, {kBlue, 1}},
  };
  // clang-format on
  for (const D3DSWAPEFFECT swap : {D3DSWAPEFFECT_DISCARD, D3DSWAPEFFECT_COPY}) {
    D3DPRESENT_PARAMETERS p = Windowed(333, 201, D3DFMT_X8R8G8B8, D3DFMT_D16);
    p.SwapEffect = swap;
    for (std::size_t r = 0; r < runs.size(); ++r)
      ExpectSameBytes(
          p,
          [&](Direct3DDevice8& dev) {
            Ref<Direct3DTexture8> tex;
            ASSERT_EQ(dev.CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex), D3D_OK);
            dev.SetVertexShader(kTlFvf | D3DFVF_TEX1);
            dev.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
            dev.SetTexture(0, tex);
            const std::vector<Frame>& frames = runs[r];
            for (std::size_t f = 0; f < frames.size(); ++f) {
              const Frame& fr = frames[f];
              dev.BeginScene();
              dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, fr.colour, fr.z, 0);
              if (fr.partClear) {
                const D3DRECT rect{70, 30, 150, 100};
                dev.Clear(1, &rect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kPink, 0.25f, 0);
              }
              for (int half = 0; fr.draw && half < 2; ++half) {
                const float dx = 40.0f * half, z = 0.3f - 0.1f * half;
                const TexVertex tri[3] = {{V(dx, 0, 0xFFFF0000, z), 0, 0},
                                          {V(dx + 160, 0, 0xFFFFFF00, z), 1, 0},
                                          {V(dx, 200, 0xFF00FFFF, z + 0.3f), 0, 1}};
                FillLevel(*tex, 0, [half](UINT) { return half ? 0xFF00FF00u : 0x80FF0000u; });
                dev.DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(TexVertex));
              }
              dev.EndScene();
              if (f + 1 < frames.size()) dev.Present(nullptr, nullptr, 0, nullptr);
            }
          },
          std::string(swap == D3DSWAPEFFECT_COPY ? "copied" : "flipped") + " frames, run " +
              std::to_string(r));
  }
}

// Random draws of every primitive type, from slivers to triangles reaching
// the guard band (where edge values over a tile overflow 32 bits), under
// random states and viewports, with clears of rectangles between them.
void RandomScene(std::uint32_t seed, Direct3DDevice8& dev) {
  std::mt19937 rng(seed);
  auto uni = [&rng](float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(rng);
  };
  auto pick = [&rng](std::initializer_list<DWORD> v) { return v.begin()[rng() % v.size()]; };
  Ref<Direct3DTexture8> tex;
  ASSERT_EQ(dev.CreateTexture(16, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex), D3D_OK);
  for (UINT level = 0; level < tex->GetLevelCount(); ++level)
    FillLevel(*tex, level, [&rng](UINT) { return static_cast<std::uint32_t>(rng()); });
  D3DMATRIX view;
  D3DXMatrixIdentity(view);
  view.m[3][2] = 4;
  dev.SetTransform(D3DTS_PROJECTION, Perspective(1.0f, 4.0f / 3.0f, 0.5f, 50.0f));
  dev.SetTransform(D3DTS_VIEW, view);
  dev.SetRenderState(D3DRS_LIGHTING, 0);
  dev.BeginScene();
  dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, rng(), uni(0.3f, 1.0f), 0);
  const int draws = 4 + static_cast<int>(rng() % 8);
  for (int n = 0; n < draws; ++n) {
    if (rng() % 5 == 0) {
      const auto x1 = static_cast<std::int32_t>(rng() % 600),
                 y1 = static_cast<std::int32_t>(rng() % 440);
      const D3DRECT rect{x1, y1, x1 + static_cast<std::int32_t>(rng() % 200),
                         y1 + static_cast<std::int32_t>(rng() % 200)};
      dev.Clear(1, &rect, rng() % 2 ? D3DCLEAR_TARGET : D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, rng(),
                uni(0.0f, 1.0f), 0);
    }
    if (rng() % 6 == 0) {
      const DWORD x = rng() % 100, y = rng() % 100, w = 200 + rng() % 340, h = 200 + rng() % 280;
      dev.SetViewport({x, y, w, h, 0.0f, 1.0f});
    }
    const bool classic = rng() % 2;
    // clang-format off
    const Set states[] = {
        {D3DRS_ZENABLE, rng() % 4 != 0}, {D3DRS_ZWRITEENABLE, rng() % 4 != 0},
        {D3DRS_ZFUNC, rng() % 2 ? DWORD{D3DCMP_LESSEQUAL} : pick({D3DCMP_LESS, D3DCMP_GREATER, D3DCMP_ALWAYS, D3DCMP_EQUAL, D3DCMP_NOTEQUAL})},
        {D3DRS_ALPHABLENDENABLE, rng() % 3 != 0},
        {D3DRS_SRCBLEND, classic ? DWORD{D3DBLEND_SRCALPHA} : pick({D3DBLEND_ONE, D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR, D3DBLEND_INVDESTALPHA})},
        {D3DRS_DESTBLEND, classic ? DWORD{D3DBLEND_INVSRCALPHA} : pick({D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, D3DBLEND_SRCALPHA})},
        {D3DRS_SHADEMODE, rng() % 5 ? DWORD{D3DSHADE_GOURAUD} : DWORD{D3DSHADE_FLAT}},
        {D3DRS_CULLMODE, pick({D3DCULL_CCW, D3DCULL_CW, D3DCULL_NONE})},
        {D3DRS_ALPHATESTENABLE, rng() % 5 == 0}, {D3DRS_ALPHAREF, DWORD(rng() % 256)}, {D3DRS_ALPHAFUNC, D3DCMP_GREATER},
        {D3DRS_FOGENABLE, rng() % 5 == 0}, {D3DRS_FOGTABLEMODE, pick({D3DFOG_NONE, D3DFOG_LINEAR, D3DFOG_EXP})},
        {D3DRS_FOGCOLOR, DWORD(rng())}, {D3DRS_COLORWRITEENABLE, DWORD(rng() % 8 ? 0xF : rng() % 16)},
    };
    // clang-format on
    for (const Set& s : states)
      dev.SetRenderState(static_cast<D3DRENDERSTATETYPE>(s.state), s.value);
    dev.SetTexture(0, rng() % 4 == 0 ? Ref<Direct3DBaseTexture8>(tex) : nullptr);
    dev.SetTextureStageState(0, D3DTSS_MAGFILTER, pick({D3DTEXF_POINT, D3DTEXF_LINEAR}));
    dev.SetTextureStageState(0, D3DTSS_MINFILTER, pick({D3DTEXF_POINT, D3DTEXF_LINEAR}));

    const auto type = static_cast<D3DPRIMITIVETYPE>(
        rng() % 4 ? pick({D3DPT_TRIANGLELIST, D3DPT_TRIANGLESTRIP, D3DPT_TRIANGLEFAN})
                  : pick({D3DPT_LINELIST, D3DPT_LINESTRIP, D3DPT_POINTLIST}));
    // Now and then a draw large enough for the front end to split it over
    // threads, of small primitives to keep the oracle quick; now and then
    // enormous triangles.
    const bool many = rng() % 8 == 0, enormous = !many && rng() % 6 == 0;
    const UINT prims = many ? 128 + rng() % 200 : enormous ? 1 + rng() % 3 : 1 + rng() % 40;
    const auto verts = PrimitiveVertexCount(type, prims);
    const float size = enormous ? 16000.0f : std::pow(10.0f, uni(-1.0f, many ? 1.3f : 2.5f));
    const bool pretransformed = enormous || rng() % 2;
    const float cx = uni(-50, 690), cy = uni(-50, 530), cz = uni(-5, 3), s = size / 100.0f;
    std::vector<std::uint32_t> v;
    auto put = [&v](float f) { v.push_back(std::bit_cast<std::uint32_t>(f)); };
    for (std::uint64_t i = 0; i < verts; ++i) {
      if (pretransformed) {
        put(cx + uni(-size, size));
        put(cy + uni(-size, size));
        put(uni(-0.1f, 1.1f));
        put(uni(0.1f, 2.0f));
      } else {
        put(cx / 160 - 2 + uni(-s, s));
        put(cy / 120 - 2 + uni(-s, s));
        put(cz + uni(-s, s));
      }
      v.push_back(rng());
      put(uni(-1, 2));
      put(uni(-1, 2));
    }
    dev.SetVertexShader((pretransformed ? D3DFVF_XYZRHW : D3DFVF_XYZ) | D3DFVF_DIFFUSE |
                        D3DFVF_TEX1);
    dev.DrawPrimitiveUP(type, prims, v.data(), pretransformed ? 28 : 24);
  }
  dev.EndScene();
}

TEST(TiledRasterizer, RandomScenesGiveTheBandRasterizersBytes) {
  const std::int32_t colourFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5,
                                        D3DFMT_X1R5G5B5};
  const std::int32_t depthFormats[] = {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D32};
  const int scenes = std::getenv("QUILLON_SANITIZED") ? 8 : 24;
  for (int i = 0; i < scenes; ++i) {
    const auto seed = static_cast<std::uint32_t>(1000 + i);
    // Mostly the program's formats; odd sizes cut blocks and tiles.
    const bool odd = i % 4 == 3;
    ExpectSameBytes(
        Windowed(odd ? 333 : 640, odd ? 201 : 480, i % 3 ? D3DFMT_X8R8G8B8 : colourFormats[i % 4],
                 i % 2 ? D3DFMT_D16 : depthFormats[i % 3]),
        [seed](Direct3DDevice8& dev) { RandomScene(seed, dev); },
        "random scene " + std::to_string(seed));
  }
}

}  // namespace
