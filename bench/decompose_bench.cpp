// Timings of the two decompositions at the sizes the program meets: JACOBI
// once per path step on a cross-product matrix of up to 49 predictors, and
// SVDCMP once per analysis on up to 200 observations of 49 predictors.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "matrix/decompose.hpp"
#include "matrix/matrix.hpp"
#include "matrix/rotation.hpp"
#include "matrix/vector_clones.hpp"

namespace {

using tolvane::Array1;
using tolvane::Rows1;

constexpr int kObservations = 200;
constexpr int kPredictors = 49;
constexpr unsigned kSeed = 1234567;

// A fixed observations x predictors matrix of uniform values in [-1, 1).
std::vector<double> fixedData() {
  std::mt19937 rng(kSeed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::vector<double> x(kObservations * kPredictors);
  for (double& e : x)
    e = unit(rng);
  return x;
}

// Its cross-product matrix in single precision, the usual input of JACOBI.
std::vector<float> fixedCrossProduct() {
  const std::vector<double> x = fixedData();
  std::vector<float> c(kPredictors * kPredictors);
  for (int i = 0; i < kPredictors; ++i) {
    for (int j = 0; j < kPredictors; ++j) {
      double s = 0.0;
      for (int r = 0; r < kObservations; ++r)
        s += x[r * kPredictors + i] * x[r * kPredictors + j];
      c[i * kPredictors + j] = static_cast<float>(s);
    }
  }
  return c;
}

// Each iteration copies the input back first, since both routines overwrite
// it; the copy is a few microseconds against milliseconds of work.
void BM_Jacobi49(benchmark::State& state) {
  const int n = kPredictors;
  const std::vector<float> input = fixedCrossProduct();
  Rows1<float> a = tolvane::MATRIX(n, n);
  Rows1<float> v = tolvane::MATRIX(n, n);
  Array1<float> d = tolvane::VECTOR(n);
  int nrot = 0;
  for (auto _ : state) {
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= n; ++j)
        a[i][j] = input[(i - 1) * n + (j - 1)];
    }
    tolvane::JACOBI(a, n, d, v, &nrot);
    benchmark::DoNotOptimize(d.first());
    benchmark::ClobberMemory();
  }
  state.counters["rotations"] = nrot;
  state.SetItemsProcessed(state.iterations() * nrot);
  tolvane::VECTOR_FREE(d);
  tolvane::MATRIX_FREE(v, n);
  tolvane::MATRIX_FREE(a, n);
}
BENCHMARK(BM_Jacobi49)->Unit(benchmark::kMicrosecond);

// The least any rotation of a 49 x 49 JACOBI costs: its element arithmetic
// alone (two rows of the work matrix and two of the eigenvectors), without
// the pivot's divisions and square roots or the bookkeeping. Its items per
// second against BM_Jacobi49's bound what rewriting the rest could gain.
TOLVANE_VECTOR_CLONES void rotateSweeps(float* a, float* v, int n, int rotations) {
  // A rotation by a fixed angle keeps every row's length, so the values
  // stay in range however long it runs; the pairs follow a sweep's order.
  const double c = 0.8, s = 0.6, tau = s / (1.0 + c);
  int p = 0, q = 0;
  for (int k = 0; k < rotations; ++k) {
    if (++q == n) {
      p = p + 1 < n - 1 ? p + 1 : 0;
      q = p + 1;
    }
    tolvane::rotateRows(a + p * n, a + q * n, n, s, tau);
    tolvane::rotateRows(v + p * n, v + q * n, n, s, tau);
  }
}

void BM_RotationArithmetic49(benchmark::State& state) {
  const int n = kPredictors;
  const int rotations = static_cast<int>(state.range(0));
  const std::vector<float> input = fixedCrossProduct();
  std::vector<float> a(input), v(input);
  for (auto _ : state) {
    rotateSweeps(a.data(), v.data(), n, rotations);
    benchmark::DoNotOptimize(a.data());
    benchmark::DoNotOptimize(v.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * rotations);
}
BENCHMARK(BM_RotationArithmetic49)->Arg(6000)->Unit(benchmark::kMicrosecond);

void BM_Svdcmp200x49(benchmark::State& state) {
  const int m = kObservations;
  const int n = kPredictors;
  const std::vector<double> input = fixedData();
  Rows1<double> a = tolvane::DATRIX(m, n);
  Rows1<double> v = tolvane::DATRIX(n, n);
  Array1<double> w = tolvane::DVECTOR(n);
  for (auto _ : state) {
    for (int i = 1; i <= m; ++i) {
      for (int j = 1; j <= n; ++j)
        a[i][j] = input[(i - 1) * n + (j - 1)];
    }
    tolvane::SVDCMP(a, m, n, w, v);
    benchmark::DoNotOptimize(w.first());
    benchmark::ClobberMemory();
  }
  tolvane::DVECTOR_FREE(w);
  tolvane::DATRIX_FREE(v, n);
  tolvane::DATRIX_FREE(a, m);
}
BENCHMARK(BM_Svdcmp200x49)->Unit(benchmark::kMicrosecond);

// Least squares' decomposition of a wide data set, as bench/wide-vs-numpy
// sets it against numpy's SVD.
void BM_SvdcmpQr3000x1000(benchmark::State& state) {
  const int m = 3000, n = 1000;
  std::mt19937_64 rng(1);
  std::normal_distribution<double> z;
  std::vector<double> input(static_cast<std::size_t>(m) * n);
  for (double& x : input)
    x = z(rng);
  Rows1<double> a = tolvane::DATRIX(m, n);
  Rows1<double> v = tolvane::DATRIX(n, n);
  Array1<double> w = tolvane::DVECTOR(n);
  for (auto _ : state) {
    for (int i = 1; i <= m; ++i) {
      for (int j = 1; j <= n; ++j)
        a[i][j] = input[static_cast<std::size_t>(i - 1) * n + (j - 1)];
    }
    if (!tolvane::SVDCMP_QR(a, m, n, w, v)) state.SkipWithError("no memory");
    benchmark::DoNotOptimize(w.first());
    benchmark::ClobberMemory();
  }
  tolvane::DVECTOR_FREE(w);
  tolvane::DATRIX_FREE(v, n);
  tolvane::DATRIX_FREE(a, m);
}
BENCHMARK(BM_SvdcmpQr3000x1000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
