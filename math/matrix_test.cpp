#include "math/matrix.h"

#include <gtest/gtest.h>

#include "tests/harness/matrix_test_util.h"

namespace {

using test_helpers::Rows;

// The first factor applies first. Each element is summed from k = 0 up,
// rounding each product and each sum to single precision: 1e8 + 1 absorbs the
// 1, so only that order gives 1 (reversed or pairwise sums give 0, a wider
// sum 2); the rounded square of 1 + 2^-12 cancels exactly, where a fused
// multiply-add would keep the 2^-24 it rounded away.
TEST(MatrixMultiply, AppliesTheFirstFactorFirstSummingInOrderInSingles) {
  const D3DMATRIX a = Rows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  const D3DMATRIX b = Rows({2, 0, 1, 0, 0, 3, 0, 1, 1, 0, 0, 2, 0, 1, 1, 0});
  test_helpers::ExpectMatrixNear(
      MatrixMultiply(a, b), Rows({5, 10, 5, 8, 17, 26, 13, 20, 29, 42, 21, 32, 41, 58, 29, 44}), 0);
  const float a1 = 1.000244140625f;  // 1 + 2^-12
  const float a2 = 1.00048828125f;   // 1 + 2^-11, the square of a1 rounded
  const D3DMATRIX m = MatrixMultiply(Rows({1e8f, 1, -1e8f, 1, -a2, a1}),
                                     Rows({1, 1, 0, 0, 1, a1, 0, 0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(m.m[0][0], 1.0f);
  EXPECT_EQ(m.m[1][1], 0.0f);
}

}  // namespace
