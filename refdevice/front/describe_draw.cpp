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

void BuildPixelContext(const DeviceState& state, const d3dfront::FixedFunction& ff,
                       const VertexStage& vs, PixelContext& ctx) {
  ctx.ff = ff;
  ctx.needDerivatives = false;
  for (int s = 0; s < ff.stageCount; ++s) {
    const d3dfront::StageRun& run = ff.stages[s];
    StageBinding& b = ctx.bound[s];
    b.texture = state.texture[static_cast<std::size_t>(s)];
    b.texAttr = run.texSet >= 0 ? vs.texAttr[run.texSet] : -1;
    b.border = Unpack(run.border);
    ctx.needDerivatives = ctx.needDerivatives || run.needLod;
  }
  ctx.tfactor = Unpack(ff.textureFactor);
  const Rgba fc = Unpack(ff.fogColour);
  for (int c = 0; c < 3; ++c) ctx.fogColour[c] = fc.c[c];
  ctx.depth = state.depth;
  ctx.earlyDepth = ff.depthTest && !ff.alphaTest && !ff.stencil.enabled;
  ctx.depthScale = state.depth ? state.depth->Scale() : 65535.0;
  ctx.target = state.target;
  ctx.bpp = state.target ? BytesPerPixel(state.target->format) : 4;
}

std::uint8_t Byte(DWORD v) { return static_cast<std::uint8_t>(v); }

DrawKey KeyOf(const PixelContext& px, bool stagesPassDiffuse, std::uint32_t attributes) {
  const d3dfront::FixedFunction& ff = px.ff;
  DrawKey k;
  k.flat = ff.flat;
  k.stages = stagesPassDiffuse ? 0 : Byte(static_cast<DWORD>(ff.stageCount));
  k.specularAdd = ff.specularAdd;
  k.fog = ff.fog;
  k.fogTableMode = ff.fog == d3dfront::FogSource::Table ? Byte(ff.fogTableMode) : 0;
  k.alphaFunc = ff.alphaTest ? Byte(ff.alphaFunc) : 0;
  k.depthFunc = ff.depthTest ? Byte(ff.depthFunc) : 0;
  k.depthWrite = ff.depthWrite;
  if (ff.depthTest)
    k.depthBits = px.depthScale < 65536.0 ? 16 : px.depthScale < 16777216.0 ? 24 : 32;
  k.stencil = ff.stencil.enabled;
  k.blend = ff.blend;
  if (ff.blend) {
    k.srcBlend = Byte(ff.srcBlend);
    k.destBlend = Byte(ff.destBlend);
    k.blendOp = Byte(ff.blendOp);
  }
  k.writeMask = Byte(ff.writeMask);
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
    d.perspective[d.interpCount] = !(ff.flat && k >= kDiffR && k <= kSpecA);
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
