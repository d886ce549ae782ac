#include "refdevice/draw_description.h"

#include <algorithm>

#include "refdevice/pixel_formats.h"
#include "refdevice/vertex_stage.h"

namespace refdev {

namespace {

Rgba Unpack(std::uint32_t argb) {
  return Rgba{{static_cast<int>((argb >> 16) & 255u), static_cast<int>((argb >> 8) & 255u),
               static_cast<int>(argb & 255u), static_cast<int>(argb >> 24)}};
}

bool ReadsSelector(const StageSetup& st, DWORD selector) {
  for (DWORD arg :
       {st.colorArg0, st.colorArg1, st.colorArg2, st.alphaArg0, st.alphaArg1, st.alphaArg2})
    if ((arg & D3DTA_SELECTMASK) == selector) return true;
  return false;
}

bool NeedsSpecular(const PixelContext& ctx) {
  if (ctx.specularAdd || ctx.fogMode == kFogSpecular) return true;
  for (int s = 0; s < ctx.stageCount; ++s)
    if (ReadsSelector(ctx.stages[s], D3DTA_SPECULAR)) return true;
  return false;
}

// Whether `op` with these arguments leaves the current value as it is, given
// that the current value is still the diffuse colour: it selects the diffuse
// or current value unmodified, or it needs a texture the stage does not have
// (an op that cannot read its arguments changes nothing).
bool LeavesDiffuse(DWORD op, DWORD arg0, DWORD arg1, DWORD arg2, bool hasTexture) {
  const auto plain = [](DWORD arg) { return arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT; };
  const auto missing = [&](DWORD arg) {
    return !hasTexture && (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
  };
  switch (op) {
    case D3DTOP_SELECTARG1:
      return plain(arg1) || missing(arg1);
    case D3DTOP_SELECTARG2:
      return plain(arg2) || missing(arg1) || missing(arg2);
    case D3DTOP_MULTIPLYADD:
    case D3DTOP_LERP:
      return missing(arg0) || missing(arg1) || missing(arg2);
    default:
      return missing(arg1) || missing(arg2);
  }
}

// The texture stages pass the diffuse colour and alpha through unchanged.
bool StagesPassDiffuse(const PixelContext& ctx) {
  for (int s = 0; s < ctx.stageCount; ++s) {
    const StageSetup& st = ctx.stages[s];
    if ((st.resultArg & D3DTA_SELECTMASK) == D3DTA_TEMP) continue;  // current untouched
    const bool hasTexture = st.texture != nullptr;
    if (!LeavesDiffuse(st.colorOp, st.colorArg0, st.colorArg1, st.colorArg2, hasTexture))
      return false;
    if (st.alphaOp != D3DTOP_DISABLE &&
        !LeavesDiffuse(st.alphaOp, st.alphaArg0, st.alphaArg1, st.alphaArg2, hasTexture))
      return false;
  }
  return true;
}

void BuildPixelContext(const DeviceState& state, const VertexStage& vs, PixelContext& ctx) {
  const auto& rs = state.rs;
  ctx.stageCount = 0;
  ctx.needDerivatives = false;
  for (int s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s) {
    const auto& t = state.tss[static_cast<std::size_t>(s)];
    if (t[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
    StageSetup& st = ctx.stages[s];
    st.colorOp = t[D3DTSS_COLOROP];
    st.colorArg0 = t[D3DTSS_COLORARG0];
    st.colorArg1 = t[D3DTSS_COLORARG1];
    st.colorArg2 = t[D3DTSS_COLORARG2];
    st.alphaOp = t[D3DTSS_ALPHAOP];
    st.alphaArg0 = t[D3DTSS_ALPHAARG0];
    st.alphaArg1 = t[D3DTSS_ALPHAARG1];
    st.alphaArg2 = t[D3DTSS_ALPHAARG2];
    st.resultArg = t[D3DTSS_RESULTARG];
    st.texture = state.texture[static_cast<std::size_t>(s)];
    auto isLinear = [](DWORD f) { return f >= D3DTEXF_LINEAR; };  // anisotropic and cubic too
    st.magLinear = isLinear(t[D3DTSS_MAGFILTER]);
    st.minLinear = isLinear(t[D3DTSS_MINFILTER]);
    st.mipFilter = std::min<DWORD>(t[D3DTSS_MIPFILTER], D3DTEXF_LINEAR);
    st.maxMipLevel = t[D3DTSS_MAXMIPLEVEL];
    st.lodBias = AsFloat(t[D3DTSS_MIPMAPLODBIAS]);
    // Without mipmaps and with one filter for both cases, the level of
    // detail changes nothing and is not computed.
    st.needLod =
        st.texture != nullptr && (st.mipFilter != D3DTEXF_NONE || st.magLinear != st.minLinear);
    if (st.needLod) ctx.needDerivatives = true;
    const DWORD set = t[D3DTSS_TEXCOORDINDEX] & 0xFFFFu;
    st.texAttr = set < 8 ? vs.texAttr[set] : -1;
    st.addressU = t[D3DTSS_ADDRESSU];
    st.addressV = t[D3DTSS_ADDRESSV];
    st.border = Unpack(t[D3DTSS_BORDERCOLOR]);
    ++ctx.stageCount;
  }
  ctx.tfactor = Unpack(rs[D3DRS_TEXTUREFACTOR]);
  ctx.specularAdd = rs[D3DRS_SPECULARENABLE] != 0;
  ctx.fogMode = kFogOff;
  if (rs[D3DRS_FOGENABLE]) {
    if (rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE)
      ctx.fogMode = kFogTable;
    else if (vs.vertexFog || vs.layout.specular >= 0)
      ctx.fogMode = kFogSpecular;
  }
  ctx.fogTableMode = static_cast<int>(rs[D3DRS_FOGTABLEMODE]);
  ctx.fogStart = AsFloat(rs[D3DRS_FOGSTART]);
  ctx.fogEnd = AsFloat(rs[D3DRS_FOGEND]);
  ctx.fogDensity = AsFloat(rs[D3DRS_FOGDENSITY]);
  const Rgba fc = Unpack(rs[D3DRS_FOGCOLOR]);
  for (int c = 0; c < 3; ++c) ctx.fogColour[c] = fc.c[c];
  ctx.alphaTest = rs[D3DRS_ALPHATESTENABLE] != 0;
  ctx.alphaFunc = rs[D3DRS_ALPHAFUNC];
  ctx.alphaRef = static_cast<int>(rs[D3DRS_ALPHAREF] & 0xFFu);
  ctx.depth = state.depth;
  ctx.depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE && state.depth && state.depth->Present();
  ctx.depthWrite = ctx.depthTest && rs[D3DRS_ZWRITEENABLE] != 0;
  ctx.depthFunc = rs[D3DRS_ZFUNC];
  ctx.stencilTest = rs[D3DRS_STENCILENABLE] != 0 && state.depth && state.depth->hasStencil;
  ctx.earlyDepth = ctx.depthTest && !ctx.alphaTest && !ctx.stencilTest;
  ctx.stencilFunc = rs[D3DRS_STENCILFUNC];
  ctx.stencilRef = rs[D3DRS_STENCILREF] & 0xFFu;
  ctx.stencilMask = rs[D3DRS_STENCILMASK] & 0xFFu;
  ctx.stencilWriteMask = rs[D3DRS_STENCILWRITEMASK];
  ctx.stencilFail = rs[D3DRS_STENCILFAIL];
  ctx.stencilZFail = rs[D3DRS_STENCILZFAIL];
  ctx.stencilPass = rs[D3DRS_STENCILPASS];
  ctx.depthScale = state.depth ? state.depth->Scale() : 65535.0;
  ctx.blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
  ctx.srcBlend = rs[D3DRS_SRCBLEND];
  ctx.destBlend = rs[D3DRS_DESTBLEND];
  ctx.blendOp = rs[D3DRS_BLENDOP];
  if (ctx.srcBlend == D3DBLEND_BOTHSRCALPHA) {
    ctx.srcBlend = D3DBLEND_SRCALPHA;
    ctx.destBlend = D3DBLEND_INVSRCALPHA;
  } else if (ctx.srcBlend == D3DBLEND_BOTHINVSRCALPHA) {
    ctx.srcBlend = D3DBLEND_INVSRCALPHA;
    ctx.destBlend = D3DBLEND_SRCALPHA;
  }
  ctx.writeMask = rs[D3DRS_COLORWRITEENABLE] & 0xFu;
  ctx.flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  ctx.target = state.target;
  ctx.bpp = state.target ? BytesPerPixel(state.target->format) : 4;
}

std::uint8_t Byte(DWORD v) { return static_cast<std::uint8_t>(v); }

DrawKey KeyOf(const PixelContext& px, std::uint32_t attributes) {
  DrawKey k;
  k.flat = px.flat;
  k.stages = StagesPassDiffuse(px) ? 0 : Byte(static_cast<DWORD>(px.stageCount));
  k.specularAdd = px.specularAdd;
  k.fog = Byte(static_cast<DWORD>(px.fogMode));
  k.fogTableMode = px.fogMode == kFogTable ? Byte(static_cast<DWORD>(px.fogTableMode)) : 0;
  k.alphaFunc = px.alphaTest ? Byte(px.alphaFunc) : 0;
  k.depthFunc = px.depthTest ? Byte(px.depthFunc) : 0;
  k.depthWrite = px.depthWrite;
  if (px.depthTest)
    k.depthBits = px.depthScale < 65536.0 ? 16 : px.depthScale < 16777216.0 ? 24 : 32;
  k.stencil = px.stencilTest;
  k.blend = px.blend;
  if (px.blend) {
    k.srcBlend = Byte(px.srcBlend);
    k.destBlend = Byte(px.destBlend);
    k.blendOp = Byte(px.blendOp);
  }
  k.writeMask = Byte(px.writeMask);
  k.targetFormat = px.target ? Byte(static_cast<DWORD>(px.target->format)) : 0;
  k.derivatives = px.needDerivatives;
  k.attributes = attributes;
  return k;
}

}  // namespace

void BuildDrawDescription(const DeviceState& state, const VertexStage& vs, DrawDescription& d) {
  PixelContext& px = d.pixel;
  BuildPixelContext(state, vs, px);
  d.attrCount = vs.attrCount;
  d.lastPixel = state.rs[D3DRS_LASTPIXEL] != 0;

  // Only what the pixel stage reads is interpolated.
  d.interpCount = 0;
  std::uint32_t attributes = 0;
  const bool specular = NeedsSpecular(px);
  for (int k = 0; k < d.attrCount; ++k) {
    if (k >= kSpecR && k <= kSpecA && !specular) continue;
    if (k == kFogDepth && px.fogMode != kFogTable) continue;
    // Flat shading takes both colours of the first vertex as they are.
    d.perspective[d.interpCount] = !(px.flat && k >= kDiffR && k <= kSpecA);
    d.interp[d.interpCount++] = k;
    attributes |= 1u << k;
  }

  const D3DVIEWPORT8& vp = state.viewport;
  d.viewport.x0 = static_cast<int>(vp.X);
  d.viewport.y0 = static_cast<int>(vp.Y);
  d.viewport.x1 = std::min(d.viewport.x0 + static_cast<int>(vp.Width), state.target->width);
  d.viewport.y1 = std::min(d.viewport.y0 + static_cast<int>(vp.Height), state.target->height);
  d.key = KeyOf(px, attributes);
}

}  // namespace refdev
