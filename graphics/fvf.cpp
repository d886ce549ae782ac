#include "graphics/d3d8.h"

UINT FvfVertexSize(DWORD fvf) {
  UINT size = 0;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case 0: break;
    case D3DFVF_XYZ: size += 12; break;
    case D3DFVF_XYZRHW: size += 16; break;
    case D3DFVF_XYZB1: size += 16; break;
    case D3DFVF_XYZB2: size += 20; break;
    case D3DFVF_XYZB3: size += 24; break;
    case D3DFVF_XYZB4: size += 28; break;
    case D3DFVF_XYZB5: size += 32; break;
    default: return 0;
  }
  if (fvf & D3DFVF_NORMAL) size += 12;
  if (fvf & D3DFVF_PSIZE) size += 4;
  if (fvf & D3DFVF_DIFFUSE) size += 4;
  if (fvf & D3DFVF_SPECULAR) size += 4;
  const DWORD texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (texCount > 8) return 0;
  // Each set's dimension is in the top 16 bits (2 bits a set); 0 means two.
  for (DWORD i = 0; i < texCount; ++i) {
    static constexpr UINT kDims[4] = {2, 3, 4, 1};
    size += 4 * kDims[(fvf >> (16 + 2 * i)) & 3];
  }
  return size;
}
