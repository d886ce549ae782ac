// The description of one draw, built once from the device state when the draw
// starts: which attributes are interpolated, the constants of the pixel stage
// and a small key of everything that decides which per-pixel code runs. A
// rasterizer reads nothing else of the device.
#pragma once

#include <cstdint>

#include "d3dfront/fixed_function.h"
#include "refdevice/draw/attributes.h"
#include "refdevice/resources/device_state.h"
#include "refdevice/draw/setup_primitives.h"

namespace refdev {

using d3dfront::StencilTest;

struct Rgba {
  int c[4];  // r, g, b, a
};

// One texture stage, as the pixel stage runs it.
struct StageSetup {
  DWORD colorOp, colorArg0, colorArg1, colorArg2;
  DWORD alphaOp, alphaArg0, alphaArg1, alphaArg2;
  DWORD resultArg;
  const RefTexture* texture;  // or null
  int texAttr;                // attribute index of u, or -1 (coordinates 0)
  DWORD addressU, addressV;
  Rgba border;
  bool magLinear, minLinear;
  DWORD mipFilter;    // D3DTEXF_NONE, POINT or LINEAR
  DWORD maxMipLevel;  // largest level allowed, as an index
  float lodBias;
  bool needLod;  // the level of detail matters for this stage
};

// Where the pixel stage takes the fog factor from.
enum FogSource : int {
  kFogOff = 0,
  kFogTable = 1,     // per pixel, from the interpolated fog depth (table fog)
  kFogSpecular = 2,  // the interpolated specular alpha (vertex fog)
};

// The constants of the pixel stage.
struct PixelContext {
  int stageCount = 0;
  StageSetup stages[D3D_MAX_TEXTURE_STAGES] = {};
  Rgba tfactor{};
  bool specularAdd = false;
  int fogMode = kFogOff;  // a FogSource
  int fogTableMode = 0;   // D3DFOG_*
  float fogStart = 0, fogEnd = 1, fogDensity = 1;
  int fogColour[3] = {};
  bool alphaTest = false;
  DWORD alphaFunc = D3DCMP_ALWAYS;
  int alphaRef = 0;
  bool depthTest = false;
  bool depthWrite = false;
  // The depth test runs before shading (DepthRejects): nothing that comes
  // before it in the pixel's order (alpha or stencil test) can discard it.
  bool earlyDepth = false;
  DWORD depthFunc = D3DCMP_LESSEQUAL;
  double depthScale = 65535.0;
  StencilTest stencil;  // on only with a depth buffer that has stencil bits
  bool blend = false;
  DWORD srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO, blendOp = D3DBLENDOP_ADD;
  DWORD writeMask = 0xF;
  bool flat = false;
  bool needDerivatives = false;  // some stage needs screen derivatives of its coordinates

  Surface* target = nullptr;
  DepthBuffer* depth = nullptr;
  int bpp = 4;
};

// Everything that changes which per-pixel code runs, and nothing else: two
// draws with equal keys run the same code on different constants. Small and
// comparable, so that a back end can pick a specialised kernel by it.
struct DrawKey {
  std::uint8_t flat = 0;          // flat shading
  std::uint8_t stages = 0;        // 0: the texture stages pass the diffuse colour through
                                  // unchanged; otherwise how many stages run
  std::uint8_t specularAdd = 0;   // specular added to the colour
  std::uint8_t fog = kFogOff;     // a FogSource
  std::uint8_t fogTableMode = 0;  // D3DFOG_* with table fog, else 0
  std::uint8_t alphaFunc = 0;     // D3DCMP_* with the alpha test, else 0
  std::uint8_t depthFunc = 0;     // D3DCMP_* with the depth test, else 0
  std::uint8_t depthWrite = 0;
  std::uint8_t depthBits = 0;  // 16, 24 or 32 with the depth test, else 0
  std::uint8_t stencil = 0;    // the stencil test runs
  std::uint8_t blend = 0;      // alpha blending
  std::uint8_t srcBlend = 0;   // D3DBLEND_* with blending, else 0
  std::uint8_t destBlend = 0;
  std::uint8_t blendOp = 0;
  std::uint8_t writeMask = 0xF;   // D3DRS_COLORWRITEENABLE bits
  std::uint8_t targetFormat = 0;  // the render target's D3DFORMAT
  std::uint8_t derivatives = 0;   // some stage needs texture-coordinate derivatives
  std::uint32_t attributes = 0;   // bit k: attribute k is interpolated

  bool operator==(const DrawKey&) const = default;
};

struct DrawDescription {
  DrawKey key;
  PixelContext pixel;
  // The attributes interpolated, in the order of SetupTriangle::attr.
  int interpCount = 0;
  int interp[kMaxAttrs] = {};
  // Per slot: divided by the interpolated 1/w (false: a flat-shaded constant).
  bool perspective[kMaxAttrs] = {};
  // Attributes the vertices carry (texture sets end here).
  int attrCount = kTex0;
  // Lines draw their last pixel (D3DRS_LASTPIXEL).
  bool lastPixel = true;
  // Pixels a draw may touch: the viewport within the render target.
  PixelRect viewport;
};

}  // namespace refdev
