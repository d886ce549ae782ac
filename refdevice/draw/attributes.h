// The attributes a vertex carries from the vertex stage to the pixel stage,
// by index. Colours are floats in 0..255.
#pragma once

namespace refdev {

enum Attr : int {
  kDiffR = 0,
  kDiffG,
  kDiffB,
  kDiffA,
  kSpecR,
  kSpecG,
  kSpecB,
  kSpecA,
  kFogDepth,
  kTex0,  // two per texture coordinate set in use, packed by set number
  kMaxAttrs = kTex0 + 16,
  // The pixel stage's record also holds, for each texture coordinate, its
  // derivatives along screen x and y.
  kPixelAttrs = kMaxAttrs + 32,
};

// Index of d/dx of texture attribute `attr` in a pixel record; d/dy follows,
// then the next attribute's pair.
constexpr int DerivativeSlot(int attr) { return kMaxAttrs + 2 * (attr - kTex0); }

}  // namespace refdev
