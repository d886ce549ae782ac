// The byte layout of a flexible vertex format, and how much of each vertex a
// draw reads.
#pragma once

#include <cstdint>

#include "d3dfront/front_state.h"

namespace d3dfront {

struct FvfLayout {
  bool valid = false;
  bool pretransformed = false;  // XYZRHW
  int position = 0;
  int diffuse = -1;
  int specular = -1;
  int texCount = 0;
  int tex[8] = {};
  int texDims[8] = {};
  int size = 0;
};
FvfLayout DecodeFvf(DWORD fvf);

// Which texture coordinate sets the enabled, textured stages read (bit per set).
std::uint32_t UsedTexSets(const FrontState& state, const FvfLayout& layout);
// Bytes of one vertex a draw reads: the end of the last element used.
std::uint64_t ReadExtent(const FrontState& state, const FvfLayout& layout);

}  // namespace d3dfront
