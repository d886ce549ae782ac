#include "refdevice/raster/simd_kernels.h"

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <algorithm>
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

TEST(SimdKernels, FillsAndPresentRowsMatchTheScalarLoopAndStayInBounds) {
  ForEachTarget([] {
    for (std::size_t n : kLengths) {
      // Three rows of a wider buffer (one row is the same call): the gaps
      // between them stay as they were.
      std::vector<std::uint32_t> rect(3 * (n + 2), 0x11111111u);
      Fill32(rect.data() + 1, n, 0xABCDEF01u, 3, (n + 2) * sizeof(std::uint32_t));
      std::vector<std::uint16_t> rect16(3 * (n + 3), 7);
      Fill16(rect16.data() + 1, n, 0xBEEF, 3, (n + 3) * sizeof(std::uint16_t));
      for (std::size_t y = 0; y < 3; ++y) {
        for (std::size_t x = 0; x < n + 2; ++x)
          ASSERT_EQ(rect[y * (n + 2) + x], x >= 1 && x <= n ? 0xABCDEF01u : 0x11111111u);
        for (std::size_t x = 0; x < n + 3; ++x)
          ASSERT_EQ(rect16[y * (n + 3) + x], x >= 1 && x <= n ? 0xBEEF : 7);
      }

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
