// Compiled once per instruction set through Highway's foreach_target.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "refdevice/raster/z16_lessequal_srcalpha32_kernel.cpp"
#include "refdevice/raster/z16_lessequal_srcalpha32_kernel.h"

#include <hwy/foreach_target.h>  // before highway.h
#include <hwy/highway.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "refdevice/raster/band_rasterizer.h"
#include "refdevice/raster/block_depth_bounds-inl.h"
#include "refdevice/raster/simd_ops-inl.h"

HWY_BEFORE_NAMESPACE();
namespace refdev {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;
using simd::HWY_NAMESPACE::BlockReach;
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
#if HWY_TARGET == HWY_WASM
  // n is positive: its truncation is its floor.
  return hn::BitCast(du, simd::HWY_NAMESPACE::SmallWholeToInt(df, hn::Floor(n)));
#else
  return hn::BitCast(du, simd::HWY_NAMESPACE::TruncateInRange(df, n));
#endif
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

// A triangle's part of a tile, in the tile's 16x8 blocks.
struct Part {
  int x0, y0, x1, y1;      // the pixels of the triangle's box inside the clip
  int bx0, by0, nbx, nby;  // its blocks: the first one's column and row, and how many
  int X0, Y0;              // the first block's first pixel
  // Bit bx + 4 by for block (bx0 + bx, by0 + by): the blocks to visit, and
  // those every pixel centre of which lies inside all three edges.
  std::uint32_t visit = 0, inside = 0;
  // The edge functions divided by kSubPixel at the first block's first pixel
  // centre, and their steps per pixel.
  std::int64_t at[3], sx[3], sy[3];
  bool narrow;  // every edge value of the part fits 32 bits
};

// Phase 1, bounds: the part's pixels and blocks, and the blocks it is not
// wholly behind; false when there are none, before any edge is worked out.
HWY_INLINE bool PartBounds(const SetupTriangle& t, const PixelRect& tile, const PixelRect& clip,
                           const std::uint16_t* blockFar, Part& p) {
  p.x0 = std::max(clip.x0, t.minX);
  p.x1 = std::min(clip.x1, t.maxX + 1);
  p.y0 = std::max(clip.y0, t.minY);
  p.y1 = std::min(clip.y1, t.maxY + 1);
  if (p.x0 >= p.x1 || p.y0 >= p.y1) return false;
  p.bx0 = (p.x0 - tile.x0) / kBlockW;
  p.by0 = (p.y0 - tile.y0) / kBlockH;
  p.nbx = (p.x1 - 1 - tile.x0) / kBlockW - p.bx0 + 1;
  p.nby = (p.y1 - 1 - tile.y0) / kBlockH - p.by0 + 1;
  p.X0 = tile.x0 + p.bx0 * kBlockW;
  p.Y0 = tile.y0 + p.by0 * kBlockH;
  static_assert(kTileBlocksX == 4 && kTileBlocks == 32);
  const PixelRect r{p.x0, p.y0, p.x1, p.y1};
  const std::uint32_t rows = p.nby == kTileBlocksY ? ~0u : (1u << (p.nby * kTileBlocksX)) - 1;
  const std::uint32_t blocks = rows / 15 * ((1u << p.nbx) - 1);  // nbx bits in each of nby nibbles
  const std::uint32_t behind =
      BehindBlocks(DepthBound(t, r), blockFar, tile, r, p.by0, p.by0 + p.nby - 1);
  p.visit = ~(behind >> (p.bx0 + p.by0 * kTileBlocksX)) & blocks;
  return p.visit != 0;
}

// Sets the bits of the part's blocks in `live` where no edge excludes the
// block, in `inside` where all three include it whole. Lane j of a vector
// takes block j % 4 of row j / 4; lanes of `D` must hold the edge values of
// the part's blocks (or wrap and come out exact). Bits of blocks outside the
// part are left for the caller to mask.
template <class D>
HWY_INLINE void ClassifyPartBlocks(D d, const Part& p, const BlockReach& reach, std::uint32_t& live,
                                   std::uint32_t& inside) {
  using T = hn::TFromD<D>;
  const int J = static_cast<int>(hn::Lanes(d));
  const auto wrap = [](std::int64_t v) {
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
    offset[k] = hn::Add(hn::Add(hn::IfThenElseZero(col1, hn::Set(d, wrap(p.sx[k] * kBlockW))),
                                hn::IfThenElseZero(col2, hn::Set(d, wrap(p.sx[k] * 2 * kBlockW)))),
                        hn::Add(hn::IfThenElseZero(row1, hn::Set(d, wrap(p.sy[k] * kBlockH))),
                                hn::IfThenElseZero(row2, hn::Set(d, wrap(p.sy[k] * 2 * kBlockH)))));
  live = inside = 0;
  for (int j0 = 0; j0 < p.nby * 4; j0 += J) {
    hn::Vec<D> at[3];
    for (int k = 0; k < 3; ++k)
      at[k] = hn::Add(
          hn::Set(d, wrap(p.at[k] + (j0 & 3) * p.sx[k] * kBlockW + (j0 >> 2) * p.sy[k] * kBlockH)),
          offset[k]);
    hn::Mask<D> out, in;
    simd::HWY_NAMESPACE::ClassifyBlockLanes(d, at, reach, out, in);
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

// Phase 2, block classification: keeps the blocks to visit that no edge
// excludes, and notes those wholly inside; false when none is left.
HWY_INLINE bool ClassifyPart(const SetupTriangle& t, Part& p) {
  // The edge functions divided by kSubPixel, rounding down: their steps
  // from one pixel centre to the next are whole multiples of it, so each
  // value comes out as floor(E / kSubPixel), which is >= 0 exactly where E
  // is, and the functions stay linear. Eight bits fewer let the values of
  // most large triangles fit 32-bit lanes.
  for (int k = 0; k < 3; ++k) {
    p.at[k] = EdgeAt(t.edge[k], t.minX, t.minY, p.X0, p.Y0) >> kSubPixelBits;
    p.sx[k] = t.edge[k].stepX / kSubPixel;
    p.sy[k] = t.edge[k].stepY / kSubPixel;
  }
  // Usually the whole part's edge values fit 32 bits: no test per block.
  p.narrow = FitsNarrow(p.at, p.sx, p.sy, p.nbx * kBlockW, p.nby * kBlockH);
  const BlockReach reach(p.sx, p.sy, kBlockW, kBlockH);
  std::uint32_t live;
  if (p.narrow)
    ClassifyPartBlocks(hn::ScalableTag<std::int32_t>(), p, reach, live, p.inside);
  else
    ClassifyPartBlocks(hn::ScalableTag<std::int64_t>(), p, reach, live, p.inside);
  p.visit &= live;  // also drops the bits of blocks outside the part
  return p.visit != 0;
}

// A row of a block in float and 32-bit lanes: one vector of 16 lanes, or
// several of fewer.
using DF = hn::CappedTag<float, kBlockW>;
using DI = hn::Rebind<std::int32_t, DF>;
using DU = hn::Rebind<std::uint32_t, DF>;
constexpr int kChunks = kBlockW / static_cast<int>(hn::MaxLanes(DF())) > 0
                            ? kBlockW / static_cast<int>(hn::MaxLanes(DF()))
                            : 1;
using VF = hn::Vec<DF>;
using VI = hn::Vec<DI>;

// What the part's blocks share: the edge functions' change across a block
// row lane by lane and from one row to the next, and the part's rows'
// offsets from the reference point with the depth plane's y terms there, the
// same single-precision products as the plain code's.
struct PartRows {
  VI ramp[3][kChunks];
  VI stepRow[3];
  alignas(64) float dy[kTileSize + hn::MaxLanes(DF())];
  alignas(64) float zy[kTileSize + hn::MaxLanes(DF())];

  HWY_INLINE PartRows(const SetupTriangle& t, const Part& p) {
    const DF df;
    const DI di;
    const int N = static_cast<int>(hn::Lanes(df));
    for (int k = 0; k < 3; ++k) {
      for (int ci = 0; ci < kChunks; ++ci)
        ramp[k][ci] =
            hn::Mul(hn::Set(di, static_cast<std::int32_t>(
                                    std::llabs(p.sx[k]) < (std::int64_t{1} << 26) ? p.sx[k] : 0)),
                    hn::Iota(di, ci * N));
      // For values that fit 32 bits (stepping wraps like the sum it replaces).
      stepRow[k] = hn::Set(di, static_cast<std::int32_t>(static_cast<std::uint32_t>(p.sy[k])));
    }
    for (int y = 0; y < p.nby * kBlockH; y += N) {
      const auto d = hn::Sub(hn::ConvertTo(df, hn::Iota(di, p.Y0 + y)), hn::Set(df, t.refY));
      hn::Store(d, df, dy + y);
      hn::Store(hn::Mul(hn::Set(df, t.z.ddy), d), df, zy + y);
    }
  }
};

// One block's lanes: what depends on the column only (the lanes' offsets
// from the reference point, the columns inside the part, the depth plane
// before its y term, which PlaneAt adds last) and the narrow edge values of
// its current row, stepped down a row at a time.
struct BlockLanes {
  int x;        // the block's first column
  PixelRect r;  // the block's pixels inside the part
  VF dx[kChunks], zx[kChunks];
  hn::Mask<DI> inX[kChunks];
  VI edgeRow[3][kChunks], step[3];
};

// The pixels that passed the depth test, queued for their colour, and the
// row steps they came from (in the thread's scratch).
struct Queue {
  int pixels = 0, steps = 0;
};

// Phase 3, depth rows: tests the block's rows for LESSEQUAL, writes the
// depths that pass and queues their pixels; true if any passed. kTest: the
// block needs the edge test (it is not wholly inside).
template <bool kBlend, bool kTest>
HWY_INLINE bool DepthRows(const Z16LessEqualSrcAlpha32Draw& g, const Part& p, const PartRows& rows,
                          BlockLanes& b, KernelScratch& scratch, Queue& queue) {
  const DF df;
  const DI di;
  const DU du;
  const hn::Rebind<std::uint16_t, DF> d16;
  const int N = static_cast<int>(hn::Lanes(df));
  // Kept in registers: the vector stores below may alias any memory, so the
  // compiler would otherwise read them again for every row.
  const std::ptrdiff_t depthWidth = g.depthWidth, pitch = g.pitch;
  std::uint16_t* depthRow = g.depth + b.r.y0 * depthWidth + b.x;
  std::uint8_t* colourBytes = g.target + b.r.y0 * pitch + b.x * 4;
  int pixels = queue.pixels, steps = queue.steps;
  bool wrote = false;
  for (int y = b.r.y0; y < b.r.y1; ++y, depthRow += depthWidth, colourBytes += pitch) {
    auto* colourRow = reinterpret_cast<std::uint32_t*>(colourBytes);
    const auto zy = hn::Set(df, rows.zy[y - p.Y0]);
    // Unrolled so that the block's lanes stay in registers: a loop over
    // narrow vectors indexes them in memory.
    HWY_UNROLL(kChunks)
    for (int ci = 0; ci < kChunks; ++ci) {
      const int i = ci * N;
      auto cover = b.inX[ci];
      if constexpr (kTest) {
        const auto any = hn::Or(hn::Or(b.edgeRow[0][ci], b.edgeRow[1][ci]), b.edgeRow[2][ci]);
        cover = hn::And(cover, any > hn::Set(di, -1));
        for (int k = 0; k < 3; ++k) b.edgeRow[k][ci] = hn::Add(b.edgeRow[k][ci], b.step[k]);
      }
      // No branch on the coverage alone: it is hard to predict, and a row
      // that covers nothing fails the depth test's branch below.
      const auto z = hn::Add(b.zx[ci], zy);
      const auto stored = hn::PromoteTo(di, hn::LoadU(d16, depthRow + i));
#if HWY_TARGET <= HWY_AVX2
      // LESSEQUAL decided before the 16-bit depth is formed, which only the
      // lanes that pass need: floor(65535 z + 1/2) <= s exactly when
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
#if HWY_TARGET == HWY_WASM
      // The lanes as bits once, for the test, the packing and the count.
      const unsigned bits = simd::HWY_NAMESPACE::FourLaneBits(pass);
      if (bits == 0) continue;
#else
      if (hn::AllFalse(di, pass)) continue;
#endif
#endif
      hn::StoreU(hn::DemoteTo(d16, hn::IfThenElse(pass, q, stored)), d16, depthRow + i);
      wrote = true;

      // Colour waits for the end of the part.
#if HWY_TARGET == HWY_WASM
      using simd::HWY_NAMESPACE::CompressFourLanes;
      hn::StoreU(CompressFourLanes(b.dx[ci], bits), df, scratch.dx + pixels);
      // The row's lanes are all alike: no need to compress them.
      hn::StoreU(hn::Set(df, rows.dy[y - p.Y0]), df, scratch.dy + pixels);
      if constexpr (kBlend)
        hn::StoreU(CompressFourLanes(hn::LoadU(du, colourRow + i), bits), du,
                   scratch.under + pixels);
      KernelScratch::Step& s = scratch.steps[steps++];
      s.at = colourRow + i;
      s.lanes[0] = static_cast<std::uint8_t>(bits);
      pixels += __builtin_popcount(bits);
#else
      const auto passed = hn::RebindMask(du, pass);
      hn::StoreU(hn::Compress(b.dx[ci], hn::RebindMask(df, pass)), df, scratch.dx + pixels);
      // The row's lanes are all alike: no need to compress them.
      hn::StoreU(hn::Set(df, rows.dy[y - p.Y0]), df, scratch.dy + pixels);
      if constexpr (kBlend)
        hn::StoreU(hn::Compress(hn::LoadU(du, colourRow + i), passed), du, scratch.under + pixels);
      KernelScratch::Step& s = scratch.steps[steps++];
      s.at = colourRow + i;
      hn::StoreMaskBits(du, passed, s.lanes);
      pixels += static_cast<int>(hn::CountTrue(du, passed));
#endif
    }
  }
  queue.pixels = pixels;
  queue.steps = steps;
  return wrote;
}

// Visits block `bit` of the part: the plain code draws it where the lanes
// cannot (cut by the tile's right edge, or edge values past 32 bits);
// otherwise its rows are depth-tested and queued, and its bound tightened.
template <bool kBlend>
HWY_INLINE void VisitBlock(const Z16LessEqualSrcAlpha32Draw& g, const SetupTriangle& t,
                           const PixelRect& tile, const Part& p, const PartRows& rows, int bit,
                           std::uint16_t* blockFar, KernelScratch& scratch, Queue& queue) {
  const DF df;
  const DI di;
  const int N = static_cast<int>(hn::Lanes(df));
  const int bx = bit & 3, by = bit >> 2;
  const bool in = (p.inside >> bit) & 1;  // every pixel centre inside all three edges
  const int px0 = p.X0 + bx * kBlockW, py0 = p.Y0 + by * kBlockH;
  const PixelRect r{std::max(px0, p.x0), std::max(py0, p.y0), std::min(px0 + kBlockW, p.x1),
                    std::min(py0 + kBlockH, p.y1)};
  std::int64_t e[3];
  for (int k = 0; k < 3; ++k) e[k] = p.at[k] + p.sx[k] * (bx * kBlockW) + p.sy[k] * (r.y0 - p.Y0);
  // An edge the block lies wholly inside of leaves the test. Of a large
  // triangle's edges, those that cross a block have values that fit 32 bits
  // there when the others do not, unless the triangle spans hundreds of
  // thousands of pixels.
  bool test[3] = {true, true, true};
  bool narrow = in || p.narrow;
  if (!narrow) {
    std::int64_t te[3], tsx[3], tsy[3];
    for (int k = 0; k < 3; ++k) {
      test[k] = e[k] + std::min<std::int64_t>(0, p.sx[k] * (kBlockW - 1)) +
                    std::min<std::int64_t>(0, p.sy[k] * (r.y1 - r.y0 - 1)) <
                0;
      te[k] = test[k] ? e[k] : 0;
      tsx[k] = test[k] ? p.sx[k] : 0;
      tsy[k] = test[k] ? p.sy[k] : 0;
    }
    narrow = FitsNarrow(te, tsx, tsy, kBlockW, r.y1 - r.y0);
  }
  if (px0 + kBlockW > tile.x1 || !narrow) {
    // The lanes past the tile's right edge belong to another tile; the
    // plain code's writes keep the bound.
    RasterTriangle(*g.d, t, r, scratch.plain);
    return;
  }
  // A block of its own: the plain code's call above must not see its
  // address, or every store below could change it.
  BlockLanes b;
  b.x = px0;
  b.r = r;
  const VF refX = hn::Set(df, t.refX), zAt0 = hn::Set(df, t.z.at0), zDdx = hn::Set(df, t.z.ddx);
  for (int ci = 0; ci < kChunks; ++ci) {
    const auto xi = hn::Iota(di, px0 + ci * N);
    b.inX[ci] = hn::And(xi > hn::Set(di, b.r.x0 - 1), hn::Set(di, b.r.x1) > xi);
    b.dx[ci] = hn::Sub(hn::ConvertTo(df, xi), refX);
    b.zx[ci] = hn::Add(zAt0, hn::Mul(zDdx, b.dx[ci]));
  }
  bool wrote;
  if (in) {
    wrote = DepthRows<kBlend, false>(g, p, rows, b, scratch, queue);
  } else {
    for (int k = 0; k < 3; ++k) {
      b.step[k] = test[k] ? rows.stepRow[k] : hn::Zero(di);
      for (int ci = 0; ci < kChunks; ++ci)
        b.edgeRow[k][ci] =
            test[k] ? hn::Add(hn::Set(di, static_cast<std::int32_t>(e[k])), rows.ramp[k][ci])
                    : hn::Zero(di);
    }
    wrote = DepthRows<kBlend, true>(g, p, rows, b, scratch, queue);
  }
  // Writes under LESSEQUAL only bring depths nearer: tighten the bound.
  if (wrote)
    blockFar[(p.by0 + by) * kTileBlocksX + p.bx0 + bx] =
        BlockFarthest(g.depth + py0 * static_cast<std::ptrdiff_t>(g.depthWidth) + px0, g.depthWidth,
                      std::min(kBlockH, tile.y1 - py0));
}

// Phase 4, shading queue: the queued pixels' colours, a vector of them at a
// time, as the plain code forms them (1/w and the four colour planes, the
// exact reciprocal, the channel conversion, the blend); the lanes past the
// last are given the reference point and are never put back.
template <bool kBlend, bool kKeepAlpha>
HWY_INLINE void ShadeQueue(const Z16LessEqualSrcAlpha32Draw& g, const SetupTriangle& t,
                           KernelScratch& scratch, int queued) {
  const DF df;
  const DU du;
  const int N = static_cast<int>(hn::Lanes(df));
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
    hn::Vec<DU> packed;
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
}

// Phase 5, put-back: the colours back in their places, in the order they
// were queued.
HWY_INLINE void PutBack(const KernelScratch& scratch, int steps) {
  [[maybe_unused]] const DU du;
  const std::uint32_t* next = scratch.colour;
  for (int k = 0; k < steps; ++k) {
    const KernelScratch::Step& step = scratch.steps[k];
#if HWY_TARGET == HWY_WASM
    simd::HWY_NAMESPACE::StoreExpandedFourLanes(step.lanes[0], next, step.at);
    next += __builtin_popcount(step.lanes[0]);
#else
    const auto lanes = hn::LoadMaskBits(du, step.lanes);
    simd::HWY_NAMESPACE::StoreExpanded(du, lanes, next, step.at);
    next += hn::CountTrue(du, lanes);
#endif
  }
}

template <bool kBlend, bool kKeepAlpha>
void Z16LessEqualSrcAlpha32Triangle(const Z16LessEqualSrcAlpha32Draw& g, const SetupTriangle& t,
                                    const PixelRect& tile, const PixelRect& clip,
                                    std::uint16_t* blockFar, KernelScratch& scratch) {
  Part p;
  if (!PartBounds(t, tile, clip, blockFar, p) || !ClassifyPart(t, p)) return;
  const PartRows rows(t, p);
  Queue queue;
  // The blocks to visit, without a list or a branch per test.
  for (std::uint32_t visit = p.visit; visit != 0; visit &= visit - 1)
    VisitBlock<kBlend>(g, t, tile, p, rows, __builtin_ctz(visit), blockFar, scratch, queue);
  if (queue.pixels == 0) return;
  ShadeQueue<kBlend, kKeepAlpha>(g, t, scratch, queue.pixels);
  PutBack(scratch, queue.steps);
}

void FarthestDepthsImpl(const std::uint16_t* depth, int depthWidth, const PixelRect& tile,
                        std::uint16_t* blockFar) {
  FarthestBlockDepths(depth, depthWidth, tile, blockFar);
}

Z16LessEqualSrcAlpha32Draw::Kernel KernelOf(bool blend, bool keepAlpha) {
  static constexpr Z16LessEqualSrcAlpha32Draw::Kernel kVariants[4] = {
      Z16LessEqualSrcAlpha32Triangle<false, false>, Z16LessEqualSrcAlpha32Triangle<false, true>,
      Z16LessEqualSrcAlpha32Triangle<true, false>, Z16LessEqualSrcAlpha32Triangle<true, true>};
  return kVariants[blend * 2 + keepAlpha];
}

}  // namespace HWY_NAMESPACE
}  // namespace refdev
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace refdev {
namespace {

// The colour planes of the draw's diffuse red, green, blue and alpha, each
// corrected for perspective; false when it interpolates anything else.
bool DiffuseSlots(const DrawDescription& d, int slot[4]) {
  if (d.interpCount != 4) return false;
  for (int c = 0; c < 4; ++c) slot[c] = -1;
  for (int j = 0; j < d.interpCount; ++j) {
    const int a = d.interp[j];
    if (a < kDiffR || a > kDiffA) return false;
    // Flat colour, the one kind not corrected for perspective, is not
    // drawn here.
    if (!d.perspective[j]) return false;
    slot[a - kDiffR] = j;
  }
  for (int c = 0; c < 4; ++c)
    if (slot[c] < 0) return false;
  return true;
}

}  // namespace

HWY_EXPORT(KernelOf);
HWY_EXPORT(FarthestDepthsImpl);

bool TakesZ16LessEqualSrcAlpha32(const DrawDescription& d) {
  const DrawKey& k = d.key;
  const PixelContext& px = d.pixel;
  const bool blendOk =
      !k.blend || (k.srcBlend == D3DBLEND_SRCALPHA && k.destBlend == D3DBLEND_INVSRCALPHA &&
                   k.blendOp == D3DBLENDOP_ADD);
  const bool formatOk = k.targetFormat == D3DFMT_X8R8G8B8 || k.targetFormat == D3DFMT_A8R8G8B8;
  int slot[4];
  return !k.flat && !k.stages && !k.specularAdd && k.fog == d3dfront::FogSource::Off &&
         !k.alphaFunc && k.depthFunc == D3DCMP_LESSEQUAL && k.depthWrite && k.depthBits == 16 &&
         !k.stencil && blendOk && k.writeMask == 0xF && formatOk && !k.derivatives &&
         px.ff.depthTest && px.earlyDepth && px.depth && !px.depth->d16.empty() && px.target &&
         px.bpp == 4 && DiffuseSlots(d, slot);
}

bool PrepareZ16LessEqualSrcAlpha32(const DrawDescription& d, Z16LessEqualSrcAlpha32Draw& g) {
  if (!TakesZ16LessEqualSrcAlpha32(d)) return false;
  DiffuseSlots(d, g.slot);
  g.d = &d;
  // Chosen once for the draw rather than for every triangle; the variant
  // holds the blend and whether the target stores alpha.
  g.kernel = HWY_DYNAMIC_DISPATCH(KernelOf)(d.key.blend, d.key.targetFormat == D3DFMT_A8R8G8B8);
  g.depth = d.pixel.depth->d16.data();
  g.depthWidth = d.pixel.depth->width;
  g.target = d.pixel.target->bytes.data();
  g.pitch = d.pixel.target->pitch;
  return true;
}

void FarthestDepths(const std::uint16_t* depth, int depthWidth, const PixelRect& tile,
                    std::uint16_t* blockFar) {
  HWY_DYNAMIC_DISPATCH(FarthestDepthsImpl)(depth, depthWidth, tile, blockFar);
}

}  // namespace refdev
#endif
