// The fixed-function state decoded once for a draw, for every device: what
// the vertices carry and what is interpolated, where fog comes from and by
// which formula, the texture stages as they run, lighting's sources, the
// alpha, depth and stencil tests, blending and the rasterizer's modes. The
// reference device builds its draw description from it, the hardware device
// its program key, shader source and OpenGL state; neither reads a render
// state of its own.
#pragma once

#include <array>
#include <cstdint>

#include "d3dfront/front_state.h"
#include "d3dfront/fvf_layout.h"

namespace d3dfront {

// Where the fog factor of a pixel comes from (one byte: the reference
// device's draw key holds it as it is).
enum class FogSource : std::uint8_t {
  Off = 0,
  Table = 1,   // per pixel, from the interpolated fog depth (table fog)
  Vertex = 2,  // the interpolated specular alpha (vertex fog, or the vertices' own)
};

// What a vertex's fog depth is.
enum class FogDepth : std::uint8_t {
  ProjectedZ,  // z / w of an untransformed vertex under an affine projection
  EyeW,        // w, the eye depth, under a projection that puts it there
  ScreenZ,     // the z of a pre-transformed vertex, whatever its RHW
};

// Pixel centres lie on whole screen coordinates; a rasterizer whose centres
// lie half way between them (OpenGL's) moves every position on by this much.
constexpr float kPixelCentreShift = 0.5f;

// Where one term of the lit colour comes from.
enum class MaterialSource : std::uint8_t { None, Diffuse, Specular };

// A packed colour's channels, 0 to 255: red, green, blue, alpha.
using Channels = std::array<int, 4>;
inline Channels Unpack(D3DCOLOR argb) {
  return {static_cast<int>((argb >> 16) & 255u), static_cast<int>((argb >> 8) & 255u),
          static_cast<int>(argb & 255u), static_cast<int>(argb >> 24)};
}

// One texture stage as it runs.
struct StageRun {
  DWORD colorOp, colorArg0, colorArg1, colorArg2;
  DWORD alphaOp, alphaArg0, alphaArg1, alphaArg2;  // alphaOp D3DTOP_DISABLE: alpha untouched
  // An operation that reads the texture of a stage without one changes
  // nothing; these say which of the two run.
  bool colorRuns, alphaRuns;
  bool resultTemp;  // the result goes to the temporary register, not current
  bool textured;
  int texSet;  // the coordinate set the stage samples at, or -1 for (0, 0)
  DWORD addressU, addressV;
  D3DCOLOR border;
  bool magLinear, minLinear;  // anisotropic and cubic filter linearly
  DWORD mipFilter;            // D3DTEXF_NONE, POINT or LINEAR
  DWORD maxMipLevel;          // the largest level allowed, as an index
  float lodBias;
  // The level of detail matters: mipmaps, or another filter for minifying.
  bool needLod;
};

// The stencil test and what it writes, as the render states set it.
struct StencilTest {
  bool enabled = false;
  DWORD func = D3DCMP_ALWAYS;
  std::uint32_t ref = 0, mask = 0xFF;
  DWORD writeMask = 0xFF;
  DWORD fail = D3DSTENCILOP_KEEP, zFail = D3DSTENCILOP_KEEP, pass = D3DSTENCILOP_KEEP;
};

struct FixedFunction {
  FvfLayout layout;
  std::uint32_t texSets = 0;  // the coordinate sets the stages read (bit per set)

  // Vertices.
  bool lighting = false;
  MaterialSource diffuseSource{}, specularSource{}, ambientSource{}, emissiveSource{};
  D3DCOLOR ambient = 0;
  FogDepth fogDepth = FogDepth::ProjectedZ;
  DWORD vertexFogMode = D3DFOG_NONE;  // the formula of vertex fog, D3DFOG_NONE without
  float fogStart = 0, fogEnd = 1, fogDensity = 1;

  // Pixels.
  bool flat = false;
  int stageCount = 0;
  StageRun stages[D3D_MAX_TEXTURE_STAGES] = {};
  D3DCOLOR textureFactor = 0;
  bool specularAdd = false;
  bool needSpecular = false;  // some use of the specular colour is interpolated
  FogSource fog = FogSource::Off;
  DWORD fogTableMode = D3DFOG_NONE;  // the formula of table fog, D3DFOG_NONE without
  D3DCOLOR fogColour = 0;
  bool alphaTest = false;
  DWORD alphaFunc = D3DCMP_ALWAYS;
  int alphaRef = 0;
  bool depthTest = false, depthWrite = false;
  DWORD depthFunc = D3DCMP_LESSEQUAL;
  StencilTest stencil;  // on only with a depth buffer that has stencil bits
  bool blend = false;
  // The BOTHSRCALPHA pairs are resolved into their two factors.
  DWORD srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO, blendOp = D3DBLENDOP_ADD;
  DWORD writeMask = 0xF;  // red, green, blue, alpha bits
  DWORD cull = D3DCULL_CCW;
  DWORD fill = D3DFILL_SOLID;
  bool lastPixel = true;  // lines draw their last pixel
};

// Decodes the fixed-function state of a draw with `state`.
void DecodeFixedFunction(const FrontState& state, FixedFunction& ff);

// The fog factor (1 = no fog) of `mode`'s formula at depth `d`, clamped to
// [0, 1]; a mode without a formula gives 1.
float FogFactor(int mode, float d, float start, float end, float density);

}  // namespace d3dfront
