#include "platform/d3d8.h"
#include "platform/d3d8_defaults.h"

UINT FvfVertexSize(DWORD fvf) {
  const int position = FvfPositionBytes(fvf);
  if (position < 0) return 0;
  UINT size = static_cast<UINT>(position);
  if (fvf & D3DFVF_NORMAL) size += 12;
  if (fvf & D3DFVF_PSIZE) size += 4;
  if (fvf & D3DFVF_DIFFUSE) size += 4;
  if (fvf & D3DFVF_SPECULAR) size += 4;
  const DWORD texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (texCount > 8) return 0;
  for (DWORD i = 0; i < texCount; ++i) size += 4 * static_cast<UINT>(FvfTexCoordDims(fvf, i));
  return size;
}
