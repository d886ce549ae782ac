// The per-pixel stage: interpolation from the set-up planes, texture stages,
// specular sum, fog, alpha test, depth test and write, blending and the write
// to the render target. Colours are integers 0..255 here, so results are exact
// and the same on every thread.
#pragma once

#include "refdevice/draw/draw_description.h"
#include "refdevice/draw/setup_primitives.h"

namespace refdev {

// Shades pixel (x, y) of triangle `t`, which covers it: interpolates depth,
// 1/w and the draw's attributes from the triangle's planes at the pixel
// centre, then runs the pixel through the stages below. `scratch` holds
// kPixelAttrs floats; attributes the draw does not interpolate stay as they
// are in it.
void ShadeTrianglePixel(const DrawDescription& d, const SetupTriangle& t, int x, int y,
                        float* scratch);

// Shades pixel (x, y) of a line or point: depth, 1/w and attributes are the
// sums of the `n` vertices' values with weights `w`; `flat` holds the colours
// flat shading uses (may be null for points).
void ShadeVertexPixel(const DrawDescription& d, const ScreenVertex* v, const float* w, int n,
                      const float* flat, int x, int y, float* scratch);

// Shades pixel (x, y) with depth `z` (0..1) and un-premultiplied attributes.
// With an early depth test the pixel must be one DepthRejects has passed.
void ShadePixel(const PixelContext& ctx, int x, int y, float z, const float* attr);

// True when the depth test alone already discards the pixel and nothing
// before it could (no alpha test), so its attributes need not be computed.
bool DepthRejects(const PixelContext& ctx, int x, int y, float z);

// The depth value a buffer stores for z: floor(clamp(z, 0, 1) * scale + 1/2),
// where scale is the largest value the format holds (65535 for 16 bits).
std::uint32_t QuantizeDepth(double scale, float z);

// One product of an 8-bit colour and an 8-bit blend factor, brought back to 8
// bits: M(p) = (p + (p >> 8) + 128) >> 8. That is p / 255 to the nearest
// integer except for 126 products up to 255 * 255 that lie just above a half,
// which it rounds down. A blend rounds each of its two products so before it
// combines them.
inline int BlendProduct(int p) { return (p + (p >> 8) + 128) >> 8; }

}  // namespace refdev
