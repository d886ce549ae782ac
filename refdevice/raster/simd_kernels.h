// Vectorised building blocks of the fast rasterizer. Each is compiled for
// several instruction sets (SSE2 as the baseline, SSE4, AVX2 and AVX-512) and
// the best one the processor has is chosen when first called. Every result is bit for bit what the scalar rule gives.
#pragma once

#include <cstddef>
#include <cstdint>

namespace refdev::simd {

// dst[0..n) = value, on `rows` rows `pitchBytes` apart.
void Fill32(std::uint32_t* dst, std::size_t n, std::uint32_t value, std::size_t rows = 1,
            std::size_t pitchBytes = 0);
void Fill16(std::uint16_t* dst, std::size_t n, std::uint16_t value, std::size_t rows = 1,
            std::size_t pitchBytes = 0);

// Block classification against three edges. Edge k has value at[k] at the
// first pixel centre of block (0, 0) and changes by stepX[k] / stepY[k] per
// pixel; blocks are bw x bh pixels, blocksX x blocksY of them row by row.
// out[b] = 0 when some edge excludes the whole block, 2 when every edge
// includes all of it, 1 otherwise.
enum BlockClass : std::uint8_t { kBlockOut = 0, kBlockPartial = 1, kBlockIn = 2 };
void ClassifyBlocks(const std::int64_t at[3], const std::int64_t stepX[3],
                    const std::int64_t stepY[3], int bw, int bh, int blocksX, int blocksY,
                    std::uint8_t* out);

}  // namespace refdev::simd
