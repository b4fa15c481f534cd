// The element arithmetic of one Jacobi rotation, shared by JACOBI and the
// benchmark that measures how fast this arithmetic alone can run.
#pragma once

#include "matrix/matrix.hpp"

namespace tolvane {

// Rotates the pairs (x[j], y[j]), j = 0..n-1: both new values come from the
// old ones, each computed in double and rounded once on the store. The two
// rows never overlap, so the compiler may run several pairs at once; every
// element gets the same arithmetic.
inline void rotateRows(float* __restrict x, float* __restrict y, int n, double s, double tau) {
  for (int j = 0; j < n; ++j) {
    const double x0 = x[j];
    const double y0 = y[j];
    x[j] = toFloat(x0 - s * (y0 + x0 * tau));
    y[j] = toFloat(y0 + s * (x0 - y0 * tau));
  }
}

}  // namespace tolvane
