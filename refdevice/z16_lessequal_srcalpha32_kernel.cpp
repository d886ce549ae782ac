// Compiled once per instruction set through Highway's foreach_target.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "refdevice/z16_lessequal_srcalpha32_kernel.cpp"
#include "refdevice/z16_lessequal_srcalpha32_kernel.h"

#include <hwy/foreach_target.h>  // before highway.h
#include <hwy/highway.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "refdevice/band_rasterizer.h"
#include "refdevice/simd_kernels.h"
#include "refdevice/simd_ops-inl.h"

#ifndef REFDEVICE_Z16_LESSEQUAL_SRCALPHA32_KERNEL_ONCE
#define REFDEVICE_Z16_LESSEQUAL_SRCALPHA32_KERNEL_ONCE
namespace refdev {
namespace {

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

}  // namespace
}  // namespace refdev
#endif

HWY_BEFORE_NAMESPACE();
namespace refdev {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;
using simd::HWY_NAMESPACE::QuantizeDepth16;

// The pixel stage's float-to-channel rule: 0 for NaN and below, 255 from
// 255 up, else the value plus one half, truncated. (From 254.5 up the sum
// truncates to 255 whether or not it is capped at 255.5 first; Max gives its
// second operand for NaN, and a value of 0 or below plus one half truncates
// to 0 as well.)
template <class DF>
HWY_INLINE hn::Vec<hn::Rebind<std::uint32_t, DF>> ChannelBits(DF df, hn::Vec<DF> v) {
  const hn::Rebind<std::uint32_t, DF> du;
  const auto half = hn::Set(df, 0.5f);
  const auto n = hn::Min(hn::Max(hn::Add(v, half), half), hn::Set(df, 255.5f));
  return hn::BitCast(du, simd::HWY_NAMESPACE::TruncateInRange(df, n));
}

// Edge values of the rows of a rectangle fit 32-bit lanes when every value
// it can take does: the extremes of a linear function lie at its corners.
HWY_INLINE bool FitsNarrow(const std::int64_t e[3], const std::int64_t sx[3],
                           const std::int64_t sy[3], int columns, int rows) {
  constexpr std::int64_t kLimit = std::int64_t{1} << 30;
  // Without branches: which edge fails first is hard to predict.
  bool fits = true;
  for (int k = 0; k < 3; ++k) {
    const std::int64_t a = e[k], b = e[k] + sx[k] * (columns - 1);
    const std::int64_t c = a + sy[k] * (rows - 1), d = b + sy[k] * (rows - 1);
    fits &= (std::llabs(sx[k]) < (std::int64_t{1} << 26)) &
            (std::max({std::llabs(a), std::llabs(b), std::llabs(c), std::llabs(d)}) < kLimit);
  }
  return fits;
}

// Classifies the blocks of a part, nby rows of blocks from the one whose
// first pixel centre has edge values at[]: bit bx + 4 by of `live` is set
// where no edge excludes the block, of `inside` where all three include it
// whole. Bits of blocks outside the part are left for the caller to mask.
// Lane j of a vector takes block j % 4 of row j / 4; lanes of `D` must hold
// the edge values of the part's blocks (or wrap and come out exact),
// lowOff[] and highOff[] the edge functions' least and greatest change
// across a block.
template <class D>
HWY_INLINE void ClassifyBlocks(D d, const std::int64_t at[3], const std::int64_t sx[3],
                               const std::int64_t sy[3], const std::int64_t lowOff[3],
                               const std::int64_t highOff[3], int nby, std::uint32_t& live,
                               std::uint32_t& inside) {
  using T = hn::TFromD<D>;
  static_assert(kTileBlocksX == 4 && kTileBlocks <= 32);
  const int J = static_cast<int>(hn::Lanes(d));
  const auto narrow = [](std::int64_t v) {
    return static_cast<T>(static_cast<std::make_unsigned_t<T>>(v));
  };
  // Each lane's offset from the vector's first block, per edge: whole rows
  // of blocks (at most four) when a vector holds four lanes or more, else
  // part of a row.
  static_assert(hn::MaxLanes(d) <= 16);
  const auto column = hn::And(hn::Iota(d, 0), hn::Set(d, 3));
  // Formed from masks: 64-bit lanes have no multiplication on most targets.
  const auto col1 = hn::Ne(hn::And(column, hn::Set(d, 1)), hn::Zero(d));
  const auto col2 = hn::Ne(hn::And(column, hn::Set(d, 2)), hn::Zero(d));
  const auto row1 = hn::Ne(hn::And(hn::Iota(d, 0), hn::Set(d, 4)), hn::Zero(d));
  const auto row2 = hn::Ne(hn::And(hn::Iota(d, 0), hn::Set(d, 8)), hn::Zero(d));
  hn::Vec<D> offset[3];
  for (int k = 0; k < 3; ++k)
    offset[k] = hn::Add(hn::Add(hn::IfThenElseZero(col1, hn::Set(d, narrow(sx[k] * kBlockW))),
                                hn::IfThenElseZero(col2, hn::Set(d, narrow(sx[k] * 2 * kBlockW)))),
                        hn::Add(hn::IfThenElseZero(row1, hn::Set(d, narrow(sy[k] * kBlockH))),
                                hn::IfThenElseZero(row2, hn::Set(d, narrow(sy[k] * 2 * kBlockH)))));
  live = inside = 0;
  for (int j0 = 0; j0 < nby * 4; j0 += J) {
    auto out = hn::FirstN(d, 0);
    auto in = hn::FirstN(d, J);
    for (int k = 0; k < 3; ++k) {
      const auto c = hn::Add(
          hn::Set(d, narrow(at[k] + (j0 & 3) * sx[k] * kBlockW + (j0 >> 2) * sy[k] * kBlockH)),
          offset[k]);
      out = hn::Or(out, hn::Add(c, hn::Set(d, narrow(highOff[k]))) < hn::Zero(d));
      in = hn::And(in, hn::Add(c, hn::Set(d, narrow(lowOff[k]))) > hn::Set(d, T{-1}));
    }
    std::uint8_t bits[2][8] = {};
    hn::StoreMaskBits(d, hn::Not(out), bits[0]);
    hn::StoreMaskBits(d, in, bits[1]);
    // The bits past the vector's lanes are stored as zeros.
    std::uint32_t keep = 0, whole = 0;
    std::memcpy(&keep, bits[0], 4);
    std::memcpy(&whole, bits[1], 4);
    live |= keep << j0;
    inside |= whole << j0;
  }
}

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

template <bool kBlend, bool kKeepAlpha>
void GouraudTriangleT(const GouraudDraw& g, const SetupTriangle& t, const PixelRect& tile,
                      const PixelRect& clip, std::uint16_t* blockFar, KernelScratch& scratch) {
  const int x0 = std::max(clip.x0, t.minX), x1 = std::min(clip.x1, t.maxX + 1);
  const int y0 = std::max(clip.y0, t.minY), y1 = std::min(clip.y1, t.maxY + 1);
  if (x0 >= x1 || y0 >= y1) return;
  const int bx0 = (x0 - tile.x0) / kBlockW, bx1 = (x1 - 1 - tile.x0) / kBlockW;
  const int by0 = (y0 - tile.y0) / kBlockH, by1 = (y1 - 1 - tile.y0) / kBlockH;
  const int nbx = bx1 - bx0 + 1, nby = by1 - by0 + 1;
  const int X0 = tile.x0 + bx0 * kBlockW, Y0 = tile.y0 + by0 * kBlockH;

  // The blocks the part is not wholly behind, as bits bx + 4 by from block
  // (bx0, by0); the whole part is skipped when there are none: no
  // classification, no block visits.
  const DepthBound bound(t, {x0, y0, x1, y1});
  static_assert(kTileBlocksX == 4 && kTileBlocks == 32);
  const std::uint32_t rows = nby == kTileBlocksY ? ~0u : (1u << (nby * kTileBlocksX)) - 1;
  const std::uint32_t part = rows / 15 * ((1u << nbx) - 1);  // nbx bits in each of nby nibbles
  const std::uint32_t ahead = ~(BehindBlocks(bound, blockFar, tile, {x0, y0, x1, y1}, by0, by1) >>
                                (bx0 + by0 * kTileBlocksX)) &
                              part;
  if (ahead == 0) return;

  // The edge functions divided by kSubPixel, rounding down: their steps
  // from one pixel centre to the next are whole multiples of it, so each
  // value comes out as floor(E / kSubPixel), which is >= 0 exactly where E
  // is, and the functions stay linear. Eight bits fewer let the values of
  // most large triangles fit 32-bit lanes.
  std::int64_t at[3], sx[3], sy[3];
  for (int k = 0; k < 3; ++k) {
    at[k] = EdgeAt(t.edge[k], t.minX, t.minY, X0, Y0) >> kSubPixelBits;
    sx[k] = t.edge[k].stepX / kSubPixel;
    sy[k] = t.edge[k].stepY / kSubPixel;
  }
  // Usually the whole part's edge values fit 32 bits: no test per block.
  const bool partNarrow = FitsNarrow(at, sx, sy, nbx * kBlockW, nby * kBlockH);
  // A block is out when one edge is negative at all its pixel centres, in
  // when all three are non-negative at all of them: the extremes of each
  // edge function lie at the block's corners.
  std::int64_t lowOff[3], highOff[3];
  for (int k = 0; k < 3; ++k) {
    const std::int64_t ox = sx[k] * (kBlockW - 1), oy = sy[k] * (kBlockH - 1);
    lowOff[k] = std::min<std::int64_t>(0, ox) + std::min<std::int64_t>(0, oy);
    highOff[k] = std::max<std::int64_t>(0, ox) + std::max<std::int64_t>(0, oy);
  }

  // The blocks to visit: those no edge excludes and whose stored depths the
  // triangle may not be behind.
  std::uint32_t live, inside;
  if (partNarrow)
    ClassifyBlocks(hn::ScalableTag<std::int32_t>(), at, sx, sy, lowOff, highOff, nby, live, inside);
  else
    ClassifyBlocks(hn::ScalableTag<std::int64_t>(), at, sx, sy, lowOff, highOff, nby, live, inside);
  live &= ahead;  // also drops the bits of blocks outside the part
  if (live == 0) return;

  const hn::CappedTag<float, kBlockW> df;
  const hn::Rebind<std::int32_t, decltype(df)> di;
  const hn::Rebind<std::uint16_t, decltype(df)> d16;
  const hn::Rebind<std::uint32_t, decltype(df)> du;
  const int N = static_cast<int>(hn::Lanes(df));
  constexpr int kChunks = kBlockW / static_cast<int>(hn::MaxLanes(df)) > 0
                              ? kBlockW / static_cast<int>(hn::MaxLanes(df))
                              : 1;
  using VI = hn::Vec<decltype(di)>;
  using VF = hn::Vec<decltype(df)>;

  // The edge functions' change across a block row, lane by lane.
  VI ramp[3][kChunks];
  for (int k = 0; k < 3; ++k)
    for (int ci = 0; ci < kChunks; ++ci)
      ramp[k][ci] =
          hn::Mul(hn::Set(di, static_cast<std::int32_t>(
                                  std::llabs(sx[k]) < (std::int64_t{1} << 26) ? sx[k] : 0)),
                  hn::Iota(di, ci * N));
  // The edge values' change from one row to the next, for values that fit
  // 32 bits (stepping wraps like the sum it replaces).
  VI stepRow[3];
  for (int k = 0; k < 3; ++k)
    stepRow[k] = hn::Set(di, static_cast<std::int32_t>(static_cast<std::uint32_t>(sy[k])));
  // The part's rows' offsets from the reference point, and the depth
  // plane's y terms there, the same single-precision products as the plain
  // code's.
  alignas(64) float dyRow[kTileSize + hn::MaxLanes(df)], zyRow[kTileSize + hn::MaxLanes(df)];
  for (int y = 0; y < nby * kBlockH; y += N) {
    const auto dy = hn::Sub(hn::ConvertTo(df, hn::Iota(di, Y0 + y)), hn::Set(df, t.refY));
    hn::Store(dy, df, dyRow + y);
    hn::Store(hn::Mul(hn::Set(df, t.z.ddy), dy), df, zyRow + y);
  }
  // The pixels that pass, queued for their colour, and the row steps they
  // came from.
  int queued = 0, steps = 0;

  // Kept in registers: the vector stores below may alias any memory, so the
  // compiler would otherwise read them again for every row.
  std::uint16_t* const depth = g.depth;
  std::uint8_t* const target = g.target;
  const std::ptrdiff_t depthWidth = g.depthWidth, pitch = g.pitch;
  const VF refX = hn::Set(df, t.refX), zAt0 = hn::Set(df, t.z.at0), zDdx = hn::Set(df, t.z.ddx);
  const int tileBottom = tile.y1, tileRight = tile.x1;

  for (; live != 0; live &= live - 1) {
    const int bit = __builtin_ctz(live);
    const int bx = bit & 3, by = bit >> 2;
    const bool in = (inside >> bit) & 1;  // every pixel centre inside all three edges
    const int px0 = X0 + bx * kBlockW, py0 = Y0 + by * kBlockH;
    const PixelRect r{std::max(px0, x0), std::max(py0, y0), std::min(px0 + kBlockW, x1),
                      std::min(py0 + kBlockH, y1)};
    std::uint16_t& far = blockFar[(by0 + by) * kTileBlocksX + bx0 + bx];
    std::int64_t e[3];
    for (int k = 0; k < 3; ++k) e[k] = at[k] + sx[k] * (bx * kBlockW) + sy[k] * (r.y0 - Y0);
    // An edge the block lies wholly inside of leaves the test. Of a large
    // triangle's edges, those that cross a block have values that fit 32
    // bits there when the others do not, unless the triangle spans hundreds
    // of thousands of pixels.
    bool test[3] = {true, true, true};
    bool narrow = in || partNarrow;
    if (!narrow) {
      std::int64_t te[3], tsx[3], tsy[3];
      for (int k = 0; k < 3; ++k) {
        test[k] = e[k] + std::min<std::int64_t>(0, sx[k] * (kBlockW - 1)) +
                      std::min<std::int64_t>(0, sy[k] * (r.y1 - r.y0 - 1)) <
                  0;
        te[k] = test[k] ? e[k] : 0;
        tsx[k] = test[k] ? sx[k] : 0;
        tsy[k] = test[k] ? sy[k] : 0;
      }
      narrow = FitsNarrow(te, tsx, tsy, kBlockW, r.y1 - r.y0);
    }
    if (px0 + kBlockW > tileRight || !narrow) {
      // A block cut by the tile's right edge, whose lanes past it belong to
      // another tile, or one whose edge values do not fit 32 bits: the
      // plain code draws it; its writes keep the bound.
      RasterTriangle(*g.d, t, r, scratch.plain);
      continue;
    }
    // What depends on the column only: the lanes' offsets from the
    // reference point, the columns inside the rectangle, and the planes'
    // parts before their y term (PlaneAt adds that last).
    VF dx[kChunks], zx[kChunks];
    hn::Mask<decltype(di)> inX[kChunks];
    for (int ci = 0; ci < kChunks; ++ci) {
      const auto xi = hn::Iota(di, px0 + ci * N);
      inX[ci] = hn::And(xi > hn::Set(di, r.x0 - 1), hn::Set(di, r.x1) > xi);
      dx[ci] = hn::Sub(hn::ConvertTo(df, xi), refX);
      zx[ci] = hn::Add(zAt0, hn::Mul(zDdx, dx[ci]));
    }
    // Narrow edge values of the row's lanes, stepped down a row at a time.
    VI edgeRow[3][kChunks], step[3];
    if (!in)
      for (int k = 0; k < 3; ++k) {
        step[k] = test[k] ? stepRow[k] : hn::Zero(di);
        for (int ci = 0; ci < kChunks; ++ci)
          edgeRow[k][ci] = test[k]
                               ? hn::Add(hn::Set(di, static_cast<std::int32_t>(e[k])), ramp[k][ci])
                               : hn::Zero(di);
      }
    bool wrote = false;
    // The rows, with the edge test the block needs compiled in or not.
    const auto rows = [&](auto edgeTest) HWY_ATTR {
      constexpr bool kTest = decltype(edgeTest)::value;
      std::uint16_t* depthRow = depth + r.y0 * depthWidth + px0;
      std::uint8_t* colourBytes = target + r.y0 * pitch + px0 * 4;
      for (int y = r.y0; y < r.y1; ++y, depthRow += depthWidth, colourBytes += pitch) {
        auto* colourRow = reinterpret_cast<std::uint32_t*>(colourBytes);
        const auto zy = hn::Set(df, zyRow[y - Y0]);
        for (int ci = 0; ci < kChunks; ++ci) {
          const int i = ci * N;
          auto cover = inX[ci];
          if constexpr (kTest) {
            const auto any = hn::Or(hn::Or(edgeRow[0][ci], edgeRow[1][ci]), edgeRow[2][ci]);
            cover = hn::And(cover, any > hn::Set(di, -1));
            for (int k = 0; k < 3; ++k) edgeRow[k][ci] = hn::Add(edgeRow[k][ci], step[k]);
          }
          // No branch on the coverage alone: it is hard to predict, and a
          // row that covers nothing fails the depth test's branch below.
          const auto z = hn::Add(zx[ci], zy);
          const auto stored = hn::PromoteTo(di, hn::LoadU(d16, depthRow + i));
#if HWY_TARGET <= HWY_AVX2
          // LESSEQUAL decided before the 16-bit depth is formed, which only
          // the lanes that pass need: floor(65535 z + 1/2) <= s exactly when
          // 65535 z - (s + 1/2) < 0, whose sign one fused multiply-add gets
          // right (s + 1/2 is exact).
          const auto zc = simd::HWY_NAMESPACE::ClampDepth(df, z);
          const auto behind = hn::MulSub(zc, hn::Set(df, 65535.0f),
                                         hn::Add(hn::ConvertTo(df, stored), hn::Set(df, 0.5f)));
          const auto pass = hn::And(cover, hn::RebindMask(di, behind < hn::Zero(df)));
          if (hn::AllFalse(di, pass)) continue;
          const auto q = simd::HWY_NAMESPACE::QuantizeClampedDepth16(df, zc);
#else
          const auto q = QuantizeDepth16(df, z);
          const auto pass = hn::AndNot(q > stored, cover);
          if (hn::AllFalse(di, pass)) continue;
#endif
          hn::StoreU(hn::DemoteTo(d16, hn::IfThenElse(pass, q, stored)), d16, depthRow + i);
          wrote = true;

          // Colour waits for the end of the part.
          const auto passed = hn::RebindMask(du, pass);
          hn::StoreU(hn::Compress(dx[ci], hn::RebindMask(df, pass)), df, scratch.dx + queued);
          // The row's lanes are all alike: no need to compress them.
          hn::StoreU(hn::Set(df, dyRow[y - Y0]), df, scratch.dy + queued);
          if constexpr (kBlend)
            hn::StoreU(hn::Compress(hn::LoadU(du, colourRow + i), passed), du,
                       scratch.under + queued);
          KernelScratch::Step& s = scratch.steps[steps++];
          s.at = colourRow + i;
          hn::StoreMaskBits(du, passed, s.lanes);
          queued += static_cast<int>(hn::CountTrue(du, passed));
        }
      }
    };
    if (in)
      rows(std::false_type());
    else
      rows(std::true_type());
    // Writes under LESSEQUAL only bring depths nearer: tighten the bound.
    if (wrote)
      far = BlockFarthest(depth + py0 * depthWidth + px0, depthWidth,
                          std::min(kBlockH, tileBottom - py0));
  }
  if (queued == 0) return;

  // The queued pixels' colours, a vector of them at a time; the lanes past
  // the last are given the reference point and are never put back.
  hn::StoreU(hn::Zero(df), df, scratch.dx + queued);
  hn::StoreU(hn::Zero(df), df, scratch.dy + queued);
  if constexpr (kBlend) hn::StoreU(hn::Zero(du), du, scratch.under + queued);
  const Plane* planes[5] = {&t.rhw, &t.attr[g.slot[0]], &t.attr[g.slot[1]], &t.attr[g.slot[2]],
                            &t.attr[g.slot[3]]};
  VF at0[5], ddx[5], ddy[5];
  for (int k = 0; k < 5; ++k) {
    at0[k] = hn::Set(df, planes[k]->at0);
    ddx[k] = hn::Set(df, planes[k]->ddx);
    ddy[k] = hn::Set(df, planes[k]->ddy);
  }
  for (int j = 0; j < queued; j += N) {
    const auto dx = hn::Load(df, scratch.dx + j);
    const auto dy = hn::Load(df, scratch.dy + j);
    // Each plane as the plain code evaluates it: the x term, then the y term.
    const auto plane = [&](int k) HWY_ATTR {
      return hn::Add(hn::Add(at0[k], hn::Mul(ddx[k], dx)), hn::Mul(ddy[k], dy));
    };
    const auto rhw = plane(0);
    const auto inv = hn::IfThenElseZero(rhw > hn::Zero(df), hn::Div(hn::Set(df, 1.0f), rhw));
    const auto channel = [&](int k)
                             HWY_ATTR { return ChannelBits(df, hn::Mul(plane(k + 1), inv)); };
    const auto red = channel(0), green = channel(1), blue = channel(2);
    hn::Vec<decltype(du)> packed;
    if constexpr (kBlend) {
      packed = simd::HWY_NAMESPACE::BlendSrcAlphaChannels(du, red, green, blue, channel(3),
                                                          hn::LoadU(du, scratch.under + j));
      // A target without alpha stores 0xFF there whatever the blend gives.
      if constexpr (!kKeepAlpha) packed = hn::Or(packed, hn::Set(du, 0xFF000000u));
    } else {
      const auto alpha = kKeepAlpha ? hn::ShiftLeft<24>(channel(3)) : hn::Set(du, 0xFF000000u);
      packed = hn::Or(hn::Or(hn::ShiftLeft<16>(red), hn::ShiftLeft<8>(green)), hn::Or(blue, alpha));
    }
    hn::StoreU(packed, du, scratch.colour + j);
  }
  // Back in their places, in the order they were queued.
  const std::uint32_t* next = scratch.colour;
  for (int k = 0; k < steps; ++k) {
    const KernelScratch::Step& step = scratch.steps[k];
    const auto lanes = hn::LoadMaskBits(du, step.lanes);
    simd::HWY_NAMESPACE::StoreExpanded(du, lanes, next, step.at);
    next += hn::CountTrue(du, lanes);
  }
}

// A draw that finds no bound left by a clear (a frame that clears colour
// alone) rebuilds the bounds of every tile it reaches, every frame.
void FarthestDepthsImpl(const std::uint16_t* depth, int depthWidth, const PixelRect& tile,
                        std::uint16_t* blockFar) {
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

GouraudDraw::Kernel GouraudKernelOf(bool blend, bool keepAlpha) {
  static constexpr GouraudDraw::Kernel kVariants[4] = {
      GouraudTriangleT<false, false>, GouraudTriangleT<false, true>, GouraudTriangleT<true, false>,
      GouraudTriangleT<true, true>};
  return kVariants[blend * 2 + keepAlpha];
}

}  // namespace HWY_NAMESPACE
}  // namespace refdev
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace refdev {

HWY_EXPORT(GouraudKernelOf);
HWY_EXPORT(FarthestDepthsImpl);

bool PrepareGouraud(const DrawDescription& d, GouraudDraw& g) {
  const DrawKey& k = d.key;
  const PixelContext& px = d.pixel;
  const bool blendOk =
      !k.blend || (k.srcBlend == D3DBLEND_SRCALPHA && k.destBlend == D3DBLEND_INVSRCALPHA &&
                   k.blendOp == D3DBLENDOP_ADD);
  const bool formatOk = k.targetFormat == D3DFMT_X8R8G8B8 || k.targetFormat == D3DFMT_A8R8G8B8;
  if (k.flat || k.stages || k.specularAdd || k.fog != kFogOff || k.alphaFunc ||
      k.depthFunc != D3DCMP_LESSEQUAL || !k.depthWrite || k.depthBits != 16 || k.stencil ||
      !blendOk || k.writeMask != 0xF || !formatOk || k.derivatives || d.interpCount != 4 ||
      !px.depthTest || !px.earlyDepth || !px.depth || px.depth->d16.empty() || !px.target ||
      px.bpp != 4)
    return false;
  for (int c = 0; c < 4; ++c) g.slot[c] = -1;
  for (int j = 0; j < d.interpCount; ++j) {
    const int a = d.interp[j];
    if (a < kDiffR || a > kDiffA) return false;
    // Flat colour, the one kind not corrected for perspective, is not
    // drawn here.
    if (!d.perspective[j]) return false;
    g.slot[a - kDiffR] = j;
  }
  for (int c = 0; c < 4; ++c)
    if (g.slot[c] < 0) return false;
  g.d = &d;
  // Chosen once for the draw rather than for every triangle; the variant
  // holds the blend and whether the target stores alpha.
  g.kernel = HWY_DYNAMIC_DISPATCH(GouraudKernelOf)(k.blend, k.targetFormat == D3DFMT_A8R8G8B8);
  g.depth = px.depth->d16.data();
  g.depthWidth = px.depth->width;
  g.target = px.target->bytes.data();
  g.pitch = px.target->pitch;
  return true;
}

void FarthestDepths(const std::uint16_t* depth, int depthWidth, const PixelRect& tile,
                    std::uint16_t* blockFar) {
  HWY_DYNAMIC_DISPATCH(FarthestDepthsImpl)(depth, depthWidth, tile, blockFar);
}

}  // namespace refdev
#endif
