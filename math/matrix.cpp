#include "math/matrix.h"

D3DMATRIX MatrixMultiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX out;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
      out.m[i][j] = sum;
    }
  return out;
}
