// The hardware device held against the reference device, drawing through the
// features the program's subset offers (texture stages, fog, alpha test, flat
// strips and fans, culling, clears with rectangles, back-buffer formats); the
// golden scenes are device-agreement's test. Runs on any OpenGL 3.3 renderer
// without a display (llvmpipe in CI).
#include "gldevice/gl_device.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "gldevice/gl_direct3d.h"
#include "gldevice/gl_test_util.h"
#include "platform/d3dx8.h"
#include "refdevice/ref_device.h"
#include "refdevice/test_support.h"
#include "replay/image_agreement.h"

namespace {

using test_support::SetStates;
using test_support::Tss;

#define REQUIRE_GL()                                                       \
  if (!Context()) GTEST_SKIP() << "no OpenGL 3.3 context on this machine"; \
  static_assert(true)

// The back buffer both devices draw into: small, windowed.
D3DPRESENT_PARAMETERS Params(D3DFORMAT format = D3DFMT_X8R8G8B8) {
  return test_support::Windowed(64, 48, format);
}

struct Pictures {
  Image reference, hardware;
};

// Draws with `draw` on both devices and reads back their back buffers.
Pictures DrawOnBoth(const std::function<void(Direct3DDevice8&)>& draw,
                    D3DPRESENT_PARAMETERS pp = Params()) {
  test_support::Fixture ref(pp);
  GlDirect3D8 gl(nullptr, Context());
  Ref<Direct3DDevice8> hal;
  EXPECT_EQ(gl.CreateDevice(0, D3DDEVTYPE_HAL, 1, D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp, hal), 0);
  if (!ref.dev || !hal) return {};
  for (Direct3DDevice8* d : {ref.ref.get(), hal.get()}) {
    EXPECT_EQ(d->BeginScene(), 0);
    draw(*d);
    EXPECT_EQ(d->EndScene(), 0);
  }
  return {ImageFromFrame(ref.dev->BackBuffer()),
          ImageFromFrame(static_cast<GlDevice&>(*hal).ReadBackBuffer())};
}

struct ScreenVertex {
  float x, y, z, rhw;
  DWORD diffuse, specular;
  float u, v;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;

void Quad(Direct3DDevice8& d, float x0, float y0, float x1, float y1, DWORD c0, DWORD c1,
          float z = 0.5f) {
  const ScreenVertex v[4] = {{x0, y1, z, 1, c0, 0x80404040u, 0, 1},
                             {x0, y0, z, 1, c1, 0x80102030u, 0, 0},
                             {x1, y1, z, 1, c1, 0x40404040u, 1, 1},
                             {x1, y0, z, 1, c0, 0xC0000000u, 1, 0}};
  d.SetVertexShader(kScreenFvf);
  EXPECT_EQ(d.DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex)), 0);
}

// A 16x16 checkerboard of two colours, one half-transparent.
Ref<Direct3DTexture8> Checker(Direct3DDevice8& d) {
  Ref<Direct3DTexture8> t;
  EXPECT_EQ(d.CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t), 0);
  test_support::FillLevel(*t, 0, [](UINT i) {  // 2x2 squares: i % 16 is x, i / 16 is y
    return (i % 16 / 2 + i / 32) % 2 ? 0x80FF8000u : 0xFF2040C0u;
  });
  return t;
}

// Scenes drawn on both devices. Most may differ by rounding near edges; the
// exact ones decide coverage by the fill rule and snapping alone, so both
// devices must cover the very same pixels.
TEST(GlDevice, DrawingAgreesWithTheReferenceDevice) {
  REQUIRE_GL();
  const struct {
    const char* name;
    std::function<void(Direct3DDevice8&)> draw;
    D3DFORMAT format = D3DFMT_X8R8G8B8;
    bool exact = false;
  } cases[] = {
      // Gouraud and flat strips, specular added, table fog on z, clockwise and
      // counter-clockwise quads under each cull mode. The projection is a
      // perspective one, which screen-space vertices must not heed: their fog
      // depth is their z, whatever their RHW.
      {"shading, fog, specular and culling",
       [](Direct3DDevice8& d) {
         d.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040u, 1.0f, 0);
         D3DMATRIX proj{};
         proj.m[0][0] = proj.m[1][1] = proj.m[2][2] = proj.m[2][3] = 1.0f;
         d.SetTransform(D3DTS_PROJECTION, proj);
         d.SetRenderState(D3DRS_SPECULARENABLE, 1);
         Quad(d, 2, 2, 30, 20, 0xFFFF0000u, 0xFF00FF00u);
         d.SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
         Quad(d, 34, 2, 62, 20, 0xFF0000FFu, 0xFFFFFF00u);
         SetStates(d, {{D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
                       {D3DRS_FOGENABLE, 1},
                       {D3DRS_FOGTABLEMODE, D3DFOG_LINEAR},
                       {D3DRS_FOGCOLOR, 0xFF808080u}});
         const ScreenVertex fogged[4] = {{2, 46, 0.2f, 0.25f, 0xFFFF00FFu, 0, 0, 1},
                                         {2, 24, 0.4f, 1.0f, 0xFF00FFFFu, 0, 0, 0},
                                         {30, 46, 0.6f, 0.5f, 0xFF00FFFFu, 0, 1, 1},
                                         {30, 24, 0.8f, 2.0f, 0xFFFF00FFu, 0, 1, 0}};
         EXPECT_EQ(d.DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, fogged, sizeof(ScreenVertex)), 0);
         SetStates(d, {{D3DRS_FOGENABLE, 0}, {D3DRS_CULLMODE, D3DCULL_CW}});
         Quad(d, 34, 24, 62, 46, 0xFFFFFFFFu, 0xFF000000u);  // clockwise: culled now
         Quad(d, 62, 24, 34, 46, 0xFF00FF00u, 0xFF0000FFu);  // counter-clockwise: drawn
       }},
      {"texture stages, alpha test and blend",
       [](Direct3DDevice8& d) {
         d.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
         Ref<Direct3DTexture8> t = Checker(d);
         d.SetTexture(0, t);
         Quad(d, 0, 0, 32, 32, 0xFFFFFFFFu, 0xFF808080u);
         // Stage 1 adds the factor colour; stage 0 blends by texture alpha.
         SetStates(d, {{Tss(D3DTSS_COLOROP), D3DTOP_BLENDTEXTUREALPHA},
                       {Tss(D3DTSS_COLORARG2), D3DTA_DIFFUSE},
                       {Tss(D3DTSS_COLOROP, 1), D3DTOP_ADD},
                       {Tss(D3DTSS_COLORARG1, 1), D3DTA_TFACTOR},
                       {Tss(D3DTSS_COLORARG2, 1), D3DTA_CURRENT},
                       {D3DRS_TEXTUREFACTOR, 0x00203040u},
                       {D3DRS_ALPHATESTENABLE, 1},
                       {D3DRS_ALPHAFUNC, D3DCMP_GREATER},
                       {D3DRS_ALPHAREF, 0x90}});
         Quad(d, 32, 0, 64, 32, 0xFF00FF00u, 0xFF0000FFu);
         d.SetTexture(0, nullptr);
         SetStates(d, {{D3DRS_ALPHATESTENABLE, 0},
                       {D3DRS_ALPHABLENDENABLE, 1},
                       {D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR},
                       {D3DRS_DESTBLEND, D3DBLEND_INVSRCCOLOR}});
         Quad(d, 8, 8, 56, 44, 0x80C0A060u, 0x4060C0F0u);
       }},
      {"a 16-bit back buffer, depth order, clears within rectangles and the viewport",
       [](Direct3DDevice8& d) {
         d.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF4080C0u, 1.0f, 0);
         Quad(d, 4, 4, 40, 40, 0xFFFF0000u, 0xFFFF0000u, 0.3f);
         Quad(d, 20, 10, 60, 44, 0xFF00FF00u, 0xFF00FF00u, 0.6f);  // behind: hidden where they meet
         const D3DRECT rects[2] = {{4, 4, 20, 12}, {50, 30, 80, 60}};  // the second runs off
         d.Clear(2, rects, D3DCLEAR_TARGET, 0xFFFF8000u, 1.0f, 0);
         D3DVIEWPORT8 vp{10, 20, 30, 20, 0.0f, 1.0f};
         d.SetViewport(vp);
         d.Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
       },
       D3DFMT_R5G6B5},
      {"fans and vertex buffers of transformed vertices",
       [](Direct3DDevice8& d) {
         d.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
         D3DMATRIX proj{};
         proj.m[0][0] = 1.5f;
         proj.m[1][1] = 2.0f;
         proj.m[2][2] = 1.0f;
         proj.m[2][3] = 1.0f;
         proj.m[3][2] = -0.5f;
         d.SetTransform(D3DTS_PROJECTION, proj);
         SetStates(d, {{D3DRS_LIGHTING, 0},
                       {D3DRS_SHADEMODE, D3DSHADE_FLAT},
                       {D3DRS_CULLMODE, D3DCULL_NONE}});
         using V = test_support::XyzVertex;
         const V fan[6] = {{0, 0, 2, 0xFFFFFFFFu},  {-1, -1, 3, 0xFFFF0000u},
                           {1, -1, 3, 0xFF00FF00u}, {1.2f, 0.8f, 2.5f, 0xFF0000FFu},
                           {-1, 1, 2, 0xFFFFFF00u}, {-1.1f, -0.9f, 3, 0xFF00FFFFu}};
         constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;
         d.SetVertexShader(kFvf);
         Ref<Direct3DVertexBuffer8> vb;
         ASSERT_EQ(d.CreateVertexBuffer(sizeof fan, 0, kFvf, D3DPOOL_DEFAULT, vb), 0);
         ASSERT_EQ(D3DVertexBuffer8SetData(vb, 0, sizeof fan, 0, fan), 0);
         d.SetStreamSource(0, vb, sizeof(V));
         EXPECT_EQ(d.DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 4), 0);
       }},
      // Edges through pixel centres, and corners half way between two
      // sub-pixel steps.
      {"edges through pixel centres follow the top-left rule",
       [](Direct3DDevice8& d) {
         d.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
         SetStates(d, {{D3DRS_CULLMODE, D3DCULL_NONE}, {D3DRS_ZENABLE, D3DZB_FALSE}});
         Quad(d, 2, 2, 12, 9, 0xFFFF0000u, 0xFFFF0000u);
         Quad(d, 12, 9, 2, 16, 0xFF00FF00u, 0xFF00FF00u);  // the other winding
         const float tie = 0.5f / 256.0f;                  // half a sub-pixel step
         Quad(d, 16 + tie, 2 + tie, 26 + tie, 12 - tie, 0xFF0000FFu, 0xFF0000FFu);
         Quad(d, 16 - tie, 14 - tie, 26 - tie, 24 + tie, 0xFFFFFF00u, 0xFFFFFF00u);
         // Sloped edges through centres: (30, 2) to (50, 12) to (30, 22).
         const ScreenVertex tri[6] = {
             {30, 2, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0},  {50, 12, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0},
             {30, 22, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0}, {60, 24, 0.5f, 1, 0xFF00FFFFu, 0, 0, 0},
             {40, 44, 0.5f, 1, 0xFF00FFFFu, 0, 0, 0}, {60, 44, 0.5f, 1, 0xFF00FFFFu, 0, 0, 0}};
         d.SetVertexShader(kScreenFvf);
         EXPECT_EQ(d.DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, tri, sizeof(ScreenVertex)), 0);
       },
       D3DFMT_X8R8G8B8, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Pictures p = DrawOnBoth(c.draw, Params(c.format));
    ASSERT_FALSE(p.reference.pixels.empty() || p.hardware.pixels.empty());
    const Agreement got = CompareAgreement(p.reference, p.hardware);
    EXPECT_LE(got.differingPercent, kMaxDifferingPercent);
    EXPECT_LE(got.maxAwayFromEdges, kMaxOffEdge);
    if (c.exact) {
      EXPECT_EQ(got.anyDifferencePercent, 0.0);
    }
  }
}

// The test's context posing as a window's: frames are shown (into nothing),
// and a capture can be asked for.
class WindowContext final : public GlContext {
 public:
  bool MakeCurrent() override { return Context()->MakeCurrent(); }
  bool HasWindow() const override { return true; }
  void DrawableSize(int& width, int& height) override { width = 100, height = 48; }
  void Swap() override { ++swaps; }
  bool WantsShownFrame() override { return captureDue; }
  void ShownFrame(const FrameView& frame) override { shown.push_back(ImageFromFrame(frame)); }

  bool captureDue = false;
  int swaps = 0;
  std::vector<Image> shown;
};

TEST(GlDevice, PresentInAWindowHandsOverTheFrameOnlyWhenACaptureIsDue) {
  REQUIRE_GL();
  auto window = std::make_shared<WindowContext>();
  GlDirect3D8 gl(nullptr, window);
  D3DCAPS8 caps{};  // a context gives the hardware type
  EXPECT_EQ(gl.GetDeviceCaps(0, D3DDEVTYPE_HAL, caps), 0);
  D3DPRESENT_PARAMETERS pp = Params();
  Ref<Direct3DDevice8> device;
  ASSERT_EQ(gl.CreateDevice(0, D3DDEVTYPE_HAL, 1, D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp, device),
            0);
  auto draw = [&](DWORD top, DWORD bottom) {
    const D3DRECT upper = {0, 0, 64, 24}, lower = {0, 24, 64, 48};
    device->Clear(1, &upper, D3DCLEAR_TARGET, top, 1.0f, 0);
    device->Clear(1, &lower, D3DCLEAR_TARGET, bottom, 1.0f, 0);
  };
  draw(0xFFFF0000u, 0xFF0000FFu);
  EXPECT_EQ(device->Present(nullptr, nullptr, 0, nullptr), 0);
  EXPECT_TRUE(window->shown.empty());
  window->captureDue = true;
  draw(0xFF00FF00u, 0xFFFFFFFFu);
  EXPECT_EQ(device->Present(nullptr, nullptr, 0, nullptr), 0);
  EXPECT_EQ(window->swaps, 2);
  ASSERT_EQ(window->shown.size(), 1u);
  // The frame as drawn, top row first, not the window's picture.
  const Image& shot = window->shown[0];
  ASSERT_EQ(shot.width, 64);
  ASSERT_EQ(shot.height, 48);
  EXPECT_EQ(shot.At(0, 0) & 0xFFFFFFu, 0x00FF00u);
  EXPECT_EQ(shot.At(63, 47) & 0xFFFFFFu, 0xFFFFFFu);
}

// Each row: a renderer, whether it offers OpenGL 3.3, the device asked for,
// and whether its context is taken. A software renderer needs the device
// forced; a renderer below 3.3 is never taken.
TEST(GlContextRules, SoftwareRenderersNeedTheDeviceForced) {
  const char* const llvmpipe = "llvmpipe (LLVM 15.0.6, 256 bits)";
  const char* const gpu = "AMD Radeon RX 580 (radeonsi, polaris10)";
  EXPECT_TRUE(IsSoftwareRenderer("softpipe"));
  // clang-format off
  const struct { const char* renderer; bool core33; bool forced; bool taken; } rows[] = {
      {llvmpipe, true, false, false}, {llvmpipe, true, true, true},
      {gpu, true, false, true}, {gpu, false, true, false}};
  // clang-format on
  for (const auto& r : rows) {
    const GlInfo info{r.renderer, "4.5 (Core Profile) Mesa", r.core33,
                      IsSoftwareRenderer(r.renderer)};
    EXPECT_EQ(AcceptsContext(info, r.forced), r.taken) << r.renderer << " " << r.forced;
  }
}

}  // namespace
