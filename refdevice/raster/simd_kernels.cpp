// Compiled once per instruction set through Highway's foreach_target.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "refdevice/raster/simd_kernels.cpp"
#include "refdevice/raster/simd_kernels.h"

#include <hwy/foreach_target.h>  // before highway.h
#include <hwy/highway.h>

#include "refdevice/raster/simd_ops-inl.h"

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

void ClassifyBlocksImpl(const std::int64_t at[3], const std::int64_t stepX[3],
                        const std::int64_t stepY[3], int bw, int bh, int blocksX, int blocksY,
                        std::uint8_t* out) {
  ClassifyBlockGrid(at, stepX, stepY, bw, bh, blocksX, blocksY, out);
}

}  // namespace HWY_NAMESPACE
}  // namespace refdev::simd
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace refdev::simd {

HWY_EXPORT(Fill32Impl);
HWY_EXPORT(Fill16Impl);
HWY_EXPORT(ClassifyBlocksImpl);

void Fill32(std::uint32_t* dst, std::size_t n, std::uint32_t value, std::size_t rows,
            std::size_t pitchBytes) {
  HWY_DYNAMIC_DISPATCH(Fill32Impl)(dst, n, value, rows, pitchBytes);
}
void Fill16(std::uint16_t* dst, std::size_t n, std::uint16_t value, std::size_t rows,
            std::size_t pitchBytes) {
  HWY_DYNAMIC_DISPATCH(Fill16Impl)(dst, n, value, rows, pitchBytes);
}
void ClassifyBlocks(const std::int64_t at[3], const std::int64_t stepX[3],
                    const std::int64_t stepY[3], int bw, int bh, int blocksX, int blocksY,
                    std::uint8_t* out) {
  HWY_DYNAMIC_DISPATCH(ClassifyBlocksImpl)(at, stepX, stepY, bw, bh, blocksX, blocksY, out);
}

}  // namespace refdev::simd
#endif
