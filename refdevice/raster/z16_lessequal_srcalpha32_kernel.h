// The tiled rasterizer's specialised kernel, for the key of a 16-bit depth
// buffer tested LESSEQUAL, blending off or SRCALPHA / INVSRCALPHA, and a
// 32-bit target: the same pixels as the plain per-pixel code, a block of
// 16x8 pixels at a time and a row of a block (16 pixels) in one or a few
// vector steps. Draws of other keys take the plain code.
#pragma once

#include <cstdint>

#include "refdevice/draw/attributes.h"
#include "refdevice/draw/draw_description.h"
#include "refdevice/draw/setup_primitives.h"

namespace refdev {

constexpr int kTileSize = 64;
constexpr int kBlockW = 16, kBlockH = 8;
constexpr int kTileBlocksX = kTileSize / kBlockW, kTileBlocksY = kTileSize / kBlockH;
constexpr int kTileBlocks = kTileBlocksX * kTileBlocksY;

// A draw the kernel serves: Gouraud-shaded diffuse colour without texture,
// fog, specular, alpha or stencil test, a 16-bit depth buffer tested
// LESSEQUAL with writes, blending off or SRCALPHA / INVSRCALPHA, all channels
// written to X8R8G8B8 or A8R8G8B8 (the spinning cloud's draws).
struct KernelScratch;
struct Z16LessEqualSrcAlpha32Draw {
  // Draws the part of triangle `t` inside `clip`, a rectangle of the tile
  // `tile` (whose origin is a multiple of kTileSize) and of the draw's
  // viewport. blockFar[] holds for each 16x8 block of the tile a value no
  // nearer than any depth stored in it; blocks the triangle is entirely
  // behind are skipped, and the bound is tightened where the kernel writes.
  using Kernel = void (*)(const Z16LessEqualSrcAlpha32Draw& g, const SetupTriangle& t,
                          const PixelRect& tile, const PixelRect& clip, std::uint16_t* blockFar,
                          KernelScratch& scratch);
  Kernel kernel = nullptr;  // for the processor's instruction set
  const DrawDescription* d = nullptr;
  int slot[4] = {};  // plane of red, green, blue and alpha, each divided by 1/w
  std::uint16_t* depth = nullptr;
  int depthWidth = 0;
  std::uint8_t* target = nullptr;
  int pitch = 0;
};

// A thread's working memory for the kernels. Colour is formed after the
// depth test of a triangle's part, for just the pixels that passed, packed
// side by side so that every lane of a vector step does useful work; then
// the results are put back in their places.
struct KernelScratch {
  // Room past the last pixel for one vector step's lanes.
  static constexpr int kPad = 16;
  static constexpr int kPixels = kTileSize * kTileSize;
  // Each passed pixel's offsets from the triangle's reference point.
  alignas(64) float dx[kPixels + kPad];
  alignas(64) float dy[kPixels + kPad];
  // The target's pixel there before.
  alignas(64) std::uint32_t under[kPixels + kPad];
  // Its new value.
  alignas(64) std::uint32_t colour[kPixels + kPad];
  // The row steps that passed, in order: where they start and their lanes.
  struct Step {
    std::uint32_t* at;
    std::uint8_t lanes[8];
  };
  Step steps[kPixels];
  // For the plain code.
  float plain[kPixelAttrs];
};

// Whether the kernel serves the draw: its key and the planes it interpolates.
bool TakesZ16LessEqualSrcAlpha32(const DrawDescription& d);
// Fills `g` for a draw the kernel serves; false for any other.
bool PrepareZ16LessEqualSrcAlpha32(const DrawDescription& d, Z16LessEqualSrcAlpha32Draw& g);

// The farthest depth stored in each 16x8 block of `tile` (rows and columns
// past the tile's edge count as nothing).
void FarthestDepths(const std::uint16_t* depth, int depthWidth, const PixelRect& tile,
                    std::uint16_t* blockFar);

}  // namespace refdev
