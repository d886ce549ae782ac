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

TEST(DrawDescription, TheCloudsDraw) {
  State s;
  s.Rs(D3DRS_LIGHTING, 0);
  s.Rs(D3DRS_ALPHABLENDENABLE, 1);
  s.Rs(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  s.Rs(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  const DrawDescription d = s.Describe();
  // Only the diffuse colour is interpolated, with perspective; the texture
  // set is not read without a texture.
  ASSERT_EQ(d.interpCount, 4);
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(d.interp[j], refdev::kDiffR + j);
    EXPECT_TRUE(d.perspective[j]);
  }
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
}

TEST(DrawDescription, KeyIgnoresConstantsAndStatesThatRunNoCode) {
  const DrawKey base = State().Describe().key;
  const auto same = [&](auto change) {
    State s;
    change(s);
    return s.Describe().key == base;
  };
  EXPECT_TRUE(same([](State& s) { s.Rs(D3DRS_FOGCOLOR, 0x123456); }));
  EXPECT_TRUE(same([](State& s) { s.Rs(D3DRS_TEXTUREFACTOR, 0x80808080); }));
  EXPECT_TRUE(same([](State& s) { s.Rs(D3DRS_ALPHAREF, 0x40); }));
  EXPECT_TRUE(same([](State& s) { s.Rs(D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR); }));  // blending off
  EXPECT_TRUE(same([](State& s) { s.Rs(D3DRS_FOGTABLEMODE, D3DFOG_EXP); }));      // fog off
  EXPECT_TRUE(same([](State& s) { s.Tss(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR); }));
  // Stages that leave the diffuse colour as it is: selecting it, or an op
  // that needs the missing texture.
  EXPECT_TRUE(same([](State& s) { s.Tss(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2); }));
  EXPECT_TRUE(same([](State& s) {
    s.Tss(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    s.Tss(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    s.Tss(1, D3DTSS_COLOROP, D3DTOP_ADD);  // texture and current: no texture on stage 1
  }));
}

TEST(DrawDescription, KeyChangesWithThePerPixelCode) {
  const DrawKey base = State().Describe().key;
  const auto changes = [&](auto change) {
    State s;
    change(s);
    return !(s.Describe().key == base);
  };
  EXPECT_TRUE(changes([](State& s) { s.Rs(D3DRS_ALPHABLENDENABLE, 1); }));
  EXPECT_TRUE(changes([](State& s) { s.Rs(D3DRS_SHADEMODE, D3DSHADE_FLAT); }));
  EXPECT_TRUE(changes([](State& s) { s.Rs(D3DRS_ZFUNC, D3DCMP_LESS); }));
  EXPECT_TRUE(changes([](State& s) { s.Rs(D3DRS_ZWRITEENABLE, 0); }));
  EXPECT_TRUE(changes([](State& s) { s.Rs(D3DRS_ALPHATESTENABLE, 1); }));
  EXPECT_TRUE(changes([](State& s) { s.Rs(D3DRS_COLORWRITEENABLE, 7); }));
  EXPECT_TRUE(changes([](State& s) { s.Rs(D3DRS_SPECULARENABLE, 1); }));
  EXPECT_TRUE(changes([](State& s) {
    s.Rs(D3DRS_FOGENABLE, 1);
    s.Rs(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
  }));
  EXPECT_TRUE(changes([](State& s) {
    s.Tss(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    s.Tss(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  }));
  EXPECT_TRUE(changes([](State& s) {
    s.Tss(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    s.Tss(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE | D3DTA_COMPLEMENT);
  }));
  EXPECT_TRUE(changes([](State& s) { s.SetTexture(); }));
  EXPECT_TRUE(changes([](State& s) { s.depth.Allocate(D3DFMT_D24X8, 8, 8); }));
  EXPECT_TRUE(changes([](State& s) { s.target.Allocate(D3DFMT_R5G6B5, 8, 8); }));
}

TEST(DrawDescription, FlatShadingKeepsTheColoursConstantAndTexturesPerspective) {
  State s;
  s.Rs(D3DRS_SHADEMODE, D3DSHADE_FLAT);
  s.Rs(D3DRS_SPECULARENABLE, 1);
  s.SetTexture();
  const DrawDescription d = s.Describe();
  ASSERT_EQ(d.interpCount, 10);  // diffuse, specular, u, v
  for (int j = 0; j < d.interpCount; ++j)
    EXPECT_EQ(d.perspective[j], d.interp[j] >= refdev::kTex0) << d.interp[j];
  EXPECT_EQ(d.key.stages, 1);
}

}  // namespace
