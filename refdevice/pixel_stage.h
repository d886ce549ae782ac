// The per-pixel stage: texture stages, specular sum, fog, alpha test, depth
// test and write, blending and the write to the render target. Colours are
// integers 0..255 here, so results are exact and the same on every thread.
#pragma once

#include <cstdint>

#include "refdevice/device_state.h"
#include "refdevice/vertex_stage.h"

namespace refdev {

struct Rgba {
  int c[4];  // r, g, b, a
};

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

struct PixelContext {
  int stageCount = 0;
  StageSetup stages[D3D_MAX_TEXTURE_STAGES] = {};
  Rgba tfactor{};
  bool specularAdd = false;
  int fogMode = 0;  // 0 none, 1 table (from depth), 2 from specular alpha
  int fogTableMode = 0;
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
  bool stencilTest = false;  // only with a depth buffer that has stencil bits
  DWORD stencilFunc = D3DCMP_ALWAYS;
  std::uint32_t stencilRef = 0, stencilMask = 0xFF;
  DWORD stencilWriteMask = 0xFF;
  DWORD stencilFail = 1, stencilZFail = 1, stencilPass = 1;
  bool blend = false;
  DWORD srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO, blendOp = D3DBLENDOP_ADD;
  DWORD writeMask = 0xF;
  bool flat = false;
  bool needDerivatives = false;  // some stage needs screen derivatives of its coordinates

  Surface* target = nullptr;
  DepthBuffer* depth = nullptr;
  int bpp = 4;
};

void BuildPixelContext(const DeviceState& state, const VertexStage& vs, PixelContext& ctx);

// Shades pixel (x, y) with depth `z` (0..1) and un-premultiplied attributes.
// With an early depth test the pixel must be one DepthRejects has passed.
void ShadePixel(const PixelContext& ctx, int x, int y, float z, const float* attr);

// True when the depth test alone already discards the pixel and nothing
// before it could (no alpha test), so its attributes need not be computed.
bool DepthRejects(const PixelContext& ctx, int x, int y, float z);

// Which attributes the pixel stage reads (besides diffuse and texture sets).
bool NeedsSpecular(const PixelContext& ctx);
bool NeedsFogDepth(const PixelContext& ctx);

}  // namespace refdev
