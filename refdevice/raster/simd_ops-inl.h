// Vector helpers shared by the kernels, compiled once per instruction set:
// include after hwy/highway.h inside a file that foreach_target includes.
#if defined(REFDEVICE_SIMD_OPS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef REFDEVICE_SIMD_OPS_INL_H_
#undef REFDEVICE_SIMD_OPS_INL_H_
#else
#define REFDEVICE_SIMD_OPS_INL_H_
#endif

#include <hwy/highway.h>

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "refdevice/pixel/pixel_stage.h"

HWY_BEFORE_NAMESPACE();
namespace refdev::simd {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

inline std::uint32_t BlendSrcAlphaScalar(std::uint32_t src, std::uint32_t dst) {
  const int a = static_cast<int>(src >> 24);
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int s = static_cast<int>((src >> shift) & 0xFF),
              t = static_cast<int>((dst >> shift) & 0xFF);
    out |=
        static_cast<std::uint32_t>(std::min(255, BlendProduct(s * a) + BlendProduct(t * (255 - a))))
        << shift;
  }
  return out;
}

// BlendProduct in every 16-bit lane.
template <class D16>
HWY_INLINE hn::Vec<D16> BlendProducts(D16 d, hn::Vec<D16> p) {
  return hn::ShiftRight<8>(hn::Add(hn::Add(p, hn::ShiftRight<8>(p)), hn::Set(d, 128)));
}

// SRCALPHA / INVSRCALPHA blending, two channels to a 32-bit lane: `s` and `t`
// hold source and target channels in the low bytes of their 16-bit halves,
// `a2` the source alpha in both halves. M(s a) + M(t (255 - a)) never
// exceeds 255 (M(255 a) is a, and M grows with its argument), so no cap is
// needed and neither half carries into the other.
template <class D32>
HWY_INLINE hn::Vec<D32> BlendChannelPairs(D32 d, hn::Vec<D32> s, hn::Vec<D32> t, hn::Vec<D32> a2) {
  const hn::Repartition<std::uint16_t, D32> d16;
  const auto a = hn::BitCast(d16, a2);
  const auto ia = hn::BitCast(d16, hn::Xor(a2, hn::Set(d, 0x00FF00FFu)));  // 255 - a
  return hn::BitCast(d, hn::Add(BlendProducts(d16, hn::Mul(hn::BitCast(d16, s), a)),
                                BlendProducts(d16, hn::Mul(hn::BitCast(d16, t), ia))));
}

// Blends source channel pairs, blue and red in `srcBR`, green and alpha in
// `srcGA` (each in the low byte of its 16-bit half), with the source alpha
// in both halves of `a2`, over 0xAARRGGBB target pixels; returns the blended
// pixels.
template <class D32>
HWY_INLINE hn::Vec<D32> BlendSrcAlphaPairs(D32 d, hn::Vec<D32> srcBR, hn::Vec<D32> srcGA,
                                           hn::Vec<D32> a2, hn::Vec<D32> dst) {
  const hn::Repartition<std::uint16_t, D32> d16;
  const auto dstBR = hn::And(dst, hn::Set(d, 0x00FF00FFu));
  const auto dstGA = hn::BitCast(d, hn::ShiftRight<8>(hn::BitCast(d16, dst)));
  const auto br = BlendChannelPairs(d, srcBR, dstBR, a2);
  const auto ga = BlendChannelPairs(d, srcGA, dstGA, a2);
  return hn::Or(br, hn::BitCast(d, hn::ShiftLeft<8>(hn::BitCast(d16, ga))));
}

// Blends source channels given one to a lane over 0xAARRGGBB target pixels;
// returns the blended pixels, alpha blended too. Each channel is in its
// lane's low byte, the lane's other bits clear.
template <class D32>
HWY_INLINE hn::Vec<D32> BlendSrcAlphaChannels(D32 d, hn::Vec<D32> r, hn::Vec<D32> g, hn::Vec<D32> b,
                                              hn::Vec<D32> a, hn::Vec<D32> dst) {
#if HWY_TARGET == HWY_SCALAR
  // The fallback target has one lane and no halves to split.
  return hn::Set(d, BlendSrcAlphaScalar(hn::GetLane(a) << 24 | hn::GetLane(r) << 16 |
                                            hn::GetLane(g) << 8 | hn::GetLane(b),
                                        hn::GetLane(dst)));
#else
  const auto aHigh = hn::ShiftLeft<16>(a);
  return BlendSrcAlphaPairs(d, hn::Or(b, hn::ShiftLeft<16>(r)), hn::Or(g, aHigh), hn::Or(a, aHigh),
                            dst);
#endif
}

// The inverse of Compress, storing: the lanes of `m` take, in order, the
// values from `packed` on and are stored to `out`; the others are left
// alone there. Reads a whole vector's lanes from `packed`.
template <class D>
HWY_INLINE void StoreExpanded(D d, hn::Mask<D> m, const hn::TFromD<D>* HWY_RESTRICT packed,
                              hn::TFromD<D>* HWY_RESTRICT out) {
  static_assert(sizeof(hn::TFromD<D>) == 4);
#if HWY_TARGET == HWY_SCALAR
  hn::BlendedStore(hn::LoadU(d, packed), m, d, out);
#else
#if HWY_TARGET <= HWY_AVX3
  // The instruction set has the operation itself (this library's version
  // does not offer it).
  if constexpr (hn::MaxLanes(d) == 16) {
    _mm512_mask_storeu_epi32(out, m.raw, _mm512_maskz_expandloadu_epi32(m.raw, packed));
  } else
#endif
  {
    static_assert(hn::MaxLanes(d) <= 8);
    // For each pattern of eight lanes, lane i's source: the number of lanes
    // of the pattern below i.
    static constexpr struct Table {
      std::uint8_t index[256][8];
      constexpr Table() : index{} {
        for (int bits = 0; bits < 256; ++bits)
          for (int i = 0, below = 0; i < 8; ++i) {
            index[bits][i] = static_cast<std::uint8_t>(below);
            below += (bits >> i) & 1;
          }
      }
    } kTable;
    std::uint8_t bits[8] = {};
    hn::StoreMaskBits(d, m, bits);
    const hn::RebindToSigned<D> di;
    const hn::Rebind<std::uint8_t, D> d8;
    const auto index = hn::BitCast(
        di, hn::PromoteTo(hn::RebindToUnsigned<D>(), hn::LoadU(d8, kTable.index[bits[0]])));
    hn::BlendedStore(hn::TableLookupLanes(hn::LoadU(d, packed), hn::IndicesFromVec(d, index)), m, d,
                     out);
  }
#endif
}

#if HWY_TARGET == HWY_WASM
// Four 32-bit lanes on WebAssembly: a mask's lanes as bits in one
// instruction (this library's version reads them back through memory each
// time), and Compress and its inverse as one byte shuffle each, from tables
// of the sixteen patterns of lanes.
struct FourLanePatterns {
  // For each pattern: the bytes that pack its lanes to the front, those that
  // spread the front lanes out to its lanes, and its lanes as a mask.
  alignas(16) std::uint8_t compress[16][16];
  alignas(16) std::uint8_t expand[16][16];
  alignas(16) std::uint8_t lanes[16][16];
  constexpr FourLanePatterns() : compress{}, expand{}, lanes{} {
    for (int bits = 0; bits < 16; ++bits)
      for (int i = 0, below = 0; i < 4; ++i) {
        const bool in = (bits >> i) & 1;
        for (int b = 0; b < 4; ++b) {
          if (in) compress[bits][4 * below + b] = static_cast<std::uint8_t>(4 * i + b);
          expand[bits][4 * i + b] = static_cast<std::uint8_t>(4 * below + b);
          lanes[bits][4 * i + b] = in ? 0xFF : 0;
        }
        below += in;
      }
  }
};
inline constexpr FourLanePatterns kFourLanes{};

template <typename T>
HWY_INLINE unsigned FourLaneBits(hn::Mask128<T> m) {
  static_assert(sizeof(T) == 4);
  return static_cast<unsigned>(wasm_i32x4_bitmask(m.raw));
}

// The lanes of `bits` packed to the front, in order; the others undefined.
template <typename T>
HWY_INLINE hn::Vec128<T> CompressFourLanes(hn::Vec128<T> v, unsigned bits) {
  return hn::Vec128<T>{wasm_i8x16_swizzle(v.raw, wasm_v128_load(kFourLanes.compress[bits]))};
}

// StoreExpanded for four lanes given as bits.
template <typename T>
HWY_INLINE void StoreExpandedFourLanes(unsigned bits, const T* HWY_RESTRICT packed,
                                       T* HWY_RESTRICT out) {
  static_assert(sizeof(T) == 4);
  const v128_t spread =
      wasm_i8x16_swizzle(wasm_v128_load(packed), wasm_v128_load(kFourLanes.expand[bits]));
  wasm_v128_store(out, wasm_v128_bitselect(spread, wasm_v128_load(out),
                                           wasm_v128_load(kFourLanes.lanes[bits])));
}
#endif

// Floats known to lie inside the int32 range, truncated towards zero. The
// library's conversion also corrects values outside the range, which costs
// three more instructions.
template <class DF>
HWY_INLINE hn::Vec<hn::Rebind<std::int32_t, DF>> TruncateInRange(DF /*df*/, hn::Vec<DF> v) {
  [[maybe_unused]] constexpr std::size_t kLanes = hn::MaxLanes(DF());
#if HWY_TARGET <= HWY_AVX3
  if constexpr (kLanes == 16) return hn::Vec512<std::int32_t>{_mm512_cvttps_epi32(v.raw)};
#endif
#if HWY_TARGET <= HWY_AVX2
  if constexpr (kLanes == 8) return hn::Vec256<std::int32_t>{_mm256_cvttps_epi32(v.raw)};
#endif
#if HWY_TARGET <= HWY_SSSE3
  if constexpr (kLanes <= 4) return hn::Vec128<std::int32_t, kLanes>{_mm_cvttps_epi32(v.raw)};
#endif
  return hn::ConvertTo(hn::Rebind<std::int32_t, DF>(), v);
}

// Whole floats in [0, 2^23) as integers. WebAssembly's conversion saturates
// and maps NaN to 0, which takes the processor several instructions; here
// the sum with 2^23 is exact and holds the value in its low mantissa bits.
template <class DF>
HWY_INLINE hn::Vec<hn::Rebind<std::int32_t, DF>> SmallWholeToInt(DF df, hn::Vec<DF> whole) {
#if HWY_TARGET == HWY_WASM
  const hn::Rebind<std::int32_t, DF> di;
  return hn::And(hn::BitCast(di, hn::Add(whole, hn::Set(df, 8388608.0f))), hn::Set(di, 0x7FFFFF));
#else
  return TruncateInRange(df, whole);
#endif
}

// z clamped to [0, 1], NaN to 0 (Max gives its second operand for NaN), as
// the 16-bit depth takes it.
template <class DF>
HWY_INLINE hn::Vec<DF> ClampDepth(DF df, hn::Vec<DF> z) {
  return hn::Min(hn::Max(z, hn::Zero(df)), hn::Set(df, 1.0f));
}

// The 16-bit depth of a clamped z, floor(zc * 65535 + 1/2), in float lanes
// without rounding error.
template <class DF>
HWY_INLINE hn::Vec<hn::Rebind<std::int32_t, DF>> QuantizeClampedDepth16(DF df, hn::Vec<DF> zc) {
  const hn::Rebind<std::int32_t, DF> di;
#if HWY_TARGET <= HWY_AVX2
  // With a fused multiply-add: v = 65535 z + 1/2 rounds to r once; floor(r)
  // (r is positive: truncating it is the floor) is floor(v) but where r is
  // a whole n that v falls short of, which the sign of v - n, also formed in
  // one rounding, tells exactly.
  const auto scale = hn::Set(df, 65535.0f);
  const auto n = TruncateInRange(df, hn::MulAdd(zc, scale, hn::Set(df, 0.5f)));
  const auto below =
      hn::MulAdd(zc, scale, hn::Sub(hn::Set(df, 0.5f), hn::ConvertTo(df, n))) < hn::Zero(df);
  return hn::Add(n, hn::VecFromMask(di, hn::RebindMask(di, below)));
#else
  // Without one: y = 65536 z and its fraction f are exact, and
  // 65535 z + 1/2 = floor(y) + (f - z + 1/2) with the last term in (-1/2, 3/2),
  // decided by two exact comparisons.
  const auto y = hn::Mul(zc, hn::Set(df, 65536.0f));
  const auto n = hn::Floor(y);
  const auto f = hn::Sub(y, n);
  const auto half = hn::Set(df, 0.5f);
  const auto down = hn::RebindMask(di, hn::Add(f, half) < zc);
  const auto up = hn::RebindMask(di, hn::Sub(f, half) >= zc);
  return hn::Sub(hn::Add(SmallWholeToInt(df, n), hn::VecFromMask(di, down)),
                 hn::VecFromMask(di, up));
#endif
}

// The 16-bit depth of z, floor(clamp(z, 0, 1) * 65535 + 1/2). NaN counts as 0.
template <class DF>
HWY_INLINE hn::Vec<hn::Rebind<std::int32_t, DF>> QuantizeDepth16(DF df, hn::Vec<DF> z) {
  return QuantizeClampedDepth16(df, ClampDepth(df, z));
}

// How far three edge functions fall below (`low`) and rise above (`high`)
// their values at a block's first pixel centre across a bw x bh block: the
// extremes of a linear function lie at the block's corners.
struct BlockReach {
  std::int64_t low[3], high[3];
  BlockReach(const std::int64_t stepX[3], const std::int64_t stepY[3], int bw, int bh) {
    for (int k = 0; k < 3; ++k) {
      const std::int64_t ox = stepX[k] * (bw - 1), oy = stepY[k] * (bh - 1);
      low[k] = std::min<std::int64_t>(0, ox) + std::min<std::int64_t>(0, oy);
      high[k] = std::max<std::int64_t>(0, ox) + std::max<std::int64_t>(0, oy);
    }
  }
};

// Block classification: `at[k]` holds edge k's value at each lane's block's
// first pixel centre. `out` is set where some edge excludes the whole block,
// `in` where all three include every pixel centre of it. Lanes narrower than
// 64 bits take the reach wrapped like the values (the caller keeps the sums
// exact).
template <class D>
HWY_INLINE void ClassifyBlockLanes(D d, const hn::Vec<D> at[3], const BlockReach& reach,
                                   hn::Mask<D>& out, hn::Mask<D>& in) {
  using T = hn::TFromD<D>;
  const auto wrap = [](std::int64_t v) {
    return static_cast<T>(static_cast<std::make_unsigned_t<T>>(v));
  };
  out = hn::FirstN(d, 0);
  in = hn::FirstN(d, hn::Lanes(d));
  for (int k = 0; k < 3; ++k) {
    out = hn::Or(out, hn::Add(at[k], hn::Set(d, wrap(reach.high[k]))) < hn::Zero(d));
    in = hn::And(in, hn::Add(at[k], hn::Set(d, wrap(reach.low[k]))) > hn::Set(d, T{-1}));
  }
}

// Block classes (0 out, 1 partial, 2 in) of a grid of bw x bh blocks.
inline void ClassifyBlockGrid(const std::int64_t at[3], const std::int64_t stepX[3],
                              const std::int64_t stepY[3], int bw, int bh, int blocksX, int blocksY,
                              std::uint8_t* out) {
  const hn::ScalableTag<std::int64_t> d;
  const std::size_t N = hn::Lanes(d);
  const BlockReach reach(stepX, stepY, bw, bh);
  // Each lane's offset from the first block of its group, per edge.
  hn::Vec<decltype(d)> laneOff[3];
  for (int k = 0; k < 3; ++k) {
    alignas(64) std::int64_t off[hn::MaxLanes(d)];
    for (std::size_t l = 0; l < N; ++l) off[l] = stepX[k] * bw * static_cast<std::int64_t>(l);
    laneOff[k] = hn::Load(d, off);
  }
  // A row of blocks a vector at a time, the last one partly used.
  for (int by = 0; by < blocksY; ++by) {
    for (std::size_t bx = 0; bx < static_cast<std::size_t>(blocksX); bx += N) {
      hn::Vec<decltype(d)> e[3];
      for (int k = 0; k < 3; ++k)
        e[k] = hn::Add(
            hn::Set(d, at[k] + stepX[k] * bw * static_cast<std::int64_t>(bx) + stepY[k] * bh * by),
            laneOff[k]);
      hn::Mask<decltype(d)> outside, inside;
      ClassifyBlockLanes(d, e, reach, outside, inside);
      const auto cls = hn::IfThenElse(outside, hn::Zero(d),
                                      hn::IfThenElse(inside, hn::Set(d, 2), hn::Set(d, 1)));
      alignas(64) std::int64_t tmp[hn::MaxLanes(d)];
      hn::Store(cls, d, tmp);
      const std::size_t count = std::min(N, static_cast<std::size_t>(blocksX) - bx);
      for (std::size_t l = 0; l < count; ++l)
        out[static_cast<std::size_t>(by * blocksX) + bx + l] = static_cast<std::uint8_t>(tmp[l]);
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace refdev::simd
HWY_AFTER_NAMESPACE();

#endif  // per-target include guard
