#include "refdevice/front/describe_draw.h"

#include <algorithm>

#include "formats/pixel_format.h"
#include "refdevice/front/vertex_stage.h"

namespace refdev {

namespace {

Rgba Unpack(D3DCOLOR argb) {
  const d3dfront::Channels c = d3dfront::Unpack(argb);
  return Rgba{{c[0], c[1], c[2], c[3]}};
}

// Whether `op` with these arguments leaves the current value as it is, given
// that the current value is still the diffuse colour: it does not run, or it
// selects the diffuse or current value unmodified.
bool LeavesDiffuse(DWORD op, DWORD arg1, DWORD arg2, bool runs) {
  const auto plain = [](DWORD arg) { return arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT; };
  if (!runs) return true;
  if (op == D3DTOP_SELECTARG1) return plain(arg1);
  if (op == D3DTOP_SELECTARG2) return plain(arg2);
  return false;
}

// The texture stages pass the diffuse colour and alpha through unchanged.
bool StagesPassDiffuse(const d3dfront::FixedFunction& ff) {
  for (int s = 0; s < ff.stageCount; ++s) {
    const d3dfront::StageRun& st = ff.stages[s];
    if (st.resultTemp) continue;  // current untouched
    if (!LeavesDiffuse(st.colorOp, st.colorArg1, st.colorArg2, st.colorRuns)) return false;
    if (st.alphaOp != D3DTOP_DISABLE &&
        !LeavesDiffuse(st.alphaOp, st.alphaArg1, st.alphaArg2, st.alphaRuns))
      return false;
  }
  return true;
}

void BuildStage(const d3dfront::StageRun& run, const RefTexture* texture, const VertexStage& vs,
                StageSetup& st) {
  st.colorOp = run.colorOp;
  st.colorArg0 = run.colorArg0;
  st.colorArg1 = run.colorArg1;
  st.colorArg2 = run.colorArg2;
  st.alphaOp = run.alphaOp;
  st.alphaArg0 = run.alphaArg0;
  st.alphaArg1 = run.alphaArg1;
  st.alphaArg2 = run.alphaArg2;
  st.resultArg = run.resultTemp ? D3DTA_TEMP : D3DTA_CURRENT;
  st.texture = texture;
  st.magLinear = run.magLinear;
  st.minLinear = run.minLinear;
  st.mipFilter = run.mipFilter;
  st.maxMipLevel = run.maxMipLevel;
  st.lodBias = run.lodBias;
  st.needLod = run.needLod;
  st.texAttr = run.texSet >= 0 ? vs.texAttr[run.texSet] : -1;
  st.addressU = run.addressU;
  st.addressV = run.addressV;
  st.border = Unpack(run.border);
}

void BuildPixelContext(const DeviceState& state, const d3dfront::FixedFunction& ff,
                       const VertexStage& vs, PixelContext& ctx) {
  ctx.stageCount = ff.stageCount;
  ctx.needDerivatives = false;
  for (int s = 0; s < ff.stageCount; ++s) {
    BuildStage(ff.stages[s], state.texture[static_cast<std::size_t>(s)], vs, ctx.stages[s]);
    ctx.needDerivatives = ctx.needDerivatives || ctx.stages[s].needLod;
  }
  ctx.tfactor = Unpack(ff.textureFactor);
  ctx.specularAdd = ff.specularAdd;
  ctx.fogMode = static_cast<int>(ff.fog);
  ctx.fogTableMode = static_cast<int>(ff.fogTableMode);
  ctx.fogStart = ff.fogStart;
  ctx.fogEnd = ff.fogEnd;
  ctx.fogDensity = ff.fogDensity;
  const Rgba fc = Unpack(ff.fogColour);
  for (int c = 0; c < 3; ++c) ctx.fogColour[c] = fc.c[c];
  ctx.alphaTest = ff.alphaTest;
  ctx.alphaFunc = ff.alphaFunc;
  ctx.alphaRef = ff.alphaRef;
  ctx.depth = state.depth;
  ctx.depthTest = ff.depthTest;
  ctx.depthWrite = ff.depthWrite;
  ctx.depthFunc = ff.depthFunc;
  ctx.stencil = ff.stencil;
  ctx.earlyDepth = ctx.depthTest && !ctx.alphaTest && !ctx.stencil.enabled;
  ctx.depthScale = state.depth ? state.depth->Scale() : 65535.0;
  ctx.blend = ff.blend;
  ctx.srcBlend = ff.srcBlend;
  ctx.destBlend = ff.destBlend;
  ctx.blendOp = ff.blendOp;
  ctx.writeMask = ff.writeMask;
  ctx.flat = ff.flat;
  ctx.target = state.target;
  ctx.bpp = state.target ? BytesPerPixel(state.target->format) : 4;
}

std::uint8_t Byte(DWORD v) { return static_cast<std::uint8_t>(v); }

DrawKey KeyOf(const PixelContext& px, bool stagesPassDiffuse, std::uint32_t attributes) {
  DrawKey k;
  k.flat = px.flat;
  k.stages = stagesPassDiffuse ? 0 : Byte(static_cast<DWORD>(px.stageCount));
  k.specularAdd = px.specularAdd;
  k.fog = Byte(static_cast<DWORD>(px.fogMode));
  k.fogTableMode = px.fogMode == kFogTable ? Byte(static_cast<DWORD>(px.fogTableMode)) : 0;
  k.alphaFunc = px.alphaTest ? Byte(px.alphaFunc) : 0;
  k.depthFunc = px.depthTest ? Byte(px.depthFunc) : 0;
  k.depthWrite = px.depthWrite;
  if (px.depthTest)
    k.depthBits = px.depthScale < 65536.0 ? 16 : px.depthScale < 16777216.0 ? 24 : 32;
  k.stencil = px.stencil.enabled;
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

void BuildDrawDescription(const DeviceState& state, const d3dfront::FixedFunction& ff,
                          const VertexStage& vs, DrawDescription& d) {
  PixelContext& px = d.pixel;
  BuildPixelContext(state, ff, vs, px);
  d.attrCount = vs.attrCount;
  d.lastPixel = ff.lastPixel;

  // Only what the pixel stage reads is interpolated.
  d.interpCount = 0;
  std::uint32_t attributes = 0;
  for (int k = 0; k < d.attrCount; ++k) {
    if (k >= kSpecR && k <= kSpecA && !ff.needSpecular) continue;
    if (k == kFogDepth && ff.fog != d3dfront::FogSource::Table) continue;
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
  d.key = KeyOf(px, StagesPassDiffuse(ff), attributes);
}

}  // namespace refdev
