#include "matrix/decompose.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <type_traits>
#include <vector>

#include "matrix/matrix.hpp"
#include "report/report.hpp"

namespace tolvane {
namespace {

// Tolerances, stated once. Both decompositions are backward stable: the
// computed factors are exact for a matrix within a modest multiple of
// (size x unit roundoff x norm) of the input, the size term counting the
// roundings that pile up along one row or column through the Householder
// reflections or Jacobi rotations. So residuals are held to
// kGrowth x size x epsilon x ||A|| and departures from orthonormality to
// kGrowth x size x epsilon, with FLT_EPSILON for JACOBI (every quantity is a
// float) and DBL_EPSILON for SVDCMP. kGrowth is the constant of the bound; the
// worst errors these tests meet (a 1 x 1 SVD, and the JACOBI run that uses all
// 50 sweeps) come to about half of it.
constexpr double kGrowth = 4.0;

double singleTolerance(int n) {
  return kGrowth * n * FLT_EPSILON;
}
double doubleTolerance(int m, int n) {
  return kGrowth * std::max(m, n) * DBL_EPSILON;
}

// Toolkit storage that frees itself.
template <class T>
class Table {
 public:
  Table(int rows, int cols) : rows_(rows), cols_(cols) {
    if constexpr (std::is_same_v<T, float>) {
      m_ = MATRIX(rows, cols);
    } else {
      m_ = DATRIX(rows, cols);
    }
  }
  ~Table() {
    if constexpr (std::is_same_v<T, float>) {
      MATRIX_FREE(m_, rows_);
    } else {
      DATRIX_FREE(m_, rows_);
    }
  }
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  Rows1<T> get() const { return m_; }
  Array1<T> operator[](int i) const { return m_[i]; }
  int rows() const { return rows_; }
  int cols() const { return cols_; }

 private:
  int rows_;
  int cols_;
  Rows1<T> m_;
};

template <class T>
class Vec {
 public:
  explicit Vec(int n) {
    if constexpr (std::is_same_v<T, float>) {
      v_ = VECTOR(n);
    } else {
      v_ = DVECTOR(n);
    }
  }
  ~Vec() {
    if constexpr (std::is_same_v<T, float>) {
      VECTOR_FREE(v_);
    } else {
      DVECTOR_FREE(v_);
    }
  }
  Vec(const Vec&) = delete;
  Vec& operator=(const Vec&) = delete;

  Array1<T> get() const { return v_; }
  T& operator[](int i) const { return v_[i]; }

 private:
  Array1<T> v_;
};

// The report lines appended since construction.
class ReportWatch {
 public:
  ReportWatch() : start_(reportCounters().linesWritten) {}

  std::vector<std::string> lines() const {
    const ReportCounters c = reportCounters();
    const int added = std::min(c.linesWritten - start_, c.linesShown);
    std::vector<std::string> out;
    for (int row = c.linesShown - added; row < c.linesShown; ++row)
      out.push_back(reportRow(row));
    return out;
  }

  // The messages of the RUN_ERROR reports appended, checking that nothing
  // else was appended and that each message has its two leading lines.
  std::vector<std::string> errors() const {
    const std::vector<std::string> all = lines();
    std::vector<std::string> messages;
    EXPECT_EQ(all.size() % 3, 0u) << "report lines are not whole RUN_ERROR reports";
    for (std::size_t k = 0; k + 2 < all.size(); k += 3) {
      EXPECT_EQ(all[k], BLANK_LINE);
      EXPECT_EQ(all[k + 1], "YQ run-time error...");
      messages.push_back(all[k + 2]);
    }
    return messages;
  }

 private:
  int start_;
};

// A row-major copy of an m x n matrix, for checks against the input.
template <class T>
std::vector<double> snapshot(const Table<T>& a) {
  std::vector<double> out;
  for (int i = 1; i <= a.rows(); ++i) {
    for (int j = 1; j <= a.cols(); ++j)
      out.push_back(a[i][j]);
  }
  return out;
}

// Largest |(Q'Q - I)[i][j]| over the first `cols` columns of Q (rows 1..rows).
template <class T>
double orthonormalityError(Rows1<T> q, int rows, int cols) {
  double worst = 0.0;
  for (int i = 1; i <= cols; ++i) {
    for (int j = 1; j <= cols; ++j) {
      double s = 0.0;
      for (int r = 1; r <= rows; ++r)
        s += static_cast<double>(q[r][i]) * q[r][j];
      worst = std::max(worst, std::fabs(s - (i == j ? 1.0 : 0.0)));
    }
  }
  return worst;
}

// Largest |A - U diag(w) V'| over rows 1..m of U.
double reconstructionError(const std::vector<double>& a, int m, int n, Rows1<double> u,
                           Array1<double> w, Rows1<double> v) {
  double worst = 0.0;
  for (int i = 1; i <= m; ++i) {
    for (int j = 1; j <= n; ++j) {
      double s = 0.0;
      for (int k = 1; k <= n; ++k)
        s += u[i][k] * w[k] * v[j][k];
      worst = std::max(worst, std::fabs(a[(i - 1) * n + (j - 1)] - s));
    }
  }
  return worst;
}

void fillRandom(const Table<double>& a, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int i = 1; i <= a.rows(); ++i) {
    for (int j = 1; j <= a.cols(); ++j)
      a[i][j] = unit(rng);
  }
}

// ---------------------------------------------------------------- JACOBI

TEST(Jacobi, DiagonalMatrixReturnsAtOnceWithIdentityVectors) {
  const float diagonal[3] = {4.0f, -1.0f, 2.5f};
  Table<float> a(3, 3);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j)
      a[i][j] = i == j ? diagonal[i - 1] : 0.0f;
  }
  Vec<float> d(3);
  Table<float> v(3, 3);
  int nrot = -1;
  ReportWatch report;

  JACOBI(a.get(), 3, d.get(), v.get(), &nrot);

  EXPECT_EQ(nrot, 0);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(d[i], diagonal[i - 1]);
    for (int j = 1; j <= 3; ++j)
      EXPECT_EQ(v[i][j], i == j ? 1.0f : 0.0f) << i << "," << j;
  }
  EXPECT_TRUE(report.lines().empty());
}

TEST(Jacobi, TwoByTwoTakesOneRotationAndSortsToThreeThenOne) {
  Table<float> a(2, 2);
  a[1][1] = 2.0f;
  a[1][2] = 1.0f;
  a[2][1] = 1.0f;
  a[2][2] = 2.0f;
  Vec<float> d(2);
  Table<float> v(2, 2);
  int nrot = 0;

  JACOBI(a.get(), 2, d.get(), v.get(), &nrot);

  EXPECT_EQ(nrot, 1);
  // The rotation lowers the first diagonal element and raises the second.
  EXPECT_FLOAT_EQ(d[1], 1.0f);
  EXPECT_FLOAT_EQ(d[2], 3.0f);
  // The eigenvector of 3 is (1, 1)/sqrt 2, that of 1 is (1, -1)/sqrt 2, up to sign.
  const float r = static_cast<float>(1.0 / std::sqrt(2.0));
  EXPECT_FLOAT_EQ(std::fabs(v[1][1]), r);
  EXPECT_FLOAT_EQ(v[2][1], -v[1][1]);
  EXPECT_FLOAT_EQ(std::fabs(v[1][2]), r);
  EXPECT_FLOAT_EQ(v[2][2], v[1][2]);
  // Strict upper triangle cleared; diagonal and lower triangle untouched.
  EXPECT_EQ(a[1][2], 0.0f);
  EXPECT_EQ(a[2][1], 1.0f);
  EXPECT_EQ(a[1][1], 2.0f);
  EXPECT_EQ(a[2][2], 2.0f);

  const float v11 = v[1][1], v21 = v[2][1], v12 = v[1][2], v22 = v[2][2];
  EIGEN_SORT(d.get(), v.get(), 2);
  EXPECT_FLOAT_EQ(d[1], 3.0f);
  EXPECT_FLOAT_EQ(d[2], 1.0f);
  EXPECT_EQ(v[1][1], v12);
  EXPECT_EQ(v[2][1], v22);
  EXPECT_EQ(v[1][2], v11);
  EXPECT_EQ(v[2][2], v21);
}

// Q diag(lambda) Q for the reflection Q = I - 2 u u' / u'u with u = (1, 2,
// ..., n): the eigenvalue 1 `multiplicity` times, then 1 + k for k =
// multiplicity + 1 .. n. Row-major, n x n.
std::vector<double> reflectedSpectrum(int n, int multiplicity) {
  double uu = 0.0;
  for (int k = 1; k <= n; ++k)
    uu += static_cast<double>(k) * k;
  auto q = [&](int i, int k) { return (i == k ? 1.0 : 0.0) - 2.0 * i * k / uu; };
  std::vector<double> out(static_cast<std::size_t>(n) * n);
  for (int i = 1; i <= n; ++i) {
    for (int j = i; j <= n; ++j) {
      double s = 0.0;
      for (int k = 1; k <= n; ++k)
        s += q(i, k) * (k <= multiplicity ? 1.0 : 1.0 + k) * q(j, k);
      out[(i - 1) * n + (j - 1)] = out[(j - 1) * n + (i - 1)] = s;
    }
  }
  return out;
}

// Runs JACOBI and then EIGEN_SORT on the float rounding of the symmetric
// row-major matrix `full`, checks what JACOBI promises about a, and measures
// the eigenpairs against the matrix it was given.
struct JacobiRun {
  std::vector<float> sorted;  // eigenvalues after EIGEN_SORT
  int nrot = 0;
  std::vector<std::string> report;
  double norm = 0.0;            // Frobenius norm of the input
  double residual = 0.0;        // max |A v_k - d_k v_k|
  double orthonormality = 0.0;  // max |V'V - I|
};

JacobiRun runJacobi(const std::vector<double>& full, int n) {
  std::vector<double> given(full.size());
  Table<float> a(n, n);
  JacobiRun run;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      a[i][j] = toFloat(full[(i - 1) * n + (j - 1)]);
      given[(i - 1) * n + (j - 1)] = a[i][j];
      run.norm += static_cast<double>(a[i][j]) * a[i][j];
    }
  }
  run.norm = std::sqrt(run.norm);
  Vec<float> d(n);
  Table<float> v(n, n);
  ReportWatch report;

  JACOBI(a.get(), n, d.get(), v.get(), &run.nrot);

  run.report = report.lines();
  const bool converged = run.report.empty();
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      const float before = static_cast<float>(given[(i - 1) * n + (j - 1)]);
      if (j <= i) {
        EXPECT_EQ(a[i][j], before) << "diagonal or lower triangle changed at " << i << "," << j;
      } else if (converged) {
        // A normal return means the off-diagonal sum reached exactly 0.
        EXPECT_EQ(a[i][j], 0.0f) << i << "," << j;
      }
    }
  }
  for (int k = 1; k <= n; ++k) {
    for (int i = 1; i <= n; ++i) {
      double s = 0.0;
      for (int j = 1; j <= n; ++j)
        s += given[(i - 1) * n + (j - 1)] * v[j][k];
      run.residual = std::max(run.residual, std::fabs(s - d[k] * static_cast<double>(v[i][k])));
    }
  }
  run.orthonormality = orthonormalityError(v.get(), n, n);
  EIGEN_SORT(d.get(), v.get(), n);
  for (int k = 1; k <= n; ++k)
    run.sorted.push_back(d[k]);
  return run;
}

// Random symmetric matrices of the sizes the program meets, a cross-product
// matrix of 200 observations with two equal columns (a zero eigenvalue), and
// a triple eigenvalue.
TEST(Jacobi, SymmetricMatricesGiveOrthonormalEigenpairs) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int n : {1, 2, 5, 17, 49, 50}) {
    SCOPED_TRACE("uniform, n = " + std::to_string(n));
    std::vector<double> full(static_cast<std::size_t>(n) * n);
    for (int i = 0; i < n; ++i) {
      for (int j = i; j < n; ++j)
        full[i * n + j] = full[j * n + i] = unit(rng);
    }
    const JacobiRun run = runJacobi(full, n);
    EXPECT_TRUE(run.report.empty());
    if (n > 1) {
      EXPECT_GT(run.nrot, 0);
    }
    EXPECT_LE(run.residual, singleTolerance(n) * run.norm);
    EXPECT_LE(run.orthonormality, singleTolerance(n));
  }
  {
    SCOPED_TRACE("cross-product");
    const int n = 49, obs = 200;
    std::vector<double> x(static_cast<std::size_t>(obs) * n);
    for (double& e : x)
      e = unit(rng);
    for (int r = 0; r < obs; ++r)
      x[r * n + 1] = x[r * n];
    std::vector<double> full(static_cast<std::size_t>(n) * n);
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) {
        for (int r = 0; r < obs; ++r)
          full[i * n + j] += x[r * n + i] * x[r * n + j];
      }
    }
    const JacobiRun run = runJacobi(full, n);
    EXPECT_TRUE(run.report.empty());
    EXPECT_LE(run.residual, singleTolerance(n) * run.norm);
    EXPECT_LE(run.orthonormality, singleTolerance(n));
    EXPECT_NEAR(run.sorted[n - 1], 0.0, singleTolerance(n) * run.norm);
    EXPECT_GT(run.sorted[n - 2], singleTolerance(n) * run.norm);
  }
  {
    SCOPED_TRACE("triple eigenvalue");
    const int n = 12;
    const JacobiRun run = runJacobi(reflectedSpectrum(n, 3), n);
    EXPECT_TRUE(run.report.empty());
    EXPECT_LE(run.residual, singleTolerance(n) * run.norm);
    EXPECT_LE(run.orthonormality, singleTolerance(n));
    for (int k = 1; k <= n; ++k) {
      EXPECT_NEAR(run.sorted[k - 1], k <= n - 3 ? 2.0 + n - k : 1.0, singleTolerance(n) * run.norm);
    }
  }
}

// The negligibility tests compare in double, far below float resolution, so
// inside a large cluster of equal eigenvalues the float off-diagonal noise is
// rotated around instead of being dropped, and the 50 sweeps run out. (With
// the tests made in float this matrix converges in 9 sweeps.) The routine
// must say so and still hand back its accurate approximation.
TEST(Jacobi, TenfoldEigenvalueRunsOutOfSweepsAndSaysSo) {
  const int n = 12;
  const JacobiRun run = runJacobi(reflectedSpectrum(n, 10), n);
  ASSERT_EQ(run.report.size(), 3u);
  EXPECT_EQ(run.report[0], BLANK_LINE);
  EXPECT_EQ(run.report[1], "YQ run-time error...");
  EXPECT_EQ(run.report[2], "JACOBI: Too many iterations");
  EXPECT_LE(run.residual, singleTolerance(n) * run.norm);
  EXPECT_LE(run.orthonormality, singleTolerance(n));
  for (int k = 1; k <= n; ++k) {
    EXPECT_NEAR(run.sorted[k - 1], k <= 2 ? 2.0 + n - k : 1.0, singleTolerance(n) * run.norm);
  }
}

// The lower triangle is neither read nor written: poisoning it with NaN must
// change no bit of the result.
TEST(Jacobi, LowerTriangleIsNeitherReadNorWritten) {
  const int n = 9;
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  Table<float> clean(n, n);
  Table<float> poisoned(n, n);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (int i = 1; i <= n; ++i) {
    for (int j = i; j <= n; ++j) {
      clean[i][j] = clean[j][i] = poisoned[i][j] = unit(rng);
      if (j > i) poisoned[j][i] = nan;
    }
  }
  Vec<float> d1(n), d2(n);
  Table<float> v1(n, n), v2(n, n);
  int nrot1 = 0, nrot2 = 0;

  JACOBI(clean.get(), n, d1.get(), v1.get(), &nrot1);
  JACOBI(poisoned.get(), n, d2.get(), v2.get(), &nrot2);

  EXPECT_EQ(nrot1, nrot2);
  EXPECT_EQ(std::memcmp(d1.get().first(), d2.get().first(), n * sizeof(float)), 0);
  EXPECT_EQ(std::memcmp(v1.get().row(1), v2.get().row(1), n * n * sizeof(float)), 0);
  for (int i = 2; i <= n; ++i) {
    for (int j = 1; j < i; ++j)
      EXPECT_TRUE(std::isnan(poisoned[i][j])) << i << "," << j;
  }
}

TEST(Jacobi, NonFiniteInputStopsWithinFiftySweepsAndSaysSo) {
  const int n = 4;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  // At most every pair rotated in each of the 50 sweeps.
  const int maxRotations = 50 * n * (n - 1) / 2;
  auto fill = [&](const Table<float>& a, float odd) {
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= n; ++j)
        a[i][j] = 1.0f / static_cast<float>(i + j);
    }
    a[1][3] = odd;
  };

  {
    SCOPED_TRACE("NaN");
    Table<float> a(n, n);
    fill(a, nan);
    Vec<float> d(n);
    Table<float> v(n, n);
    int nrot = 0;
    ReportWatch report;
    JACOBI(a.get(), n, d.get(), v.get(), &nrot);
    EXPECT_EQ(report.errors(), std::vector<std::string>{"JACOBI: Too many iterations"});
    EXPECT_LE(nrot, maxRotations);
  }
  {
    SCOPED_TRACE("infinity");
    Table<float> a(n, n);
    fill(a, inf);
    Vec<float> d(n);
    Table<float> v(n, n);
    int nrot = 0;
    ReportWatch report;
    JACOBI(a.get(), n, d.get(), v.get(), &nrot);
    const std::vector<std::string> errors = report.errors();
    bool finite = true;
    for (int k = 1; k <= n; ++k)
      finite = finite && std::isfinite(d[k]);
    // Never a clean-looking answer without a word: either it says so or the
    // eigenvalues show the infinity.
    EXPECT_TRUE(!errors.empty() || !finite);
    for (const std::string& e : errors)
      EXPECT_EQ(e, "JACOBI: Too many iterations");
    EXPECT_LE(nrot, maxRotations);
  }
}

// ---------------------------------------------------------------- sorts

TEST(EigenSort, EqualValuesKeepTheirOrderAndColumnsMoveAlong) {
  Vec<float> d(3);
  d[1] = 1.0f;
  d[2] = 3.0f;
  d[3] = 3.0f;
  Table<float> v(3, 3);
  for (int r = 1; r <= 3; ++r) {
    for (int c = 1; c <= 3; ++c)
      v[r][c] = static_cast<float>(10 * r + c);
  }

  EIGEN_SORT(d.get(), v.get(), 3);

  EXPECT_EQ(d[1], 3.0f);
  EXPECT_EQ(d[2], 3.0f);
  EXPECT_EQ(d[3], 1.0f);
  // Old column 2 to the front, old column 3 to the middle, old column 1 last.
  const int from[4] = {0, 2, 3, 1};
  for (int r = 1; r <= 3; ++r) {
    for (int c = 1; c <= 3; ++c)
      EXPECT_EQ(v[r][c], static_cast<float>(10 * r + from[c]));
  }
}

// u has more rows than v, so every row of each factor must move.
TEST(SvdSort, OrdersValuesAndMovesColumnsOfBothFactors) {
  const int m = 5, n = 4;
  Vec<float> w(n);
  const float values[4] = {1.0f, 3.0f, 3.0f, 2.0f};
  for (int k = 1; k <= n; ++k)
    w[k] = values[k - 1];
  Table<float> u(m, n), v(n, n);
  for (int r = 1; r <= m; ++r) {
    for (int c = 1; c <= n; ++c)
      u[r][c] = static_cast<float>(10 * r + c);
  }
  for (int r = 1; r <= n; ++r) {
    for (int c = 1; c <= n; ++c)
      v[r][c] = static_cast<float>(-10 * r - c);
  }

  SVD_SORT(u.get(), w.get(), v.get(), m, n);

  const float sorted[4] = {3.0f, 3.0f, 2.0f, 1.0f};
  const int from[5] = {0, 2, 3, 4, 1};
  for (int k = 1; k <= n; ++k)
    EXPECT_EQ(w[k], sorted[k - 1]);
  for (int c = 1; c <= n; ++c) {
    for (int r = 1; r <= m; ++r)
      EXPECT_EQ(u[r][c], static_cast<float>(10 * r + from[c]));
    for (int r = 1; r <= n; ++r)
      EXPECT_EQ(v[r][c], static_cast<float>(-10 * r - from[c]));
  }
}

// ---------------------------------------------------------------- SVDCMP

// Columns 1 and 2 are equal: A = [c c d] has the singular values of
// [sqrt(2) c, d], whose Gram matrix [30, 9 sqrt 2; 9 sqrt 2, 30] has
// eigenvalues 30 +- 9 sqrt 2, and a third singular value of 0.
TEST(Svdcmp, TwoEqualColumnsGiveAZeroInTheMiddleUntilSorted) {
  const double rows[4][3] = {{1, 1, 2}, {2, 2, 1}, {3, 3, 0}, {1, 1, 5}};
  Table<double> a(4, 3);
  for (int i = 1; i <= 4; ++i) {
    for (int j = 1; j <= 3; ++j)
      a[i][j] = rows[i - 1][j - 1];
  }
  const std::vector<double> original = snapshot(a);
  Vec<double> w(3);
  Table<double> v(3, 3);
  ReportWatch report;

  SVDCMP(a.get(), 4, 3, w.get(), v.get());

  EXPECT_TRUE(report.lines().empty());
  const double big = std::sqrt(30.0 + 9.0 * std::sqrt(2.0));
  const double small = std::sqrt(30.0 - 9.0 * std::sqrt(2.0));
  EXPECT_NEAR(w[1], big, 1e-13 * big);
  EXPECT_LE(std::fabs(w[2]), 1e-15);
  EXPECT_NEAR(w[3], small, 1e-13 * big);
  EXPECT_NEAR(w[1], 6.5367, 5e-5);
  EXPECT_NEAR(w[3], 4.1560, 5e-5);
  EXPECT_LE(reconstructionError(original, 4, 3, a.get(), w.get(), v.get()),
            doubleTolerance(4, 3) * big);

  // The caller's path: single-precision copies, then the sort.
  Table<float> uf(4, 3), vf(3, 3);
  Vec<float> wf(3);
  for (int j = 1; j <= 3; ++j) {
    wf[j] = toFloat(w[j]);
    for (int i = 1; i <= 4; ++i)
      uf[i][j] = toFloat(a[i][j]);
    for (int i = 1; i <= 3; ++i)
      vf[i][j] = toFloat(v[i][j]);
  }
  SVD_SORT(uf.get(), wf.get(), vf.get(), 4, 3);
  EXPECT_FLOAT_EQ(wf[1], static_cast<float>(big));
  EXPECT_FLOAT_EQ(wf[2], static_cast<float>(small));
  EXPECT_EQ(wf[3], toFloat(w[2]));
  for (int i = 1; i <= 4; ++i)
    EXPECT_EQ(uf[i][2], toFloat(a[i][3]));
  for (int i = 1; i <= 3; ++i)
    EXPECT_EQ(vf[i][3], toFloat(v[i][2]));
}

// The Householder steps flip every sign, and the final sign fix of the
// diagonal flips V's columns back to match.
TEST(Svdcmp, IdentityGivesUnitValuesAndMinusIdentityFactors) {
  Table<double> a(3, 3);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j)
      a[i][j] = i == j ? 1.0 : 0.0;
  }
  Vec<double> w(3);
  Table<double> v(3, 3);

  SVDCMP(a.get(), 3, 3, w.get(), v.get());

  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(w[i], 1.0);
    for (int j = 1; j <= 3; ++j) {
      EXPECT_EQ(a[i][j], i == j ? -1.0 : 0.0) << i << "," << j;
      EXPECT_EQ(v[i][j], i == j ? -1.0 : 0.0) << i << "," << j;
    }
  }
  EXPECT_EQ(SVDNORM, 1.0);
}

// Random matrices up to the program's limits (200 observations, 50
// predictors), square and tall, full rank and rank deficient. Orthonormal U
// and V with A = U diag(w) V' and w >= 0 is exactly what an SVD is.
TEST(Svdcmp, RandomMatricesRebuildFromOrthonormalFactors) {
  std::mt19937_64 rng(424242);
  struct Case {
    int m;
    int n;
    bool deficient;  // column 2 copies column 1 and the last column is 0
  };
  const Case cases[] = {{1, 1, false},    {2, 2, false},    {7, 3, false},
                        {50, 50, false},  {120, 17, false}, {200, 49, false},
                        {200, 50, false}, {200, 50, true},  {30, 30, true}};

  for (const Case& tc : cases) {
    const int m = tc.m, n = tc.n;
    SCOPED_TRACE(std::to_string(m) + " x " + std::to_string(n) +
                 (tc.deficient ? " deficient" : ""));
    Table<double> a(m, n);
    fillRandom(a, rng);
    if (tc.deficient) {
      for (int i = 1; i <= m; ++i) {
        a[i][2] = a[i][1];
        a[i][n] = 0.0;
      }
    }
    const std::vector<double> original = snapshot(a);
    Vec<double> w(n);
    Table<double> v(n, n);
    ReportWatch report;

    SVDCMP(a.get(), m, n, w.get(), v.get());

    EXPECT_TRUE(report.lines().empty());
    double largest = 0.0;
    int zeros = 0;
    for (int k = 1; k <= n; ++k) {
      EXPECT_GE(w[k], 0.0) << k;
      largest = std::max(largest, w[k]);
      if (w[k] <= doubleTolerance(m, n) * largest) ++zeros;
    }
    EXPECT_LE(reconstructionError(original, m, n, a.get(), w.get(), v.get()),
              doubleTolerance(m, n) * largest);
    EXPECT_LE(orthonormalityError(a.get(), m, n), doubleTolerance(m, n));
    EXPECT_LE(orthonormalityError(v.get(), n, n), doubleTolerance(m, n));
    if (tc.deficient) {
      EXPECT_EQ(zeros, 2);
    }
    // SVDNORM is the largest |w[i]| + |e[i]|, a column sum of the bidiagonal
    // form B, whose largest singular value is A's. A column's sum is at most
    // sqrt 2 times its length, and ||B||_2 <= sqrt(||B||_1 ||B||_inf) with
    // ||B||_inf <= 2 SVDNORM, so SVDNORM lies within sqrt 2 of w_max.
    const double slack = 1.0 + doubleTolerance(m, n);
    EXPECT_LE(largest, std::sqrt(2.0) * SVDNORM * slack);
    EXPECT_LE(SVDNORM, std::sqrt(2.0) * largest * slack);
  }
}

// Through QR first: the same factors as SVDCMP's on tall matrices, full
// rank or not, each (u, v) pair up to one sign.
TEST(SvdcmpQr, TallMatricesGiveTheClassicFactorsUpToPairedSigns) {
  std::mt19937_64 rng(2026);
  for (const auto& [m, n, deficient] : {std::tuple{201, 7, false}, std::tuple{3000, 20, false},
                                        std::tuple{500, 12, true}, std::tuple{9, 9, false},
                                        // Past 50 columns R goes to the divide-and-conquer SVD.
                                        std::tuple{400, 120, false}, std::tuple{300, 80, true}}) {
    SCOPED_TRACE(std::to_string(m) + " x " + std::to_string(n));
    Table<double> a(m, n), b(m, n);
    fillRandom(a, rng);
    for (int i = 1; i <= m; ++i) {
      if (deficient) a[i][2] = a[i][1];
      for (int j = 1; j <= n; ++j)
        b[i][j] = a[i][j];
    }
    const std::vector<double> original = snapshot(a);
    Vec<double> w(n), wq(n);
    Table<double> v(n, n), vq(n, n);
    SVDCMP(a.get(), m, n, w.get(), v.get());
    ASSERT_TRUE(SVDCMP_QR(b.get(), m, n, wq.get(), vq.get()));
    const double norm = SVDNORM;
    SVD_SORT(a.get(), w.get(), v.get(), m, n);
    SVD_SORT(b.get(), wq.get(), vq.get(), m, n);
    const double tol = doubleTolerance(m, n);
    EXPECT_LE(reconstructionError(original, m, n, b.get(), wq.get(), vq.get()), tol * wq[1]);
    EXPECT_LE(orthonormalityError(vq.get(), n, n), tol);
    if (n > kClassicSvdColumns) {
      EXPECT_EQ(norm, wq[1]);
    }
    const int kept = deficient ? n - 1 : n;  // a zero value's vectors are any pair
    EXPECT_LE(orthonormalityError(b.get(), m, kept), tol);
    for (int k = 1; k <= kept; ++k) {
      EXPECT_NEAR(wq[k], w[k], tol * w[1]) << k;
      const double sign = vq[1][k] * v[1][k] < 0.0 ? -1.0 : 1.0;
      for (int j = 1; j <= n; ++j)
        EXPECT_NEAR(vq[j][k], sign * v[j][k], 1e-8) << j << "," << k;
      for (int i = 1; i <= m; i += 37)
        EXPECT_NEAR(b[i][k], sign * a[i][k], 1e-8) << i << "," << k;
    }
  }
  Vec<double> w(3);
  Table<double> wide(2, 3), v(3, 3);
  EXPECT_FALSE(SVDCMP_QR(wide.get(), 2, 3, w.get(), v.get())) << "m < n is SVDCMP's to report";
}

// a has exactly m rows, so a read past them is a heap overflow under the
// sanitizers.
TEST(Svdcmp, WideMatrixIsReportedAndDecomposedAsIfPaddedWithZeroRows) {
  std::mt19937_64 rng(99);
  const int m = 2, n = 4;
  Table<double> a(m, n);
  fillRandom(a, rng);
  const std::vector<double> original = snapshot(a);
  Vec<double> w(n);
  Table<double> v(n, n);
  ReportWatch report;

  SVDCMP(a.get(), m, n, w.get(), v.get());

  EXPECT_EQ(report.errors(), std::vector<std::string>{"SVDCMP: augment A with extra zero rows"});
  double largest = 0.0;
  for (int k = 1; k <= n; ++k) {
    EXPECT_GE(w[k], 0.0);
    largest = std::max(largest, w[k]);
  }
  int zeros = 0;
  for (int k = 1; k <= n; ++k)
    zeros += w[k] <= doubleTolerance(n, n) * largest ? 1 : 0;
  EXPECT_EQ(zeros, n - m);
  EXPECT_LE(reconstructionError(original, m, n, a.get(), w.get(), v.get()),
            doubleTolerance(n, n) * largest);
  EXPECT_LE(orthonormalityError(v.get(), n, n), doubleTolerance(n, n));
  // The first m rows of the square orthogonal U are orthonormal rows.
  for (int i = 1; i <= m; ++i) {
    for (int j = 1; j <= m; ++j) {
      double s = 0.0;
      for (int k = 1; k <= n; ++k)
        s += a[i][k] * a[j][k];
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, doubleTolerance(n, n));
    }
  }
}

TEST(Svdcmp, NonFiniteInputStopsAndSaysSo) {
  const int m = 5, n = 3;
  const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity()};
  for (double odd : values) {
    SCOPED_TRACE(odd);
    Table<double> a(m, n);
    for (int i = 1; i <= m; ++i) {
      for (int j = 1; j <= n; ++j)
        a[i][j] = 1.0 / (i + j);
    }
    a[3][2] = odd;
    Vec<double> w(n);
    Table<double> v(n, n);
    ReportWatch report;

    SVDCMP(a.get(), m, n, w.get(), v.get());

    const std::vector<std::string> errors = report.errors();
    // One report per singular value at most; the first one cannot fail to
    // split off, so at most n - 1.
    EXPECT_GE(errors.size(), 1u);
    EXPECT_LE(errors.size(), static_cast<std::size_t>(n - 1));
    for (const std::string& e : errors)
      EXPECT_EQ(e, "SVDCMP: no convergence in 30 iterations");
  }
}

// Each thread has its own SVDNORM: a decomposition on a worker must not move
// the value that the calling thread is about to print.
TEST(Svdcmp, NormIsKeptPerThread) {
  auto decomposeScaledIdentity = [](double scale) {
    Table<double> a(2, 2);
    a[1][1] = a[2][2] = scale;
    a[1][2] = a[2][1] = 0.0;
    Vec<double> w(2);
    Table<double> v(2, 2);
    SVDCMP(a.get(), 2, 2, w.get(), v.get());
  };
  decomposeScaledIdentity(1.0);
  ASSERT_EQ(SVDNORM, 1.0);
  double workerNorm = 0.0;
  std::thread worker([&] {
    decomposeScaledIdentity(2.0);
    workerNorm = SVDNORM;
  });
  worker.join();
  EXPECT_EQ(workerNorm, 2.0);
  EXPECT_EQ(SVDNORM, 1.0);
}

// ---------------------------------------------------------------- SVDCOVAR

TEST(Svdcovar, ZeroSingularValueLeavesItsTermOut) {
  Table<float> v(2, 2), c(2, 2);
  v[1][1] = v[2][2] = 1.0f;
  v[1][2] = v[2][1] = 0.0f;
  Vec<float> w(2);
  w[1] = 2.0f;
  w[2] = 0.0f;

  SVDCOVAR(v.get(), 2, w.get(), c.get());

  EXPECT_EQ(c[1][1], 0.25f);
  EXPECT_EQ(c[1][2], 0.0f);
  EXPECT_EQ(c[2][1], 0.0f);
  EXPECT_EQ(c[2][2], 0.0f);
}

// With every singular value kept, V diag(1/w^2) V' is the inverse of
// A'A = V diag(w^2) V'. From float factors the inverse carries float rounding
// magnified by the condition number of A'A, which is (w_max / w_min)^2.
TEST(Svdcovar, FullRankGivesTheInverseCrossProduct) {
  std::mt19937_64 rng(5);
  const int m = 40, n = 6;
  Table<double> a(m, n);
  fillRandom(a, rng);
  for (int j = 1; j <= n; ++j)
    a[j][j] += 3.0;  // keeps A'A well away from singular
  const std::vector<double> x = snapshot(a);
  Vec<double> w(n);
  Table<double> v(n, n);
  SVDCMP(a.get(), m, n, w.get(), v.get());
  Vec<float> wf(n);
  Table<float> vf(n, n), c(n, n);
  for (int j = 1; j <= n; ++j) {
    wf[j] = toFloat(w[j]);
    for (int i = 1; i <= n; ++i)
      vf[i][j] = toFloat(v[i][j]);
  }

  SVDCOVAR(vf.get(), n, wf.get(), c.get());

  double smallest = w[1], largest = w[1];
  for (int k = 2; k <= n; ++k) {
    smallest = std::min(smallest, w[k]);
    largest = std::max(largest, w[k]);
  }
  const double condition = (largest / smallest) * (largest / smallest);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      double s = 0.0;  // (C A'A)[i][j]
      for (int k = 1; k <= n; ++k) {
        double xtx = 0.0;
        for (int r = 0; r < m; ++r)
          xtx += x[r * n + k - 1] * x[r * n + j - 1];
        s += c[i][k] * xtx;
      }
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, singleTolerance(n) * condition) << i << "," << j;
    }
  }
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j < i; ++j)
      EXPECT_EQ(c[i][j], c[j][i]) << i << "," << j;
  }
}

// ---------------------------------------------------------------- helpers

TEST(SafeHypot, NeitherOverflowsNorUnderflows) {
  EXPECT_DOUBLE_EQ(SAFE_HYPOT(3e200, 4e200), 5e200);
  EXPECT_DOUBLE_EQ(SAFE_HYPOT(-3e-200, 4e-200), 5e-200);
  EXPECT_DOUBLE_EQ(SAFE_HYPOT(4.0, -3.0), 5.0);
  EXPECT_EQ(SAFE_HYPOT(0.0, -2.0), 2.0);
  EXPECT_EQ(SAFE_HYPOT(-3.0, 0.0), 3.0);
  EXPECT_EQ(SAFE_HYPOT(0.0, 0.0), 0.0);
}

// Unlike the library copysign, a negative zero or a NaN as b is not
// "negative": only b >= 0 gives the positive result, and NaN fails that test.
TEST(CopySign, SignComesFromTheComparisonWithZero) {
  EXPECT_EQ(COPY_SIGN(-3.0, 2.0), 3.0);
  EXPECT_EQ(COPY_SIGN(3.0, -2.0), -3.0);
  EXPECT_EQ(COPY_SIGN(-3.0, 0.0), 3.0);
  EXPECT_EQ(COPY_SIGN(-3.0, -0.0), 3.0);
  EXPECT_EQ(COPY_SIGN(3.0, std::numeric_limits<double>::quiet_NaN()), -3.0);
}

}  // namespace
}  // namespace tolvane
