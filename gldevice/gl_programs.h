// Shader programs of the hardware device: the draw state that shapes the
// shaders (vertex format, lighting sources, texture stages, fog, alpha test)
// as a small key, one program per key, compiled on first use and cached.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>

#include "d3dfront/fixed_function.h"
#include "platform/d3d8types.h"

namespace gldev {

constexpr int kStages = D3D_MAX_TEXTURE_STAGES;
constexpr std::uint8_t kNoTexSet = 0xFF;

// Vertex attribute locations.
enum : GLuint { kAttrPosition = 0, kAttrDiffuse = 1, kAttrSpecular = 2, kAttrTex0 = 3 };

// One texture stage as it runs (see d3dfront::StageRun).
struct StageKey {
  std::uint8_t colorOp, colorArg0, colorArg1, colorArg2;
  std::uint8_t alphaOp, alphaArg0, alphaArg1, alphaArg2;
  std::uint8_t colorRuns, alphaRuns;
  std::uint8_t resultTemp;  // the stage writes the temporary register
  std::uint8_t hasTexture;
  std::uint8_t texSet;  // coordinate set the stage reads, kNoTexSet for (0, 0)
};

// Bytes only, so that equal states give equal bytes (no padding).
// The decoded state (d3dfront::FixedFunction) that shapes the shaders.
struct ProgramKey {
  std::uint8_t pretransformed, hasDiffuse, hasSpecular, flat;
  std::uint8_t lighting;
  d3dfront::MaterialSource diffuseSource, specularSource, ambientSource, emissiveSource;
  std::uint8_t vertexFogMode;  // D3DFOG_*, D3DFOG_NONE without vertex fog
  d3dfront::FogSource fog;
  std::uint8_t fogTableMode;  // D3DFOG_*, D3DFOG_NONE without table fog
  d3dfront::FogDepth fogDepth;
  std::uint8_t specularAdd;
  std::uint8_t alphaFunc;  // D3DCMP_*, 0 without alpha test
  std::uint8_t stageCount;
  std::uint8_t texSets;  // bit per coordinate set the stages read
  StageKey stages[kStages];

  bool operator==(const ProgramKey& o) const { return std::memcmp(this, &o, sizeof o) == 0; }
};
static_assert(sizeof(ProgramKey) == 17 + kStages * sizeof(StageKey));
static_assert(sizeof(StageKey) == 13);

struct ProgramKeyHash {
  std::size_t operator()(const ProgramKey& k) const {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&k);
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t i = 0; i < sizeof k; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return static_cast<std::size_t>(h);
  }
};

struct Program {
  GLuint id = 0;
  GLint wvp = -1, viewport = -1, depthRange = -1, target = -1;
  GLint fog = -1, fogColour = -1, tfactor = -1, ambient = -1, alphaRef = -1;
};

// The GLSL of both stages for `key`, exposed for tests.
std::string VertexShaderSource(const ProgramKey& key);
std::string FragmentShaderSource(const ProgramKey& key);

class ProgramCache {
 public:
  ProgramCache() = default;
  ~ProgramCache();
  ProgramCache(const ProgramCache&) = delete;
  ProgramCache& operator=(const ProgramCache&) = delete;

  // The program for `key`, built now when new; null when it does not compile
  // (`error` says why).
  const Program* Get(const ProgramKey& key, std::string* error);

 private:
  std::unordered_map<ProgramKey, Program, ProgramKeyHash> programs_;
};

}  // namespace gldev
