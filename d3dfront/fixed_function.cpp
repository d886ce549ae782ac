#include "d3dfront/fixed_function.h"

#include <algorithm>
#include <cmath>

#include "platform/d3d8_defaults.h"

namespace d3dfront {

namespace {

// Whether operation `op` reads the texture through one of its arguments.
bool ReadsTexture(DWORD op, DWORD arg0, DWORD arg1, DWORD arg2) {
  const auto reads = [](DWORD arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
  if (reads(arg1)) return true;
  if (op != D3DTOP_SELECTARG1 && reads(arg2)) return true;
  return (op == D3DTOP_MULTIPLYADD || op == D3DTOP_LERP) && reads(arg0);
}

bool ReadsSelector(const StageRun& st, DWORD selector) {
  for (DWORD arg :
       {st.colorArg0, st.colorArg1, st.colorArg2, st.alphaArg0, st.alphaArg1, st.alphaArg2})
    if ((arg & D3DTA_SELECTMASK) == selector) return true;
  return false;
}

void DecodeStage(const FrontState& state, int s, const FvfLayout& layout, StageRun& st) {
  const auto& t = state.tss[static_cast<std::size_t>(s)];
  st.colorOp = t[D3DTSS_COLOROP];
  st.colorArg0 = t[D3DTSS_COLORARG0];
  st.colorArg1 = t[D3DTSS_COLORARG1];
  st.colorArg2 = t[D3DTSS_COLORARG2];
  st.alphaOp = t[D3DTSS_ALPHAOP];
  st.alphaArg0 = t[D3DTSS_ALPHAARG0];
  st.alphaArg1 = t[D3DTSS_ALPHAARG1];
  st.alphaArg2 = t[D3DTSS_ALPHAARG2];
  st.textured = state.textured[static_cast<std::size_t>(s)];
  st.colorRuns = st.textured || !ReadsTexture(st.colorOp, st.colorArg0, st.colorArg1, st.colorArg2);
  st.alphaRuns =
      st.alphaOp != D3DTOP_DISABLE &&
      (st.textured || !ReadsTexture(st.alphaOp, st.alphaArg0, st.alphaArg1, st.alphaArg2));
  st.resultTemp = (t[D3DTSS_RESULTARG] & D3DTA_SELECTMASK) == D3DTA_TEMP;
  const DWORD set = t[D3DTSS_TEXCOORDINDEX] & 0xFFFFu;
  st.texSet = st.textured && set < static_cast<DWORD>(layout.texCount) ? static_cast<int>(set) : -1;
  st.addressU = t[D3DTSS_ADDRESSU];
  st.addressV = t[D3DTSS_ADDRESSV];
  st.border = t[D3DTSS_BORDERCOLOR];
  const auto isLinear = [](DWORD f) { return f >= D3DTEXF_LINEAR; };
  st.magLinear = isLinear(t[D3DTSS_MAGFILTER]);
  st.minLinear = isLinear(t[D3DTSS_MINFILTER]);
  st.mipFilter = std::min<DWORD>(t[D3DTSS_MIPFILTER], D3DTEXF_LINEAR);
  st.maxMipLevel = t[D3DTSS_MAXMIPLEVEL];
  st.lodBias = AsFloat(t[D3DTSS_MIPMAPLODBIAS]);
  // Without mipmaps and with one filter for both cases, the level of detail
  // changes nothing.
  st.needLod = st.textured && (st.mipFilter != D3DTEXF_NONE || st.magLinear != st.minLinear);
}

MaterialSource SourceOf(DWORD source, bool colourVertex, const FvfLayout& layout) {
  if (colourVertex && source == D3DMCS_COLOR1 && layout.diffuse >= 0)
    return MaterialSource::Diffuse;
  if (colourVertex && source == D3DMCS_COLOR2 && layout.specular >= 0)
    return MaterialSource::Specular;
  return MaterialSource::None;
}

void DecodeVertices(const FrontState& state, FixedFunction& ff) {
  const auto& rs = state.rs;
  const FvfLayout& layout = ff.layout;
  ff.lighting = rs[D3DRS_LIGHTING] != 0 && !layout.pretransformed;
  const bool colourVertex = rs[D3DRS_COLORVERTEX] != 0;
  ff.diffuseSource = SourceOf(rs[D3DRS_DIFFUSEMATERIALSOURCE], colourVertex, layout);
  ff.specularSource = SourceOf(rs[D3DRS_SPECULARMATERIALSOURCE], colourVertex, layout);
  ff.ambientSource = SourceOf(rs[D3DRS_AMBIENTMATERIALSOURCE], colourVertex, layout);
  ff.emissiveSource = SourceOf(rs[D3DRS_EMISSIVEMATERIALSOURCE], colourVertex, layout);
  ff.ambient = rs[D3DRS_AMBIENT];
  // The projection does not apply to pre-transformed vertices, so their fog
  // takes their z; a projection that puts eye depth into w makes it w.
  if (layout.pretransformed)
    ff.fogDepth = FogDepth::ScreenZ;
  else
    ff.fogDepth = state.proj.m[2][3] != 0.0f ? FogDepth::EyeW : FogDepth::ProjectedZ;
  const bool fogOn = rs[D3DRS_FOGENABLE] != 0;
  const bool tableFog = fogOn && rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE;
  const bool vertexFog =
      fogOn && !tableFog && rs[D3DRS_FOGVERTEXMODE] != D3DFOG_NONE && !layout.pretransformed;
  ff.vertexFogMode = vertexFog ? rs[D3DRS_FOGVERTEXMODE] : DWORD{D3DFOG_NONE};
  ff.fogTableMode = tableFog ? rs[D3DRS_FOGTABLEMODE] : DWORD{D3DFOG_NONE};
  if (tableFog)
    ff.fog = FogSource::Table;
  else if (fogOn && (vertexFog || layout.specular >= 0))
    ff.fog = FogSource::Vertex;
  else
    ff.fog = FogSource::Off;
  ff.fogStart = AsFloat(rs[D3DRS_FOGSTART]);
  ff.fogEnd = AsFloat(rs[D3DRS_FOGEND]);
  ff.fogDensity = AsFloat(rs[D3DRS_FOGDENSITY]);
  ff.fogColour = rs[D3DRS_FOGCOLOR];
}

void DecodeTests(const FrontState& state, FixedFunction& ff) {
  const auto& rs = state.rs;
  ff.alphaTest = rs[D3DRS_ALPHATESTENABLE] != 0;
  ff.alphaFunc = rs[D3DRS_ALPHAFUNC];
  ff.alphaRef = static_cast<int>(rs[D3DRS_ALPHAREF] & 0xFFu);
  ff.depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE && state.depthFormat != D3DFMT_UNKNOWN;
  ff.depthWrite = ff.depthTest && rs[D3DRS_ZWRITEENABLE] != 0;
  ff.depthFunc = rs[D3DRS_ZFUNC];
  ff.stencil.enabled = rs[D3DRS_STENCILENABLE] != 0 && state.depthFormat == D3DFMT_D24S8;
  ff.stencil.func = rs[D3DRS_STENCILFUNC];
  ff.stencil.ref = rs[D3DRS_STENCILREF] & 0xFFu;
  ff.stencil.mask = rs[D3DRS_STENCILMASK] & 0xFFu;
  ff.stencil.writeMask = rs[D3DRS_STENCILWRITEMASK];
  ff.stencil.fail = rs[D3DRS_STENCILFAIL];
  ff.stencil.zFail = rs[D3DRS_STENCILZFAIL];
  ff.stencil.pass = rs[D3DRS_STENCILPASS];
}

void DecodeBlend(const FrontState& state, FixedFunction& ff) {
  const auto& rs = state.rs;
  ff.blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
  ff.srcBlend = rs[D3DRS_SRCBLEND];
  ff.destBlend = rs[D3DRS_DESTBLEND];
  ff.blendOp = rs[D3DRS_BLENDOP];
  // The pairs set both factors and leave the destination's state unread.
  if (ff.srcBlend == D3DBLEND_BOTHSRCALPHA) {
    ff.srcBlend = D3DBLEND_SRCALPHA;
    ff.destBlend = D3DBLEND_INVSRCALPHA;
  } else if (ff.srcBlend == D3DBLEND_BOTHINVSRCALPHA) {
    ff.srcBlend = D3DBLEND_INVSRCALPHA;
    ff.destBlend = D3DBLEND_SRCALPHA;
  }
  ff.writeMask = rs[D3DRS_COLORWRITEENABLE] & 0xFu;
}

}  // namespace

void DecodeFixedFunction(const FrontState& state, FixedFunction& ff) {
  const auto& rs = state.rs;
  ff.layout = DecodeFvf(state.fvf);
  ff.texSets = UsedTexSets(state, ff.layout);
  DecodeVertices(state, ff);
  ff.stageCount = 0;
  for (int s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s) {
    if (state.tss[static_cast<std::size_t>(s)][D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
    DecodeStage(state, s, ff.layout, ff.stages[s]);
    ++ff.stageCount;
  }
  ff.textureFactor = rs[D3DRS_TEXTUREFACTOR];
  ff.specularAdd = rs[D3DRS_SPECULARENABLE] != 0;
  ff.needSpecular = ff.specularAdd || ff.fog == FogSource::Vertex;
  for (int s = 0; s < ff.stageCount; ++s)
    ff.needSpecular = ff.needSpecular || ReadsSelector(ff.stages[s], D3DTA_SPECULAR);
  DecodeTests(state, ff);
  DecodeBlend(state, ff);
  ff.flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  ff.cull = rs[D3DRS_CULLMODE];
  ff.fill = rs[D3DRS_FILLMODE];
  ff.lastPixel = rs[D3DRS_LASTPIXEL] != 0;
}

float FogFactor(int mode, float d, float start, float end, float density) {
  float f = 1.0f;
  switch (mode) {
    case D3DFOG_LINEAR:
      f = (end == start) ? (d < start ? 1.0f : 0.0f) : (end - d) / (end - start);
      break;
    case D3DFOG_EXP:
      f = std::exp(-density * d);
      break;
    case D3DFOG_EXP2: {
      const float dd = density * d;
      f = std::exp(-dd * dd);
      break;
    }
    default:
      return 1.0f;
  }
  if (!(f >= 0.0f)) return 0.0f;  // also NaN
  return std::min(f, 1.0f);
}

}  // namespace d3dfront
