#include "refdevice/raster/simd_kernels.h"

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <cstdint>
#include <vector>

namespace refdev::simd {
namespace {

// Runs `body` once for every instruction set both compiled in and supported
// here, so that each variant of a kernel is checked, not only the best one.
template <typename Body>
void ForEachTarget(Body body) {
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    SCOPED_TRACE(hwy::TargetName(target));
    body();
  }
  hwy::SetSupportedTargetsForTest(0);
}

// Lengths that leave every remainder after whole vectors.
const std::size_t kLengths[] = {0, 1, 3, 7, 8, 15, 16, 17, 31, 33, 64, 100};

// The fills are the tiled rasterizer's clears, which its identity with the
// band rasterizer checks on every instruction set; the host's present rows
// are checked here.
TEST(SimdKernels, PresentRowsMatchTheScalarLoopAndStayInBounds) {
  ForEachTarget([] {
    for (std::size_t n : kLengths) {
      std::vector<std::uint32_t> src(n), dst(n + 1, 0xDEADBEEFu);
      for (std::size_t i = 0; i < n; ++i)
        src[i] = 0x80000000u * (i & 1) + 0x00123456u * static_cast<std::uint32_t>(i);
      XrgbRow(src.data(), dst.data(), n, 0xFF000000u);
      for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(dst[i], (src[i] & 0xFFFFFFu) | 0xFF000000u);
      EXPECT_EQ(dst[n], 0xDEADBEEFu);
    }
  });
}

}  // namespace
}  // namespace refdev::simd
