#include "refdevice/simd_kernels.h"

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
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

std::uint32_t M(std::uint32_t p) { return (p + (p >> 8) + 128) >> 8; }

std::uint32_t ScalarBlend(std::uint32_t src, std::uint32_t dst) {
  const std::uint32_t a = src >> 24;
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const std::uint32_t c = std::min<std::uint32_t>(
        255, M(((src >> shift) & 255) * a) + M(((dst >> shift) & 255) * (255 - a)));
    out |= c << shift;
  }
  return out;
}

// Lengths that leave every remainder after whole vectors.
const std::size_t kLengths[] = {0, 1, 3, 7, 8, 15, 16, 17, 31, 33, 64, 100};

TEST(SimdKernels, FillsAndPresentRowsMatchTheScalarLoopAndStayInBounds) {
  ForEachTarget([] {
    for (std::size_t n : kLengths) {
      std::vector<std::uint32_t> c(n + 2, 0x11111111u);
      Fill32(c.data() + 1, n, 0xFF0000FFu);
      EXPECT_EQ(c.front(), 0x11111111u);
      EXPECT_EQ(c.back(), 0x11111111u);
      EXPECT_EQ(std::count(c.begin() + 1, c.end() - 1, 0xFF0000FFu), static_cast<long>(n));

      std::vector<std::uint16_t> z(n + 2, 7);
      Fill16(z.data() + 1, n, 0xFFFF);
      EXPECT_EQ(z.front(), 7);
      EXPECT_EQ(z.back(), 7);
      EXPECT_EQ(std::count(z.begin() + 1, z.end() - 1, 0xFFFF), static_cast<long>(n));

      // Three rows of a wider buffer: the gaps between them stay as they were.
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

TEST(SimdKernels, DepthLessEqualTestsAndWritesOnlyCoveredPixels) {
  ForEachTarget([] {
    std::mt19937 rng(1);
    for (std::size_t n : kLengths) {
      std::vector<std::uint16_t> depth(n), z(n);
      std::vector<std::uint8_t> live(n);
      for (std::size_t i = 0; i < n; ++i) {
        depth[i] = static_cast<std::uint16_t>(rng() % 4 == 0 ? 0x8000 : rng());
        // Equal, just above, just below, and far on either side of the stored value,
        // including values above 0x7FFF where a signed comparison would go wrong.
        const std::uint16_t offs[] = {0, 1, 0xFFFF, 0x8000, 0x1234};
        z[i] = static_cast<std::uint16_t>(depth[i] + offs[rng() % 5]);
        live[i] = rng() % 3 ? 0xFF : 0;
      }
      auto wantDepth = depth;
      auto wantLive = live;
      for (std::size_t i = 0; i < n; ++i) {
        if (wantLive[i] && z[i] <= wantDepth[i])
          wantDepth[i] = z[i];
        else
          wantLive[i] = 0;
      }
      DepthLessEqual16(depth.data(), z.data(), live.data(), n);
      EXPECT_EQ(depth, wantDepth);
      EXPECT_EQ(live, wantLive);
    }
  });
}

TEST(SimdKernels, DepthQuantizationMatchesTheDoublePrecisionRule) {
  // Every float next to each rounding boundary (k + 1/2) / 65535, the ends of
  // the range, values outside it and NaN.
  std::vector<float> z = {0.0f,
                          -0.0f,
                          1.0f,
                          -1.0f,
                          2.0f,
                          1e-30f,
                          -1e-30f,
                          1e30f,
                          std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(),
                          0.4f / 65535,
                          0.6f / 65535};
  for (int k = 0; k < 65535; ++k) {
    float b = static_cast<float>((k + 0.5) / 65535.0);
    for (int i = 0; i < 3; ++i) b = std::nextafter(b, 0.0f);
    for (int i = 0; i < 6; ++i, b = std::nextafter(b, 2.0f)) z.push_back(b);
  }
  std::vector<std::uint16_t> want(z.size());
  for (std::size_t i = 0; i < z.size(); ++i) {
    const float zc = z[i] > 0.0f ? (z[i] < 1.0f ? z[i] : 1.0f) : 0.0f;
    want[i] = static_cast<std::uint16_t>(static_cast<double>(zc) * 65535.0 + 0.5);
  }
  ForEachTarget([&] {
    std::vector<std::uint16_t> got(z.size());
    QuantizeDepth16(z.data(), got.data(), z.size());
    EXPECT_EQ(got, want);
  });
}

TEST(SimdKernels, BlendRoundsEachProductOnItsOwn) {
  ForEachTarget([] {
    // Every alpha with every channel value, against a spread of destinations.
    std::vector<std::uint32_t> src, dst;
    for (std::uint32_t a = 0; a < 256; ++a)
      for (std::uint32_t c = 0; c < 256; c += 3) {
        src.push_back(a << 24 | c << 16 | (255 - c) << 8 | (c * 7 & 255));
        dst.push_back(((c * 13) & 255) << 24 | (a ^ c) << 16 | a << 8 | (255 - a));
      }
    std::vector<std::uint32_t> want(dst.size());
    for (std::size_t i = 0; i < dst.size(); ++i) want[i] = ScalarBlend(src[i], dst[i]);
    for (std::size_t n : kLengths) {
      auto part = dst;
      BlendSrcAlpha(src.data(), part.data(), n);
      for (std::size_t i = 0; i < dst.size(); ++i) ASSERT_EQ(part[i], i < n ? want[i] : dst[i]);
    }
    auto all = dst;
    BlendSrcAlpha(src.data(), all.data(), all.size());
    EXPECT_EQ(all, want);
    // 0x80 alpha over white and black: the products round separately.
    std::uint32_t px = 0xFFFFFFFFu;
    const std::uint32_t half = 0x80FF0000u;
    BlendSrcAlpha(&half, &px, 1);
    EXPECT_EQ(px, ScalarBlend(half, 0xFFFFFFFFu));
  });
}

TEST(SimdKernels, EdgeRowsAndBlockClassesAgreeWithPerPixelEdgeTests) {
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
      // A row of centres within 32 bits, against the direct test.
      std::int32_t e32[3], s32[3];
      for (int k = 0; k < 3; ++k) {
        e32[k] = static_cast<std::int32_t>(at[k] % 4000000);
        s32[k] = static_cast<std::int32_t>(sx[k]);
      }
      const std::size_t n = 1 + static_cast<std::size_t>(trial % 40);
      std::vector<std::uint8_t> row(n);
      EdgeRow(e32, s32, row.data(), n);
      for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<std::int64_t>(i);
        const bool in =
            e32[0] + s32[0] * x >= 0 && e32[1] + s32[1] * x >= 0 && e32[2] + s32[2] * x >= 0;
        ASSERT_EQ(row[i], in ? 0xFF : 0) << i;
      }
    }
  });
}

}  // namespace
}  // namespace refdev::simd
