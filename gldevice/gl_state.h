// What the hardware device's state and its clears share.
#pragma once

#include "platform/d3d8types.h"

namespace gldev {

// A packed colour's channels as OpenGL takes them, 0 to 1.
void Unpack(D3DCOLOR argb, float out[4]);

}  // namespace gldev
