// The per-draw description: which attributes are interpolated, and a key
// that changes exactly when the per-pixel code a back end picks must change.
#include "refdevice/front/describe_draw.h"

#include <gtest/gtest.h>

#include "platform/d3d8_defaults.h"
#include "refdevice/front/vertex_stage.h"

namespace {

using refdev::DrawDescription;
using refdev::DrawKey;

// The device's state after creation with a D16 depth buffer, drawing
// untransformed vertices with a diffuse colour and one texture set.
struct State {
  refdev::DeviceState state;
  refdev::Surface target;
  refdev::DepthBuffer depth;
  refdev::RefTexture texture{4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED};

  State() {
    target.Allocate(D3DFMT_X8R8G8B8, 8, 8);
    depth.Allocate(D3DFMT_D16, 8, 8);
    FillDefaultRenderStates(state.rs, true);
    for (DWORD s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s)
      FillDefaultTextureStageStates(state.tss[s], s);
    state.viewport = {0, 0, 8, 8, 0.0f, 1.0f};
    state.fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
    state.target = &target;
    state.depth = &depth;
    state.depthFormat = D3DFMT_D16;
  }
  void SetTexture() {
    state.texture[0] = &texture;
    state.textured[0] = true;
  }
  void Rs(D3DRENDERSTATETYPE s, DWORD v) { state.rs[static_cast<std::size_t>(s)] = v; }
  void Tss(DWORD stage, D3DTEXTURESTAGESTATETYPE s, DWORD v) {
    state.tss[stage][static_cast<std::size_t>(s)] = v;
  }
  DrawDescription Describe() const {
    d3dfront::FixedFunction ff;
    d3dfront::DecodeFixedFunction(state, ff);
    refdev::VertexStage vs;
    vs.Begin(state, ff);
    DrawDescription d;
    refdev::BuildDrawDescription(state, ff, vs, d);
    return d;
  }
};

// The cloud's draw interpolates only the diffuse colour, with perspective
// (the texture set is not read without a texture); flat shading keeps the
// colours constant and the texture coordinates perspective.
TEST(DrawDescription, InterpolatedAttributesAndTheCloudsKey) {
  State s;
  s.Rs(D3DRS_LIGHTING, 0);
  s.Rs(D3DRS_ALPHABLENDENABLE, 1);
  s.Rs(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  s.Rs(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  DrawDescription d = s.Describe();
  ASSERT_EQ(d.interpCount, 4);
  for (int j = 0; j < 4; ++j)
    EXPECT_EQ(d.interp[j] * 2 + d.perspective[j], (refdev::kDiffR + j) * 2 + 1);
  DrawKey want;
  want.blend = 1;
  want.srcBlend = D3DBLEND_SRCALPHA;
  want.destBlend = D3DBLEND_INVSRCALPHA;
  want.blendOp = D3DBLENDOP_ADD;
  want.depthFunc = D3DCMP_LESSEQUAL;
  want.depthWrite = 1;
  want.depthBits = 16;
  want.targetFormat = D3DFMT_X8R8G8B8;
  want.attributes = 0xF;
  EXPECT_EQ(d.key, want);

  s.Rs(D3DRS_SHADEMODE, D3DSHADE_FLAT);
  s.Rs(D3DRS_SPECULARENABLE, 1);
  s.SetTexture();
  d = s.Describe();
  ASSERT_EQ(d.interpCount, 10);  // diffuse, specular, u, v
  for (int j = 0; j < d.interpCount; ++j)
    EXPECT_EQ(d.perspective[j], d.interp[j] >= refdev::kTex0) << d.interp[j];
  EXPECT_EQ(d.key.stages, 1);
}

// The key ignores constants and states that run no code, and changes with
// everything that changes the per-pixel code.
TEST(DrawDescription, KeyChangesExactlyWithThePerPixelCode) {
  struct Case {
    const char* what;
    void (*change)(State&);
    bool sameKey;
  };
  // clang-format off
  const Case cases[] = {
      {"fog colour", [](State& s) { s.Rs(D3DRS_FOGCOLOR, 0x123456); }, true},
      {"texture factor", [](State& s) { s.Rs(D3DRS_TEXTUREFACTOR, 0x80808080); }, true},
      {"alpha reference", [](State& s) { s.Rs(D3DRS_ALPHAREF, 0x40); }, true},
      {"blend factor, blending off", [](State& s) { s.Rs(D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR); }, true},
      {"fog mode, fog off", [](State& s) { s.Rs(D3DRS_FOGTABLEMODE, D3DFOG_EXP); }, true},
      {"filter", [](State& s) { s.Tss(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR); }, true},
      {"selecting the diffuse colour", [](State& s) { s.Tss(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2); }, true},
      {"an op needing the missing texture", [](State& s) {
         s.Tss(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
         s.Tss(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
         s.Tss(1, D3DTSS_COLOROP, D3DTOP_ADD); }, true},
      {"blending", [](State& s) { s.Rs(D3DRS_ALPHABLENDENABLE, 1); }, false},
      {"flat shading", [](State& s) { s.Rs(D3DRS_SHADEMODE, D3DSHADE_FLAT); }, false},
      {"depth function", [](State& s) { s.Rs(D3DRS_ZFUNC, D3DCMP_LESS); }, false},
      {"depth writes", [](State& s) { s.Rs(D3DRS_ZWRITEENABLE, 0); }, false},
      {"alpha test", [](State& s) { s.Rs(D3DRS_ALPHATESTENABLE, 1); }, false},
      {"colour writes", [](State& s) { s.Rs(D3DRS_COLORWRITEENABLE, 7); }, false},
      {"specular", [](State& s) { s.Rs(D3DRS_SPECULARENABLE, 1); }, false},
      {"fog", [](State& s) { s.Rs(D3DRS_FOGENABLE, 1); s.Rs(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR); }, false},
      {"texture factor selected", [](State& s) {
         s.Tss(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
         s.Tss(0, D3DTSS_COLORARG1, D3DTA_TFACTOR); }, false},
      {"complemented diffuse", [](State& s) {
         s.Tss(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
         s.Tss(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE | D3DTA_COMPLEMENT); }, false},
      {"a texture", [](State& s) { s.SetTexture(); }, false},
      {"24-bit depth", [](State& s) { s.depth.Allocate(D3DFMT_D24X8, 8, 8); }, false},
      {"16-bit target", [](State& s) { s.target.Allocate(D3DFMT_R5G6B5, 8, 8); }, false},
  };
  // clang-format on
  const DrawKey base = State().Describe().key;
  for (const Case& c : cases) {
    State s;
    c.change(s);
    EXPECT_EQ(s.Describe().key == base, c.sameKey) << c.what;
  }
}

}  // namespace
