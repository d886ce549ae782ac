// The state a draw reads: render states, texture stages, transforms, viewport
// and the render target with its depth buffer.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "d3dfront/front_state.h"
#include "platform/d3d8types.h"
#include "refdevice/resources/aligned_vector.h"
#include "refdevice/resources/resources.h"

namespace refdev {

// Depth values as unsigned integers scaled to the format's range: 16 bits for
// D16 and D16_LOCKABLE, 24 bits for the D24 formats, 32 bits for D32.
struct DepthBuffer {
  std::int32_t format = D3DFMT_UNKNOWN;  // D3DFMT_UNKNOWN: no depth buffer
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool hasStencil = false;
  AlignedVector<std::uint16_t> d16;
  AlignedVector<std::uint32_t> d32;
  AlignedVector<std::uint8_t> stencil;
  std::uint64_t stamp = NewStamp();  // as Surface::stamp

  void Allocate(std::int32_t fmt, std::int32_t w, std::int32_t h);
  bool Present() const { return format != D3DFMT_UNKNOWN; }
  double Scale() const;  // the largest stored value
};

// The state every device keeps, with what this device draws with: the
// textures (set where `textured` is) and the buffers drawn into.
struct DeviceState : d3dfront::FrontState {
  std::array<const RefTexture*, D3D_MAX_TEXTURE_STAGES> texture{};
  Surface* target = nullptr;
  DepthBuffer* depth = nullptr;
};

using d3dfront::AsBits;
using d3dfront::AsFloat;

}  // namespace refdev
