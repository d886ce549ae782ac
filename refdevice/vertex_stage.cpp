#include "refdevice/vertex_stage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "math/matrix.h"
#include "platform/d3d8_defaults.h"

namespace refdev {

FvfLayout DecodeFvf(DWORD fvf) {
  FvfLayout l;
  int offset = FvfPositionBytes(fvf);
  if (offset < 0) return l;
  l.pretransformed = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
  if (fvf & D3DFVF_RESERVED0) return l;
  if (l.pretransformed && (fvf & D3DFVF_NORMAL)) return l;
  if (fvf & D3DFVF_NORMAL) offset += 12;
  if (fvf & D3DFVF_PSIZE) offset += 4;
  if (fvf & D3DFVF_DIFFUSE) {
    l.diffuse = offset;
    offset += 4;
  }
  if (fvf & D3DFVF_SPECULAR) {
    l.specular = offset;
    offset += 4;
  }
  const DWORD count = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (count > 8) return l;
  l.texCount = static_cast<int>(count);
  for (DWORD i = 0; i < count; ++i) {
    const int dims = FvfTexCoordDims(fvf, i);
    l.tex[i] = offset;
    l.texDims[i] = dims;
    offset += 4 * dims;
  }
  l.size = offset;
  l.valid = true;
  return l;
}

std::uint32_t UsedTexSets(const DeviceState& state, const FvfLayout& layout) {
  std::uint32_t sets = 0;
  for (int s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s) {
    const auto& t = state.tss[static_cast<std::size_t>(s)];
    if (t[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
    if (state.texture[static_cast<std::size_t>(s)] == nullptr) continue;
    const DWORD set = t[D3DTSS_TEXCOORDINDEX] & 0xFFFFu;
    if (set < static_cast<DWORD>(layout.texCount)) sets |= 1u << set;
  }
  return sets;
}

std::uint64_t ReadExtent(const DeviceState& state, const FvfLayout& layout) {
  std::uint64_t end = layout.pretransformed ? 16 : 12;
  if (layout.diffuse >= 0) end = std::max<std::uint64_t>(end, layout.diffuse + 4);
  if (layout.specular >= 0) end = std::max<std::uint64_t>(end, layout.specular + 4);
  const std::uint32_t sets = UsedTexSets(state, layout);
  for (int i = 0; i < layout.texCount; ++i)
    if (sets & (1u << i))
      end = std::max<std::uint64_t>(end, layout.tex[i] + 4 * std::min(layout.texDims[i], 2));
  return end;
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

namespace {

float ReadFloat(const std::uint8_t* p) {
  float f;
  std::memcpy(&f, p, 4);
  return f;
}

void ReadColour(const std::uint8_t* p, float* out) {
  std::uint32_t c;
  std::memcpy(&c, p, 4);
  out[0] = static_cast<float>((c >> 16) & 255u);
  out[1] = static_cast<float>((c >> 8) & 255u);
  out[2] = static_cast<float>(c & 255u);
  out[3] = static_cast<float>(c >> 24);
}

// The vertex's colours, or opaque white and black where it has none.
void ReadColours(const FvfLayout& layout, const std::uint8_t* v, float* diffuse, float* specular) {
  if (layout.diffuse >= 0) {
    ReadColour(v + layout.diffuse, diffuse);
  } else {
    for (int c = 0; c < 4; ++c) diffuse[c] = 255.0f;
  }
  if (layout.specular >= 0) {
    ReadColour(v + layout.specular, specular);
  } else {
    for (int c = 0; c < 4; ++c) specular[c] = 0.0f;
  }
}

// An untransformed vertex's clip-space position by `m`, and its fog depth:
// w under a perspective projection, else z / w.
void Transform(const float m[4][4], bool perspective, const std::uint8_t* v, Vertex& out) {
  const float x = ReadFloat(v), y = ReadFloat(v + 4), z = ReadFloat(v + 8);
  for (int c = 0; c < 4; ++c) out.pos[c] = x * m[0][c] + y * m[1][c] + z * m[2][c] + m[3][c];
  out.attr[kFogDepth] =
      perspective ? out.pos[3] : (out.pos[3] != 0.0f ? out.pos[2] / out.pos[3] : 0.0f);
}

}  // namespace

void VertexStage::Begin(const DeviceState& state) {
  layout = DecodeFvf(state.fvf);
  texSets = UsedTexSets(state, layout);
  attrCount = kTex0;
  for (int i = 0; i < 8; ++i) {
    texAttr[i] = -1;
    if (texSets & (1u << i)) {
      texAttr[i] = attrCount;
      attrCount += 2;
    }
  }
  const D3DMATRIX wvp = MatrixMultiply(MatrixMultiply(state.world, state.view), state.proj);
  std::memcpy(m, wvp.m, sizeof m);
  // A projection that puts eye depth into w makes fog use w; otherwise z.
  perspective = state.proj.m[2][3] != 0.0f;
  const auto& rs = state.rs;
  lighting = rs[D3DRS_LIGHTING] != 0 && !layout.pretransformed;
  const bool fogOn = rs[D3DRS_FOGENABLE] != 0;
  vertexFog = fogOn && rs[D3DRS_FOGTABLEMODE] == D3DFOG_NONE &&
              rs[D3DRS_FOGVERTEXMODE] != D3DFOG_NONE && !layout.pretransformed;
  vertexFogMode = static_cast<int>(rs[D3DRS_FOGVERTEXMODE]);
  fogStart = AsFloat(rs[D3DRS_FOGSTART]);
  fogEnd = AsFloat(rs[D3DRS_FOGEND]);
  fogDensity = AsFloat(rs[D3DRS_FOGDENSITY]);
  const DWORD amb = rs[D3DRS_AMBIENT];
  ambient[0] = static_cast<float>((amb >> 16) & 255u) / 255.0f;
  ambient[1] = static_cast<float>((amb >> 8) & 255u) / 255.0f;
  ambient[2] = static_cast<float>(amb & 255u) / 255.0f;
  colorVertex = rs[D3DRS_COLORVERTEX] != 0;
  diffuseSource = rs[D3DRS_DIFFUSEMATERIALSOURCE];
  specularSource = rs[D3DRS_SPECULARMATERIALSOURCE];
  ambientSource = rs[D3DRS_AMBIENTMATERIALSOURCE];
  emissiveSource = rs[D3DRS_EMISSIVEMATERIALSOURCE];
  plain = !layout.pretransformed && !lighting && !vertexFog;
}

void VertexStage::Process(const std::uint8_t* v, Vertex& out) const {
  float* a = out.attr;
  if (plain) {
    // The general path below, without lighting and fog: colours go straight
    // to their attributes.
    Transform(m, perspective, v, out);
    ReadColours(layout, v, a + kDiffR, a + kSpecR);
    if (texSets != 0) ReadTexCoords(v, a);
    return;
  }

  float diffuse[4], specular[4];
  ReadColours(layout, v, diffuse, specular);
  if (layout.pretransformed) {
    out.pos[0] = ReadFloat(v);
    out.pos[1] = ReadFloat(v + 4);
    out.pos[2] = ReadFloat(v + 8);
    out.pos[3] = ReadFloat(v + 12);  // rhw
    // The projection does not apply to these vertices, so fog takes their z
    // whatever it is.
    a[kFogDepth] = out.pos[2];
  } else {
    Transform(m, perspective, v, out);
  }

  if (lighting) {
    // Material colours are all zero and no light is set, so only the ambient
    // and emissive terms can contribute; alpha comes from the diffuse source.
    auto source = [&](DWORD src, int channel) -> float {
      if (colorVertex && src == D3DMCS_COLOR1 && layout.diffuse >= 0) return diffuse[channel];
      if (colorVertex && src == D3DMCS_COLOR2 && layout.specular >= 0) return specular[channel];
      return 0.0f;
    };
    float lit[4];
    for (int c = 0; c < 3; ++c) {
      const float value = source(emissiveSource, c) + ambient[c] * source(ambientSource, c);
      lit[c] = std::min(255.0f, value);
    }
    lit[3] = source(diffuseSource, 3);
    const float specAlpha = source(specularSource, 3);
    for (int c = 0; c < 4; ++c) diffuse[c] = lit[c];
    specular[0] = specular[1] = specular[2] = 0.0f;
    specular[3] = specAlpha;
  }
  if (vertexFog) {
    const float d = std::fabs(a[kFogDepth]);
    specular[3] = 255.0f * FogFactor(vertexFogMode, d, fogStart, fogEnd, fogDensity);
  }
  for (int c = 0; c < 4; ++c) {
    a[kDiffR + c] = diffuse[c];
    a[kSpecR + c] = specular[c];
  }
  ReadTexCoords(v, a);
}

void VertexStage::ProcessMany(const std::uint8_t* first, std::size_t stride, std::size_t count,
                              Vertex* out) const {
  // One loop here, where Process can be inlined into it.
  for (std::size_t i = 0; i < count; ++i) Process(first + i * stride, out[i]);
}

void VertexStage::ReadTexCoords(const std::uint8_t* v, float* a) const {
  for (int i = 0; i < layout.texCount; ++i) {
    const int t = texAttr[i];
    if (t < 0) continue;
    const std::uint8_t* p = v + layout.tex[i];
    a[t] = ReadFloat(p);
    a[t + 1] = layout.texDims[i] >= 2 ? ReadFloat(p + 4) : 0.0f;
  }
}

}  // namespace refdev
