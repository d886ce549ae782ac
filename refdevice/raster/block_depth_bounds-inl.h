// The tiles' depth bounds, compiled once per instruction set: include after
// hwy/highway.h inside a file that foreach_target includes. A bound is a
// value no nearer than any depth stored in a 16x8 block; a triangle's part
// wholly behind a block's bound cannot pass LESSEQUAL there.
#if defined(REFDEVICE_BLOCK_DEPTH_BOUNDS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef REFDEVICE_BLOCK_DEPTH_BOUNDS_INL_H_
#undef REFDEVICE_BLOCK_DEPTH_BOUNDS_INL_H_
#else
#define REFDEVICE_BLOCK_DEPTH_BOUNDS_INL_H_
#endif

#include <hwy/highway.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "refdevice/draw/setup_primitives.h"
#include "refdevice/raster/z16_lessequal_srcalpha32_kernel.h"

HWY_BEFORE_NAMESPACE();
namespace refdev {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The triangle's depth plane in double precision, z = base + ddx x + ddy y,
// with a margin that covers the rounding of the plain code's single-
// precision evaluation anywhere in a rectangle (each of its four operations
// is off by at most half a unit in the last place of a value no larger than
// `magnitude`; 2^-20 of it covers them many times over).
struct DepthBound {
  double base, ddx, ddy, margin;

  DepthBound(const SetupTriangle& t, const PixelRect& r) {
    ddx = t.z.ddx;
    ddy = t.z.ddy;
    base = t.z.at0 - ddx * t.refX - ddy * t.refY;
    const double dx = std::max(std::fabs(r.x0 - static_cast<double>(t.refX)),
                               std::fabs(r.x1 - 1 - static_cast<double>(t.refX)));
    const double dy = std::max(std::fabs(r.y0 - static_cast<double>(t.refY)),
                               std::fabs(r.y1 - 1 - static_cast<double>(t.refY)));
    const double magnitude = std::fabs(t.z.at0) + std::fabs(ddx) * dx + std::fabs(ddy) * dy;
    margin = magnitude * 0x1p-20 + 0x1p-40;
  }
};

// Bit j is set where the part `r` of the triangle, whose depth bounds are
// `bound`, lies behind all the depths stored in the tile's block j (column
// j % 4, row j / 4), for the rows of blocks by0..by1: LESSEQUAL fails
// everywhere in the block when the nearest 16-bit depth the plane can give
// there, floor(clamp(low, 0, 1) * 65535 + 1/2) with `low` the plane's least
// value at the pixel centres of the block's part of `r` less the margin, is
// behind the block's farthest stored depth. Compared without the
// conversion: for v >= 0 and whole n, floor(v) >= n exactly when v >= n.
HWY_INLINE std::uint32_t BehindBlocks(const DepthBound& bound, const std::uint16_t* blockFar,
                                      const PixelRect& tile, const PixelRect& r, int by0, int by1) {
#if !HWY_HAVE_FLOAT64
  // No double lanes (WebAssembly's in this Highway): the same operations
  // block by block, the minimum as the vectors' (1 unless `low` is less or
  // NaN). A block's column and row terms depend on its column and row
  // alone: each is formed once, and summed in the same order.
  double atColumn[kTileBlocksX];
  for (int c = 0; c < kTileBlocksX; ++c) {
    const int left = tile.x0 + c * kBlockW;
    const int column = bound.ddx < 0 ? std::min(left + kBlockW, r.x1) - 1 : std::max(left, r.x0);
    atColumn[c] = bound.base + bound.ddx * column;
  }
  std::uint32_t behind = 0;
  for (int by = by0; by <= by1; ++by) {
    const int top = tile.y0 + by * kBlockH;
    const int row = bound.ddy < 0 ? std::min(top + kBlockH, r.y1) - 1 : std::max(top, r.y0);
    const double atRow = bound.ddy * row;
    for (int c = 0; c < kTileBlocksX; ++c) {
      const int j = by * kTileBlocksX + c;
      const double low = atColumn[c] + atRow - bound.margin;
      const double nearest = (1.0 < low ? 1.0 : low) * 65535.0 + 0.5;
      if (nearest >= blockFar[j] + 1.0) behind |= 1u << j;
    }
  }
  return behind;
#else
  const hn::ScalableTag<double> dd;
  const hn::Rebind<std::int32_t, decltype(dd)> di;
  const hn::Rebind<std::uint16_t, decltype(dd)> d16;
  const int J = static_cast<int>(hn::Lanes(dd));
  static_assert(kTileBlocks % hn::MaxLanes(dd) == 0);
  const auto rightmost = hn::MaskFromVec(hn::Set(di, -static_cast<std::int32_t>(bound.ddx < 0)));
  const auto lowest = hn::MaskFromVec(hn::Set(di, -static_cast<std::int32_t>(bound.ddy < 0)));
  std::uint32_t behind = 0;
  for (int j0 = by0 * kTileBlocksX / J * J; j0 < (by1 + 1) * kTileBlocksX; j0 += J) {
    const auto j = hn::Iota(di, j0);
    const auto left = hn::Add(hn::Set(di, tile.x0), hn::ShiftLeft<4>(hn::And(j, hn::Set(di, 3))));
    const auto top = hn::Add(hn::Set(di, tile.y0), hn::ShiftLeft<3>(hn::ShiftRight<2>(j)));
    static_assert(kBlockW == 16 && kBlockH == 8 && kTileBlocksX == 4);
    // The column and row of the block's part of `r` where the plane is least
    // (chosen without a branch: the signs are hard to predict).
    const auto nearColumn = hn::IfThenElse(
        rightmost,
        hn::Sub(hn::Min(hn::Add(left, hn::Set(di, kBlockW)), hn::Set(di, r.x1)), hn::Set(di, 1)),
        hn::Max(left, hn::Set(di, r.x0)));
    const auto nearRow = hn::IfThenElse(
        lowest,
        hn::Sub(hn::Min(hn::Add(top, hn::Set(di, kBlockH)), hn::Set(di, r.y1)), hn::Set(di, 1)),
        hn::Max(top, hn::Set(di, r.y0)));
    const auto low =
        hn::Sub(hn::Add(hn::Add(hn::Set(dd, bound.base),
                                hn::Mul(hn::Set(dd, bound.ddx), hn::PromoteTo(dd, nearColumn))),
                        hn::Mul(hn::Set(dd, bound.ddy), hn::PromoteTo(dd, nearRow))),
                hn::Set(dd, bound.margin));
    // The minimum's first operand is 1 so that a NaN plane stays NaN and is
    // never behind.
    const auto nearest =
        hn::Add(hn::Mul(hn::Min(hn::Set(dd, 1.0), low), hn::Set(dd, 65535.0)), hn::Set(dd, 0.5));
    const auto far = hn::PromoteTo(dd, hn::PromoteTo(di, hn::LoadU(d16, blockFar + j0)));
    std::uint8_t bits[8] = {};
    hn::StoreMaskBits(dd, nearest >= hn::Add(far, hn::Set(dd, 1.0)), bits);
    behind |= static_cast<std::uint32_t>(bits[0]) << j0;
  }
  return behind;
#endif
}

// The farthest of the depths of a block's whole width, `rows` rows from
// `depth` on.
HWY_INLINE std::uint16_t BlockFarthest(const std::uint16_t* depth, std::ptrdiff_t depthWidth,
                                       int rows) {
  const hn::CappedTag<std::uint16_t, kBlockW> d;
  auto m = hn::Zero(d);
  for (int y = 0; y < rows; ++y)
    for (int i = 0; i < kBlockW; i += static_cast<int>(hn::Lanes(d)))
      m = hn::Max(m, hn::LoadU(d, depth + y * depthWidth + i));
#if HWY_TARGET != HWY_SCALAR
  if constexpr (hn::MaxLanes(d) == 16) {
    // Halves folded first: eight 16-bit lanes have a one-instruction
    // reduction.
    const hn::Half<decltype(d)> d8;
    return hn::GetLane(hn::MaxOfLanes(d8, hn::Max(hn::LowerHalf(d8, m), hn::UpperHalf(d8, m))));
  }
#endif
  return hn::GetLane(hn::MaxOfLanes(d, m));
}

// A draw that finds no bound left by a clear (a frame that clears colour
// alone) rebuilds the bounds of every tile it reaches, every frame.
HWY_INLINE void FarthestBlockDepths(const std::uint16_t* depth, int depthWidth,
                                    const PixelRect& tile, std::uint16_t* blockFar) {
  for (int b = 0; b < kTileBlocks; ++b) blockFar[b] = 0;
  for (int y0 = tile.y0; y0 < tile.y1; y0 += kBlockH) {
    const int y1 = std::min(y0 + kBlockH, tile.y1);
    std::uint16_t* far = blockFar + ((y0 - tile.y0) / kBlockH) * kTileBlocksX;
    for (int x0 = tile.x0; x0 < tile.x1; x0 += kBlockW, ++far) {
      const int x1 = std::min(x0 + kBlockW, tile.x1);
      if (x1 - x0 == kBlockW) {
        *far = BlockFarthest(depth + static_cast<std::ptrdiff_t>(y0) * depthWidth + x0, depthWidth,
                             y1 - y0);
      } else {
        // A block cut by the buffer's right edge.
        for (int y = y0; y < y1; ++y)
          for (int x = x0; x < x1; ++x)
            *far = std::max(*far, depth[static_cast<std::ptrdiff_t>(y) * depthWidth + x]);
      }
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace refdev
HWY_AFTER_NAMESPACE();

#endif  // per-target include guard
