#include "d3dfront/fvf_layout.h"

#include <algorithm>

#include "platform/d3d8_defaults.h"

namespace d3dfront {

FvfLayout DecodeFvf(DWORD fvf) {
  FvfLayout l;
  int offset = FvfPositionBytes(fvf);
  if (offset < 0) return l;
  l.pretransformed = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
  if (fvf & D3DFVF_RESERVED0) return l;
  if (l.pretransformed && (fvf & D3DFVF_NORMAL)) return l;
  if (fvf & D3DFVF_NORMAL) offset += 12;
  if (fvf & D3DFVF_PSIZE) offset += 4;
  if (fvf & D3DFVF_DIFFUSE) {
    l.diffuse = offset;
    offset += 4;
  }
  if (fvf & D3DFVF_SPECULAR) {
    l.specular = offset;
    offset += 4;
  }
  const DWORD count = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (count > 8) return l;
  l.texCount = static_cast<int>(count);
  for (DWORD i = 0; i < count; ++i) {
    const int dims = FvfTexCoordDims(fvf, i);
    l.tex[i] = offset;
    l.texDims[i] = dims;
    offset += 4 * dims;
  }
  l.size = offset;
  l.valid = true;
  return l;
}

std::uint32_t UsedTexSets(const FrontState& state, const FvfLayout& layout) {
  std::uint32_t sets = 0;
  for (int s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s) {
    const auto& t = state.tss[static_cast<std::size_t>(s)];
    if (t[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
    if (!state.textured[static_cast<std::size_t>(s)]) continue;
    const DWORD set = t[D3DTSS_TEXCOORDINDEX] & 0xFFFFu;
    if (set < static_cast<DWORD>(layout.texCount)) sets |= 1u << set;
  }
  return sets;
}

std::uint64_t ReadExtent(const FrontState& state, const FvfLayout& layout) {
  std::uint64_t end = layout.pretransformed ? 16 : 12;
  if (layout.diffuse >= 0) end = std::max<std::uint64_t>(end, layout.diffuse + 4);
  if (layout.specular >= 0) end = std::max<std::uint64_t>(end, layout.specular + 4);
  const std::uint32_t sets = UsedTexSets(state, layout);
  for (int i = 0; i < layout.texCount; ++i)
    if (sets & (1u << i))
      end = std::max<std::uint64_t>(end, layout.tex[i] + 4 * std::min(layout.texDims[i], 2));
  return end;
}

}  // namespace d3dfront
