// The tiled rasterizer must give exactly the band rasterizer's bytes, colour
// and depth, on one thread and on all of them: golden scenes, the program's
// frames and randomised scenes over primitives, states, formats and clears.
#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "refdevice/program_scenes.h"
#include "refdevice/ref_device.h"
#include "refdevice/ref_direct3d.h"
#include "refdevice/test_support.h"
#include "scene/scene.h"

namespace {

using namespace test_support;
using refdev::RasterizerKind;
using test_support::TestDataDir;
using DrawFn = std::function<void(Direct3DDevice8&)>;

struct Outcome {
  std::vector<std::uint8_t> colour, depth;
};

Outcome Render(RasterizerKind kind, int threads, const D3DPRESENT_PARAMETERS& params,
               const DrawFn& draw) {
  RefDirect3D8 d3d;
  d3d.SetRasterizerKind(kind);
  Ref<Direct3DDevice8> ref;
  D3DPRESENT_PARAMETERS p = params;
  EXPECT_EQ(
      d3d.CreateDevice(0, D3DDEVTYPE_REF, kWindow, D3DCREATE_SOFTWARE_VERTEXPROCESSING, p, ref),
      D3D_OK);
  Outcome out;
  if (!ref) return out;
  auto& dev = static_cast<RefDevice&>(*ref);
  dev.SetThreadCount(threads);
  draw(dev);
  const FrameView f = dev.BackBuffer();
  const auto* c = static_cast<const std::uint8_t*>(f.pixels);
  out.colour.assign(c, c + static_cast<std::size_t>(f.pitch) * f.height);
  const refdev::DepthBuffer& z = dev.DepthStencil();
  auto append = [&out](const auto& v) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(v.data());
    out.depth.insert(out.depth.end(), b, b + v.size() * sizeof(v[0]));
  };
  append(z.d16);
  append(z.d32);
  append(z.stencil);
  return out;
}

// Compares the tiled back end on 1 thread and on all threads, with each
// instruction set the kernels are compiled for that this processor runs, with
// the band rasterizer; reports the first differing byte.
void ExpectSameBytes(const D3DPRESENT_PARAMETERS& params, const DrawFn& draw,
                     const std::string& what) {
  const Outcome want = Render(RasterizerKind::kBand, 1, params, draw);
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets())
    for (int threads : {1, 64}) {
      hwy::SetSupportedTargetsForTest(target);
      const Outcome got = Render(RasterizerKind::kTiled, threads, params, draw);
      hwy::SetSupportedTargetsForTest(0);
      SCOPED_TRACE(hwy::TargetName(target));
      for (const auto& [a, b, name] : {std::tuple{&want.colour, &got.colour, "colour"},
                                       std::tuple{&want.depth, &got.depth, "depth"}}) {
        ASSERT_EQ(a->size(), b->size()) << what;
        const auto diff = std::mismatch(a->begin(), a->end(), b->begin());
        EXPECT_TRUE(diff.first == a->end()) << what << ", " << threads << " threads: " << name
                                            << " byte " << (diff.first - a->begin()) << " is "
                                            << int(*diff.second) << ", band " << int(*diff.first);
      }
    }
}

TEST(TiledRasterizer, GoldenScenesGiveTheBandRasterizersBytes) {
  for (const auto& entry : std::filesystem::directory_iterator(TestDataDir())) {
    if (entry.path().extension() != ".scene") continue;
    scene::Scene s;
    std::string error;
    ASSERT_TRUE(scene::LoadScene(entry.path().string(), s, &error)) << error;
    ExpectSameBytes(
        Windowed(),
        [&s](Direct3DDevice8& dev) {
          std::string e;
          EXPECT_EQ(scene::RunScene(dev, s, &e), D3D_OK) << e;
        },
        entry.path().filename().string());
  }
}

// The program's frame from several places along its path, with the turn of
// later frames: several frames in a row on one device, as the program draws,
// the first half of the triangles without blending. Two places also on a
// target that keeps alpha; frames that clear the colour alone draw over the
// depths the last frames left, so the tiles rebuild their depth bounds from
// the buffer, on sizes that cut blocks at the right and bottom edges too.
TEST(TiledRasterizer, CloudFramesGiveTheBandRasterizersBytes) {
  const std::vector<std::uint8_t> cloud = program_scenes::CloudVertices();
  constexpr UINT kHalf = program_scenes::kCloudTriangles / 2;
  constexpr UINT kStride = program_scenes::kCloudStride;
  struct Case {
    float eye;
    D3DFORMAT format;
    int width, height;
    bool keepDepth;  // later frames clear the colour alone
  };
  // clang-format off
  const Case cases[] = {
      {-5.0f, D3DFMT_X8R8G8B8, 640, 480, false}, {-2.5f, D3DFMT_X8R8G8B8, 640, 480, false},
      {-1.2f, D3DFMT_X8R8G8B8, 640, 480, false}, {-0.4f, D3DFMT_X8R8G8B8, 640, 480, false},
      {0.6f, D3DFMT_X8R8G8B8, 640, 480, false},  {3.0f, D3DFMT_X8R8G8B8, 640, 480, false},
      {-5.0f, D3DFMT_A8R8G8B8, 640, 480, false}, {-1.2f, D3DFMT_A8R8G8B8, 640, 480, false},
      {-2.5f, D3DFMT_X8R8G8B8, 640, 480, true},  {-2.5f, D3DFMT_X8R8G8B8, 333, 201, true},
  };
  // clang-format on
  for (const Case& c : cases) {
    ExpectSameBytes(
        Windowed(c.width, c.height, c.format, D3DFMT_D16),
        [&](Direct3DDevice8& dev) {
          program_scenes::CloudView view;
          view.eyeZ = c.eye;
          dev.SetVertexShader(program_scenes::kCloudFvf);
          dev.SetRenderState(D3DRS_LIGHTING, 0);
          dev.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
          dev.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
          dev.SetTransform(D3DTS_PROJECTION, program_scenes::CloudView::Projection());
          dev.SetTransform(D3DTS_VIEW, view.View());
          for (int frame = 0; frame < 3; ++frame) {
            view.angleX += 0.37f;
            view.angleY += 0.61f;
            dev.SetTransform(D3DTS_WORLD, view.World());
            dev.BeginScene();
            const DWORD clear =
                c.keepDepth && frame > 0 ? D3DCLEAR_TARGET : D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;
            dev.Clear(0, nullptr, clear, 0x800000FF, 1.0f, 0);
            dev.DrawPrimitiveUP(D3DPT_TRIANGLELIST, kHalf, cloud.data(), kStride);
            dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 0xFFFFFFFF);
            dev.DrawPrimitiveUP(D3DPT_TRIANGLELIST, program_scenes::kCloudTriangles - kHalf,
                                cloud.data() + kHalf * 3 * kStride, kStride);
            dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
            dev.EndScene();
            if (frame < 2) dev.Present(nullptr, nullptr, 0, nullptr);
          }
        },
        "cloud at " + std::to_string(c.eye) + (c.format == D3DFMT_A8R8G8B8 ? " with alpha" : "") +
            (c.keepDepth ? " over the last depths, " + std::to_string(c.width) : ""));
  }
}

// A clear that repeats what a tile already holds is skipped: frames in a row,
// flipped and copied, where a tile is drawn, partly cleared, cleared to
// other values, or left alone, then cleared again. Any tile wrongly taken as
// holding the clear's values keeps stale pixels in the last frame.
TEST(TiledRasterizer, RepeatedClearsLeaveWhatAFullClearWould) {
  struct Frame {
    D3DCOLOR colour;
    float z;
    bool draw;       // a triangle over the left half
    bool partClear;  // a rectangle cleared to another colour after the clear
  };
  const std::vector<std::vector<Frame>> runs = {
      // Drawn, then two clears only: each back buffer of the flip must lose
      // the triangle.
      {{0xFF0000FF, 1.0f, true, false},
       {0xFF0000FF, 1.0f, false, false},
       {0xFF0000FF, 1.0f, false, false}},
      // Cleared alone, then to other values, then back.
      {{0xFF0000FF, 1.0f, false, false},
       {0xFF0000FF, 1.0f, false, false},
       {0xFF00FF00, 0.5f, false, false},
       {0xFF0000FF, 1.0f, false, false},
       {0xFF0000FF, 1.0f, false, false}},
      // A rectangle cleared over a uniform tile, then the whole screen to
      // the rectangle's values.
      {{0xFF0000FF, 1.0f, false, false},
       {0xFF0000FF, 1.0f, false, true},
       {0xFFFF00FF, 0.25f, false, false},
       {0xFFFF00FF, 0.25f, false, false}},
      // Drawn every other frame.
      {{0xFF0000FF, 1.0f, true, false},
       {0xFF0000FF, 1.0f, false, false},
       {0xFF0000FF, 1.0f, true, false},
       {0xFF0000FF, 1.0f, false, false},
       {0xFF0000FF, 1.0f, false, false}},
  };
  for (const D3DSWAPEFFECT swap : {D3DSWAPEFFECT_DISCARD, D3DSWAPEFFECT_COPY}) {
    D3DPRESENT_PARAMETERS p = Windowed(333, 201, D3DFMT_X8R8G8B8, D3DFMT_D16);
    p.SwapEffect = swap;
    for (std::size_t r = 0; r < runs.size(); ++r)
      ExpectSameBytes(
          p,
          [&](Direct3DDevice8& dev) {
            struct V {
              float x, y, z, rhw;
              D3DCOLOR c;
            };
            const V tri[3] = {{0, 0, 0.3f, 1, 0xFFFF0000},
                              {160, 0, 0.3f, 1, 0xFFFFFF00},
                              {0, 200, 0.6f, 1, 0xFF00FFFF}};
            dev.SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
            dev.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
            const std::vector<Frame>& frames = runs[r];
            for (std::size_t f = 0; f < frames.size(); ++f) {
              const Frame& fr = frames[f];
              dev.BeginScene();
              dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, fr.colour, fr.z, 0);
              if (fr.partClear) {
                const D3DRECT rect{70, 30, 150, 100};
                dev.Clear(1, &rect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFF00FF, 0.25f, 0);
              }
              if (fr.draw) dev.DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(V));
              dev.EndScene();
              if (f + 1 < frames.size()) dev.Present(nullptr, nullptr, 0, nullptr);
            }
          },
          std::string(swap == D3DSWAPEFFECT_COPY ? "copied" : "flipped") + " frames, run " +
              std::to_string(r));
  }
}

// A texture rewritten between two draws of one scene while it stays bound:
// each draw sees the texels it was drawn with.
TEST(TiledRasterizer, ATextureRewrittenWhileBoundMidSceneKeepsEachDrawsTexels) {
  ExpectSameBytes(
      Windowed(),
      [](Direct3DDevice8& dev) {
        Ref<Direct3DTexture8> tex;
        ASSERT_EQ(dev.CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex), D3D_OK);
        auto fill = [&tex](std::uint32_t argb) {
          D3DLOCKED_RECT lr{};
          ASSERT_EQ(tex->LockRect(0, lr, nullptr, 0), D3D_OK);
          for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
              std::memcpy(static_cast<std::uint8_t*>(lr.pBits) + y * lr.Pitch + x * 4, &argb, 4);
          tex->UnlockRect(0);
        };
        struct V {
          float x, y, z, rhw;
          D3DCOLOR c;
          float u, v;
        };
        const V quad[4] = {{0, 300, 0.5f, 1, 0xFFFFFFFF, 0, 1},
                           {0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                           {400, 300, 0.5f, 1, 0xFFFFFFFF, 1, 1},
                           {400, 0, 0.5f, 1, 0xFFFFFFFF, 1, 0}};
        dev.SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        dev.SetTexture(0, tex);
        dev.BeginScene();
        dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        fill(0xFFFF0000);
        dev.DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(V));
        fill(0xFF00FF00);
        V moved[4];
        for (int i = 0; i < 4; ++i)
          moved[i] = {quad[i].x + 200, quad[i].y + 150, 0.4f, 1, quad[i].c, quad[i].u, quad[i].v};
        dev.DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, moved, sizeof(V));
        dev.EndScene();
      },
      "texture rewritten mid-scene");
}

// Random draws: triangles (lists, strips, fans), lines and points,
// pre-transformed or through a perspective, large and small, off the screen
// and culled; random depth, blend, alpha, shading, fog, cull and texture
// states; clears of the whole target and of rectangles between draws.
struct RandomScene {
  std::uint32_t seed;

  void operator()(Direct3DDevice8& dev) const {
    std::mt19937 rng(seed);
    auto uni = [&rng](float lo, float hi) {
      return std::uniform_real_distribution<float>(lo, hi)(rng);
    };
    auto pick = [&rng](std::initializer_list<DWORD> v) { return v.begin()[rng() % v.size()]; };

    Ref<Direct3DTexture8> tex;
    if (dev.CreateTexture(16, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex) == D3D_OK) {
      D3DSURFACE_DESC desc{};
      for (UINT level = 0; tex->GetLevelDesc(level, desc) == D3D_OK; ++level) {
        D3DLOCKED_RECT lr{};
        if (tex->LockRect(level, lr, nullptr, 0) != D3D_OK) break;
        for (UINT y = 0; y < desc.Height; ++y)
          for (UINT x = 0; x < desc.Width; ++x) {
            const std::uint32_t v = rng();
            std::memcpy(static_cast<std::uint8_t*>(lr.pBits) + y * lr.Pitch + x * 4, &v, 4);
          }
        tex->UnlockRect(level);
      }
    }
    dev.SetTransform(D3DTS_PROJECTION, Perspective(1.0f, 4.0f / 3.0f, 0.5f, 50.0f));
    dev.SetTransform(D3DTS_VIEW, Translation(0, 0, 4));
    dev.BeginScene();
    dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, rng(), uni(0.3f, 1.0f), 0);
    const int draws = 4 + static_cast<int>(rng() % 8);
    for (int n = 0; n < draws; ++n) {
      if (rng() % 5 == 0) {
        const auto x1 = static_cast<std::int32_t>(rng() % 600);
        const auto y1 = static_cast<std::int32_t>(rng() % 440);
        const D3DRECT rect{x1, y1, x1 + static_cast<std::int32_t>(rng() % 200),
                           y1 + static_cast<std::int32_t>(rng() % 200)};
        dev.Clear(1, &rect, rng() % 2 ? D3DCLEAR_TARGET : D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, rng(),
                  uni(0.0f, 1.0f), 0);
      }
      if (rng() % 6 == 0) {
        D3DVIEWPORT8 vp{static_cast<DWORD>(rng() % 100),
                        static_cast<DWORD>(rng() % 100),
                        static_cast<DWORD>(200 + rng() % 340),
                        static_cast<DWORD>(200 + rng() % 280),
                        0.0f,
                        1.0f};
        dev.SetViewport(vp);
      }
      dev.SetRenderState(D3DRS_ZENABLE, rng() % 4 != 0);
      dev.SetRenderState(D3DRS_ZWRITEENABLE, rng() % 4 != 0);
      dev.SetRenderState(D3DRS_ZFUNC, rng() % 2 ? DWORD{D3DCMP_LESSEQUAL}
                                                : pick({D3DCMP_LESS, D3DCMP_GREATER, D3DCMP_ALWAYS,
                                                        D3DCMP_EQUAL, D3DCMP_NOTEQUAL}));
      dev.SetRenderState(D3DRS_ALPHABLENDENABLE, rng() % 3 != 0);
      const bool classic = rng() % 2;
      dev.SetRenderState(D3DRS_SRCBLEND, classic
                                             ? DWORD{D3DBLEND_SRCALPHA}
                                             : pick({D3DBLEND_ONE, D3DBLEND_DESTCOLOR,
                                                     D3DBLEND_SRCCOLOR, D3DBLEND_INVDESTALPHA}));
      dev.SetRenderState(
          D3DRS_DESTBLEND,
          classic ? DWORD{D3DBLEND_INVSRCALPHA}
                  : pick({D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, D3DBLEND_SRCALPHA}));
      dev.SetRenderState(D3DRS_SHADEMODE, rng() % 5 ? D3DSHADE_GOURAUD : D3DSHADE_FLAT);
      dev.SetRenderState(D3DRS_CULLMODE, pick({D3DCULL_CCW, D3DCULL_CW, D3DCULL_NONE}));
      dev.SetRenderState(D3DRS_ALPHATESTENABLE, rng() % 5 == 0);
      dev.SetRenderState(D3DRS_ALPHAREF, rng() % 256);
      dev.SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
      dev.SetRenderState(D3DRS_FOGENABLE, rng() % 5 == 0);
      dev.SetRenderState(D3DRS_FOGTABLEMODE, pick({D3DFOG_NONE, D3DFOG_LINEAR, D3DFOG_EXP}));
      dev.SetRenderState(D3DRS_FOGCOLOR, rng());
      dev.SetRenderState(D3DRS_COLORWRITEENABLE, rng() % 8 ? 0xF : rng() % 16);
      const bool textured = rng() % 4 == 0;
      dev.SetTexture(0, textured ? Ref<Direct3DBaseTexture8>(tex) : Ref<Direct3DBaseTexture8>());
      dev.SetTextureStageState(0, D3DTSS_MAGFILTER, pick({D3DTEXF_POINT, D3DTEXF_LINEAR}));
      dev.SetTextureStageState(0, D3DTSS_MINFILTER, pick({D3DTEXF_POINT, D3DTEXF_LINEAR}));

      const D3DPRIMITIVETYPE type = static_cast<D3DPRIMITIVETYPE>(
          rng() % 4 ? pick({D3DPT_TRIANGLELIST, D3DPT_TRIANGLESTRIP, D3DPT_TRIANGLEFAN})
                    : pick({D3DPT_LINELIST, D3DPT_LINESTRIP, D3DPT_POINTLIST}));
      // Now and then a draw large enough for the front end to split it
      // over threads, of small primitives to keep the oracle quick.
      const bool many = rng() % 8 == 0;
      const UINT prims = many ? 128 + rng() % 200 : 1 + rng() % 40;
      const UINT verts = type == D3DPT_TRIANGLELIST ? prims * 3
                         : type == D3DPT_LINELIST   ? prims * 2
                         : type == D3DPT_POINTLIST  ? prims
                         : type == D3DPT_LINESTRIP  ? prims + 1
                                                    : prims + 2;
      // Sizes from slivers to several times the screen.
      const float size = std::pow(10.0f, uni(-1.0f, many ? 1.3f : 2.5f));
      if (rng() % 2) {
        struct V {
          float x, y, z, rhw;
          D3DCOLOR c;
          float u, v;
        };
        std::vector<V> v(verts);
        const float cx = uni(-50, 690), cy = uni(-50, 530);
        for (V& p : v)
          p = {cx + uni(-size, size),
               cy + uni(-size, size),
               uni(-0.1f, 1.1f),
               uni(0.1f, 2.0f),
               static_cast<D3DCOLOR>(rng()),
               uni(-1, 2),
               uni(-1, 2)};
        dev.SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        dev.DrawPrimitiveUP(type, prims, v.data(), sizeof(V));
      } else {
        struct V {
          float x, y, z;
          D3DCOLOR c;
          float u, v;
        };
        std::vector<V> v(verts);
        const float s = size / 100.0f;
        const float cx = uni(-2, 2), cy = uni(-2, 2), cz = uni(-5, 3);
        for (V& p : v)
          p = {cx + uni(-s, s), cy + uni(-s, s), cz + uni(-s, s), static_cast<D3DCOLOR>(rng()),
               uni(-1, 2),      uni(-1, 2)};
        dev.SetRenderState(D3DRS_LIGHTING, 0);
        dev.SetTransform(D3DTS_WORLD, Identity());
        dev.SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        dev.DrawPrimitiveUP(type, prims, v.data(), sizeof(V));
      }
    }
    dev.EndScene();
  }
};

// Triangles reaching far past the screen, to the guard band, whose edge
// values over a tile overflow 32 bits, blended over one another with the
// depth test, and small ones among them.
TEST(TiledRasterizer, EnormousTrianglesGiveTheBandRasterizersBytes) {
  for (std::uint32_t seed = 1; seed <= 4; ++seed)
    ExpectSameBytes(
        Windowed(640, 480, D3DFMT_X8R8G8B8, D3DFMT_D16),
        [seed](Direct3DDevice8& dev) {
          std::mt19937 rng(seed);
          auto uni = [&rng](float a, float b) {
            return std::uniform_real_distribution<float>(a, b)(rng);
          };
          struct V {
            float x, y, z, rhw;
            D3DCOLOR c;
          };
          std::vector<V> v;
          for (int i = 0; i < 36; ++i) {
            const bool small = i % 4 == 3;
            const float cx = small ? uni(0, 640) : 320, cy = small ? uni(0, 480) : 240;
            const float reach = small ? 60.0f : 16000.0f;
            v.push_back({cx + uni(-reach, reach), cy + uni(-reach, reach), uni(0.0f, 1.0f),
                         uni(0.05f, 2.0f), static_cast<D3DCOLOR>(rng())});
          }
          dev.BeginScene();
          dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000040, 1.0f, 0);
          dev.SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
          dev.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
          dev.SetRenderState(D3DRS_ALPHABLENDENABLE, seed % 2);
          dev.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
          dev.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
          dev.DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(v.size() / 3), v.data(),
                              sizeof(V));
          dev.EndScene();
        },
        "enormous triangles " + std::to_string(seed));
}

TEST(TiledRasterizer, RandomScenesGiveTheBandRasterizersBytes) {
  const std::int32_t colourFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5,
                                        D3DFMT_X1R5G5B5};
  const std::int32_t depthFormats[] = {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D32};
  const int scenes = std::getenv("QUILLON_SANITIZED") ? 16 : 48;
  for (int i = 0; i < scenes; ++i) {
    const auto seed = static_cast<std::uint32_t>(1000 + i);
    // Mostly the program's formats; odd sizes cut blocks and tiles.
    const bool odd = i % 4 == 3;
    const D3DPRESENT_PARAMETERS p =
        Windowed(odd ? 333 : 640, odd ? 201 : 480, i % 3 ? D3DFMT_X8R8G8B8 : colourFormats[i % 4],
                 i % 2 ? D3DFMT_D16 : depthFormats[i % 3]);
    ExpectSameBytes(p, RandomScene{seed}, "random scene " + std::to_string(seed));
  }
}

}  // namespace
