// The column-wise products must give the very bits of a row-by-row dot
// product (the traces' golden files and the thread-count checks rest on
// that), for every size, including those that leave a partial vector.
#include "matrix/column_sums.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace tolvane {
namespace {

bool sameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(ColumnSums, SameBitsAsRowByRowDotProducts) {
  std::mt19937_64 rng(11);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (int n : {1, 2, 7, 8, 9, 16, 17, 49, 50}) {
    SCOPED_TRACE(n);
    const auto size = static_cast<std::size_t>(n);
    std::vector<double> A(size * size), at(size * size), x(size), extra(size), floor(size);
    for (int j = 0; j < n; ++j) {
      x[j] = normal(rng) * 1e3;
      extra[j] = normal(rng);
      floor[j] = std::abs(normal(rng)) * 1e-4;
      for (int i = 0; i < n; ++i)
        A[j * size + i] = normal(rng) / (1 + i);  // rows of mixed scale
    }
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i)
        at[i * size + j] = A[j * size + i];

    std::vector<double> y(size), own(size), gv(size), fl(size);
    sumsByColumns(at.data(), n, x.data(), y.data());
    riskSumsByColumns(at.data(), n, extra.data(), x.data(), floor.data(), own.data(), gv.data(),
                      fl.data());
    for (int j = 0; j < n; ++j) {
      double dot = 0.0, o = 0.0, g = 0.0, f = 0.0;
      for (int i = 0; i < n; ++i) {
        const double a = A[j * size + i];
        dot += a * x[i];
        o += a * a * extra[i];
        g += a * x[i];
        f += a * a * floor[i];
      }
      EXPECT_TRUE(sameBits(y[j], dot)) << "row " << j << ": " << y[j] << " vs " << dot;
      EXPECT_TRUE(sameBits(own[j], o)) << "row " << j;
      EXPECT_TRUE(sameBits(gv[j], g)) << "row " << j;
      EXPECT_TRUE(sameBits(fl[j], f)) << "row " << j;
    }
  }
}

}  // namespace
}  // namespace tolvane
