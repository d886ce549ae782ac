#include "refdevice/front/vertex_stage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "math/matrix.h"
#include "platform/d3d8_defaults.h"

namespace refdev {

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

void VertexStage::Begin(const DeviceState& state, const d3dfront::FixedFunction& ff) {
  layout = ff.layout;
  texSets = ff.texSets;
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
  perspective = ff.fogDepth == d3dfront::FogDepth::EyeW;
  lighting = ff.lighting;
  vertexFog = ff.vertexFogMode != D3DFOG_NONE;
  vertexFogMode = static_cast<int>(ff.vertexFogMode);
  fogStart = ff.fogStart;
  fogEnd = ff.fogEnd;
  fogDensity = ff.fogDensity;
  const d3dfront::Channels amb = d3dfront::Unpack(ff.ambient);
  for (int c = 0; c < 3; ++c)
    ambient[c] = static_cast<float>(amb[static_cast<std::size_t>(c)]) / 255.0f;
  diffuseSource = ff.diffuseSource;
  specularSource = ff.specularSource;
  ambientSource = ff.ambientSource;
  emissiveSource = ff.emissiveSource;
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
    auto source = [&](d3dfront::MaterialSource src, int channel) -> float {
      if (src == d3dfront::MaterialSource::Diffuse) return diffuse[channel];
      if (src == d3dfront::MaterialSource::Specular) return specular[channel];
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
