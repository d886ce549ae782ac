// Vectorised building blocks of the fast rasterizer and of the frame around
// it. Each is compiled for several instruction sets (SSE2 as the baseline,
// SSE4 and AVX2) and the best one the processor has is chosen when first
// called. Every result is bit for bit what the scalar rule gives.
#pragma once

#include <cstddef>
#include <cstdint>

namespace refdev::simd {

// dst[0..n) = value, on `rows` rows `pitchBytes` apart.
void Fill32(std::uint32_t* dst, std::size_t n, std::uint32_t value, std::size_t rows = 1,
            std::size_t pitchBytes = 0);
void Fill16(std::uint16_t* dst, std::size_t n, std::uint16_t value, std::size_t rows = 1,
            std::size_t pitchBytes = 0);

// A 32-bit pixel row handed to a host: dst = (src & 0x00FFFFFF) | orBits.
void XrgbRow(const std::uint32_t* src, std::uint32_t* dst, std::size_t n, std::uint32_t orBits);

// The 16-bit depth test LESSEQUAL with writes: where live[i] is non-zero,
// the pixel passes when z[i] <= depth[i], depth[i] takes z[i], and live[i]
// is left 0xFF; where it fails, live[i] becomes 0.
void DepthLessEqual16(std::uint16_t* depth, const std::uint16_t* z, std::uint8_t* live,
                      std::size_t n);

// 16-bit depth values of z: floor(clamp(z, 0, 1) * 65535 + 1/2), NaN as 0.
void QuantizeDepth16(const float* z, std::uint16_t* out, std::size_t n);

// Blending SRCALPHA / INVSRCALPHA of 0xAARRGGBB pixels into dst on every
// channel, each product rounded on its own:
// dst = min(255, M(src * a) + M(dst * (255 - a))), M(p) = (p + (p >> 8) + 128) >> 8.
void BlendSrcAlpha(const std::uint32_t* src, std::uint32_t* dst, std::size_t n);

// Coverage of n pixel centres along a row by three edge functions: value
// e[k] at the first centre, stepX[k] per pixel. out[i] = 0xFF when all three
// are >= 0 there, else 0. The caller keeps every value within 32 bits.
void EdgeRow(const std::int32_t e[3], const std::int32_t stepX[3], std::uint8_t* out,
             std::size_t n);

// Block classification against three edges. Edge k has value at[k] at the
// first pixel centre of block (0, 0) and changes by stepX[k] / stepY[k] per
// pixel; blocks are bw x bh pixels, blocksX x blocksY of them row by row.
// out[b] = 0 when some edge excludes the whole block, 2 when every edge
// includes all of it, 1 otherwise.
enum BlockClass : std::uint8_t { kBlockOut = 0, kBlockPartial = 1, kBlockIn = 2 };
void ClassifyBlocks(const std::int64_t at[3], const std::int64_t stepX[3],
                    const std::int64_t stepY[3], int bw, int bh, int blocksX, int blocksY,
                    std::uint8_t* out);

// The instruction set in use, for reports.
const char* TargetName();

}  // namespace refdev::simd
