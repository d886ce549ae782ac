// The state every device of the subset keeps and draws from: render and
// texture-stage states, transforms, the viewport, the vertex format, which
// stages have a texture, and the size and formats of the back buffer and its
// depth buffer.
#pragma once

#include <array>
#include <bit>

#include "platform/d3d8.h"

namespace d3dfront {

struct FrontState {
  std::array<DWORD, D3DRS_MAX> rs{};
  std::array<std::array<DWORD, D3DTSS_MAX>, D3D_MAX_TEXTURE_STAGES> tss{};
  std::array<bool, D3D_MAX_TEXTURE_STAGES> textured{};  // a texture is set on the stage
  D3DMATRIX world{}, view{}, proj{};
  D3DVIEWPORT8 viewport{};
  DWORD fvf = 0;
  UINT backBufferWidth = 0, backBufferHeight = 0;
  D3DFORMAT targetFormat = D3DFMT_UNKNOWN;
  D3DFORMAT depthFormat = D3DFMT_UNKNOWN;  // D3DFMT_UNKNOWN: no depth buffer
};

// A new device's state for `params` (validated): the published defaults.
void ResetState(FrontState& state, const D3DPRESENT_PARAMETERS& params);

inline float AsFloat(DWORD bits) { return std::bit_cast<float>(bits); }
inline DWORD AsBits(float f) { return std::bit_cast<DWORD>(f); }

}  // namespace d3dfront
