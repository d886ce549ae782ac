#include "refdevice/raster/simd_kernels.h"

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <algorithm>
#include <cstdint>
#include <random>
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

TEST(SimdKernels, BlockClassesAgreeWithPerPixelEdgeTests) {
  ForEachTarget([] {
    std::mt19937 rng(2);
    for (int trial = 0; trial < 300; ++trial) {
      std::int64_t at[3], sx[3], sy[3];
      for (int k = 0; k < 3; ++k) {
        sx[k] = static_cast<std::int64_t>(rng() % 200001) - 100000;
        sy[k] = static_cast<std::int64_t>(rng() % 200001) - 100000;
        at[k] = static_cast<std::int64_t>(rng() % 8000001) - 4000000;
        if (trial % 5 == 0) sx[k] = 0;  // horizontal and vertical edges
        if (trial % 7 == 0) at[k] = 0;  // a centre exactly on the edge
      }
      if (trial % 11 == 0) at[0] += std::int64_t{1} << 40;  // values beyond 32 bits
      const int bw = 8, bh = trial % 2 ? 8 : 4, blocksX = 1 + trial % 9, blocksY = 1 + trial % 5;
      std::vector<std::uint8_t> cls(static_cast<std::size_t>(blocksX * blocksY));
      ClassifyBlocks(at, sx, sy, bw, bh, blocksX, blocksY, cls.data());
      for (int by = 0; by < blocksY; ++by)
        for (int bx = 0; bx < blocksX; ++bx) {
          // The corners bound a linear function exactly, so the classes are exact:
          // out when one edge alone excludes every centre, in when every edge
          // includes every centre.
          int insideOf[3] = {};
          for (int y = by * bh; y < (by + 1) * bh; ++y)
            for (int x = bx * bw; x < (bx + 1) * bw; ++x)
              for (int k = 0; k < 3; ++k) insideOf[k] += at[k] + sx[k] * x + sy[k] * y >= 0;
          const bool out = insideOf[0] == 0 || insideOf[1] == 0 || insideOf[2] == 0;
          const bool in = std::min({insideOf[0], insideOf[1], insideOf[2]}) == bw * bh;
          ASSERT_EQ(cls[static_cast<std::size_t>(by * blocksX + bx)], out  ? kBlockOut
                                                                      : in ? kBlockIn
                                                                           : kBlockPartial)
              << trial << " block " << bx << "," << by;
        }
    }
  });
}

}  // namespace
}  // namespace refdev::simd
