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

struct Rgba {
  int c[4];  // r, g, b, a
};

// What the reference device adds to a texture stage as it runs: the texture
// itself, where its coordinates lie among the attributes, and the border
// colour unpacked.
struct StageBinding {
  const RefTexture* texture;  // or null
  int texAttr;                // attribute index of u, or -1 (coordinates 0)
  Rgba border;
};

// The constants of the pixel stage: the draw's fixed-function state as the
// front decoded it, and what this device derives from it once per draw.
struct PixelContext {
  d3dfront::FixedFunction ff;
  StageBinding bound[D3D_MAX_TEXTURE_STAGES] = {};  // per stage of ff.stages
  // ff's colours unpacked.
  Rgba tfactor{};
  int fogColour[3] = {};
  // The depth test runs before shading (DepthRejects): nothing that comes
  // before it in the pixel's order (alpha or stencil test) can discard it.
  bool earlyDepth = false;
  double depthScale = 65535.0;
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
  d3dfront::FogSource fog = d3dfront::FogSource::Off;
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
