// Compiled once per instruction set through Highway's foreach_target.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "refdevice/simd_kernels.cpp"
#include "refdevice/simd_kernels.h"

#include <hwy/foreach_target.h>  // before highway.h
#include <hwy/highway.h>

#include "refdevice/simd_ops-inl.h"

HWY_BEFORE_NAMESPACE();
namespace refdev::simd {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Rows of n values of T, pitchBytes apart.
template <typename T>
void FillRows(T* dst, std::size_t n, T value, std::size_t rows, std::size_t pitchBytes) {
  const hn::ScalableTag<T> d;
  const std::size_t N = hn::Lanes(d);
  const auto v = hn::Set(d, value);
  for (std::size_t y = 0; y < rows; ++y) {
    auto* row = reinterpret_cast<T*>(reinterpret_cast<std::uint8_t*>(dst) + y * pitchBytes);
    std::size_t i = 0;
    for (; i + N <= n; i += N) hn::StoreU(v, d, row + i);
    for (; i < n; ++i) row[i] = value;
  }
}

void Fill32Impl(std::uint32_t* dst, std::size_t n, std::uint32_t value, std::size_t rows,
                std::size_t pitchBytes) {
  FillRows(dst, n, value, rows, pitchBytes);
}

void Fill16Impl(std::uint16_t* dst, std::size_t n, std::uint16_t value, std::size_t rows,
                std::size_t pitchBytes) {
  FillRows(dst, n, value, rows, pitchBytes);
}

void XrgbRowImpl(const std::uint32_t* src, std::uint32_t* dst, std::size_t n,
                 std::uint32_t orBits) {
  const hn::ScalableTag<std::uint32_t> d;
  const std::size_t N = hn::Lanes(d);
  const auto keep = hn::Set(d, 0x00FFFFFFu);
  const auto add = hn::Set(d, orBits);
  std::size_t i = 0;
  for (; i + N <= n; i += N)
    hn::StoreU(hn::Or(hn::And(hn::LoadU(d, src + i), keep), add), d, dst + i);
  for (; i < n; ++i) dst[i] = (src[i] & 0x00FFFFFFu) | orBits;
}

void DepthLessEqual16Impl(std::uint16_t* depth, const std::uint16_t* z, std::uint8_t* live,
                          std::size_t n) {
  const hn::ScalableTag<std::uint16_t> d;
  const std::size_t N = hn::Lanes(d);
  std::size_t i = 0;
  for (; i + N <= n; i += N) {
    const auto cover = LiveMask16(d, live + i);
    const auto pass = DepthTestLessEqual16(d, depth + i, hn::LoadU(d, z + i), cover);
    StoreLive16(d, pass, live + i);
  }
  for (; i < n; ++i) {
    if (live[i] && z[i] <= depth[i])
      depth[i] = z[i];
    else
      live[i] = 0;
  }
}

void QuantizeDepth16Impl(const float* z, std::uint16_t* out, std::size_t n) {
  const hn::ScalableTag<float> df;
  const hn::Rebind<std::uint16_t, decltype(df)> d16;
  const std::size_t N = hn::Lanes(df);
  std::size_t i = 0;
  for (; i + N <= n; i += N)
    hn::StoreU(hn::DemoteTo(d16, QuantizeDepth16(df, hn::LoadU(df, z + i))), d16, out + i);
  for (; i < n; ++i) {
    const hn::CappedTag<float, 1> d1;
    const hn::Rebind<std::uint16_t, decltype(d1)> d1u;
    hn::StoreU(hn::DemoteTo(d1u, QuantizeDepth16(d1, hn::Set(d1, z[i]))), d1u, out + i);
  }
}

void BlendSrcAlphaImpl(const std::uint32_t* src, std::uint32_t* dst, std::size_t n) {
  const hn::ScalableTag<std::uint32_t> d;
  const std::size_t N = hn::Lanes(d);
  std::size_t i = 0;
  for (; i + N <= n; i += N)
    hn::StoreU(BlendSrcAlphaPixels(d, hn::LoadU(d, src + i), hn::LoadU(d, dst + i)), d, dst + i);
  for (; i < n; ++i) dst[i] = BlendSrcAlphaScalar(src[i], dst[i]);
}

void EdgeRowImpl(const std::int32_t e[3], const std::int32_t stepX[3], std::uint8_t* out,
                 std::size_t n) {
  const hn::ScalableTag<std::int32_t> d;
  const std::size_t N = hn::Lanes(d);
  std::size_t i = 0;
  for (; i + N <= n; i += N) {
    const auto ramp = hn::Iota(d, static_cast<std::int32_t>(i));
    const auto inside = EdgesCover(d, e, stepX, ramp);
    for (std::size_t k = 0; k < N; ++k) out[i + k] = 0;
    const auto bits = hn::VecFromMask(d, inside);
    alignas(64) std::int32_t tmp[hn::MaxLanes(d)];
    hn::Store(bits, d, tmp);
    for (std::size_t k = 0; k < N; ++k) out[i + k] = tmp[k] ? 0xFF : 0;
  }
  for (; i < n; ++i) {
    const auto x = static_cast<std::int32_t>(i);
    const bool in =
        e[0] + stepX[0] * x >= 0 && e[1] + stepX[1] * x >= 0 && e[2] + stepX[2] * x >= 0;
    out[i] = in ? 0xFF : 0;
  }
}

void ClassifyBlocksImpl(const std::int64_t at[3], const std::int64_t stepX[3],
                        const std::int64_t stepY[3], int bw, int bh, int blocksX, int blocksY,
                        std::uint8_t* out) {
  ClassifyBlockGrid(at, stepX, stepY, bw, bh, blocksX, blocksY, out);
}

const char* TargetNameImpl() { return hwy::TargetName(HWY_TARGET); }

}  // namespace HWY_NAMESPACE
}  // namespace refdev::simd
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace refdev::simd {

HWY_EXPORT(Fill32Impl);
HWY_EXPORT(Fill16Impl);
HWY_EXPORT(XrgbRowImpl);
HWY_EXPORT(DepthLessEqual16Impl);
HWY_EXPORT(QuantizeDepth16Impl);
HWY_EXPORT(BlendSrcAlphaImpl);
HWY_EXPORT(EdgeRowImpl);
HWY_EXPORT(ClassifyBlocksImpl);
HWY_EXPORT(TargetNameImpl);

void Fill32(std::uint32_t* dst, std::size_t n, std::uint32_t value, std::size_t rows,
            std::size_t pitchBytes) {
  HWY_DYNAMIC_DISPATCH(Fill32Impl)(dst, n, value, rows, pitchBytes);
}
void Fill16(std::uint16_t* dst, std::size_t n, std::uint16_t value, std::size_t rows,
            std::size_t pitchBytes) {
  HWY_DYNAMIC_DISPATCH(Fill16Impl)(dst, n, value, rows, pitchBytes);
}
void XrgbRow(const std::uint32_t* src, std::uint32_t* dst, std::size_t n, std::uint32_t orBits) {
  HWY_DYNAMIC_DISPATCH(XrgbRowImpl)(src, dst, n, orBits);
}
void DepthLessEqual16(std::uint16_t* depth, const std::uint16_t* z, std::uint8_t* live,
                      std::size_t n) {
  HWY_DYNAMIC_DISPATCH(DepthLessEqual16Impl)(depth, z, live, n);
}
void QuantizeDepth16(const float* z, std::uint16_t* out, std::size_t n) {
  HWY_DYNAMIC_DISPATCH(QuantizeDepth16Impl)(z, out, n);
}
void BlendSrcAlpha(const std::uint32_t* src, std::uint32_t* dst, std::size_t n) {
  HWY_DYNAMIC_DISPATCH(BlendSrcAlphaImpl)(src, dst, n);
}
void EdgeRow(const std::int32_t e[3], const std::int32_t stepX[3], std::uint8_t* out,
             std::size_t n) {
  HWY_DYNAMIC_DISPATCH(EdgeRowImpl)(e, stepX, out, n);
}
void ClassifyBlocks(const std::int64_t at[3], const std::int64_t stepX[3],
                    const std::int64_t stepY[3], int bw, int bh, int blocksX, int blocksY,
                    std::uint8_t* out) {
  HWY_DYNAMIC_DISPATCH(ClassifyBlocksImpl)(at, stepX, stepY, bw, bh, blocksX, blocksY, out);
}
const char* TargetName() { return HWY_DYNAMIC_DISPATCH(TargetNameImpl)(); }

}  // namespace refdev::simd
#endif
