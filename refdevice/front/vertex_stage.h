// The vertex stage: reads vertices in a flexible vertex format and produces
// clip-space (or, for pre-transformed vertices, screen-space) positions with
// the attributes the later stages interpolate.
#pragma once

#include <cstddef>
#include <cstdint>

#include "d3dfront/fixed_function.h"
#include "refdevice/draw/attributes.h"
#include "refdevice/resources/device_state.h"
#include "refdevice/front/pipeline.h"

namespace refdev {

struct Vertex {
  // Clip space x, y, z, w; for pre-transformed vertices screen x, y, z and rhw.
  float pos[4];
  float attr[kMaxAttrs];
};

struct VertexStage {
  // Per-draw constants, set by Begin.
  FvfLayout layout;
  std::uint32_t texSets = 0;
  int attrCount = kTex0;     // attributes in use
  int texAttr[8] = {};       // attribute index of each set's u (or -1)
  float m[4][4] = {};        // world * view * projection
  bool perspective = false;  // the fog depth of untransformed vertices is w
  bool lighting = false;
  bool vertexFog = false;
  int vertexFogMode = 0;
  float fogStart = 0, fogEnd = 1, fogDensity = 1;
  float ambient[3] = {};
  d3dfront::MaterialSource diffuseSource{}, specularSource{}, ambientSource{}, emissiveSource{};
  // No lighting, no vertex fog, not pre-transformed: the cloud's case, which
  // takes a shorter path with the same arithmetic.
  bool plain = false;

  void Begin(const DeviceState& state, const d3dfront::FixedFunction& ff);
  void Process(const std::uint8_t* vertex, Vertex& out) const;
  // `count` vertices `stride` bytes apart, into out[0..count).
  void ProcessMany(const std::uint8_t* first, std::size_t stride, std::size_t count,
                   Vertex* out) const;
  // The texture coordinate sets in use, into their attributes.
  void ReadTexCoords(const std::uint8_t* vertex, float* attr) const;
};

using d3dfront::FogFactor;

}  // namespace refdev
