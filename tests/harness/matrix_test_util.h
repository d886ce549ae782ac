// Matrices for tests, written row by row and compared element by element.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>

#include "platform/d3d8types.h"

namespace test_helpers {

inline D3DMATRIX Rows(std::initializer_list<float> v) {
  D3DMATRIX m{};
  int i = 0;
  for (float x : v) {
    m.m[i / 4][i % 4] = x;
    ++i;
  }
  return m;
}

inline const D3DMATRIX kIdentity = Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});

inline void ExpectMatrixNear(const D3DMATRIX& actual, const D3DMATRIX& expected, float tol) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      EXPECT_NEAR(actual.m[i][j], expected.m[i][j], tol) << "element _" << i + 1 << j + 1;
}

}  // namespace test_helpers
