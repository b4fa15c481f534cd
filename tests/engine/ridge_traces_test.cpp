#include "engine/ridge_traces.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "engine/delta_step.hpp"
#include "engine/extent_criteria.hpp"
#include "matrix/decompose.hpp"
#include "report/report.hpp"
#include "support/refused_threads.hpp"
#include "support/synthetic_analysis.hpp"

namespace tolvane {
namespace {

std::string fileText(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  for (int ch; (ch = std::fgetc(f)) != EOF;)
    text.push_back(static_cast<char>(ch));
  return text;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      out.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return out;
}

bool sameBits(const MatrixRec& a, const MatrixRec& b) {
  if (a.rows != b.rows || a.cols != b.cols) return false;
  for (int i = 1; i <= a.rows; ++i) {
    if (std::memcmp(a.data.row(i), b.data.row(i), sizeof(double) * a.cols) != 0) return false;
  }
  return true;
}

double maxAbs(const std::vector<double>& v) {
  double m = 0.0;
  for (double x : v)
    m = std::max(m, std::fabs(x));
  return m;
}

// The traces as the plain matrix formulation computes them, each step through
// the toolkit operations (MYQBYVYQ, MYQMULTP, MYQTRANS, MYQINERP, MYQLCOMB,
// JACOBI, EIGEN_SORT): RIDGE_TRACES must give the same bits.
struct PlainTraces {
  MatrixRec C, R, E, I, D;
};
PlainTraces plainTraces(AnalysisState& s) {
  const int n = s.NSTEPS, p = s.P, r = s.RANK;
  PlainTraces out;
  MYQCONST(&out.C, n, p, 0.0);
  MYQCONST(&out.R, n, p, 0.0);
  MYQCONST(&out.E, n, p, 0.0);
  MYQCONST(&out.I, n, p, 0.0);
  MYQCONST(&s.DYQ, n, p, 1.0);
  VectorRec a, b, v, m, e;
  VYQCONST(&a, p, 0.0);
  const MatrixRec& G = s.DCOS;
  double k = 0.0;
  for (int st = 1; st <= n; ++st) {
    k = DELTA_STEP(s, st, k);
    const Array1<double> delta = s.DYQ.data[st];
    for (int i = 1; i <= r; ++i)
      a.data[i] = toFloat(static_cast<double>(delta[i]) * s.UCOMP.data[i]);
    MYQBYVYQ(&b, a, G);
    for (int j = 1; j <= p; ++j)
      out.C.data[st][j] = b.data[j];
    VYQCONST(&v, p, 0.0);
    for (int j = 1; j <= r; ++j) {
      if (delta[j] < 1.0f) {
        v.data[j] =
            toFloat((1.0 - delta[j]) * (static_cast<double>(s.PCTSTAT.data[j]) / s.SVAL.data[j]));
      }
    }
    const float F = toFloat(static_cast<double>(s.N - r - 3) / (s.N - r - 1));
    MatrixRec M, GM, Gt, Rk, R0, Dm, A, V, W;
    MYQCONST(&M, p, p, 0.0);
    VYQCONST(&m, p, 0.0);
    for (int i = 1; i <= p; ++i)
      for (int j = 1; j <= p; ++j)
        M.data[i][j] = toFloat(static_cast<double>(F) * v.data[i] * v.data[j]);
    for (int i = 1; i <= r; ++i) {
      const double sv = s.SVAL.data[i];
      M.data[i][i] = toFloat((2.0 * delta[i] - 1.0) / (sv * sv) + M.data[i][i]);
      m.data[i] = toFloat((delta[i] / sv) * (delta[i] / sv));
    }
    for (int i = 1; i <= p; ++i)
      if (M.data[i][i] < m.data[i]) M.data[i][i] = m.data[i];
    MYQMULTP(&GM, G, M);
    MYQTRANS(&Gt, G);
    MYQMULTP(&Rk, GM, Gt);
    MYQINERP(&R0, G, m);
    for (int j = 1; j <= p; ++j) {
      out.R.data[st][j] = Rk.data[j][j] < R0.data[j][j] ? R0.data[j][j] : Rk.data[j][j];
    }
    MYQCONST(&Dm, p, p, 0.0);
    for (int i = 1; i <= r; ++i) {
      Dm.data[i][i] = toFloat(1.0 / (static_cast<double>(s.SVAL.data[i]) * s.SVAL.data[i]));
    }
    MYQLCOMB(&A, Dm, M, -1.0);
    float sigma = std::fabs(A.data[1][1]);
    for (int i = 2; i <= p; ++i)
      if (sigma > std::fabs(A.data[i][i])) sigma = std::fabs(A.data[i][i]);
    if (sigma > s.EPS) {
      sigma = toFloat(sigma / 100.0);
      for (int i = 1; i <= p; ++i)
        for (int j = 1; j <= p; ++j)
          A.data[i][j] = toFloat(A.data[i][j] / static_cast<double>(sigma));
    } else {
      sigma = 1.0f;
    }
    MYQCONST(&V, p, p, 0.0);
    VYQCONST(&e, p, 0.0);
    int nrot = 0;
    SYMMETRIC_EIGEN(A.data, p, e.data, V.data, &nrot);
    EIGEN_SORT(e.data, V.data, p);
    for (int j = 1; j <= p; ++j)
      out.E.data[st][j] = toFloat(static_cast<double>(sigma) * e.data[j]);
    MYQMULTP(&W, G, V);
    std::vector<float> w(p + 1);
    for (int j = 1; j <= p; ++j)
      w[j] = W.data[j][p];
    if (s.SCALECODE == 2) {
      float ss = 0.0f;
      for (int j = 1; j <= p; ++j) {
        w[j] = toFloat(static_cast<double>(w[j]) * s.XSTD.data[j]);
        ss = toFloat(ss + static_cast<double>(w[j]) * w[j]);
      }
      const float L = toFloat(std::sqrt(static_cast<double>(ss)));
      if (L >= s.EPS)
        for (int j = 1; j <= p; ++j)
          w[j] = toFloat(w[j] / static_cast<double>(L));
    }
    if (st > 1 && e.data[p] < -s.EPS && e.data[1] > s.EPS) {
      float dd = 0.0f;
      for (int j = 1; j <= p; ++j)
        dd = toFloat(dd + static_cast<double>(out.I.data[st - 1][j]) * w[j]);
      for (int j = 1; j <= p; ++j)
        out.I.data[st][j] = dd >= 0.0f ? w[j] : toFloat(0.0 - w[j]);
    }
    if (s.SCALECODE == 2) {
      for (int j = 1; j <= p; ++j) {
        if (s.XSTD.data[j] >= s.EPS) {
          const double ratio = static_cast<double>(s.YSTD) / s.XSTD.data[j];
          out.C.data[st][j] = toFloat(ratio * out.C.data[st][j]);
          out.R.data[st][j] = toFloat(ratio * ratio * out.R.data[st][j]);
        }
      }
    }
  }
  float dd = 0.0f;
  for (int j = 1; j <= p; ++j)
    dd = toFloat(dd + static_cast<double>(out.I.data[n][j]) * out.C.data[1][j]);
  if (dd < 0.0f)
    for (int st = 1; st <= n; ++st)
      for (int j = 1; j <= p; ++j)
        out.I.data[st][j] = toFloat(0.0 - out.I.data[st][j]);
  MYQ_COPY(&out.D, s.DYQ);
  return out;
}

class RidgeTraces : public ::testing::Test {
 protected:
  // These tests pin single-precision bits.
  PrecisionScope single_{Precision::kSingle};
  void SetUp() override {
    resetReportStore();
    mark_ = reportCounters().linesWritten;
  }

  void analysed(const test::synth::Options& o, int scalecode = 1) {
    d = test::synth::analyse(o);
    test::synth::fill(s, d, scalecode);
    s.files.TRACEFILE = std::tmpfile();
    ASSERT_NE(s.files.TRACEFILE, nullptr);
  }
  void analysed(int P, int N = 40) {
    test::synth::Options o;
    o.P = P;
    o.N = N;
    analysed(o);
  }

  // The path settings Select Shape would make.
  void pathOf(PathShape shape, float q, int msteps) {
    s.SHAPECODE = shape;
    s.QSHAPE = q;
    s.MSTEPS = msteps;
    s.NSTEPS = s.RANK * msteps + 1;
    for (int i = 1; i <= s.P; ++i) {
      s.QWEIGHT[i] = i > s.RANK  ? 0.0
                     : q == 1.0f ? 1.0
                                 : std::pow(static_cast<double>(s.SVAL.data[i]), 2.0 * (q - 1.0));
    }
  }

  // The constants DELTA_STEP gives along the path (it keeps no state).
  std::vector<double> constants() {
    MatrixRec keep;
    MYQ_COPY(&keep, s.DYQ);
    MYQCONST(&s.DYQ, s.NSTEPS, s.P, 0.0);
    std::vector<double> k(s.NSTEPS + 1, 0.0);
    double kk = 0.0;
    for (int step = 1; step <= s.NSTEPS; ++step)
      k[step] = kk = DELTA_STEP(s, step, kk);
    s.DYQ = std::move(keep);
    return k;
  }

  std::vector<double> row(const MatrixRec& m, int step) const {
    std::vector<double> r(m.cols);
    for (int j = 1; j <= m.cols; ++j)
      r[j - 1] = m.data[step][j];
    return r;
  }

  // The excess matrix of a step in component coordinates, in double: least
  // squares variances less the estimated mean squared error of the shrunken
  // components (variance delta^2 / sv^2 plus the estimated squared bias
  // (1 - delta)^2 (F t^2 - 1) / sv^2, never below the variance).
  std::vector<std::vector<double>> excess(int step,
                                          std::vector<double>* floorDiag = nullptr) const {
    const int p = s.P, r = s.RANK;
    const double F = static_cast<double>(s.N - r - 3) / (s.N - r - 1);
    std::vector<double> v(p, 0.0), mse(p, 0.0), var(p, 0.0);
    for (int i = 0; i < r; ++i) {
      const double delta = s.DYQ.data[step][i + 1], sv = s.SVAL.data[i + 1];
      const double t = s.PCTSTAT.data[i + 1];
      if (delta < 1.0) v[i] = (1.0 - delta) * t / sv;
      var[i] = delta * delta / (sv * sv);
      mse[i] = std::max(var[i], var[i] + (1 - delta) * (1 - delta) * (F * t * t - 1) / (sv * sv));
    }
    std::vector<std::vector<double>> A(p, std::vector<double>(p, 0.0));
    for (int i = 0; i < p; ++i) {
      for (int j = 0; j < p; ++j)
        A[i][j] = -F * v[i] * v[j];
      if (i < r) {
        A[i][i] = 1.0 / (static_cast<double>(s.SVAL.data[i + 1]) * s.SVAL.data[i + 1]) - mse[i];
      }
    }
    if (floorDiag != nullptr) *floorDiag = var;
    return A;
  }

  AnalysisState s;
  test::synth::Analysis d;
  int mark_ = 0;
};

TEST_F(RidgeTraces, QZeroCoefficientsAreTheRidgeSolutions) {
  analysed(5);
  ASSERT_EQ(s.RANK, 5);
  pathOf(PathShape::kQShape, 0.0f, 4);
  RIDGE_TRACES(s, 1);
  const std::vector<double> k = constants();
  const std::vector<double> ols = test::synth::solve(d.XtX, d.Xty);
  // The stored deltas stand one Newton step short of the returned constant:
  // their sum is off by at most EPS, each coefficient by EPS times the
  // largest component; float storage adds a few units in the 7th digit.
  const double tol = 1e-5 * maxAbs(d.ucomp) + 1e-5 * maxAbs(ols);
  for (int step = 1; step < s.NSTEPS; ++step) {
    const std::vector<double> truth = step == 1 ? ols : test::synth::ridge(d, k[step]);
    const std::vector<double> got = row(s.CYQ, step);
    for (int j = 0; j < s.P; ++j)
      EXPECT_NEAR(got[j], truth[j], tol) << step << " " << j;
  }
  for (int j = 1; j <= s.P; ++j)
    EXPECT_EQ(s.CYQ.data[s.NSTEPS][j], 0.0f);
}

TEST_F(RidgeTraces, QOneShrinksLeastSquaresUniformly) {
  analysed(4);
  pathOf(PathShape::kQShape, 1.0f, 8);
  RIDGE_TRACES(s, 1);
  const std::vector<double> ols = test::synth::solve(d.XtX, d.Xty);
  for (int step = 1; step <= s.NSTEPS; ++step) {
    const double share = (s.RANK - (step - 1) / 8.0) / s.RANK;
    for (int j = 0; j < s.P; ++j) {
      EXPECT_NEAR(s.CYQ.data[step][j + 1], share * ols[j], 2e-6 * maxAbs(ols)) << step << " " << j;
    }
  }
}

TEST_F(RidgeTraces, FirstStepIsLeastSquaresWithNoExcessAndNoDirection) {
  analysed(5);
  for (const PathShapeNames& family : kPathShapes) {
    pathOf(family.shape, -2.0f, 4);
    RIDGE_TRACES(s, 1);
    // Relative risks of least squares: the diagonal of (X'X)^-1.
    for (int j = 0; j < s.P; ++j) {
      std::vector<double> e(s.P, 0.0);
      e[j] = 1.0;
      const double inv = test::synth::solve(d.XtX, e)[j];
      EXPECT_NEAR(s.RYQ.data[1][j + 1], inv, 1e-5 * inv) << family.word << " " << j;
      EXPECT_EQ(s.EYQ.data[1][j + 1], 0.0f);
      EXPECT_EQ(s.IYQ.data[1][j + 1], 0.0f);
      EXPECT_EQ(s.DYQ.data[1][j + 1], 1.0f);
      EXPECT_EQ(s.CYQ.data[s.NSTEPS][j + 1], 0.0f);
    }
  }
}

TEST_F(RidgeTraces, DeltaRowsSumToTheRemainingRankAndMatchTheCriteria) {
  analysed(6);
  for (const PathShapeNames& family : kPathShapes) {
    pathOf(family.shape, 0.5f, 8);
    s.RSQ = toFloat(d.rsq);
    EXTENT_CRITERIA(s);
    MatrixRec criteriaDeltas;
    MYQ_COPY(&criteriaDeltas, s.DYQ);
    RIDGE_TRACES(s, 1);
    EXPECT_TRUE(sameBits(criteriaDeltas, s.DYQ)) << family.word;
    const double tol = (family.shape == PathShape::kLasso ? 1e-10 : 1e-5) + s.RANK * 6e-8;
    for (int step = 1; step <= s.NSTEPS; ++step) {
      double sum = 0.0;
      for (int i = 1; i <= s.RANK; ++i)
        sum += s.DYQ.data[step][i];
      EXPECT_NEAR(sum, s.RANK - (step - 1) / 8.0, tol) << family.word << " " << step;
    }
  }
}

// Relative risks and excess eigenvalues against the estimated mean squared
// error built in double, with the bias weight (N - r - 3) / (N - r - 1).
TEST_F(RidgeTraces, RisksAndExcessEigenvaluesFollowTheEstimatedMeanSquaredError) {
  test::synth::Options o;
  o.P = 5;
  o.N = 12;  // few observations: the bias weight 4/6 matters
  o.noise = 0.3;
  analysed(o);
  // A weak component: its estimated squared bias would be negative, and its
  // risk is held at its variance.
  s.PCTSTAT.data[3] = 0.4f;
  pathOf(PathShape::kGarrote, 0.0f, 4);
  RIDGE_TRACES(s, 1);
  const int p = s.P;
  for (int step = 2; step <= s.NSTEPS; ++step) {
    std::vector<double> var;
    const std::vector<std::vector<double>> A = excess(step, &var);
    // Risk of coefficient j: diag of G (D - A) G', floored at G diag(var) G'.
    for (int j = 1; j <= p; ++j) {
      double risk = 0.0, floor = 0.0;
      for (int a = 0; a < p; ++a) {
        const double ga = s.DCOS.data[j][a + 1];
        floor += ga * ga * var[a];
        for (int b = 0; b < p; ++b) {
          const double gb = s.DCOS.data[j][b + 1];
          const double lsq =
              (a == b && a < s.RANK)
                  ? 1.0 / (static_cast<double>(s.SVAL.data[a + 1]) * s.SVAL.data[a + 1])
                  : 0.0;
          risk += ga * (lsq - A[a][b]) * gb;
        }
      }
      const double truth = std::max(risk, floor);
      EXPECT_NEAR(s.RYQ.data[step][j], truth, 1e-4 * (std::fabs(truth) + 1e-3)) << step << " " << j;
    }
    std::vector<double> eig;
    std::vector<std::vector<double>> vec;
    test::synth::symmetricEigen(A, eig, vec);
    const double scale = std::max(std::fabs(eig.front()), std::fabs(eig.back()));
    for (int j = 0; j < p; ++j) {
      EXPECT_NEAR(s.EYQ.data[step][j + 1], eig[j], 1e-4 * scale) << step << " " << j;
    }
  }
}

TEST_F(RidgeTraces, InferiorDirectionIsTheWorstEigenvectorKeptInOneSense) {
  analysed(5, 25);
  pathOf(PathShape::kQShape, -1.0f, 8);
  RIDGE_TRACES(s, 1);
  const int p = s.P;
  int nonzero = 0;
  for (int step = 2; step <= s.NSTEPS; ++step) {
    std::vector<double> w = row(s.IYQ, step);
    double len = 0.0;
    for (double x : w)
      len += x * x;
    if (len == 0.0) continue;
    ++nonzero;
    EXPECT_NEAR(len, 1.0, 1e-5) << step;
    EXPECT_LT(s.EYQ.data[step][p], 0.0f);
    EXPECT_GT(s.EYQ.data[step][1], 0.0f);
    // In component coordinates it is an eigenvector of the smallest
    // excess eigenvalue.
    const std::vector<std::vector<double>> A = excess(step);
    std::vector<double> u(p, 0.0);
    for (int i = 0; i < p; ++i)
      for (int j = 0; j < p; ++j)
        u[i] += s.DCOS.data[j + 1][i + 1] * w[j];
    std::vector<double> eig;
    std::vector<std::vector<double>> vec;
    test::synth::symmetricEigen(A, eig, vec);
    for (int i = 0; i < p; ++i) {
      double Au = 0.0;
      for (int j = 0; j < p; ++j)
        Au += A[i][j] * u[j];
      EXPECT_NEAR(Au, eig.back() * u[i], 1e-3 * std::fabs(eig.front())) << step << " " << i;
    }
    // Consecutive directions keep one sense.
    const std::vector<double> prev = row(s.IYQ, step - 1);
    double dot = 0.0;
    for (int j = 0; j < p; ++j)
      dot += prev[j] * w[j];
    EXPECT_GE(dot, 0.0) << step;
  }
  EXPECT_GT(nonzero, s.NSTEPS / 2);
  // The last direction makes an acute angle with least squares.
  double dot = 0.0;
  for (int j = 1; j <= p; ++j)
    dot += s.IYQ.data[s.NSTEPS][j] * s.CYQ.data[1][j];
  EXPECT_GE(dot, 0.0);
}

TEST_F(RidgeTraces, GivenScaleConvertsCoefficientsRisksAndDirectionsOnly) {
  test::synth::Options o;
  o.P = 4;
  analysed(o, 1);
  pathOf(PathShape::kCrosr, 0.0f, 4);
  RIDGE_TRACES(s, 1);
  AnalysisState t;
  test::synth::fill(t, d, 2);
  t.files.TRACEFILE = std::tmpfile();
  t.SHAPECODE = PathShape::kCrosr;
  t.MSTEPS = 4;
  t.NSTEPS = s.NSTEPS;
  RIDGE_TRACES(t, 1);

  EXPECT_TRUE(sameBits(s.EYQ, t.EYQ));
  EXPECT_TRUE(sameBits(s.DYQ, t.DYQ));
  int directions = 0;
  for (int step = 1; step <= s.NSTEPS; ++step) {
    double len = 0.0, dot = 0.0, ref = 0.0;
    for (int j = 1; j <= s.P; ++j) {
      const double ratio = static_cast<double>(s.YSTD) / s.XSTD.data[j];
      EXPECT_NEAR(t.CYQ.data[step][j], ratio * s.CYQ.data[step][j], 1e-6 * std::fabs(ratio) + 1e-7);
      EXPECT_NEAR(t.RYQ.data[step][j], ratio * ratio * s.RYQ.data[step][j],
                  1e-6 * std::fabs(ratio * ratio * s.RYQ.data[step][j]));
      const double scaled = s.IYQ.data[step][j] * s.XSTD.data[j];
      len += static_cast<double>(t.IYQ.data[step][j]) * t.IYQ.data[step][j];
      dot += t.IYQ.data[step][j] * scaled;
      ref += scaled * scaled;
    }
    if (len == 0.0) continue;
    ++directions;
    // Unit length on the given scale, parallel to the standardized one
    // multiplied by the standard deviations.
    EXPECT_NEAR(len, 1.0, 1e-5);
    EXPECT_NEAR(std::fabs(dot), std::sqrt(ref), 1e-5 * std::sqrt(ref));
  }
  EXPECT_GT(directions, 0);
  const std::string text = fileText(t.files.TRACEFILE);
  EXPECT_NE(text.find("\n2 = rescale choice\n"), std::string::npos);
}

TEST_F(RidgeTraces, RankBelowPredictorsLeavesTheDroppedAxisOut) {
  test::synth::Options o;
  o.P = 4;
  o.duplicateOf = 2;  // predictor 4 repeats predictor 2
  analysed(o);
  ASSERT_EQ(s.RANK, 3);
  pathOf(PathShape::kQShape, 0.0f, 4);
  RIDGE_TRACES(s, 1);
  for (int step = 1; step <= s.NSTEPS; ++step) {
    EXPECT_EQ(s.DYQ.data[step][4], 0.0f);
    // The minimum-length solution shares the coefficient equally.
    EXPECT_NEAR(s.CYQ.data[step][2], s.CYQ.data[step][4],
                1e-5 * (1 + std::fabs(s.CYQ.data[step][2])));
    for (int j = 1; j <= 4; ++j)
      EXPECT_TRUE(std::isfinite(s.EYQ.data[step][j]));
  }
}

TEST_F(RidgeTraces, NoResidualDegreeOfFreedomReportsOnceAndDropsTheBiasTerm) {
  analysed(3);
  pathOf(PathShape::kQShape, 0.0f, 4);
  s.N = s.RANK + 1;  // possible with cross-products
  RIDGE_TRACES(s, 2);
  int said = 0;
  for (const std::string& l : reportLinesSince(mark_))
    said += l.find("N - RANK - 1 = 0") != std::string::npos;
  EXPECT_EQ(said, 1);
  for (int step = 1; step <= s.NSTEPS; ++step) {
    for (int j = 1; j <= s.P; ++j) {
      EXPECT_TRUE(std::isfinite(s.RYQ.data[step][j]));
      EXPECT_TRUE(std::isfinite(s.EYQ.data[step][j]));
    }
  }
  // Without the bias term every component's risk is its variance, which
  // never exceeds least squares: no negative excess, no inferior direction.
  for (int step = 1; step <= s.NSTEPS; ++step) {
    EXPECT_GE(s.EYQ.data[step][s.P], -1e-6f * std::fabs(s.EYQ.data[step][1]));
    for (int j = 1; j <= s.P; ++j)
      EXPECT_EQ(s.IYQ.data[step][j], 0.0f);
  }
}

TEST_F(RidgeTraces, TraceFileHoldsEightBlocksInOrder) {
  analysed(20, 60);  // 20 values a row: lines of 18 and 2
  ASSERT_EQ(s.RANK, 20);
  pathOf(PathShape::kLasso, 0.0f, 1);
  RIDGE_TRACES(s, 1);
  const std::vector<std::string> lines = splitLines(fileText(s.files.TRACEFILE));
  const int n = s.NSTEPS;
  ASSERT_EQ(static_cast<int>(lines.size()), 5 * (1 + 2 * n) + 1 + 1 + 2 + 1 + 2 * 20);
  std::size_t at = 0;
  for (const char* label : {"CYQ = Coefficient Trace...", "RYQ = Risk Estimate Trace...",
                            "EYQ = Excess Eigenvalue Trace...", "IYQ = Inferior Direction Trace...",
                            "DYQ = Delta Factor Trace..."}) {
    EXPECT_EQ(lines[at++], label);
    for (int r = 0; r < n; ++r) {
      EXPECT_EQ(lines[at++].size(), 18u * 14u);
      EXPECT_EQ(lines[at++].size(), 2u * 14u);
    }
  }
  EXPECT_EQ(lines[at++], "1 = rescale choice");
  EXPECT_EQ(lines[at++], "Original standard deviations...");
  EXPECT_EQ(lines[at++].size(), 18u * 14u);
  EXPECT_EQ(lines[at++].size(), 2u * 14u);
  EXPECT_EQ(lines[at++], "Rescaled XTX...");
  EXPECT_EQ(lines.size() - at, 40u);
  // Nothing but the heading reaches the report.
  const std::vector<std::string> win = reportLinesSince(mark_);
  ASSERT_EQ(win.size(), 3u);
  EXPECT_EQ(win[1], "    Ridge TRACE Calculations for LASSO Shaped Path:");
}

TEST_F(RidgeTraces, SameBitsAsThePlainMatrixFormulation) {
  test::synth::Options o;
  o.P = 9;
  o.N = 30;
  for (int scalecode : {1, 2}) {
    analysed(o, scalecode);
    for (const PathShapeNames& family : kPathShapes) {
      pathOf(family.shape, family.shape == PathShape::kQShape ? 3.0f : 0.0f, 4);
      const PlainTraces plain = plainTraces(s);
      RIDGE_TRACES(s, 2);
      SCOPED_TRACE(::testing::Message() << "scale " << scalecode << " shape " << family.word);
      EXPECT_TRUE(sameBits(plain.C, s.CYQ));
      EXPECT_TRUE(sameBits(plain.R, s.RYQ));
      EXPECT_TRUE(sameBits(plain.E, s.EYQ));
      EXPECT_TRUE(sameBits(plain.I, s.IYQ));
      EXPECT_TRUE(sameBits(plain.D, s.DYQ));
    }
  }
}

TEST_F(RidgeTraces, ThreadsChangeNothingNotEvenTheOrderOfMessages) {
  analysed(7, 30);
  // The Lasso last: the NaN it is given stays for the rest of the loop.
  for (PathShape shape :
       {PathShape::kQShape, PathShape::kCrosr, PathShape::kGarrote, PathShape::kLasso}) {
    pathOf(shape, 0.0f, 8);
    // A NaN t-statistic makes every shrunken step's Jacobi fail to converge
    // and report; the messages must come in step order.
    if (shape == PathShape::kLasso) s.PCTSTAT.data[2] = std::nanf("");
    std::vector<std::string> serialLines;
    std::string serialFile;
    MatrixRec c, r, e, i, dl;
    // The last runs have threads the system refuses: none, or all but one.
    for (int run = 0; run < 7; ++run) {
      const int threads = run < 5 ? std::vector<int>{1, 2, 3, 5, 8}[run] : 8;
      std::optional<test::RefusedThreads> refused;
      if (run >= 5) refused.emplace(run - 5);
      std::fclose(s.files.TRACEFILE);
      s.files.TRACEFILE = std::tmpfile();
      const int before = reportCounters().linesWritten;
      RIDGE_TRACES(s, threads);
      if (refused) {
        EXPECT_EQ(refused->asked(), run - 4);
      }
      const std::vector<std::string> got = reportLinesSince(before);
      const std::string file = fileText(s.files.TRACEFILE);
      if (run == 0) {
        serialLines = got;
        serialFile = file;
        MYQ_COPY(&c, s.CYQ);
        MYQ_COPY(&r, s.RYQ);
        MYQ_COPY(&e, s.EYQ);
        MYQ_COPY(&i, s.IYQ);
        MYQ_COPY(&dl, s.DYQ);
        continue;
      }
      SCOPED_TRACE(::testing::Message() << "shape " << namesOf(shape).word << " threads " << threads
                                        << (refused ? ", threads refused" : ""));
      EXPECT_EQ(got, serialLines);
      EXPECT_EQ(file, serialFile);
      EXPECT_TRUE(sameBits(c, s.CYQ));
      EXPECT_TRUE(sameBits(r, s.RYQ));
      EXPECT_TRUE(sameBits(e, s.EYQ));
      EXPECT_TRUE(sameBits(i, s.IYQ));
      EXPECT_TRUE(sameBits(dl, s.DYQ));
    }
    if (shape == PathShape::kLasso) {
      int failures = 0;
      for (const std::string& l : serialLines)
        failures += l == "JACOBI: Too many iterations";
      EXPECT_EQ(failures, s.NSTEPS - 1);
    }
  }
}

}  // namespace
}  // namespace tolvane
