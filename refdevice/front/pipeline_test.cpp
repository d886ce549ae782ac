// Rasterization, clipping, per-pixel and format rules of the reference device.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "refdevice/test_support.h"

using test_support::Fixture;
using test_support::kTlFvf;
using test_support::kXyzFvf;
using test_support::TlVertex;
using test_support::Windowed;
using test_support::XyzVertex;

namespace {

TlVertex V(float x, float y, D3DCOLOR c = 0xFFFFFFFF, float z = 0.5f, float rhw = 1.0f) {
  return TlVertex{x, y, z, rhw, c};
}

void Draw(Direct3DDevice8& d, D3DPRIMITIVETYPE type, UINT count, const void* v, UINT stride) {
  ASSERT_EQ(d.BeginScene(), D3D_OK);
  ASSERT_EQ(d.DrawPrimitiveUP(type, count, v, stride), D3D_OK);
  ASSERT_EQ(d.EndScene(), D3D_OK);
}

void DrawTl(Direct3DDevice8& d, D3DPRIMITIVETYPE type, UINT count, const TlVertex* v) {
  ASSERT_EQ(d.SetVertexShader(kTlFvf), D3D_OK);
  Draw(d, type, count, v, sizeof(TlVertex));
}

// Clockwise rectangle as a two-triangle list.
void Rect(Direct3DDevice8& d, float x0, float y0, float x1, float y1, D3DCOLOR c) {
  const TlVertex v[6] = {V(x0, y0, c), V(x1, y0, c), V(x0, y1, c),
                         V(x1, y0, c), V(x1, y1, c), V(x0, y1, c)};
  DrawTl(d, D3DPT_TRIANGLELIST, 2, v);
}

void Additive(Direct3DDevice8& d) {
  d.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  d.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  d.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  d.SetRenderState(D3DRS_ZENABLE, 0);
  d.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

}  // namespace

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
      {2, 3, 6, 5, 5, 4, true},
      {2, 3, 6, 5, 6, 4, false},
      {2, 3, 6, 5, 5, 5, false},
      {1.5f, 1.5f, 3.5f, 2.5f, 2, 2, true, 2},  // half-pixel edges: the centres between
      {1.5f, 1.5f, 3.5f, 2.5f, 3, 2, true},
      {8 + q, 2, 12, 6, 8, 4, true},   // a left edge moved right by under half a step stays
      {8 + h, 2, 12, 6, 8, 4, true},   // ...and by half a step (halves go left in x)
      {4, 2, 8 + h, 6, 8, 4, false},   // a right edge likewise
      {2, 8 + q, 6, 12, 4, 8, true},   // a top edge moved down by under half a step
      {2, 4, 6, 8 + q, 4, 8, false},   // a bottom edge likewise
      {2, 8 + h, 6, 12, 4, 8, false},  // half a step down goes on to the next step
      {2, 4, 6, 8 + h, 4, 8, true},
      {8 + s, 2, 12, 6, 8, 4, false},  // a whole step is kept
      {4, 2, 8 + s, 6, 8, 4, true},
      {2, 8 + s, 6, 12, 4, 8, false},
      {2, 4, 6, 8 + s, 4, 8, true},
      {8 - s, 2, 12, 6, 8, 4, true},   // left of and above a centre by a step: inside
      {2, 8 - s, 6, 12, 4, 8, true},
  };
  // clang-format on
  Fixture f(Windowed(16, 16));
  for (const Case& c : cases) {
    f.dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    Rect(*f.dev, c.x0, c.y0, c.x1, c.y1, 0xFFFFFFFF);
    EXPECT_EQ(f.Rgb(c.x, c.y) == 0xFFFFFFu, c.covered)
        << c.x0 << "," << c.y0 << " - " << c.x1 << "," << c.y1;
    if (c.lit) {
      EXPECT_EQ(f.Count(0xFFFFFF), c.lit) << c.x0 << "," << c.y0;
    }
  }
}

TEST(Rasterizer, CullingFollowsScreenWinding) {
  const TlVertex cw[3] = {V(1, 1), V(9, 1), V(1, 9)};
  const TlVertex ccw[3] = {V(1, 1), V(1, 9), V(9, 1)};
  struct Case {
    DWORD mode;
    bool cwShown, ccwShown;
  };
  for (const Case c : {Case{D3DCULL_CCW, true, false}, Case{D3DCULL_CW, false, true},
                       Case{D3DCULL_NONE, true, true}}) {
    Fixture f(Windowed(16, 16));
    f.dev->SetRenderState(D3DRS_CULLMODE, c.mode);
    f.dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    DrawTl(*f.dev, D3DPT_TRIANGLELIST, 1, cw);
    EXPECT_EQ(f.Count(0xFFFFFF) > 0, c.cwShown) << c.mode;
    f.dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    DrawTl(*f.dev, D3DPT_TRIANGLELIST, 1, ccw);
    EXPECT_EQ(f.Count(0xFFFFFF) > 0, c.ccwShown) << c.mode;
  }
}

TEST(Rasterizer, GouraudIsPerspectiveCorrectAndFlatTakesTheFirstVertex) {
  Fixture f(Windowed(64, 8));
  Direct3DDevice8& d = *f.dev;
  d.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  // Left edge near (rhw 1), right edge four times as far (rhw 0.25): at the
  // screen's middle the perspective-correct weight of the right colour is 0.2.
  const TlVertex v[4] = {{0, 0, 0.5f, 1.0f, 0xFF000000},
                         {64, 0, 0.5f, 0.25f, 0xFFFF0000},
                         {0, 8, 0.5f, 1.0f, 0xFF000000},
                         {64, 8, 0.5f, 0.25f, 0xFFFF0000}};
  DrawTl(d, D3DPT_TRIANGLESTRIP, 2, v);
  const int red = static_cast<int>((f.Rgb(32, 4) >> 16) & 255);
  EXPECT_NEAR(red, 51, 1);

  d.SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
  const TlVertex strip[4] = {V(0, 0, 0xFFFF0000), V(64, 0, 0xFF00FF00), V(0, 8, 0xFF0000FF),
                             V(64, 8, 0xFFFFFFFF)};
  DrawTl(d, D3DPT_TRIANGLESTRIP, 2, strip);
  EXPECT_EQ(f.Rgb(2, 2), 0xFF0000u);   // first triangle: vertex 0
  EXPECT_EQ(f.Rgb(60, 6), 0x00FF00u);  // second triangle: vertex 1
}

TEST(Rasterizer, PointsAndLines) {
  Fixture f(Windowed(16, 16));
  Direct3DDevice8& d = *f.dev;
  d.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  // Each point lights the pixel whose square [c - 0.5, c + 0.5) holds it.
  const TlVertex points[3] = {V(3.0f, 4.0f), V(10.4f, 11.6f), V(5.5f, 7.5f)};
  DrawTl(d, D3DPT_POINTLIST, 3, points);
  EXPECT_EQ(f.Count(0xFFFFFF), 3);
  EXPECT_EQ(f.Rgb(3, 4), 0xFFFFFFu);
  EXPECT_EQ(f.Rgb(10, 12), 0xFFFFFFu);
  EXPECT_EQ(f.Rgb(5, 7), 0xFFFFFFu);

  d.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  const TlVertex line[2] = {V(2, 5, 0xFF000100), V(8, 5, 0xFFFF0000)};
  DrawTl(d, D3DPT_LINELIST, 1, line);
  EXPECT_EQ(16 * 16 - f.Count(0), 7);  // the last pixel is drawn by default
  EXPECT_EQ(f.Rgb(8, 5), 0xFF0000u);
  EXPECT_EQ(f.Rgb(5, 5) & 0xFF0000u, 0x800000u);
  d.SetRenderState(D3DRS_LASTPIXEL, 0);
  d.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  const TlVertex strip[3] = {V(1, 1), V(1, 9), V(9, 13)};
  DrawTl(d, D3DPT_LINESTRIP, 2, strip);
  EXPECT_EQ(f.Count(0xFFFFFF), 8 + 8);

  // Fill modes: a culled face draws nothing; a shown one its edges or corners.
  const TlVertex tri[3] = {V(1, 1), V(13, 1), V(1, 13)};
  const TlVertex ccw[3] = {V(1, 1), V(1, 13), V(13, 1)};
  d.SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
  d.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  DrawTl(d, D3DPT_TRIANGLELIST, 1, ccw);
  EXPECT_EQ(f.Count(0xFFFFFF), 0);
  DrawTl(d, D3DPT_TRIANGLELIST, 1, tri);
  EXPECT_EQ(f.Rgb(6, 1), 0xFFFFFFu);
  EXPECT_EQ(f.Rgb(1, 6), 0xFFFFFFu);
  EXPECT_EQ(f.Rgb(7, 7), 0xFFFFFFu);
  EXPECT_EQ(f.Rgb(4, 4), 0u);
  d.SetRenderState(D3DRS_FILLMODE, D3DFILL_POINT);
  d.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  DrawTl(d, D3DPT_TRIANGLELIST, 1, tri);
  EXPECT_EQ(f.Count(0xFFFFFF), 3);

  // Lines and points are depth-tested at their own depth: behind a nearer
  // rectangle they stay hidden.
  d.SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  d.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  Rect(d, 0, 0, 16, 16, 0xFF0000FF);
  const TlVertex behind[3] = {V(2, 5, ~0u, 0.8f), V(8, 5, ~0u, 0.8f), V(4, 9, ~0u, 0.8f)};
  DrawTl(d, D3DPT_LINELIST, 1, behind);
  DrawTl(d, D3DPT_POINTLIST, 3, behind);
  EXPECT_EQ(f.Count(0x0000FF), 16 * 16);
}

TEST(Clipping, NearAndFarPlanesAndTheGuardBand) {
  Fixture f(Windowed(64, 64));
  Direct3DDevice8& d = *f.dev;
  d.SetRenderState(D3DRS_LIGHTING, 0);
  d.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d.SetTransform(D3DTS_PROJECTION, test_support::Perspective(1.5707964f, 1.0f, 1.0f, 100.0f));
  ASSERT_EQ(d.SetVertexShader(kXyzFvf), D3D_OK);
  auto draw = [&](const XyzVertex* v) {
    d.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    Draw(d, D3DPT_TRIANGLELIST, 1, v, sizeof(XyzVertex));
    return 64 * 64 - f.Count(0);
  };
  // Wholly behind the eye, wholly beyond the far plane: nothing.
  const XyzVertex behind[3] = {{-1, -1, -2, ~0u}, {1, -1, -2, ~0u}, {0, 1, -2, ~0u}};
  EXPECT_EQ(draw(behind), 0);
  const XyzVertex far[3] = {{-1, -1, 200, ~0u}, {1, -1, 200, ~0u}, {0, 1, 200, ~0u}};
  EXPECT_EQ(draw(far), 0);
  // A floor under the eye reaching behind it: clipped at the near plane, it
  // fills the lower half of the screen and nothing above the horizon.
  const XyzVertex floor[6] = {{-500, -1, -5, ~0u}, {500, -1, -5, ~0u}, {-500, -1, 99, ~0u},
                              {500, -1, -5, ~0u},  {500, -1, 99, ~0u}, {-500, -1, 99, ~0u}};
  d.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  Draw(d, D3DPT_TRIANGLELIST, 2, floor, sizeof(XyzVertex));
  EXPECT_EQ(f.Rgb(32, 63), 0xFFFFFFu);
  EXPECT_EQ(f.Rgb(0, 63), 0xFFFFFFu);
  EXPECT_EQ(f.Rgb(32, 20), 0u);
  EXPECT_GT(f.Count(0xFFFFFF), 64 * 28);
  // A triangle far wider than the guard band still covers the screen exactly.
  const XyzVertex huge[3] = {{-1e5f, -1e5f, 10, ~0u}, {1e5f, -1e5f, 10, ~0u}, {0, 1e5f, 10, ~0u}};
  EXPECT_EQ(draw(huge), 64 * 64);
}

TEST(Clipping, NanInfiniteAndHugeCoordinatesStayInside) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float bad[] = {nan, inf, -inf, 1e38f, -1e38f, 3e9f};
  Fixture f(Windowed(32, 32));
  Direct3DDevice8& d = *f.dev;
  d.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d.SetRenderState(D3DRS_LIGHTING, 0);
  // A viewport inside the buffer: nothing may land outside it.
  D3DVIEWPORT8 vp{8, 8, 16, 16, 0.0f, 1.0f};
  ASSERT_EQ(d.SetViewport(vp), D3D_OK);
  d.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  D3DVIEWPORT8 full{0, 0, 32, 32, 0.0f, 1.0f};
  ASSERT_EQ(d.SetViewport(full), D3D_OK);
  d.Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
  ASSERT_EQ(d.SetViewport(vp), D3D_OK);
  for (float b : bad) {
    for (int corner = 0; corner < 3; ++corner) {
      TlVertex tl[3] = {V(10, 10), V(20, 10), V(10, 20)};
      float* fields = &tl[corner].x;
      for (int k = 0; k < 4; ++k) {
        TlVertex t[3] = {tl[0], tl[1], tl[2]};
        (&t[corner].x)[k] = b;
        DrawTl(d, D3DPT_TRIANGLELIST, 1, t);
        DrawTl(d, D3DPT_LINELIST, 1, t);
        DrawTl(d, D3DPT_POINTLIST, 3, t);
      }
      (void)fields;
      XyzVertex x[3] = {{0, 0, 0.5f, ~0u}, {1, 0, 0.5f, ~0u}, {0, 1, 0.5f, ~0u}};
      for (int k = 0; k < 3; ++k) {
        XyzVertex t[3] = {x[0], x[1], x[2]};
        (&t[corner].x)[k] = b;
        ASSERT_EQ(d.SetVertexShader(kXyzFvf), D3D_OK);
        Draw(d, D3DPT_TRIANGLELIST, 1, t, sizeof(XyzVertex));
        Draw(d, D3DPT_LINELIST, 1, t, sizeof(XyzVertex));
        Draw(d, D3DPT_POINTLIST, 3, t, sizeof(XyzVertex));
      }
    }
  }
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      if (x < 8 || y < 8 || x >= 24 || y >= 24) {
        ASSERT_EQ(f.Rgb(x, y), 0x00FF00u) << x << "," << y;
      }
}

TEST(VertexFormats, Format834AtStride24DrawsLike322AndMissingColoursDefault) {
  struct CloudVertex {
    float x, y, z;
    D3DCOLOR c;
    float u, v;
  };
  const CloudVertex v[3] = {{-0.5f, -0.5f, 0.5f, 0x80FF8040, 0, 0},
                            {-0.5f, 0.5f, 0.5f, 0x8040FF80, 0, 0},
                            {0.6f, -0.2f, 0.5f, 0x808040FF, 0, 0}};
  std::vector<std::uint8_t> image[2];
  int i = 0;
  for (DWORD fvf : {322u, 834u}) {
    Fixture f(Windowed(64, 64));
    f.dev->SetRenderState(D3DRS_LIGHTING, 0);
    ASSERT_EQ(f.dev->SetVertexShader(fvf), D3D_OK);
    Ref<Direct3DVertexBuffer8> vb;
    ASSERT_EQ(f.dev->CreateVertexBuffer(sizeof v, 0, fvf, D3DPOOL_DEFAULT, vb), D3D_OK);
    BYTE* p;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, v, sizeof v);
    vb->Unlock();
    ASSERT_EQ(f.dev->SetStreamSource(0, vb, 24), D3D_OK);
    f.dev->BeginScene();
    ASSERT_EQ(f.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    f.dev->EndScene();
    image[i++] = f.Bytes();
    EXPECT_GT(64 * 64 - f.Count(0), 500);
  }
  EXPECT_EQ(image[0], image[1]);

  // No diffuse: opaque white; no specular: black (seen with SPECULARENABLE).
  Fixture f(Windowed(8, 8, D3DFMT_A8R8G8B8));
  f.dev->SetRenderState(D3DRS_SPECULARENABLE, 1);
  const float xyzrhw[4][4] = {{0, 0, 0, 1}, {8, 0, 0, 1}, {0, 8, 0, 1}, {8, 8, 0, 1}};
  ASSERT_EQ(f.dev->SetVertexShader(D3DFVF_XYZRHW), D3D_OK);
  Draw(*f.dev, D3DPT_TRIANGLESTRIP, 2, xyzrhw, 16);
  EXPECT_EQ(f.Pixel(4, 4), 0xFFFFFFFFu);
}

TEST(Lighting, WithoutLightsGivesBlackWithTheDiffuseAlpha) {
  Fixture f(Windowed(8, 8, D3DFMT_A8R8G8B8, 0));
  Direct3DDevice8& d = *f.dev;
  d.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  ASSERT_EQ(d.SetVertexShader(kXyzFvf), D3D_OK);
  const XyzVertex quad[4] = {{-1, -1, 0.5f, 0x80FF8040},
                             {-1, 1, 0.5f, 0x80FF8040},
                             {1, -1, 0.5f, 0x80FF8040},
                             {1, 1, 0.5f, 0x80FF8040}};
  d.Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
  Draw(d, D3DPT_TRIANGLESTRIP, 2, quad, sizeof(XyzVertex));
  EXPECT_EQ(f.Pixel(4, 4), 0x80000000u);
  // The ambient light times an ambient taken from the vertex colour.
  d.SetRenderState(D3DRS_AMBIENT, 0x00808080);
  d.SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
  Draw(d, D3DPT_TRIANGLESTRIP, 2, quad, sizeof(XyzVertex));
  EXPECT_EQ(f.Pixel(4, 4), 0x80804020u);
  // Lighting off: the vertex colour itself.
  d.SetRenderState(D3DRS_LIGHTING, 0);
  Draw(d, D3DPT_TRIANGLESTRIP, 2, quad, sizeof(XyzVertex));
  EXPECT_EQ(f.Pixel(4, 4), 0x80FF8040u);
}

TEST(PixelStage, BlendFactors) {
  // Source 0x40FF8000 (alpha 64) over destination 0x80204080 (alpha 128).
  struct Case {
    DWORD src, dst;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0x70585060},
      {D3DBLEND_ONE, D3DBLEND_ONE, 0xC0FFC080},
      {D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, 0x20202000},
      {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, 0x20202000},
      {D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO, 0x20DF6000},
      {D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA, 0x60906040},
      {D3DBLEND_SRCALPHASAT, D3DBLEND_ZERO, 0x40402000},
      {D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO, 0x70585060},
      {D3DBLEND_INVSRCCOLOR, D3DBLEND_ZERO, 0x30004000},
  };
  for (const Case& c : cases) {
    Fixture f(Windowed(8, 8, D3DFMT_A8R8G8B8, 0));
    Direct3DDevice8& d = *f.dev;
    d.Clear(0, nullptr, D3DCLEAR_TARGET, 0x80204080, 1.0f, 0);
    d.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    d.SetRenderState(D3DRS_SRCBLEND, c.src);
    d.SetRenderState(D3DRS_DESTBLEND, c.dst);
    Rect(d, 0, 0, 8, 8, 0x40FF8000);
    EXPECT_EQ(f.Pixel(3, 3), c.expected) << c.src << "/" << c.dst;
  }
}

// Each product is brought back to 8 bits on its own, then they are added:
// M(c * a) + M(d * (255 - a)) with M(p) = (p + (p >> 8) + 128) >> 8. Dividing
// the sum once would give 0x80, 0x7F, 0x7F here.
TEST(PixelStage, BlendRoundsEachProductOnItsOwn) {
  Fixture f(Windowed(8, 8, D3DFMT_A8R8G8B8, 0));
  Direct3DDevice8& d = *f.dev;
  d.Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF7FFECC, 1.0f, 0);
  d.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  d.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  Rect(d, 0, 0, 8, 8, 0x80800133);
  EXPECT_EQ(f.Pixel(3, 3), 0xBF7F8080u);
  // The sum saturates.
  d.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  d.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  Rect(d, 0, 0, 8, 8, 0x80808080);
  EXPECT_EQ(f.Pixel(3, 3), 0xFFFFFFFFu);
}

TEST(PixelStage, AlphaTestAndDepthFormats) {
  for (auto depth : {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D32}) {
    Fixture f(Windowed(8, 8, D3DFMT_X8R8G8B8, depth));
    Direct3DDevice8& d = *f.dev;
    d.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    const TlVertex nearTri[3] = {V(0, 0, 0xFFFF0000, 0.3f), V(8, 0, 0xFFFF0000, 0.3f),
                                 V(0, 8, 0xFFFF0000, 0.3f)};
    const TlVertex farTri[3] = {V(0, 0, 0xFF00FF00, 0.30001f), V(8, 0, 0xFF00FF00, 0.30001f),
                                V(0, 8, 0xFF00FF00, 0.30001f)};
    DrawTl(d, D3DPT_TRIANGLELIST, 1, nearTri);
    DrawTl(d, D3DPT_TRIANGLELIST, 1, farTri);
    // 16 bits cannot tell these depths apart (LESSEQUAL lets the second through).
    EXPECT_EQ(f.Rgb(1, 1), depth == D3DFMT_D16 ? 0x00FF00u : 0xFF0000u) << depth;
  }
  Fixture f(Windowed(8, 8));
  Direct3DDevice8& d = *f.dev;
  d.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  d.SetRenderState(D3DRS_ALPHATESTENABLE, 1);
  d.SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  d.SetRenderState(D3DRS_ALPHAREF, 0x40);
  Rect(d, 0, 0, 4, 8, 0x40FFFFFF);
  Rect(d, 4, 0, 8, 8, 0x41FFFFFF);
  EXPECT_EQ(f.Rgb(1, 1), 0u);
  EXPECT_EQ(f.Rgb(5, 1), 0xFFFFFFu);
}

TEST(PixelStage, BackBufferFormats) {
  struct Case {
    std::int32_t format;
    std::uint32_t expected;  // 0xFF3080C0 as stored and read back
  };
  for (const Case c : {Case{D3DFMT_X8R8G8B8, 0xFF3080C0}, Case{D3DFMT_A8R8G8B8, 0x7F3080C0},
                       Case{D3DFMT_R5G6B5, 0xFF3182C6}, Case{D3DFMT_X1R5G5B5, 0xFF3184C6}}) {
    Fixture f(Windowed(8, 8, c.format, 0));
    Rect(*f.dev, 0, 0, 8, 8, 0x7F3080C0);
    EXPECT_EQ(f.Pixel(2, 2), c.expected) << c.format;
    EXPECT_EQ(f.dev->BackBuffer().pitch, 8 * BytesPerPixel(c.format));
  }
}

TEST(PixelStage, TableFogOnEyeDepthAndSpecular) {
  Fixture f(Windowed(8, 8));
  Direct3DDevice8& d = *f.dev;
  d.SetTransform(D3DTS_PROJECTION, test_support::Perspective(1.0f, 1.0f, 1.0f, 100.0f));
  d.SetRenderState(D3DRS_LIGHTING, 0);
  d.SetRenderState(D3DRS_ZENABLE, 0);
  d.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d.SetRenderState(D3DRS_FOGENABLE, 1);
  d.SetRenderState(D3DRS_FOGCOLOR, 0x00FFFFFF);
  d.SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
  d.SetRenderState(D3DRS_FOGSTART, refdev::AsBits(4.0f));
  d.SetRenderState(D3DRS_FOGEND, refdev::AsBits(6.0f));
  auto quadAt = [&](float depth) {
    // Untransformed, facing the eye at eye depth `depth`, filling the screen.
    const XyzVertex v[4] = {{-depth, depth, depth, 0xFF000000},
                            {depth, depth, depth, 0xFF000000},
                            {-depth, -depth, depth, 0xFF000000},
                            {depth, -depth, depth, 0xFF000000}};
    EXPECT_EQ(d.SetVertexShader(kXyzFvf), D3D_OK);
    Draw(d, D3DPT_TRIANGLESTRIP, 2, v, sizeof(XyzVertex));
    return f.Rgb(4, 4) & 255;
  };
  // Under a perspective projection the fog depth is the eye depth, w.
  EXPECT_NEAR(quadAt(5.0f), 127.5, 0.5);  // halfway
  EXPECT_EQ(quadAt(3.0f), 0u);            // before the start
  EXPECT_EQ(quadAt(7.0f), 255u);          // beyond the end
  d.SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_EXP);
  d.SetRenderState(D3DRS_FOGDENSITY, refdev::AsBits(0.5f));
  EXPECT_EQ(quadAt(2.0f), static_cast<std::uint32_t>(std::lround(255 * (1 - std::exp(-1.0)))));
  d.SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_EXP2);
  EXPECT_EQ(quadAt(2.0f), static_cast<std::uint32_t>(std::lround(255 * (1 - std::exp(-1.0)))));
  d.SetRenderState(D3DRS_FOGENABLE, 0);

  // Specular sum, when enabled.
  struct SpecularVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse, specular;
  };
  const SpecularVertex s[4] = {{0, 0, 0, 1, 0xFF400000, 0xFF300080},
                               {8, 0, 0, 1, 0xFF400000, 0xFF300080},
                               {0, 8, 0, 1, 0xFF400000, 0xFF300080},
                               {8, 8, 0, 1, 0xFF400000, 0xFF300080}};
  ASSERT_EQ(d.SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR), D3D_OK);
  Draw(d, D3DPT_TRIANGLESTRIP, 2, s, sizeof(SpecularVertex));
  EXPECT_EQ(f.Rgb(4, 4), 0x400000u);
  d.SetRenderState(D3DRS_SPECULARENABLE, 1);
  Draw(d, D3DPT_TRIANGLESTRIP, 2, s, sizeof(SpecularVertex));
  EXPECT_EQ(f.Rgb(4, 4), 0x700080u);
}

// Pre-transformed vertices take table fog from their z, interpolated with
// perspective like any attribute, whatever the projection transform says.
TEST(PixelStage, TableFogOfPretransformedVerticesUsesTheirZ) {
  // Black, from z 0.2 at rhw 1 on the left to z 0.8 at rhw 0.25 on the right;
  // linear fog from 0 to 1 towards white.
  const TlVertex quad[4] = {V(0, 0, 0xFF000000, 0.2f, 1.0f), V(64, 0, 0xFF000000, 0.8f, 0.25f),
                            V(0, 8, 0xFF000000, 0.2f, 1.0f), V(64, 8, 0xFF000000, 0.8f, 0.25f)};
  std::vector<std::uint32_t> rows[2];
  for (int projection = 0; projection < 2; ++projection) {
    Fixture f(Windowed(64, 8));
    Direct3DDevice8& d = *f.dev;
    d.SetTransform(D3DTS_PROJECTION, projection == 0
                                         ? test_support::Identity()
                                         : test_support::Perspective(1.0f, 1.0f, 1.0f, 100.0f));
    d.SetRenderState(D3DRS_ZENABLE, 0);
    d.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d.SetRenderState(D3DRS_FOGENABLE, 1);
    d.SetRenderState(D3DRS_FOGCOLOR, 0x00FFFFFF);
    d.SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
    d.SetRenderState(D3DRS_FOGSTART, refdev::AsBits(0.0f));
    d.SetRenderState(D3DRS_FOGEND, refdev::AsBits(1.0f));
    DrawTl(d, D3DPT_TRIANGLESTRIP, 2, quad);
    for (int x = 0; x < 64; ++x) rows[projection].push_back(f.Rgb(x, 4));
  }
  EXPECT_EQ(rows[0], rows[1]);
  // At x = 32 the perspective-correct z is (0.2 + 0.2) / 2 / ((1 + 0.25) / 2)
  // = 0.32 (plain screen interpolation would give 0.5): fog 1 - 0.32.
  const double t = 32.0 / 64.0;
  const double z = ((1 - t) * 0.2 * 1.0 + t * 0.8 * 0.25) / ((1 - t) * 1.0 + t * 0.25);
  EXPECT_NEAR(static_cast<double>(rows[0][32] & 255), 255 - (1 - z) * 255, 1.0);
  EXPECT_EQ(rows[0][0] & 255, 255 - 204u);  // z 0.2: fog 0.8
}

TEST(PixelStage, TextureStagesAndAddressing) {
  Fixture f(Windowed(8, 8));
  Direct3DDevice8& d = *f.dev;
  Ref<Direct3DTexture8> tex;
  ASSERT_EQ(d.CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex), D3D_OK);
  D3DLOCKED_RECT lr{};
  ASSERT_EQ(tex->LockRect(0, lr, nullptr, 0), D3D_OK);
  const std::uint32_t texels[4] = {0xFFFF0000, 0x8000FF00, 0x400000FF, 0x00FFFFFF};
  for (int y = 0; y < 2; ++y)
    std::memcpy(static_cast<std::uint8_t*>(lr.pBits) + y * lr.Pitch, texels + 2 * y, 8);
  tex->UnlockRect(0);
  struct TexV {
    float x, y, z, rhw;
    D3DCOLOR c;
    float u, v;
  };
  // u and v from 0 to 2 over 8 pixels: each texel 2 pixels wide, repeated.
  const TexV quad[4] = {{0, 0, 0, 1, 0xFF808080, 0, 0},
                        {8, 0, 0, 1, 0xFF808080, 2, 0},
                        {0, 8, 0, 1, 0xFF808080, 0, 2},
                        {8, 8, 0, 1, 0xFF808080, 2, 2}};
  ASSERT_EQ(d.SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1), D3D_OK);
  auto draw = [&] {
    d.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    Draw(d, D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexV));
  };
  // No texture: the diffuse colour passes.
  draw();
  EXPECT_EQ(f.Rgb(1, 1), 0x808080u);
  ASSERT_EQ(d.SetTexture(0, tex), D3D_OK);
  draw();  // MODULATE texture by diffuse, wrapped
  EXPECT_EQ(f.Rgb(0, 0), 0x800000u);
  EXPECT_EQ(f.Rgb(2, 0), 0x008000u);
  EXPECT_EQ(f.Rgb(4, 0), 0x800000u);
  EXPECT_EQ(f.Rgb(4, 2), 0x000080u);
  EXPECT_EQ(f.Rgb(6, 2), 0x808080u);
  d.SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
  draw();
  EXPECT_EQ(f.Rgb(6, 0), 0x008000u);
  d.SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_MIRROR);
  draw();
  EXPECT_EQ(f.Rgb(4, 0), 0x008000u);
  EXPECT_EQ(f.Rgb(6, 0), 0x800000u);
  d.SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);

  struct OpCase {
    DWORD op, arg1, arg2;
    std::uint32_t expected;  // at pixel (0, 0): texel 0xFFFF0000, diffuse 0x808080
  };
  const OpCase ops[] = {
      {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xFF0000},
      {D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0x808080},
      {D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xFF8080},
      {D3DTOP_SUBTRACT, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0x7F0000},
      {D3DTOP_ADDSIGNED, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xFF0000},
      {D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xFF0000},
      {D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE, 0x00FFFF},
      {D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE, 0x123456},
      {D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xFF0000},
  };
  d.SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF123456);
  for (const OpCase& c : ops) {
    d.SetTextureStageState(0, D3DTSS_COLOROP, c.op);
    d.SetTextureStageState(0, D3DTSS_COLORARG1, c.arg1);
    d.SetTextureStageState(0, D3DTSS_COLORARG2, c.arg2);
    draw();
    EXPECT_EQ(f.Rgb(0, 0), c.expected) << "op " << c.op;
  }
  // Blend by texture alpha at the half-transparent green texel.
  d.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_BLENDTEXTUREALPHA);
  draw();
  EXPECT_EQ(f.Rgb(2, 0), 0x40C040u);
  // A second stage adding the diffuse colour again.
  d.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  d.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
  d.SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
  d.SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  d.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  d.SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
  draw();
  EXPECT_EQ(f.Rgb(0, 0), 0xFF8080u);
}

TEST(Rasterizer, LongStripsAndFansCoverExactlyOnceAcrossBatches) {
  // More primitives than the pipeline takes in one pass; the fan also has
  // an off-centre hub, so its thin slivers take every slope.
  constexpr int kTriangles = 9001;
  Fixture f(Windowed(128, 128));
  Direct3DDevice8& d = *f.dev;
  Additive(d);
  d.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);  // every triangle must keep its winding

  // A strip zig-zagging across the screen in thin slices.
  std::vector<TlVertex> strip;
  for (int i = 0; i < kTriangles + 2; ++i) {
    const float y = -4.0f + 136.0f * static_cast<float>(i / 2) / ((kTriangles + 1) / 2);
    strip.push_back(V(i % 2 ? 132.0f : -4.0f, y, 0xFF010101));
  }
  d.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  DrawTl(d, D3DPT_TRIANGLESTRIP, kTriangles, strip.data());
  EXPECT_EQ(f.Count(0x010101), 128 * 128);

  // A fan around an off-centre hub, closing on its first rim vertex.
  std::vector<TlVertex> fan{V(50.3f, 70.7f, 0xFF010101)};
  for (int i = 0; i <= kTriangles; ++i) {
    const int k = i == kTriangles ? 0 : i;
    const double ak = 2.0 * 3.14159265358979 * k / kTriangles;
    fan.push_back(V(static_cast<float>(64 + 200 * std::cos(ak)),
                    static_cast<float>(64 + 200 * std::sin(ak)), 0xFF010101));
  }
  d.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  DrawTl(d, D3DPT_TRIANGLEFAN, kTriangles, fan.data());
  EXPECT_EQ(f.Count(0x010101), 128 * 128);
}

namespace {

struct TexVertex {
  float x, y, z, rhw;
  D3DCOLOR c;
  float u, v;
};
constexpr DWORD kTexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

void FillLevel(Direct3DTexture8& t, UINT level, const std::vector<std::uint32_t>& texels) {
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(t.GetLevelDesc(level, desc), D3D_OK);
  D3DLOCKED_RECT lr{};
  ASSERT_EQ(t.LockRect(level, lr, nullptr, 0), D3D_OK);
  for (UINT y = 0; y < desc.Height; ++y)
    for (UINT x = 0; x < desc.Width; ++x) {
      const std::uint32_t c = texels[(y * desc.Width + x) % texels.size()];
      std::memcpy(static_cast<std::uint8_t*>(lr.pBits) + y * lr.Pitch + 4 * x, &c, 4);
    }
  ASSERT_EQ(t.UnlockRect(level), D3D_OK);
}

// A quad over pixels [0, size) with u and v from 0 to 1, drawn textured.
void TexturedQuad(Direct3DDevice8& d, float w, float h) {
  const TexVertex q[4] = {{0, 0, 0, 1, ~0u, 0, 0},
                          {w, 0, 0, 1, ~0u, 1, 0},
                          {0, h, 0, 1, ~0u, 0, 1},
                          {w, h, 0, 1, ~0u, 1, 1}};
  ASSERT_EQ(d.SetVertexShader(kTexFvf), D3D_OK);
  d.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  Draw(d, D3DPT_TRIANGLESTRIP, 2, q, sizeof(TexVertex));
}

}  // namespace

TEST(PixelStage, BilinearMagnification) {
  Fixture f(Windowed(8, 8));
  Direct3DDevice8& d = *f.dev;
  Ref<Direct3DTexture8> tex;
  ASSERT_EQ(d.CreateTexture(2, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, tex), D3D_OK);
  FillLevel(*tex, 0, {0xFF000000, 0xFFFFFFFF});
  d.SetTexture(0, tex);
  d.SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
  d.SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
  TexturedQuad(d, 8, 8);
  EXPECT_EQ(f.Rgb(3, 0), 0x000000u);  // point sampling: texel 1 from u = 0.5 on
  EXPECT_EQ(f.Rgb(4, 0), 0xFFFFFFu);
  d.SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  TexturedQuad(d, 8, 8);
  // Texel centres at u = 0.25 and 0.75 (pixels 2 and 6); between them a ramp.
  EXPECT_EQ(f.Rgb(1, 0), 0x000000u);
  EXPECT_EQ(f.Rgb(2, 0), 0x000000u);
  EXPECT_EQ(f.Rgb(3, 0), 0x404040u);
  EXPECT_EQ(f.Rgb(4, 0), 0x808080u);
  EXPECT_EQ(f.Rgb(6, 0), 0xFFFFFFu);
  EXPECT_EQ(f.Rgb(7, 7), 0xFFFFFFu);
}

TEST(PixelStage, MipLevelFollowsTheScreenSize) {
  Fixture f(Windowed(8, 8));
  Direct3DDevice8& d = *f.dev;
  Ref<Direct3DTexture8> tex;
  ASSERT_EQ(d.CreateTexture(8, 8, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, tex), D3D_OK);
  ASSERT_EQ(tex->GetLevelCount(), 4u);
  const std::uint32_t colours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
  for (UINT l = 0; l < 4; ++l) FillLevel(*tex, l, {colours[l]});
  d.SetTexture(0, tex);
  TexturedQuad(d, 2, 2);  // 4 texels a pixel: level 2
  EXPECT_EQ(f.Rgb(0, 0), 0xFF0000u) << "no mipmapping by default";
  d.SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_POINT);
  TexturedQuad(d, 2, 2);
  EXPECT_EQ(f.Rgb(1, 1), 0x0000FFu);
  TexturedQuad(d, 8, 8);  // one texel a pixel: level 0
  EXPECT_EQ(f.Rgb(5, 5), 0xFF0000u);
  TexturedQuad(d, 4, 4);
  EXPECT_EQ(f.Rgb(2, 2), 0x00FF00u);
  d.SetTextureStageState(0, D3DTSS_MAXMIPLEVEL, 3);
  TexturedQuad(d, 8, 8);
  EXPECT_EQ(f.Rgb(5, 5), 0xFFFFFFu);
  d.SetTextureStageState(0, D3DTSS_MAXMIPLEVEL, 0);
  // Linear between levels: halfway between 2 and 4 texels a pixel is a mix.
  d.SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
  TexturedQuad(d, 2, 2);
  EXPECT_EQ(f.Rgb(1, 1), 0x0000FFu);
  TexturedQuad(d, 2.8284271f, 2.8284271f);
  const std::uint32_t mix = f.Rgb(1, 1);
  EXPECT_NEAR(static_cast<int>((mix >> 8) & 255), 128, 2);
  EXPECT_NEAR(static_cast<int>(mix & 255), 128, 2);
}

TEST(PixelStage, StencilTestMasksLaterDrawing) {
  Fixture f(Windowed(8, 8, D3DFMT_X8R8G8B8, D3DFMT_D24S8));
  Direct3DDevice8& d = *f.dev;
  d.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0);
  d.SetRenderState(D3DRS_STENCILENABLE, 1);
  d.SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
  d.SetRenderState(D3DRS_STENCILPASS, 3);  // REPLACE
  d.SetRenderState(D3DRS_STENCILREF, 1);
  Rect(d, 0, 0, 4, 8, 0xFFFF0000);
  // Depth-failing pixels take the z-fail operation: increment where the
  // second rectangle lies behind the first.
  d.SetRenderState(D3DRS_STENCILZFAIL, 4);  // INCRSAT
  d.SetRenderState(D3DRS_STENCILPASS, 1);   // KEEP
  const TlVertex behind[6] = {V(2, 0, ~0u, 0.9f), V(6, 0, ~0u, 0.9f), V(2, 8, ~0u, 0.9f),
                              V(6, 0, ~0u, 0.9f), V(6, 8, ~0u, 0.9f), V(2, 8, ~0u, 0.9f)};
  DrawTl(d, D3DPT_TRIANGLELIST, 2, behind);
  EXPECT_EQ(f.Rgb(3, 3), 0xFF0000u);
  EXPECT_EQ(f.Rgb(5, 3), 0xFFFFFFu);
  // Now only pixels whose stencil equals 2 (red ones behind the white) pass.
  d.SetRenderState(D3DRS_ZENABLE, 0);
  d.SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
  d.SetRenderState(D3DRS_STENCILREF, 2);
  Rect(d, 0, 0, 8, 8, 0xFF00FF00);
  EXPECT_EQ(f.Rgb(1, 3), 0xFF0000u);
  EXPECT_EQ(f.Rgb(3, 3), 0x00FF00u);
  EXPECT_EQ(f.Rgb(5, 3), 0xFFFFFFu);
  EXPECT_EQ(f.Count(0x00FF00), 2 * 8);
}
