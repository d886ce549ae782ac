// Published facts of Direct3D 8 that every device implementation shares: the
// states a new device starts with, how many vertices a draw reads, and the
// sizes a flexible vertex format encodes.
//
// Header-only so that device implementations outside the program library
// (the reference device, the recording test device, the trace proxy) can use
// the same table without linking the program.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "platform/d3d8types.h"

using RenderStateTable = std::array<DWORD, D3DRS_MAX>;
using TextureStageTable = std::array<DWORD, D3DTSS_MAX>;

// Fills `rs` with the render states of a newly created device. Depth testing
// starts on only when the device was given an automatic depth buffer.
inline void FillDefaultRenderStates(RenderStateTable& rs, bool autoDepthStencil) {
  const auto bits = [](float f) { return std::bit_cast<DWORD>(f); };
  rs.fill(0);
  rs[D3DRS_ZENABLE] = autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = 1;
  rs[D3DRS_ALPHATESTENABLE] = 0;
  rs[D3DRS_LASTPIXEL] = 1;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAREF] = 0;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_DITHERENABLE] = 0;
  rs[D3DRS_ALPHABLENDENABLE] = 0;
  rs[D3DRS_FOGENABLE] = 0;
  rs[D3DRS_SPECULARENABLE] = 0;
  rs[D3DRS_FOGCOLOR] = 0;
  rs[D3DRS_FOGTABLEMODE] = D3DFOG_NONE;
  rs[D3DRS_FOGSTART] = bits(0.0f);
  rs[D3DRS_FOGEND] = bits(1.0f);
  rs[D3DRS_FOGDENSITY] = bits(1.0f);
  rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_STENCILMASK] = 0xFFFFFFFFu;
  rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
  rs[D3DRS_CLIPPING] = 1;
  rs[D3DRS_LIGHTING] = 1;
  rs[D3DRS_AMBIENT] = 0;
  rs[D3DRS_FOGVERTEXMODE] = D3DFOG_NONE;
  rs[D3DRS_COLORVERTEX] = 1;
  rs[D3DRS_LOCALVIEWER] = 1;
  rs[D3DRS_NORMALIZENORMALS] = 0;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_POINTSIZE] = bits(1.0f);
  rs[D3DRS_POINTSIZE_MIN] = bits(0.0f);
  rs[D3DRS_POINTSIZE_MAX] = bits(64.0f);
  rs[D3DRS_POINTSCALE_A] = bits(1.0f);
  rs[D3DRS_MULTISAMPLEANTIALIAS] = 1;
  rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
  rs[D3DRS_PATCHSEGMENTS] = bits(1.0f);
  rs[D3DRS_COLORWRITEENABLE] = 0xF;
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
}

// Fills `t` with the texture stage states stage `stage` starts with: stage 0
// modulates its texture with the diffuse colour, the others are disabled.
inline void FillDefaultTextureStageStates(TextureStageTable& t, DWORD stage) {
  t.fill(0);
  t[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
  t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
  t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
  t[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
  t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
  t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
  t[D3DTSS_TEXCOORDINDEX] = stage;
  t[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
  t[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
  t[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
  t[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
  t[D3DTSS_MINFILTER] = D3DTEXF_POINT;
  t[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
  t[D3DTSS_MAXANISOTROPY] = 1;
  t[D3DTSS_COLORARG0] = D3DTA_CURRENT;
  t[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
  t[D3DTSS_RESULTARG] = D3DTA_CURRENT;
}

// Vertices a draw of `count` primitives of `type` reads; 0 for no primitives
// or an unknown type.
constexpr std::uint64_t PrimitiveVertexCount(D3DPRIMITIVETYPE type, std::uint64_t count) {
  if (count == 0) return 0;
  switch (type) {
    case D3DPT_POINTLIST:
      return count;
    case D3DPT_LINELIST:
      return 2 * count;
    case D3DPT_LINESTRIP:
      return count + 1;
    case D3DPT_TRIANGLELIST:
      return 3 * count;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return count + 2;
  }
  return 0;
}

// Bytes of a flexible vertex format's position (with its blend weights); -1
// for a position code that does not exist.
constexpr int FvfPositionBytes(DWORD fvf) {
  switch (fvf & D3DFVF_POSITION_MASK) {
    case 0:
      return 0;
    case D3DFVF_XYZ:
      return 12;
    case D3DFVF_XYZRHW:
    case D3DFVF_XYZB1:
      return 16;
    case D3DFVF_XYZB2:
      return 20;
    case D3DFVF_XYZB3:
      return 24;
    case D3DFVF_XYZB4:
      return 28;
    case D3DFVF_XYZB5:
      return 32;
  }
  return -1;
}

// Coordinates in texture set `set` (0 to 7) of a flexible vertex format: two
// bits a set in the top half, where 0 means two.
constexpr int FvfTexCoordDims(DWORD fvf, DWORD set) {
  constexpr int kDims[4] = {2, 3, 4, 1};
  return kDims[(fvf >> (16 + 2 * set)) & 3];
}
