// A completed least-squares analysis built in the test, in double precision
// and independently of the engine: data from a fixed generator, standardized
// as "Center and ReScale" does, decomposed by a plain cyclic Jacobi on X'X.
// The state receives the results rounded to single precision, as the
// analysis would leave them; the double values stay here as truths.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/analysis_state.hpp"

namespace tolvane::test::synth {

struct Options {
  int N = 30;
  int P = 4;
  std::uint32_t seed = 1;
  double collinearity = 0.6;  // share of a common factor in every predictor
  double noise = 0.8;         // response noise against the signal
  int duplicateOf = 0;        // when > 0, the last predictor repeats this one
};

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : state_(seed * 2654435761u + 12345u) {}
  double uniform() {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) / 16777216.0;
  }
  // Roughly normal: a sum of twelve uniforms.
  double normal() {
    double s = -6.0;
    for (int i = 0; i < 12; ++i)
      s += uniform();
    return s;
  }

 private:
  std::uint32_t state_;
};

struct Analysis {
  int N = 0, P = 0, rank = 0;
  std::vector<std::vector<double>> X;  // N x P, standardized, [i][j] 0-based
  std::vector<double> y;               // standardized response
  std::vector<double> xstd;            // predictor standard deviations
  double ystd = 0.0;
  std::vector<std::vector<double>> XtX;  // P x P
  std::vector<double> Xty;
  std::vector<double> sv;              // descending; 0 for dropped axes
  std::vector<std::vector<double>> G;  // P x P, axis k in column k
  std::vector<double> ucomp, pcor, tstat;
  double rsq = 0.0, tss = 0.0, s2 = 0.0;
};

// Cyclic Jacobi in double for a symmetric matrix: eigenvalues and vectors
// (columns), sorted descending.
inline void symmetricEigen(std::vector<std::vector<double>> a, std::vector<double>& values,
                           std::vector<std::vector<double>>& vectors) {
  const int n = static_cast<int>(a.size());
  vectors.assign(n, std::vector<double>(n, 0.0));
  for (int i = 0; i < n; ++i)
    vectors[i][i] = 1.0;
  for (int sweep = 0; sweep < 100; ++sweep) {
    double off = 0.0;
    for (int p = 0; p < n; ++p)
      for (int q = p + 1; q < n; ++q)
        off += a[p][q] * a[p][q];
    if (off < 1e-30) break;
    for (int p = 0; p < n; ++p) {
      for (int q = p + 1; q < n; ++q) {
        if (a[p][q] == 0.0) continue;
        const double theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
        const double t =
            (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
        const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
        for (int k = 0; k < n; ++k) {
          const double akp = a[k][p], akq = a[k][q];
          a[k][p] = c * akp - s * akq;
          a[k][q] = s * akp + c * akq;
        }
        for (int k = 0; k < n; ++k) {
          const double apk = a[p][k], aqk = a[q][k];
          a[p][k] = c * apk - s * aqk;
          a[q][k] = s * apk + c * aqk;
        }
        for (int k = 0; k < n; ++k) {
          const double vkp = vectors[k][p], vkq = vectors[k][q];
          vectors[k][p] = c * vkp - s * vkq;
          vectors[k][q] = s * vkp + c * vkq;
        }
      }
    }
  }
  std::vector<int> order(n);
  for (int i = 0; i < n; ++i)
    order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](int i, int j) { return a[i][i] > a[j][j]; });
  values.assign(n, 0.0);
  std::vector<std::vector<double>> sorted(n, std::vector<double>(n));
  for (int k = 0; k < n; ++k) {
    values[k] = a[order[k]][order[k]];
    for (int i = 0; i < n; ++i)
      sorted[i][k] = vectors[i][order[k]];
  }
  vectors = std::move(sorted);
}

// Solves A x = b by Gaussian elimination with partial pivoting.
inline std::vector<double> solve(std::vector<std::vector<double>> A, std::vector<double> b) {
  const int n = static_cast<int>(b.size());
  for (int c = 0; c < n; ++c) {
    int piv = c;
    for (int r = c + 1; r < n; ++r)
      if (std::fabs(A[r][c]) > std::fabs(A[piv][c])) piv = r;
    std::swap(A[c], A[piv]);
    std::swap(b[c], b[piv]);
    for (int r = c + 1; r < n; ++r) {
      const double f = A[r][c] / A[c][c];
      for (int k = c; k < n; ++k)
        A[r][k] -= f * A[c][k];
      b[r] -= f * b[c];
    }
  }
  std::vector<double> x(n);
  for (int r = n - 1; r >= 0; --r) {
    double s = b[r];
    for (int k = r + 1; k < n; ++k)
      s -= A[r][k] * x[k];
    x[r] = s / A[r][r];
  }
  return x;
}

inline Analysis analyse(const Options& o) {
  Analysis d;
  d.N = o.N;
  d.P = o.P;
  Generator gen(o.seed);
  std::vector<std::vector<double>> raw(o.N, std::vector<double>(o.P));
  std::vector<double> ry(o.N);
  for (int i = 0; i < o.N; ++i) {
    const double common = gen.normal();
    for (int j = 0; j < o.P; ++j) {
      raw[i][j] = 3.0 * (j + 1) + (j + 1) * (o.collinearity * common + gen.normal());
    }
    if (o.duplicateOf > 0) raw[i][o.P - 1] = raw[i][o.duplicateOf - 1];
    double signal = 0.0;
    for (int j = 0; j < o.P; ++j)
      signal += (j % 2 == 0 ? 1.0 : -0.5) * raw[i][j] / (j + 1);
    ry[i] = 10.0 + signal + o.noise * gen.normal();
  }
  auto standardize = [&](std::vector<double> col, double& sd) {
    double mean = 0.0;
    for (double v : col)
      mean += v;
    mean /= col.size();
    double ss = 0.0;
    for (double& v : col) {
      v -= mean;
      ss += v * v;
    }
    sd = std::sqrt(ss / (col.size() - 1));
    for (double& v : col)
      v /= sd;
    return col;
  };
  d.X.assign(o.N, std::vector<double>(o.P));
  d.xstd.assign(o.P, 0.0);
  for (int j = 0; j < o.P; ++j) {
    std::vector<double> col(o.N);
    for (int i = 0; i < o.N; ++i)
      col[i] = raw[i][j];
    col = standardize(col, d.xstd[j]);
    for (int i = 0; i < o.N; ++i)
      d.X[i][j] = col[i];
  }
  d.y = standardize(ry, d.ystd);

  d.XtX.assign(o.P, std::vector<double>(o.P, 0.0));
  d.Xty.assign(o.P, 0.0);
  for (int i = 0; i < o.N; ++i) {
    for (int j = 0; j < o.P; ++j) {
      d.Xty[j] += d.X[i][j] * d.y[i];
      for (int k = 0; k < o.P; ++k)
        d.XtX[j][k] += d.X[i][j] * d.X[i][k];
    }
  }
  for (int i = 0; i < o.N; ++i)
    d.tss += d.y[i] * d.y[i];

  std::vector<double> lambda;
  symmetricEigen(d.XtX, lambda, d.G);
  d.sv.assign(o.P, 0.0);
  d.ucomp.assign(o.P, 0.0);
  d.pcor.assign(o.P, 0.0);
  d.tstat.assign(o.P, 0.0);
  const double eps = 1.0e-5;
  const double sv1 = std::sqrt(std::max(lambda[0], 0.0));
  double explained = 0.0;
  for (int k = 0; k < o.P; ++k) {
    const double sv = std::sqrt(std::max(lambda[k], 0.0));
    if (sv <= eps || sv <= eps * eps * sv1) continue;
    d.sv[k] = sv;
    ++d.rank;
    double gty = 0.0;  // (G' X'y)_k = sv_k (U'y)_k
    for (int j = 0; j < o.P; ++j)
      gty += d.G[j][k] * d.Xty[j];
    d.ucomp[k] = gty / (sv * sv);
    d.pcor[k] = gty / (sv * std::sqrt(d.tss));
    explained += (gty / sv) * (gty / sv);
  }
  d.s2 = (d.tss - explained) / (o.N - d.rank - 1);
  const double pcse = std::sqrt(d.s2 / d.tss);
  for (int k = 0; k < d.rank; ++k) {
    d.tstat[k] = d.pcor[k] / pcse;
    d.rsq += d.pcor[k] * d.pcor[k];
  }
  return d;
}

// The ridge solution (X'X + kI)^-1 X'y on the standardized data.
inline std::vector<double> ridge(const Analysis& d, double k) {
  std::vector<std::vector<double>> A = d.XtX;
  for (int j = 0; j < d.P; ++j)
    A[j][j] += k;
  return solve(A, d.Xty);
}

// Least squares coefficients over the kept axes (minimum length).
inline std::vector<double> leastSquares(const Analysis& d) {
  std::vector<double> b(d.P, 0.0);
  for (int k = 0; k < d.rank; ++k)
    for (int j = 0; j < d.P; ++j)
      b[j] += d.G[j][k] * d.ucomp[k];
  return b;
}

// Puts the analysis into the state as a finished least-squares run would.
inline void fill(AnalysisState& s, const Analysis& d, int scalecode = 1) {
  s.precision = Precision::kSingle;
  s.N = d.N;
  s.P = d.P;
  s.RANK = d.rank;
  s.XPXFORM = 0;
  s.SCALECODE = scalecode;
  s.LSPEND = 0;
  s.EPS = 1.0e-5f;
  s.EQUALSV = 0;
  s.RSQ = toFloat(d.rsq);
  s.YSTD = toFloat(d.ystd);
  auto vec = [&](VectorRec& v, const std::vector<double>& src) {
    v.allocate(d.P);
    for (int j = 0; j < d.P; ++j)
      v.data[j + 1] = toFloat(src[j]);
  };
  vec(s.SVAL, d.sv);
  vec(s.UCOMP, d.ucomp);
  vec(s.PCOR, d.pcor);
  vec(s.PCTSTAT, d.tstat);
  vec(s.XSTD, d.xstd);
  vec(s.BOLS, leastSquares(d));
  s.DCOS.allocate(d.P, d.P);
  s.XPXFIT.allocate(d.P, d.P);
  for (int i = 0; i < d.P; ++i) {
    for (int j = 0; j < d.P; ++j) {
      s.DCOS.data[i + 1][j + 1] = toFloat(d.G[i][j]);
      s.XPXFIT.data[i + 1][j + 1] = toFloat(d.XtX[i][j]);
    }
  }
}

}  // namespace tolvane::test::synth
