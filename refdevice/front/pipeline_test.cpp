// The reference device's rules from vertices to pixels: snapping and the
// fill rule, depth planes, culling, shading, points and lines, clipping,
// vertex formats, lighting, the pixel stage's blend, fog, texture and stencil
// rules, and the back buffer formats.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "refdevice/draw/setup_primitives.h"
#include "refdevice/test_support.h"

using namespace test_support;

namespace {

// Pixel centres lie on integers. Positions snap to 1/256 pixel, halves
// towards minus infinity in x and towards plus infinity in y; the top-left
// rule then decides centres on edges: left and top edges take them, right and
// bottom ones don't.
TEST(Rasterizer, TopLeftRuleOnPositionsSnappedToA256th) {
  struct Case {
    float x0, y0, x1, y1;  // the rectangle
    int x, y;              // the pixel looked at
    bool covered;
    int lit = 0;  // pixels lit in all, when it matters
  };
  constexpr float q = 1.0f / 1024, h = 1.0f / 512, s = 1.0f / 256;
  // clang-format off
  const Case cases[] = {
      {2, 3, 6, 5, 2, 3, true, 4 * 2},  // edges through centres
      {2, 3, 6, 5, 5, 4, true}, {2, 3, 6, 5, 6, 4, false}, {2, 3, 6, 5, 5, 5, false},
      {1.5f, 1.5f, 3.5f, 2.5f, 2, 2, true, 2}, {1.5f, 1.5f, 3.5f, 2.5f, 3, 2, true},  // half-pixel edges
      {8 + q, 2, 12, 6, 8, 4, true},   // a left edge moved right by under half a step stays
      {8 + h, 2, 12, 6, 8, 4, true},   // ...and by half a step (halves go left in x)
      {4, 2, 8 + h, 6, 8, 4, false},   // a right edge likewise
      {2, 8 + q, 6, 12, 4, 8, true},   // a top edge moved down by under half a step
      {2, 4, 6, 8 + q, 4, 8, false},   // a bottom edge likewise
      {2, 8 + h, 6, 12, 4, 8, false}, {2, 4, 6, 8 + h, 4, 8, true},  // half a step down: the next step
      {8 + s, 2, 12, 6, 8, 4, false}, {4, 2, 8 + s, 6, 8, 4, true},  // a whole step is kept
      {2, 8 + s, 6, 12, 4, 8, false}, {2, 4, 6, 8 + s, 4, 8, true},
      {8 - s, 2, 12, 6, 8, 4, true}, {2, 8 - s, 6, 12, 4, 8, true},  // left of and above a centre by a step: inside
  };
  // clang-format on
  Fixture f(Windowed(16, 16));
  for (const Case& c : cases) {
    f.Clear();
    f.Rect(c.x0, c.y0, c.x1, c.y1, 0xFFFFFFFF);
    EXPECT_EQ(f.Rgb(c.x, c.y) == 0xFFFFFFu, c.covered)
        << c.x0 << "," << c.y0 << " - " << c.x1 << "," << c.y1;
    if (c.lit) {
      EXPECT_EQ(f.Count(0xFFFFFF), c.lit) << c.x0 << "," << c.y0;
    }
  }
}

// Triangles adding 0x40 to each channel with ONE/ONE blending, so a pixel
// drawn twice shows 0x80: a strip zig-zagging down the screen in thin slices
// and a fan round an off-centre hub closing on its first rim vertex, each
// longer than one pass of the front end, cover every pixel once. (Shared
// edges of other slopes: the golden scenes.)
TEST(Rasterizer, StripsAndFansCoverEachPixelOnce) {
  Fixture f(Windowed(640, 480, D3DFMT_X8R8G8B8, 0));
  f.Set({{D3DRS_ALPHABLENDENABLE, 1},
         {D3DRS_SRCBLEND, D3DBLEND_ONE},
         {D3DRS_DESTBLEND, D3DBLEND_ONE}});
  constexpr int kTriangles = 9001;
  std::vector<TlVertex> strip, fan{V(350.3f, 270.7f, 0xFF404040)};
  for (int i = 0; i < kTriangles + 2; ++i) {
    const float y = -4.0f + 488.0f * static_cast<float>(i / 2) / ((kTriangles + 1) / 2);
    strip.push_back(V(i % 2 ? 644.0f : -4.0f, y, 0xFF404040));
  }
  for (int i = 0; i <= kTriangles; ++i) {
    const double a = 2.0 * 3.14159265358979 * (i % kTriangles) / kTriangles;
    fan.push_back(V(static_cast<float>(320 + 900 * std::cos(a)),
                    static_cast<float>(240 + 900 * std::sin(a)), 0xFF404040));
  }
  for (const auto& [type, v] :
       {std::pair{D3DPT_TRIANGLESTRIP, &strip}, std::pair{D3DPT_TRIANGLEFAN, &fan}}) {
    f.Clear();
    f.Draw(type, kTriangles, v->data());
    EXPECT_EQ(f.Count(0x404040), 640 * 480) << type;
  }
}

// Compare functions from NEVER (1) to ALWAYS (8) less one are masks of
// less (1), equal (2) and greater (4).
bool Passes(int func, std::uint16_t incoming, std::uint16_t stored) {
  const int relation = incoming < stored ? 1 : incoming == stored ? 2 : 4;
  return ((func - 1) & relation) != 0;
}

// A triangle's depth at pixel centre (x, y): the plane through its unsnapped
// vertices, from the first, in single precision, stored in 16 bits as
// floor(clamp(z, 0, 1) * 65535 + 1/2).
std::uint16_t PlaneDepth16(const TlVertex* v, int x, int y) {
  const float dx1 = v[1].x - v[0].x, dy1 = v[1].y - v[0].y, dz1 = v[1].z - v[0].z;
  const float dx2 = v[2].x - v[0].x, dy2 = v[2].y - v[0].y, dz2 = v[2].z - v[0].z;
  const float det = dx1 * dy2 - dx2 * dy1;
  const float dzdx = (dz1 * dy2 - dz2 * dy1) / det, dzdy = (dx1 * dz2 - dx2 * dz1) / det;
  const float z =
      v[0].z + dzdx * (static_cast<float>(x) - v[0].x) + dzdy * (static_cast<float>(y) - v[0].y);
  return static_cast<std::uint16_t>(
      std::floor(static_cast<double>(std::clamp(z, 0.0f, 1.0f)) * 65535.0 + 0.5));
}

// Each triangle alone stores the plane at every pixel centre it covers (a
// constant 0.5 rounds up to 32768). Then for two triangles whose depths cross
// along a line, about one 16-bit step a pixel apart there so that many pixels
// tie, under every compare function the second wins exactly where its stored
// value passes against the first's; without the first's depth writes it
// wins against the cleared 65535.
TEST(Rasterizer, DepthIsThePlaneAtThePixelCentreUnderEveryCompareFunction) {
  // clang-format off
  const TlVertex p{21.37f, 33.91f, 0.1234f, 1, 0xFF0000}, q{611.05f, 97.5f, 0.7771f, 0.5f, 0xFF0000}, r{140.26f, 466.63f, 0.4242f, 0.25f, 0xFF0000};
  const std::vector<TlVertex> first = {{30.2f, 40.7f, 0.40042f, 1, 0xFF0000}, {600.4f, 60.1f, 0.40618f, 1, 0xFF0000}, {90.6f, 450.3f, 0.40226f, 1, 0xFF0000}};
  const std::vector<TlVertex> second = {{20.9f, 420.2f, 0.40705f, 1, 0x00FF00}, {580.3f, 20.8f, 0.40026f, 1, 0x00FF00}, {610.1f, 440.6f, 0.40122f, 1, 0x00FF00}};
  // clang-format on
  // Draws the triangles, the first with ALWAYS, the others with `func`.
  auto draw = [](const std::vector<std::vector<TlVertex>>& draws, int func, bool writeFirst) {
    auto f = std::make_unique<Fixture>();
    f->Set({{D3DRS_CULLMODE, D3DCULL_NONE}});
    f->Clear(0, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
    for (std::size_t i = 0; i < draws.size(); ++i) {
      f->Set({{D3DRS_ZFUNC, static_cast<DWORD>(i == 0 ? D3DCMP_ALWAYS : func)},
              {D3DRS_ZWRITEENABLE, i > 0 || writeFirst}});
      f->Draw(D3DPT_TRIANGLELIST, 1, draws[i].data());
    }
    return f;
  };
  // clang-format off
  const std::vector<std::vector<TlVertex>> alone = {
      {p, q, r}, {q, r, p}, {r, p, q}, {p, r, q}, first, second,
      {{13.3f, 17.1f, 0.5f, 1, 0xFF0000}, {301.7f, 40.2f, 0.5f, 1, 0xFF0000}, {40.9f, 260.6f, 0.5f, 1, 0xFF0000}}};
  // clang-format on
  std::vector<std::vector<bool>> covers;
  for (const std::vector<TlVertex>& tri : alone) {
    const auto f = draw({tri}, D3DCMP_ALWAYS, true);
    std::int64_t covered = 0, wrong = 0;
    covers.emplace_back(640 * 480);
    for (int i = 0; i < 640 * 480; ++i) {
      if (f->Rgb(i % 640, i / 640) == 0) continue;
      ++covered;
      covers.back()[static_cast<std::size_t>(i)] = true;
      wrong += f->dev->DepthStencil().d16[static_cast<std::size_t>(i)] !=
               PlaneDepth16(tri.data(), i % 640, i / 640);
    }
    EXPECT_GT(covered, 30000);
    EXPECT_EQ(wrong, 0) << tri[0].x;
  }
  for (int fn = D3DCMP_NEVER; fn <= D3DCMP_ALWAYS + 1; ++fn) {
    const bool writeFirst = fn <= D3DCMP_ALWAYS;  // the last round: LESS without
    const int func = writeFirst ? fn : D3DCMP_LESS;
    const auto both = draw({first, second}, func, writeFirst);
    std::int64_t shared = 0, ties = 0, wrong = 0;
    for (int i = 0; i < 640 * 480; ++i) {
      const int x = i % 640, y = i / 640;
      if (!covers[4][static_cast<std::size_t>(i)] || !covers[5][static_cast<std::size_t>(i)])
        continue;
      ++shared;
      const std::uint16_t z1 = writeFirst ? PlaneDepth16(first.data(), x, y) : 65535;
      const std::uint16_t z2 = PlaneDepth16(second.data(), x, y);
      ties += z1 == z2;
      wrong += both->Rgb(x, y) != (Passes(func, z2, z1) ? 0x00FF00u : 0xFF0000u);
    }
    EXPECT_GT(shared, 10000) << fn;
    if (writeFirst) {
      EXPECT_GT(ties, 20) << fn;
    }
    EXPECT_EQ(wrong, 0) << "ZFUNC " << fn << (writeFirst ? "" : " without the first's writes");
  }
}

// One draw a row on a cleared 64x16 target: how many pixels it lights (-1:
// not counted) and some of their colours.
TEST(Rasterizer, CullingShadingPointsLinesAndFillModes) {
  struct Row {
    const char* what;
    std::vector<Set> states;
    D3DPRIMITIVETYPE type;
    std::vector<TlVertex> v;
    int lit;
    std::vector<std::tuple<int, int, std::uint32_t>> pixels;
  };
  const std::vector<TlVertex> cw = {V(1, 1), V(13, 1), V(1, 13)},
                              ccw = {V(1, 1), V(1, 13), V(13, 1)};
  const std::vector<Set> wire = {{D3DRS_FILLMODE, D3DFILL_WIREFRAME}};
  constexpr auto kList = D3DPT_TRIANGLELIST, kStrip = D3DPT_TRIANGLESTRIP;
  // clang-format off
  const Row rows[] = {
      {"culling clockwise", {{D3DRS_CULLMODE, D3DCULL_CW}}, kList, cw, 0, {}},
      {"", {{D3DRS_CULLMODE, D3DCULL_CW}}, kList, ccw, -1, {{2, 2, 0xFFFFFF}}},
      {"no culling", {{D3DRS_CULLMODE, D3DCULL_NONE}}, kList, ccw, -1, {{2, 2, 0xFFFFFF}}},
      // Left edge near (rhw 1), right edge four times as far (rhw 0.25): at the
      // middle the perspective-correct weight of the right colour is 0.2.
      {"perspective", {{D3DRS_CULLMODE, D3DCULL_NONE}}, kStrip, {V(0, 0, 0xFF000000), V(64, 0, 0xFFFF0000, 0.5f, 0.25f), V(0, 8, 0xFF000000), V(64, 8, 0xFFFF0000, 0.5f, 0.25f)}, -1, {{32, 4, 0x330000}}},
      {"flat: each triangle's first vertex", {{D3DRS_CULLMODE, D3DCULL_NONE}, {D3DRS_SHADEMODE, D3DSHADE_FLAT}}, kStrip, {V(0, 0, 0xFFFF0000), V(64, 0, 0xFF00FF00), V(0, 8, 0xFF0000FF), V(64, 8, ~0u)}, -1, {{2, 2, 0xFF0000}, {60, 6, 0x00FF00}}},
      // Each point lights the pixel whose square [c - 0.5, c + 0.5) holds it.
      {"points", {}, D3DPT_POINTLIST, {V(3.0f, 4.0f), V(10.4f, 11.6f), V(5.5f, 7.5f)}, 3, {{3, 4, 0xFFFFFF}, {10, 12, 0xFFFFFF}, {5, 7, 0xFFFFFF}}},
      {"a line with its last pixel", {}, D3DPT_LINELIST, {V(2, 5, 0xFF000100), V(8, 5, 0xFFFF0000)}, 7, {{8, 5, 0xFF0000}, {5, 5, 0x800100}}},
      {"lines without", {{D3DRS_LASTPIXEL, 0}}, D3DPT_LINESTRIP, {V(1, 1), V(1, 9), V(9, 13)}, 8 + 8, {}},
      // Fill modes: a culled face draws nothing; a shown one its edges or corners.
      {"wireframe, culled", wire, kList, ccw, 0, {}},
      {"wireframe", wire, kList, cw, -1, {{6, 1, 0xFFFFFF}, {1, 6, 0xFFFFFF}, {7, 7, 0xFFFFFF}, {4, 4, 0}}},
      {"corners", {{D3DRS_FILLMODE, D3DFILL_POINT}}, kList, cw, 3, {}},
  };
  // clang-format on
  for (const Row& r : rows) {
    Fixture f(Windowed(64, 16));
    f.Set(r.states);
    f.Clear();
    const UINT count = r.type == kStrip               ? 2
                       : r.type == D3DPT_TRIANGLELIST ? 1
                       : r.type == D3DPT_POINTLIST    ? 3
                                                      : r.v.size() - 1;
    f.Draw(r.type, count, r.v.data());
    if (r.lit >= 0) {
      EXPECT_EQ(64 * 16 - f.Count(0), r.lit) << r.what;
    }
    for (const auto& [x, y, rgb] : r.pixels)
      EXPECT_EQ(f.Rgb(x, y), rgb) << r.what << " at " << x << "," << y;
  }
  // Lines and points are depth-tested at their own depth: behind a nearer
  // rectangle they stay hidden.
  Fixture f(Windowed(64, 16));
  f.Clear(0, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
  f.Rect(0, 0, 64, 16, 0xFF0000FF);
  const TlVertex behind[3] = {V(2, 5, ~0u, 0.8f), V(8, 5, ~0u, 0.8f), V(4, 9, ~0u, 0.8f)};
  f.Draw(D3DPT_LINELIST, 1, behind);
  f.Draw(D3DPT_POINTLIST, 3, behind);
  EXPECT_EQ(f.Count(0x0000FF), 64 * 16);
}

TEST(Clipping, NearAndFarPlanesAndTheGuardBand) {
  Fixture f(Windowed(64, 64));
  f.Set({{D3DRS_LIGHTING, 0}, {D3DRS_CULLMODE, D3DCULL_NONE}});
  f.dev->SetTransform(D3DTS_PROJECTION, Perspective(1.5707964f, 1.0f, 1.0f, 100.0f));
  auto draw = [&](const XyzVertex* v, UINT count) {
    f.Clear(0, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
    f.Draw(D3DPT_TRIANGLELIST, count, v, sizeof(XyzVertex), kXyzFvf);
    return 64 * 64 - f.Count(0);
  };
  // Wholly behind the eye, wholly beyond the far plane: nothing; a triangle
  // far wider than the guard band still covers the screen exactly.
  for (const auto& [x, z, lit] :
       {std::tuple{1.0f, -2.0f, 0}, {1.0f, 200.0f, 0}, {1e5f, 10.0f, 64 * 64}}) {
    const XyzVertex v[3] = {{-x, -x, z, ~0u}, {x, -x, z, ~0u}, {0, x, z, ~0u}};
    EXPECT_EQ(draw(v, 1), lit) << x << "," << z;
  }
  // A floor under the eye reaching behind it: clipped at the near plane, it
  // fills the lower half of the screen and nothing above the horizon.
  const XyzVertex floor[6] = {{-500, -1, -5, ~0u}, {500, -1, -5, ~0u}, {-500, -1, 99, ~0u},
                              {500, -1, -5, ~0u},  {500, -1, 99, ~0u}, {-500, -1, 99, ~0u}};
  EXPECT_GT(draw(floor, 2), 64 * 28);
  EXPECT_EQ(f.Rgb(32, 63), 0xFFFFFFu);
  EXPECT_EQ(f.Rgb(0, 63), 0xFFFFFFu);
  EXPECT_EQ(f.Rgb(32, 20), 0u);
}

// Not a number, infinities and huge values in any field of any corner, of
// triangles, lines and points, transformed or not: nothing lands outside
// the viewport.
TEST(Clipping, NanInfiniteAndHugeCoordinatesStayInside) {
  Fixture f(Windowed(32, 32));
  f.Set({{D3DRS_CULLMODE, D3DCULL_NONE}, {D3DRS_LIGHTING, 0}});
  f.Clear(0xFF00FF00);
  ASSERT_EQ(f.dev->SetViewport({8, 8, 16, 16, 0.0f, 1.0f}), D3D_OK);
  const float inf = std::numeric_limits<float>::infinity();
  for (float b : {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1e38f, -1e38f, 3e9f})
    for (int i = 0; i < 3 * 4 + 3 * 3; ++i) {  // x, y, z, rhw of a corner, then x, y, z
      TlVertex t[3] = {V(10, 10), V(20, 10), V(10, 20)};
      XyzVertex u[3] = {{0, 0, 0.5f, ~0u}, {1, 0, 0.5f, ~0u}, {0, 1, 0.5f, ~0u}};
      const bool tl = i < 12;
      (tl ? &t[i / 4].x + i % 4 : &u[(i - 12) / 3].x + (i - 12) % 3)[0] = b;
      for (auto type : {D3DPT_TRIANGLELIST, D3DPT_LINELIST, D3DPT_POINTLIST})
        f.Draw(type, type == D3DPT_POINTLIST ? 3 : 1, tl ? static_cast<void*>(t) : u,
               tl ? sizeof(TlVertex) : sizeof(XyzVertex), tl ? kTlFvf : kXyzFvf);
    }
  f.Clear(0xFF00FF00);  // the viewport: then any other colour lies outside it
  EXPECT_EQ(f.Count(0x00FF00), 32 * 32);
}

// One rule a row: a full-screen quad of `colour` (pre-transformed with a
// specular colour, or untransformed: through identity transforms, or at eye
// depth `eye`) drawn over a target cleared to `clear`, with the row's states
// and, where `eye` is set, a perspective projection; the pixel in the middle
// as read back.
struct PixelRow {
  const char* what;
  std::vector<Set> states;
  D3DCOLOR clear, colour;
  std::uint32_t want;
  std::int32_t format = D3DFMT_A8R8G8B8;
  bool transformed = false;
  D3DCOLOR specular = 0;
  float eye = 0;
};

std::vector<Set> Blend(DWORD src, DWORD dst) {
  return {{D3DRS_ALPHABLENDENABLE, 1}, {D3DRS_SRCBLEND, src}, {D3DRS_DESTBLEND, dst}};
}
// Table (or vertex) fog towards white.
std::vector<Set> Fog(DWORD mode, float start, float end, float density = 1,
                     int kind = D3DRS_FOGTABLEMODE) {
  return {{D3DRS_FOGENABLE, 1},
          {D3DRS_FOGCOLOR, 0x00FFFFFF},
          {kind, mode},
          {D3DRS_FOGSTART, refdev::AsBits(start)},
          {D3DRS_FOGEND, refdev::AsBits(end)},
          {D3DRS_FOGDENSITY, refdev::AsBits(density)},
          {D3DRS_LIGHTING, 0}};
}

TEST(PixelStage, RulesOnAFullScreenQuad) {
  constexpr D3DCOLOR kDst = 0x80204080, kSrc = 0x40FF8000;  // alpha 128 and 64
  const std::vector<Set> alphaTest = {
      {D3DRS_ALPHATESTENABLE, 1}, {D3DRS_ALPHAFUNC, D3DCMP_GREATER}, {D3DRS_ALPHAREF, 0x40}};
  // clang-format off
  const PixelRow rows[] = {
      {"one, one", Blend(D3DBLEND_ONE, D3DBLEND_ONE), kDst, kSrc, 0xC0FFC080},
      {"zero, src colour", Blend(D3DBLEND_ZERO, D3DBLEND_SRCCOLOR), kDst, kSrc, 0x20202000},
      {"dest colour", Blend(D3DBLEND_DESTCOLOR, D3DBLEND_ZERO), kDst, kSrc, 0x20202000},
      {"inverse dest colour", Blend(D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO), kDst, kSrc, 0x20DF6000},
      {"dest alpha", Blend(D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA), kDst, kSrc, 0x60906040},
      {"src alpha saturated", Blend(D3DBLEND_SRCALPHASAT, D3DBLEND_ZERO), kDst, kSrc, 0x40402000},
      {"both src alpha", Blend(D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO), kDst, kSrc, 0x70585060},
      {"inverse src colour", Blend(D3DBLEND_INVSRCCOLOR, D3DBLEND_ZERO), kDst, kSrc, 0x30004000},
      // Each product is brought back to 8 bits on its own, then they are added:
      // M(c * a) + M(d * (255 - a)) with M(p) = (p + (p >> 8) + 128) >> 8.
      // Dividing the sum once would give 0x80, 0x7F, 0x7F here.
      {"products rounded apart", Blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA), 0xFF7FFECC, 0x80800133, 0xBF7F8080},
      {"the sum saturates", Blend(D3DBLEND_ONE, D3DBLEND_ONE), 0xFF7FFECC, 0x80808080, 0xFFFFFFFF},
      {"reverse subtraction", {{D3DRS_ALPHABLENDENABLE, 1}, {D3DRS_DESTBLEND, D3DBLEND_ONE}, {D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT}}, kDst, kSrc, 0x40000080},
      {"colour writes of red and alpha", {{D3DRS_COLORWRITEENABLE, 9}}, kDst, kSrc, 0x40FF4080},
      {"alpha test fails at the reference", alphaTest, kDst, 0x40FFFFFF, kDst},
      {"alpha test passes above it", alphaTest, kDst, 0x41FFFFFF, 0x41FFFFFF},
      {"R5G6B5 widened", {}, 0, 0x7F3080C0, 0xFF3182C6, D3DFMT_R5G6B5},
      {"X1R5G5B5 widened", {}, 0, 0x7F3080C0, 0xFF3184C6, D3DFMT_X1R5G5B5},
      {"specular off", {}, 0, 0xFF400000, 0xFF400000, D3DFMT_A8R8G8B8, false, 0xFF300080},
      {"specular added", {{D3DRS_SPECULARENABLE, 1}}, 0, 0xFF400000, 0xFF700080, D3DFMT_A8R8G8B8, false, 0xFF300080},
      // Lighting without lights gives black with the diffuse alpha; the
      // ambient light times an ambient taken from the vertex colour.
      {"lit without lights", {}, ~0u, 0x80FF8040, 0x80000000, D3DFMT_A8R8G8B8, true},
      {"ambient from the colour", {{D3DRS_AMBIENT, 0x00808080}, {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1}}, ~0u, 0x80FF8040, 0x80804020, D3DFMT_A8R8G8B8, true},
      // Under a perspective projection table fog is on the eye depth, w.
      {"linear fog halfway", Fog(D3DFOG_LINEAR, 4, 6), 0, 0xFF000000, 0xFF7F7F7F, D3DFMT_A8R8G8B8, true, 0, 5},
      {"before the fog", Fog(D3DFOG_LINEAR, 4, 6), 0, 0xFF000000, 0xFF000000, D3DFMT_A8R8G8B8, true, 0, 3},
      {"beyond the fog", Fog(D3DFOG_LINEAR, 4, 6), 0, 0xFF000000, 0xFFFFFFFF, D3DFMT_A8R8G8B8, true, 0, 7},
      {"exponential fog", Fog(D3DFOG_EXP, 0, 1, 0.5f), 0, 0xFF000000, 0xFFA1A1A1, D3DFMT_A8R8G8B8, true, 0, 2},  // 1 - e^-1
      {"squared", Fog(D3DFOG_EXP2, 0, 1, 0.25f), 0, 0xFF000000, 0xFF383838, D3DFMT_A8R8G8B8, true, 0, 2},  // 1 - e^-0.25
      {"vertex fog", Fog(D3DFOG_LINEAR, 4, 6, 1, D3DRS_FOGVERTEXMODE), 0, 0xFF000000, 0xFF7F7F7F, D3DFMT_A8R8G8B8, true, 0, 5},
      // Pre-transformed vertices take it from their z (0.5), whatever the projection.
      {"pre-transformed fog", Fog(D3DFOG_LINEAR, 0, 1), 0, 0xFF000000, 0xFF7F7F7F, D3DFMT_A8R8G8B8, false, 0, 5},
  };
  // clang-format on
  for (const PixelRow& row : rows) {
    Fixture f(Windowed(8, 8, row.format, 0));
    f.Set({{D3DRS_CULLMODE, D3DCULL_NONE}});
    f.Set(row.states);
    f.Clear(row.clear);
    if (row.eye) f.dev->SetTransform(D3DTS_PROJECTION, Perspective(1.0f, 1.0f, 1.0f, 100.0f));
    const D3DCOLOR c = row.colour, s = row.specular;
    if (row.transformed) {
      const float d = row.eye ? row.eye : 1, z = row.eye ? row.eye : 0.5f;
      const XyzVertex q[4] = {{-d, -d, z, c}, {-d, d, z, c}, {d, -d, z, c}, {d, d, z, c}};
      f.Draw(D3DPT_TRIANGLESTRIP, 2, q, sizeof(XyzVertex), kXyzFvf);
    } else {
      struct SpecularVertex {
        TlVertex v;
        D3DCOLOR specular;
      };
      const SpecularVertex q[4] = {
          {V(0, 0, c), s}, {V(8, 0, c), s}, {V(0, 8, c), s}, {V(8, 8, c), s}};
      f.Draw(D3DPT_TRIANGLESTRIP, 2, q, sizeof(SpecularVertex), kTlFvf | D3DFVF_SPECULAR);
    }
    EXPECT_EQ(f.Pixel(3, 3), row.want) << row.what;
  }
}

TEST(PixelStage, DepthFormatsAndStencilOperations) {
  // 16 bits cannot tell these depths apart (LESSEQUAL lets the second
  // through); an alpha test moves the depth test after it.
  for (auto depth : {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D32})
    for (DWORD late : {0u, 1u}) {
      Fixture f(Windowed(8, 8, D3DFMT_X8R8G8B8, depth));
      f.Set({{D3DRS_ALPHATESTENABLE, late}});
      f.Clear(0, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
      f.Rect(0, 0, 8, 8, 0xFFFF0000, 0.3f);
      f.Rect(0, 0, 8, 8, 0xFF00FF00, 0.30001f);
      f.Rect(0, 0, 8, 8, 0xFF0000FF, 0.5f);  // behind both
      EXPECT_EQ(f.Rgb(1, 1), depth == D3DFMT_D16 ? 0x00FF00u : 0xFF0000u) << depth << ", " << late;
    }
  // The stencil after one operation on a stored value, and whether the
  // EQUAL test against `ref` passes.
  struct Row {
    DWORD op;
    std::uint8_t stored, ref, mask, want;
  };
  // clang-format off
  const Row rows[] = {
      {D3DSTENCILOP_KEEP, 7, 1, 0xFF, 7},       {D3DSTENCILOP_ZERO, 7, 1, 0xFF, 0},
      {D3DSTENCILOP_REPLACE, 7, 9, 0xFF, 9},    {D3DSTENCILOP_INCRSAT, 254, 0, 0xFF, 255},
      {D3DSTENCILOP_INCRSAT, 255, 0, 0xFF, 255}, {D3DSTENCILOP_DECRSAT, 1, 0, 0xFF, 0},
      {D3DSTENCILOP_DECRSAT, 0, 0, 0xFF, 0},    {D3DSTENCILOP_INVERT, 0x0F, 0, 0xFF, 0xF0},
      {D3DSTENCILOP_INCR, 255, 0, 0xFF, 0},     {D3DSTENCILOP_DECR, 0, 0, 0xFF, 255},
      {D3DSTENCILOP_INVERT, 0x0F, 0, 0x3C, 0x33},  // only the write mask's bits change
  };
  // clang-format on
  for (const Row& r : rows) {
    Fixture f(Windowed(8, 8, D3DFMT_X8R8G8B8, D3DFMT_D24S8));
    f.Clear(0, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 1.0f, r.stored);
    f.Set({{D3DRS_ZENABLE, 0},
           {D3DRS_STENCILENABLE, 1},
           {D3DRS_STENCILFUNC, D3DCMP_ALWAYS},
           {D3DRS_STENCILPASS, r.op},
           {D3DRS_STENCILREF, r.ref},
           {D3DRS_STENCILWRITEMASK, r.mask}});
    f.Rect(0, 0, 8, 8, 0xFFFF0000);
    EXPECT_EQ(f.dev->DepthStencil().stencil[9], r.want) << "op " << r.op << " on " << +r.stored;
  }
  // Depth-failing pixels take the z-fail operation; then only pixels whose
  // stencil equals the reference are drawn.
  Fixture f(Windowed(8, 8, D3DFMT_X8R8G8B8, D3DFMT_D24S8));
  f.Clear(0, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0.5f, 1);
  f.Set({{D3DRS_STENCILENABLE, 1}, {D3DRS_STENCILZFAIL, D3DSTENCILOP_INCRSAT}});
  f.Rect(4, 0, 8, 8, ~0u, 0.9f);
  f.Set({{D3DRS_ZENABLE, 0}, {D3DRS_STENCILFUNC, D3DCMP_EQUAL}, {D3DRS_STENCILREF, 2}});
  f.Rect(0, 0, 8, 8, 0xFF00FF00);
  EXPECT_EQ(f.Count(0x00FF00), 4 * 8);
  EXPECT_EQ(f.Rgb(5, 3), 0x00FF00u);
}

// Textures, each level filled with its colours repeated, on a quad over
// pixels [0, size) with u and v from 0 to `uv`, of a diffuse colour: four
// texels red, half-transparent green, quarter blue and clear white under
// grey; a black and a white texel; mip levels red, green, blue and white.
struct TextureRow {
  int texture;  // -1: none
  std::vector<Set> states;
  float size, uv;
  int x, y;
  std::uint32_t want;
  int slack = 0;
  float farRhw = 1;  // the bottom edge's
};

TEST(PixelStage, TextureStagesAddressingAndFilters) {
  struct Texture {
    UINT w, h, levels;
    std::vector<std::vector<std::uint32_t>> colours;
    D3DCOLOR diffuse;
  };
  const Texture textures[] = {
      {2, 2, 1, {{0xFFFF0000, 0x8000FF00, 0x400000FF, 0x00FFFFFF}}, 0xFF808080},
      {2, 1, 1, {{0xFF000000, 0xFFFFFFFF}}, ~0u},
      {8, 8, 0, {{0xFFFF0000}, {0xFF00FF00}, {0xFF0000FF}, {0xFFFFFFFF}}, ~0u},
  };
  const Set clampU{Tss(D3DTSS_ADDRESSU), D3DTADDRESS_CLAMP},
      mirrorU{Tss(D3DTSS_ADDRESSU), D3DTADDRESS_MIRROR},
      linear{Tss(D3DTSS_MAGFILTER), D3DTEXF_LINEAR};
  const Set mipPoint{Tss(D3DTSS_MIPFILTER), D3DTEXF_POINT},
      mipLinear{Tss(D3DTSS_MIPFILTER), D3DTEXF_LINEAR};
  auto op = [](DWORD o) { return Set{Tss(D3DTSS_COLOROP), o}; };
  auto arg1 = [](DWORD a) { return Set{Tss(D3DTSS_COLORARG1), a}; };
  // clang-format off
  const TextureRow rows[] = {
      {-1, {}, 8, 2, 1, 1, 0x808080},  // no texture: the diffuse colour
      {0, {}, 8, 2, 0, 0, 0x800000}, {0, {}, 8, 2, 2, 0, 0x008000},  // modulated, wrapped
      {0, {}, 8, 2, 4, 0, 0x800000}, {0, {}, 8, 2, 4, 2, 0x000080}, {0, {}, 8, 2, 6, 2, 0x808080},
      {0, {clampU}, 8, 2, 6, 0, 0x008000}, {0, {mirrorU}, 8, 2, 4, 0, 0x008000}, {0, {mirrorU}, 8, 2, 6, 0, 0x800000},
      {0, {op(D3DTOP_SELECTARG1)}, 8, 2, 0, 0, 0xFF0000}, {0, {op(D3DTOP_SELECTARG2)}, 8, 2, 0, 0, 0x808080},
      {0, {op(D3DTOP_ADD)}, 8, 2, 0, 0, 0xFF8080}, {0, {op(D3DTOP_SUBTRACT)}, 8, 2, 0, 0, 0x7F0000},
      {0, {op(D3DTOP_ADDSIGNED)}, 8, 2, 0, 0, 0xFF0000}, {0, {op(D3DTOP_MODULATE2X)}, 8, 2, 0, 0, 0xFF0000},
      {0, {op(D3DTOP_SELECTARG1), arg1(D3DTA_TEXTURE | D3DTA_COMPLEMENT)}, 8, 2, 0, 0, 0x00FFFF},
      {0, {op(D3DTOP_SELECTARG1), arg1(D3DTA_TFACTOR)}, 8, 2, 0, 0, 0x123456},
      {0, {op(D3DTOP_DOTPRODUCT3), {Tss(D3DTSS_COLORARG2), D3DTA_TFACTOR}}, 8, 2, 2, 0, 0x9A9A9A},  // 4 * 9804 / 255
      {0, {op(D3DTOP_LERP), {Tss(D3DTSS_COLORARG0), D3DTA_TFACTOR}}, 8, 2, 0, 0, 0x896655},
      {0, {op(D3DTOP_BLENDTEXTUREALPHA)}, 8, 2, 0, 0, 0xFF0000}, {0, {op(D3DTOP_BLENDTEXTUREALPHA)}, 8, 2, 2, 0, 0x40C040},
      {0, {op(D3DTOP_BLENDTEXTUREALPHAPM)}, 8, 2, 2, 0, 0x40FF40},  // premultiplied
      {0, {{Tss(D3DTSS_COLOROP, 1), D3DTOP_ADD}, {Tss(D3DTSS_COLORARG1, 1), D3DTA_CURRENT},  // a second stage
           {Tss(D3DTSS_COLORARG2, 1), D3DTA_DIFFUSE}, {Tss(D3DTSS_ALPHAOP, 1), D3DTOP_SELECTARG1},
           {Tss(D3DTSS_ALPHAARG1, 1), D3DTA_CURRENT}}, 8, 2, 0, 0, 0xFF8080},
      {1, {clampU}, 8, 1, 3, 0, 0x000000}, {1, {clampU}, 8, 1, 4, 0, 0xFFFFFF},  // point: texel 1 from u = 0.5
      // Bilinear: texel centres at u = 0.25 and 0.75 (pixels 2 and 6), a ramp between.
      {1, {clampU, linear}, 8, 1, 1, 0, 0x000000}, {1, {clampU, linear}, 8, 1, 2, 0, 0x000000},
      {1, {clampU, linear}, 8, 1, 3, 0, 0x404040}, {1, {clampU, linear}, 8, 1, 4, 0, 0x808080},
      {1, {clampU, linear}, 8, 1, 6, 0, 0xFFFFFF}, {1, {clampU, linear}, 8, 1, 7, 7, 0xFFFFFF},
      {2, {}, 2, 1, 1, 1, 0xFF0000},  // no mipmapping by default
      {2, {mipPoint}, 2, 1, 1, 1, 0x0000FF},  // 4 texels a pixel: level 2
      {2, {mipPoint}, 8, 1, 5, 5, 0xFF0000}, {2, {mipPoint}, 4, 1, 2, 2, 0x00FF00},
      {2, {mipPoint, {Tss(D3DTSS_MAXMIPLEVEL), 3}}, 8, 1, 5, 5, 0xFFFFFF}, {2, {mipLinear}, 2, 1, 1, 1, 0x0000FF},
      {2, {mipLinear, {Tss(D3DTSS_MIPMAPLODBIAS), refdev::AsBits(0.5f)}}, 4, 1, 2, 2, 0x008080},  // levels 1 and 2 halved
      // Under perspective (the bottom 8 times as far) u and v change fastest in
      // y near the bottom: 0.27 and 0.61 texels a pixel at (4, 5), 1.0 and 2.3 at (4, 7).
      {2, {mipPoint}, 8, 1, 4, 5, 0xFF0000, 0, 0.125f}, {2, {mipPoint}, 8, 1, 4, 7, 0x00FF00, 0, 0.125f},
  };
  // clang-format on
  for (const TextureRow& r : rows) {
    const Texture& t = textures[std::max(r.texture, 0)];
    Fixture f(Windowed(8, 8));
    Ref<Direct3DTexture8> tex;
    ASSERT_EQ(f.dev->CreateTexture(t.w, t.h, t.levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex),
              D3D_OK);
    for (UINT l = 0; l < tex->GetLevelCount(); ++l) {
      const auto& c = t.colours[std::min<std::size_t>(l, t.colours.size() - 1)];
      FillLevel(*tex, l, [&c](UINT i) { return c[i % c.size()]; });
    }
    if (r.texture >= 0) f.dev->SetTexture(0, tex);
    f.Set({{D3DRS_TEXTUREFACTOR, 0xFF123456}, {Tss(D3DTSS_COLORARG2), D3DTA_DIFFUSE}});
    f.Set(r.states);
    const float w = r.size, uv = r.uv;
    const D3DCOLOR c = t.diffuse;
    const TexVertex q[4] = {{V(0, 0, c, 0), 0, 0},
                            {V(w, 0, c, 0), uv, 0},
                            {V(0, w, c, 0, r.farRhw), 0, uv},
                            {V(w, w, c, 0, r.farRhw), uv, uv}};
    f.Draw(D3DPT_TRIANGLESTRIP, 2, q, sizeof(TexVertex), kTlFvf | D3DFVF_TEX1);
    const std::uint32_t got = f.Rgb(r.x, r.y);
    for (int shift : {0, 8, 16})
      EXPECT_NEAR((got >> shift) & 255, (r.want >> shift) & 255, r.slack)
          << "texture " << r.texture << " at " << r.size << ", pixel " << r.x << "," << r.y << ", "
          << r.states.size() << " states: 0x" << std::hex << got;
  }
}

}  // namespace
