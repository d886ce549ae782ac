// The runtime's generator: the reference PCG32 sequence, seeds that repeat
// or differ, and singles in [0, 1) that are multiples of 2^-24.
#include "runtime/random.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

TEST(RandomGenerator, MatchesTheReferencePcg32Sequence) {
  // pcg32_srandom(42, 54) of the reference implementation.
  RandomGenerator rng;
  rng.SeedStream(42u, 54u);
  const std::array<std::uint32_t, 6> expected = {0xa15c02b7u, 0x7b47f409u, 0xba1d3330u,
                                                 0x83d2f293u, 0xbfa4784bu, 0xcbed606eu};
  for (std::uint32_t e : expected) EXPECT_EQ(rng.NextBits(), e);
}

// A seed restarts its sequence whatever was drawn before; the time of day a
// few milliseconds later, or -0 for 0, gives another one.
TEST(RandomGenerator, ASeedRestartsItsSequenceAndNearbySeedsDiffer) {
  RandomGenerator a, b, c, zero, minusZero;
  a.Seed(43210.5);
  for (int i = 0; i < 10; ++i) a.Next();
  a.Seed(43210.5);
  b.Seed(43210.5);
  c.Seed(43210.51);
  zero.Seed(0.0);
  minusZero.Seed(-0.0);
  EXPECT_NE(zero.NextBits(), minusZero.NextBits());
  int same = 0;
  double sum = 0.0;
  for (int i = 0; i < 100000; ++i) {
    const float v = b.Next();
    ASSERT_EQ(a.Next(), v) << i;
    same += c.Next() == v;
    // In [0, 1), a multiple of 2^-24: never rounded up to 1.
    ASSERT_TRUE(v >= 0.0f && v < 1.0f && std::ldexp(std::floor(std::ldexp(v, 24)), -24) == v) << v;
    sum += v;
  }
  EXPECT_LT(same, 3);
  EXPECT_NEAR(sum / 100000, 0.5, 0.005);
}

}  // namespace
