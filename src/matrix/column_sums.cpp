#include "matrix/column_sums.hpp"

#include <cstddef>

#include "matrix/vector_targets.hpp"

namespace tolvane {

// Built for AVX-512, AVX2 and the baseline and chosen when the program
// starts. Every element is a product and a sum of its own, so the width
// changes no result.
TOLVANE_VECTOR_TARGETS void sumsByColumns(const double* at, int n, const double* x,
                                          double* __restrict y) {
  for (int j = 0; j < n; ++j)
    y[j] = 0.0;
  for (int i = 0; i < n; ++i) {
    const double* __restrict row = at + static_cast<std::ptrdiff_t>(i) * n;
    const double xi = x[i];
    for (int j = 0; j < n; ++j)
      y[j] += row[j] * xi;
  }
}

TOLVANE_VECTOR_TARGETS void riskSumsByColumns(const double* at, int n, const double* extra,
                                              const double* v, const double* floor,
                                              double* __restrict own, double* __restrict gv,
                                              double* __restrict fl) {
  for (int j = 0; j < n; ++j)
    own[j] = gv[j] = fl[j] = 0.0;
  for (int i = 0; i < n; ++i) {
    const double* __restrict row = at + static_cast<std::ptrdiff_t>(i) * n;
    const double e = extra[i], vi = v[i], m = floor[i];
    for (int j = 0; j < n; ++j) {
      const double g = row[j];
      const double g2 = g * g;
      own[j] += g2 * e;
      gv[j] += g * vi;
      fl[j] += g2 * m;
    }
  }
}

}  // namespace tolvane
