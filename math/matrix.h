// The 4x4 matrix product that D3DX and the devices share: single precision,
// points as row vectors, so that a * b applies a first.
#pragma once

#include "platform/d3d8types.h"

// a * b, each element summed over k = 0..3 in that order. The order fixes
// the rounding, and pictures depend on it to the bit, so there is only this
// one product.
D3DMATRIX MatrixMultiply(const D3DMATRIX& a, const D3DMATRIX& b);
