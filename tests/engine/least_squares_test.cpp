#include "engine/least_squares.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/engine_state_setup.hpp"

namespace tolvane {
namespace {

using test::Columns;
using test::fileText;
using test::findLine;
using test::format;
using test::PathMenuSpy;
using test::ReportLines;
using test::splitLines;

using test::kHaldX;
using test::kHaldY;

// Published least-squares fit of the Hald data (four decimals).
const double kHaldCoef[4] = {1.5511, 0.5102, 0.1019, -0.1441};
const double kHaldRsq = 0.9824;

// Ordinary least squares in double precision, by Gaussian elimination with
// partial pivoting on the centred normal equations: the truth the
// single-precision principal-axes route is scored against.
struct OlsTruth {
  std::vector<double> b, se, t, mcor, relse, sx;
  double rsq = 0, s2 = 0, tss = 0, sy = 0;
  std::vector<std::vector<double>> ginv;  // inverse of the centred Gram matrix
};

std::vector<double> solve(std::vector<std::vector<double>> a, std::vector<double> r) {
  const int p = static_cast<int>(r.size());
  for (int c = 0; c < p; ++c) {
    int piv = c;
    for (int i = c + 1; i < p; ++i) {
      if (std::fabs(a[i][c]) > std::fabs(a[piv][c])) piv = i;
    }
    std::swap(a[c], a[piv]);
    std::swap(r[c], r[piv]);
    for (int i = c + 1; i < p; ++i) {
      const double f = a[i][c] / a[c][c];
      for (int j = c; j < p; ++j)
        a[i][j] -= f * a[c][j];
      r[i] -= f * r[c];
    }
  }
  std::vector<double> x(p);
  for (int i = p - 1; i >= 0; --i) {
    double v = r[i];
    for (int j = i + 1; j < p; ++j)
      v -= a[i][j] * x[j];
    x[i] = v / a[i][i];
  }
  return x;
}

OlsTruth olsTruth(const Columns& x, const std::vector<double>& y) {
  const int p = static_cast<int>(x.size()), n = static_cast<int>(y.size());
  Columns xc = x;
  std::vector<double> yc = y;
  auto centre = [n](std::vector<double>& v) {
    double m = 0;
    for (double e : v)
      m += e;
    m /= n;
    for (double& e : v)
      e -= m;
  };
  for (auto& col : xc)
    centre(col);
  centre(yc);
  auto dot = [n](const std::vector<double>& a, const std::vector<double>& b) {
    double s = 0;
    for (int k = 0; k < n; ++k)
      s += a[k] * b[k];
    return s;
  };
  std::vector<std::vector<double>> g(p, std::vector<double>(p));
  std::vector<double> gy(p);
  for (int i = 0; i < p; ++i) {
    gy[i] = dot(xc[i], yc);
    for (int j = 0; j < p; ++j)
      g[i][j] = dot(xc[i], xc[j]);
  }
  OlsTruth t;
  t.b = solve(g, gy);
  t.tss = dot(yc, yc);
  double rss = 0;
  for (int k = 0; k < n; ++k) {
    double fit = 0;
    for (int i = 0; i < p; ++i)
      fit += xc[i][k] * t.b[i];
    rss += (yc[k] - fit) * (yc[k] - fit);
  }
  t.rsq = 1 - rss / t.tss;
  t.s2 = rss / (n - p - 1);
  t.sy = std::sqrt(t.tss / (n - 1));
  t.ginv.assign(p, std::vector<double>(p));
  for (int j = 0; j < p; ++j) {
    std::vector<double> e(p, 0.0);
    e[j] = 1;
    const std::vector<double> col = solve(g, e);
    for (int i = 0; i < p; ++i)
      t.ginv[i][j] = col[i];
  }
  for (int i = 0; i < p; ++i) {
    t.se.push_back(std::sqrt(t.s2 * t.ginv[i][i]));
    t.t.push_back(t.b[i] / t.se[i]);
    t.mcor.push_back(gy[i] / std::sqrt(g[i][i] * t.tss));
    t.sx.push_back(std::sqrt(g[i][i] / (n - 1)));
    t.relse.push_back(std::sqrt(t.ginv[i][i]));
  }
  return t;
}

// Correct decimal digits of an estimate: -log10 of its relative error.
double digits(double estimate, double truth) {
  const double rel = std::fabs(estimate - truth) / std::fabs(truth);
  return rel == 0 ? 17.0 : -std::log10(rel);
}

// printf shows a non-number as "inf", "-inf" or "nan" (or "-nan").
bool hasNonFinite(const std::string& text) {
  static const std::regex nonNumber("(^|[^A-Za-z])-?(inf|nan)([^A-Za-z]|$)");
  return std::regex_search(text, nonNumber);
}

// A report line or file text must never show a non-number.
void expectAllFinite(const std::vector<std::string>& lines, const AnalysisState& s) {
  for (const auto& l : lines)
    EXPECT_FALSE(hasNonFinite(l)) << l;
  EXPECT_FALSE(hasNonFinite(fileText(s.files.SUMMFILE)));
  EXPECT_FALSE(hasNonFinite(fileText(s.files.TRACEFILE)));
}

// Lines of `lines` strictly between the first occurrence of `from` and the
// next blank report line.
std::vector<std::string> block(const std::vector<std::string>& lines, const std::string& from) {
  std::vector<std::string> out;
  int i = findLine(lines, from);
  if (i < 0) return out;
  for (++i; i < static_cast<int>(lines.size()) && lines[i] != BLANK_LINE; ++i) {
    out.push_back(lines[i]);
  }
  return out;
}

// The numbers of a table row as read back, and its sign-conflict mark.
struct ShownRow {
  std::vector<double> values;
  bool conflict = false;
};

ShownRow readRow(const std::string& row) {
  ShownRow r;
  std::istringstream words(row);
  for (std::string w; words >> w;) {
    if (w == "<-->") {
      r.conflict = true;
    } else {
      r.values.push_back(std::stod(w));
    }
  }
  return r;
}

// Deterministic pseudo-random numbers in [-1, 1) for constructed data.
class Lcg {
 public:
  explicit Lcg(unsigned seed) : state_(seed) {}
  double next() {
    state_ = state_ * 1103515245u + 12345u;
    return static_cast<double>((state_ >> 8) & 0xFFFF) / 32768.0 - 1.0;
  }

 private:
  unsigned state_;
};

// Cross-product form with a diagonal XPX: its eigenvalues are the diagonal.
void setDiagonalCrossProducts(AnalysisState& s, const std::vector<float>& diag,
                              const std::vector<float>& xpy, int n) {
  const int p = static_cast<int>(diag.size());
  s.XPXFORM = 1;
  s.N = s.NOBS = n;
  s.P = p;
  test::setControls(s, 1);
  MYQCONST(&s.XPX, p, p, 0.0);
  VYQCONST(&s.XPY, p, 0.0);
  VYQCONST(&s.XSTD, p, 1.0);
  s.YSTD = 1.0f;
  for (int i = 1; i <= p; ++i) {
    s.XPX.data[i][i] = diag[i - 1];
    s.XPY.data[i] = xpy[i - 1];
  }
}

class LeastSquaresTest : public ::testing::Test {
 protected:
  // These tests pin single-precision bits.
  PrecisionScope single_{Precision::kSingle};
  AnalysisState s;
  ReportLines capture;
  PathMenuSpy pathMenu;
};

// Hald data re-expressed (SCALECODE 2): coefficients on the scale of the
// input, scored against a double-precision fit that is itself checked
// against the published values.
TEST_F(LeastSquaresTest, HaldReExpressedMatchesPublishedFit) {
  const OlsTruth truth = olsTruth(kHaldX, kHaldY);
  for (int i = 0; i < 4; ++i)
    ASSERT_NEAR(truth.b[i], kHaldCoef[i], 0.5e-4);
  ASSERT_NEAR(truth.rsq, kHaldRsq, 0.5e-4);

  test::setUpRawModel(s, kHaldX, kHaldY, 2);
  test::openScratchOutputs(s);
  ASSERT_TRUE(LEAST_SQUARES(s));
  EXPECT_EQ(s.LSPEND, 0);
  EXPECT_EQ(pathMenu.calls, 1);
  EXPECT_EQ(s.RANK, 4);
  EXPECT_EQ(s.EQUALSV, 0);

  // Single precision keeps about 7 digits; the condition number of the
  // scaled predictors (about 37) and the 8-decimal copy for the SVD cost
  // up to two of them.
  for (int i = 1; i <= 4; ++i) {
    const double d = digits(s.BOLS.data[i], truth.b[i - 1]);
    RecordProperty("coef_digits_" + std::to_string(i), format("%.2f", d));
    EXPECT_GE(d, 4.5) << "coefficient " << i << " = " << s.BOLS.data[i];
    EXPECT_GE(digits(s.MCOR.data[i], truth.mcor[i - 1]), 5.5);
    EXPECT_GE(digits(s.OLSTSTAT.data[i], truth.t[i - 1]), 4.5);
    // Relative standard errors on the given scale: sy sqrt((Xc'Xc)^-1_ii).
    EXPECT_GE(digits(s.RELVAR.data[i], truth.sy * truth.relse[i - 1]), 4.5);
  }
  EXPECT_GE(digits(s.RSQ, truth.rsq), 5.5);
  EXPECT_GE(digits(s.S2OLS, truth.s2 / (truth.sy * truth.sy)), 4.5);

  const auto lines = capture.lines();
  // The OLS table: published four-decimal values, one sign conflict (x3 has
  // a negative correlation but a positive coefficient).
  const auto table = block(lines, "    Correlations  Coefficients  Std.Errors    Statistics");
  ASSERT_EQ(table.size(), 4u);
  // Each row shows the correlation, the coefficient and the t-statistic to
  // their printed decimals, the standard error to four digits.
  auto expectRowShows = [&](const std::string& row, int i) {
    const ShownRow r = readRow(row);
    ASSERT_EQ(r.values.size(), 4u) << row;
    EXPECT_NEAR(r.values[0], truth.mcor[i], 0.51e-4) << row;
    EXPECT_NEAR(r.values[1], kHaldCoef[i], 0.51e-4) << row;
    EXPECT_NEAR(r.values[2], truth.sy * truth.relse[i], 0.51e-3 * truth.sy * truth.relse[i]) << row;
    EXPECT_NEAR(r.values[3], truth.t[i], 0.51e-2) << row;
    EXPECT_EQ(r.conflict, truth.b[i] * truth.mcor[i] < 0) << row;
  };
  for (int i = 0; i < 4; ++i)
    expectRowShows(table[i], i);
  EXPECT_EQ(std::string(table[2], 14, 4), "<-->");
  EXPECT_GE(findLine(lines, "    The <--> marks a Sign Conflict: Correlation vs Coefficient."), 0);
  EXPECT_GE(findLine(lines, "    R-squared Statistic = 0.9824"), 0);
  // R-squared near 1 brings the shape table's warning.
  EXPECT_GE(findLine(lines, "    Note that R-square = 0.9824 for these data."), 0);
  // The analysis ends by inviting the path choice.
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[lines.size() - 4], "    You must now pick a shape for the Shrinkage Path.");
  EXPECT_EQ(lines[lines.size() - 2],
            "    When ready, use the SELECT SHAPE item on the PATH Menu...");
  EXPECT_EQ(lines.back(), BLANK_LINE);

  const auto summ = splitLines(fileText(s.files.SUMMFILE));
  EXPECT_GE(findLine(summ, "R-squared Statistic = 0.9824"), 0);
  EXPECT_GE(findLine(summ, "1 = Sign Conflicts between Corrs. & Coeffs."), 0);
  const int head = findLine(summ, "Correlations Coefficients  Std.Errors  Statistics");
  ASSERT_GE(head, 0);
  for (int i = 0; i < 4; ++i)
    expectRowShows(summ[head + 1 + i], i);
  expectAllFinite(lines, s);
}

// The principal axes themselves: descending singular values, orthonormal
// direction cosines that are eigenvectors of the scaled cross-products,
// XPXFIT rebuilding those cross-products and XPXINV inverting them.
TEST_F(LeastSquaresTest, PrincipalAxesDecomposeTheScaledPredictors) {
  test::setUpRawModel(s, kHaldX, kHaldY, 1);
  test::openScratchOutputs(s);
  ASSERT_TRUE(LEAST_SQUARES(s));
  const int p = 4, n = 13;
  // Scaled cross-products in double from the data: (n - 1) times the
  // correlation matrix.
  const OlsTruth truth = olsTruth(kHaldX, kHaldY);
  std::vector<std::vector<double>> g(p, std::vector<double>(p));
  for (int i = 0; i < p; ++i) {
    for (int j = 0; j < p; ++j) {
      double sij = 0, mi = 0, mj = 0;
      for (int k = 0; k < n; ++k) {
        mi += kHaldX[i][k] / n;
        mj += kHaldX[j][k] / n;
      }
      for (int k = 0; k < n; ++k)
        sij += (kHaldX[i][k] - mi) * (kHaldX[j][k] - mj);
      g[i][j] = sij / (truth.sx[i] * truth.sx[j]);
    }
  }
  for (int k = 1; k < p; ++k)
    EXPECT_GT(s.SVAL.data[k], s.SVAL.data[k + 1]);
  double svalSq = 0;
  for (int k = 1; k <= p; ++k)
    svalSq += double(s.SVAL.data[k]) * s.SVAL.data[k];
  EXPECT_NEAR(svalSq, (n - 1) * p, 1e-4 * (n - 1) * p);
  for (int a = 1; a <= p; ++a) {
    for (int b = 1; b <= p; ++b) {
      double d = 0;
      for (int i = 1; i <= p; ++i)
        d += double(s.DCOS.data[i][a]) * s.DCOS.data[i][b];
      EXPECT_NEAR(d, a == b ? 1.0 : 0.0, 1e-5);
    }
    // G d = sval^2 d, relative to the largest eigenvalue.
    const double lambda = double(s.SVAL.data[a]) * s.SVAL.data[a];
    for (int i = 0; i < p; ++i) {
      double gd = 0;
      for (int j = 0; j < p; ++j)
        gd += g[i][j] * s.DCOS.data[j + 1][a];
      EXPECT_NEAR(gd, lambda * s.DCOS.data[i + 1][a], 1e-5 * s.SVAL.data[1] * s.SVAL.data[1]);
    }
  }
  for (int i = 0; i < p; ++i) {
    for (int j = 0; j < p; ++j) {
      EXPECT_NEAR(s.XPXFIT.data[i + 1][j + 1], g[i][j], 1e-4 * (n - 1));
      double prod = 0;
      for (int k = 0; k < p; ++k)
        prod += double(s.XPXINV.data[i + 1][k + 1]) * g[k][j];
      EXPECT_NEAR(prod, i == j ? 1.0 : 0.0, 1e-3);
    }
  }
  // R-squared is the sum of the squared principal correlations, and the
  // component t-statistics are those correlations over their standard error.
  double r2 = 0;
  for (int k = 1; k <= p; ++k)
    r2 += double(s.PCOR.data[k]) * s.PCOR.data[k];
  EXPECT_NEAR(s.RSQ, r2, 1e-6);
  for (int k = 1; k <= p; ++k) {
    EXPECT_NEAR(s.PCTSTAT.data[k], s.PCOR.data[k] / s.PCSE, 1e-4 * std::fabs(s.PCTSTAT.data[k]));
  }
  EXPECT_NEAR(s.PCSE, std::sqrt((1 - truth.rsq) / (n - p - 1)), 1e-5);

  // The report's component table has one row per axis.
  const auto lines = capture.lines();
  const auto comp = block(lines, "    Values   Components    Correlations Statistics");
  ASSERT_EQ(comp.size(), 4u);
  for (int k = 1; k <= p; ++k) {
    const ShownRow r = readRow(comp[k - 1]);
    ASSERT_EQ(r.values.size(), 4u) << comp[k - 1];
    EXPECT_NEAR(r.values[0], s.SVAL.data[k], 0.51e-3 * s.SVAL.data[k]) << k;
    EXPECT_NEAR(r.values[1], s.UCOMP.data[k], 0.51e-4) << k;
    EXPECT_NEAR(r.values[2], s.PCOR.data[k], 0.51e-4) << k;
    EXPECT_NEAR(r.values[3], s.PCTSTAT.data[k], 0.51e-2) << k;
  }

  // The trace file: the likelihood contour ellipsoid (the inverse of the
  // scaled cross-products), four lines of four values, then the QYQ block.
  const auto trace = splitLines(fileText(s.files.TRACEFILE));
  ASSERT_GE(trace.size(), 5u);
  EXPECT_EQ(trace[0], "LYQ = Likelihood Contour Ellipsoid...");
  for (int i = 0; i < p; ++i) {
    ASSERT_EQ(trace[1 + i].size(), 4u * 14u);
    for (int j = 0; j < p; ++j) {
      const double v = std::stod(trace[1 + i].substr(14 * j, 14));
      EXPECT_NEAR(v, truth.ginv[i][j] * truth.sx[i] * truth.sx[j],
                  2e-3 * std::fabs(truth.ginv[i][i] * truth.sx[i] * truth.sx[i]));
    }
  }
  EXPECT_EQ(trace[5], "QYQ = Likelihood Statistics...");

  // The summary holds one row of principal coordinates per observation.
  const auto summ = splitLines(fileText(s.files.SUMMFILE));
  const int pc = findLine(summ, "Principal Coordinates...");
  ASSERT_GE(pc, 0);
  EXPECT_EQ(findLine(summ, "Singular Values...") - pc, n + 1);
  expectAllFinite(lines, s);
}

// The same data given as sums of cross-products give the same OLS results,
// within the rounding of the single-precision sums and of Jacobi against
// the SVD (the smallest eigenvalue of the Hald correlations is about 0.0016,
// which magnifies relative errors by about 1400).
TEST_F(LeastSquaresTest, CrossProductFormAgreesWithRawForm) {
  for (int code : {0, 1, 2}) {
    SCOPED_TRACE(code);
    AnalysisState raw, xpx;
    test::setUpRawModel(raw, kHaldX, kHaldY, code);
    test::setUpCrossProductModel(xpx, kHaldX, kHaldY, code);
    ASSERT_TRUE(LEAST_SQUARES(raw));
    test::openScratchOutputs(xpx);
    ASSERT_TRUE(LEAST_SQUARES(xpx));
    EXPECT_EQ(xpx.RANK, raw.RANK);
    // Coefficients are compared in units of their standard error and
    // t-statistics absolutely: the rounding of the sums moves a coefficient
    // by far less than its uncertainty, but by more than its own size where
    // the coefficient is small (x3, x4 of the Hald data).
    for (int i = 1; i <= 4; ++i) {
      const double se = raw.RELVAR.data[i] * std::sqrt(double(raw.S2OLS));
      EXPECT_NEAR(xpx.BOLS.data[i], raw.BOLS.data[i], 1e-3 * se) << i;
      EXPECT_NEAR(xpx.OLSTSTAT.data[i], raw.OLSTSTAT.data[i], 1e-3) << i;
      EXPECT_NEAR(xpx.RELVAR.data[i], raw.RELVAR.data[i], 1e-3 * raw.RELVAR.data[i]) << i;
      EXPECT_NEAR(xpx.MCOR.data[i], raw.MCOR.data[i], 1e-5) << i;
      EXPECT_NEAR(xpx.SVAL.data[i], raw.SVAL.data[i], 1e-4 * raw.SVAL.data[i]) << i;
      EXPECT_NEAR(std::fabs(xpx.PCOR.data[i]), std::fabs(raw.PCOR.data[i]), 1e-4) << i;
    }
    EXPECT_NEAR(xpx.RSQ, raw.RSQ, 1e-5);
    EXPECT_NEAR(xpx.S2OLS, raw.S2OLS, 1e-4 * raw.S2OLS);
    EXPECT_NEAR(xpx.TSS, raw.TSS, 1e-5 * raw.TSS);
    EXPECT_EQ(xpx.PCOORD.rows, 0);
    EXPECT_EQ(xpx.RESID.rows, 0);
    EXPECT_EQ(xpx.EVAL.rows, 4);
    // No principal coordinates or SVD lines in cross-product form.
    const std::string summ = fileText(xpx.files.SUMMFILE);
    EXPECT_EQ(summ.find("Principal Coordinates"), std::string::npos);
    EXPECT_EQ(summ.find("XMAT SVD"), std::string::npos);
  }
  EXPECT_EQ(pathMenu.calls, 6);
}

// Centre-only scaling of predictors in the hundreds: singular values in the
// thousands. Coefficients are in the units of the data and nothing in the
// report or the files overflows into inf or nan.
TEST_F(LeastSquaresTest, CentreOnlyWithLargeSingularValuesStaysFinite) {
  Columns x = kHaldX;
  for (auto& col : x) {
    for (double& v : col)
      v *= 100;
  }
  const OlsTruth truth = olsTruth(x, kHaldY);
  test::setUpRawModel(s, x, kHaldY, 0);
  test::openScratchOutputs(s);
  ASSERT_TRUE(LEAST_SQUARES(s));
  EXPECT_GT(s.SVAL.data[1], 4000.0f);
  for (int i = 1; i <= 4; ++i) {
    EXPECT_NEAR(s.BOLS.data[i] * 100, kHaldCoef[i - 1], 0.5e-4);
    EXPECT_GE(digits(s.BOLS.data[i], truth.b[i - 1]), 4.0);
  }
  EXPECT_GE(digits(s.S2OLS, truth.s2), 4.0);
  const auto lines = capture.lines();
  expectAllFinite(lines, s);
  // The Q = -5 row carries the capped constant.
  EXPECT_NE(lines[findLine(lines, "    Q-shape  MCAL      Konst    CRLQ   Chi-Sq  Best") + 21].find(
                "3.4e+38"),
            std::string::npos);
}

// Two identical predictors: one singular value falls to rounding size, the
// rank is 1 and the minimum-length solution splits the coefficient evenly.
TEST_F(LeastSquaresTest, IdenticalColumnsGiveRankOneAndEqualCoefficients) {
  const std::vector<double> x = {3, 7, 1, 9, 4, 6, 2, 8, 5, 10};
  const std::vector<double> y = {2.1, 5.9, 0.7, 8.8, 4.2, 5.1, 2.4, 7.7, 4.4, 9.6};
  test::setUpRawModel(s, {x, x}, y, 1);
  test::openScratchOutputs(s);
  ASSERT_TRUE(LEAST_SQUARES(s));
  EXPECT_EQ(s.RANK, 1);
  EXPECT_EQ(s.SVAL.data[2], 0.0f);
  EXPECT_EQ(s.UCOMP.data[2], 0.0f);
  // One predictor alone: its standardized slope is the correlation r.
  const OlsTruth one = olsTruth({x}, y);
  const double r = one.mcor[0];
  EXPECT_NEAR(s.BOLS.data[1], r / 2, 1e-5);
  EXPECT_NEAR(s.BOLS.data[2], r / 2, 1e-5);
  EXPECT_NEAR(s.RSQ, r * r, 1e-5);
  // Residual variance on one kept axis: (1 - r^2)(n - 1) / (n - 2).
  EXPECT_NEAR(s.S2OLS, (1 - r * r) * 9 / 8, 1e-5);
  const auto lines = capture.lines();
  EXPECT_GE(findLine(lines, "    Rank of Predictor Matrix = 1, not 2."), 0);
  EXPECT_EQ(block(lines, "    Values   Components    Correlations Statistics").size(), 1u);
  const auto summ = splitLines(fileText(s.files.SUMMFILE));
  EXPECT_GE(findLine(summ, "Rank of Predictor Matrix = 1, not 2."), 0);
  expectAllFinite(lines, s);
}

// Cross-product form: an eigenvalue of exactly 0, or one that rounding left
// below 0, is a dropped axis with no component and no principal
// correlation, never a square root of a negative number or a division by 0.
TEST_F(LeastSquaresTest, ZeroOrNegativeEigenvaluesAreDroppedAxes) {
  for (float last : {0.0f, -1.0e-7f}) {
    SCOPED_TRACE(last);
    AnalysisState st;
    setDiagonalCrossProducts(st, {9.0f, last}, {4.5f, 0.0f}, 10);
    test::openScratchOutputs(st);
    ReportLines cap;
    ASSERT_TRUE(LEAST_SQUARES(st));
    EXPECT_EQ(st.RANK, 1);
    EXPECT_EQ(st.SVAL.data[2], 0.0f);
    EXPECT_EQ(st.UCOMP.data[2], 0.0f);
    EXPECT_EQ(st.PCOR.data[2], 0.0f);
    // One axis: the slope is XPY / XPX = 0.5, its principal correlation
    // 4.5 / sqrt(9 (N - 1)) = 0.5.
    EXPECT_FLOAT_EQ(st.BOLS.data[1], 0.5f);
    EXPECT_FLOAT_EQ(st.PCOR.data[1], 0.5f);
    EXPECT_FLOAT_EQ(st.RSQ, 0.25f);
    expectAllFinite(cap.lines(), st);
  }
}

// Centre-only cross-products: the correlation is stored before it is divided
// by the deviations, so it is rounded twice. These values are chosen so that
// one rounding would give a different float.
TEST_F(LeastSquaresTest, CentreOnlyCrossProductCorrelationsAreRoundedAtEachStore) {
  const float xpy = 3.33f, sx = 1.013f, sy = 1.7f, d = 7.0f;
  const int n = 10;
  setDiagonalCrossProducts(s, {d}, {xpy}, n);
  s.SCALECODE = 0;
  s.XSTD.data[1] = sx;
  s.YSTD = sy;

  const float mcorStored = toFloat(static_cast<double>(xpy) / (n - 1));
  const float mcor = toFloat(static_cast<double>(mcorStored) / (static_cast<double>(sx) * sy));
  const float sval = toFloat(std::sqrt(static_cast<double>(d)));
  const float ucomp = toFloat(static_cast<double>(xpy) / d);
  const float pcorStored = toFloat(static_cast<double>(ucomp) * sval / std::sqrt(n - 1.0));
  const float pcor = toFloat(static_cast<double>(pcorStored) / sy);
  // The case only tells the two roundings apart if they differ here.
  ASSERT_NE(mcor, toFloat(static_cast<double>(xpy) / (n - 1) / (static_cast<double>(sx) * sy)));
  ASSERT_NE(pcor, toFloat(static_cast<double>(ucomp) * sval / std::sqrt(n - 1.0) / sy));

  ASSERT_TRUE(LEAST_SQUARES(s));
  EXPECT_EQ(s.MCOR.data[1], mcor);
  EXPECT_EQ(s.UCOMP.data[1], ucomp);
  EXPECT_EQ(s.PCOR.data[1], pcor);
}

// Singular values within 1% of each other count as equal.
TEST_F(LeastSquaresTest, EqualSingularValuesMeansWithinOnePercent) {
  struct Case {
    float second;
    int equal;
  };
  // sqrt(99/100) = 0.995, sqrt(97/100) = 0.985.
  for (Case c : {Case{99.0f, 1}, Case{97.0f, 0}}) {
    AnalysisState st;
    setDiagonalCrossProducts(st, {100.0f, c.second}, {3.0f, 2.0f}, 12);
    ASSERT_TRUE(LEAST_SQUARES(st));
    EXPECT_EQ(st.EQUALSV, c.equal) << c.second;
    EXPECT_EQ(st.QSHAPE, c.equal ? 1.0f : 0.0f) << c.second;
  }
}

// The same data as identical columns in cross-product form: rank 1 and
// equal coefficients, as in raw form.
TEST_F(LeastSquaresTest, IdenticalColumnsInCrossProductForm) {
  const std::vector<double> x = {3, 7, 1, 9, 4, 6, 2, 8, 5, 10};
  const std::vector<double> y = {2.1, 5.9, 0.7, 8.8, 4.2, 5.1, 2.4, 7.7, 4.4, 9.6};
  test::setUpCrossProductModel(s, {x, x}, y, 1);
  test::openScratchOutputs(s);
  ASSERT_TRUE(LEAST_SQUARES(s));
  EXPECT_EQ(s.RANK, 1);
  const double r = olsTruth({x}, y).mcor[0];
  EXPECT_NEAR(s.BOLS.data[1], r / 2, 1e-5);
  EXPECT_NEAR(s.BOLS.data[2], r / 2, 1e-5);
  expectAllFinite(capture.lines(), s);
}

// A balanced two-level design: orthogonal predictors of equal length after
// rescaling, so all singular values are equal and only Q = 1 is offered.
TEST_F(LeastSquaresTest, OrthogonalEqualLengthPredictorsForceUniformShrinkage) {
  const std::vector<double> x1 = {-1, 1, -1, 1, -1, 1, -1, 1};
  const std::vector<double> x2 = {-1, -1, 1, 1, -1, -1, 1, 1};
  const std::vector<double> y = {3.0, 5.2, 4.1, 6.8, 2.7, 5.5, 4.4, 6.1};
  test::setUpRawModel(s, {x1, x2}, y, 1);
  test::openScratchOutputs(s);
  s.QSHAPE = -2.0f;
  ASSERT_TRUE(LEAST_SQUARES(s));
  EXPECT_EQ(s.EQUALSV, 1);
  EXPECT_EQ(s.QSHAPE, 1.0f);
  EXPECT_NEAR(s.SVAL.data[1], std::sqrt(7.0), 1e-5);
  EXPECT_NEAR(s.SVAL.data[2], std::sqrt(7.0), 1e-5);
  const OlsTruth truth = olsTruth({x1, x2}, y);
  for (int i = 1; i <= 2; ++i) {
    EXPECT_NEAR(s.BOLS.data[i], truth.b[i - 1] * truth.sx[i - 1] / truth.sy, 1e-5);
  }
  const auto lines = capture.lines();
  const int eq = findLine(lines, "    All of the positive regressor singular values");
  ASSERT_GE(eq, 0);
  EXPECT_EQ(lines[eq + 1], "    are numerically equal...");
  const int head = findLine(lines, "    Q-shape  MCAL      Konst    CRLQ   Chi-Sq  Best");
  ASSERT_GE(head, 0);
  EXPECT_EQ(lines[head + 1].substr(0, 9), "     1.00");
  EXPECT_EQ(lines[head + 1].substr(lines[head + 1].size() - 3), "<<<");
  EXPECT_EQ(lines[head + 2], lines[head]);
  EXPECT_GE(findLine(lines, "    Only Uniform Shrinkage (Q=1) can be performed"), 0);
  const auto summ = splitLines(fileText(s.files.SUMMFILE));
  EXPECT_GE(findLine(summ, "All singular values equal..."), 0);
}

// Two predictors whose partner variables make their coefficients turn
// negative while their marginal correlations stay positive.
TEST_F(LeastSquaresTest, SeveralSignConflictsAreCounted) {
  Lcg rng(7);
  const int n = 24;
  Columns x(4, std::vector<double>(n));
  std::vector<double> y(n);
  for (int k = 0; k < n; ++k) {
    const double z1 = rng.next(), z2 = rng.next(), z3 = rng.next(), z4 = rng.next();
    x[0][k] = z1;
    x[1][k] = z1 + 0.3 * z2;
    x[2][k] = z3;
    x[3][k] = z3 + 0.3 * z4;
    y[k] = 2 * x[0][k] - x[1][k] + 2 * x[2][k] - x[3][k] + 0.02 * rng.next();
  }
  const OlsTruth truth = olsTruth(x, y);
  int expected = 0;
  for (int i = 0; i < 4; ++i)
    expected += truth.b[i] * truth.mcor[i] < 0;
  ASSERT_EQ(expected, 2);  // the construction works as intended

  test::setUpRawModel(s, x, y, 1);
  test::openScratchOutputs(s);
  ASSERT_TRUE(LEAST_SQUARES(s));
  const auto lines = capture.lines();
  const auto table = block(lines, "    Correlations  Coefficients  Std.Errors    Statistics");
  ASSERT_EQ(table.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(table[i].substr(14, 4), truth.b[i] * truth.mcor[i] < 0 ? "<-->" : "    ") << i;
  }
  // The message stands between the table and the residual variance.
  const int message =
      findLine(lines, "    The <--> mark 2 Sign Conflicts: Correlation vs Coefficient.");
  ASSERT_GE(message, 0);
  EXPECT_EQ(lines.at(message + 1).rfind("    Residual Variance = ", 0), 0u);
  EXPECT_EQ(findLine(lines, "    The <--> marks a Sign Conflict: Correlation vs Coefficient."), -1);
  const auto summ = splitLines(fileText(s.files.SUMMFILE));
  EXPECT_GE(findLine(summ, "2 = Sign Conflicts between Corrs. & Coeffs."), 0);
}

// No conflict: no message, and the count line says 0.
TEST_F(LeastSquaresTest, NoSignConflictGivesNoMessage) {
  const std::vector<double> x1 = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  const std::vector<double> x2 = {2, -1, 0, 3, -2, 1, -3, 2, -2};
  std::vector<double> y(9);
  for (int k = 0; k < 9; ++k)
    y[k] = x1[k] + 2 * x2[k] + 0.1 * ((k * 7) % 5 - 2);
  const OlsTruth truth = olsTruth({x1, x2}, y);
  ASSERT_GT(truth.b[0] * truth.mcor[0], 0);
  ASSERT_GT(truth.b[1] * truth.mcor[1], 0);

  test::setUpRawModel(s, {x1, x2}, y, 1);
  test::openScratchOutputs(s);
  ASSERT_TRUE(LEAST_SQUARES(s));
  const auto lines = capture.lines();
  for (const auto& l : lines)
    EXPECT_EQ(l.find("Sign Conflict"), std::string::npos) << l;
  EXPECT_GE(findLine(splitLines(fileText(s.files.SUMMFILE)),
                     "0 = Sign Conflicts between Corrs. & Coeffs."),
            0);
}

// Constant predictors leave nothing to decompose: the analysis stops.
TEST_F(LeastSquaresTest, RankZeroStopsTheAnalysis) {
  const std::vector<double> y = {1, 3, 2, 5, 4, 6, 8, 7};
  test::setUpRawModel(s, {std::vector<double>(8, 5.0), std::vector<double>(8, 3.0)}, y, 0);
  test::openScratchOutputs(s);
  EXPECT_FALSE(LEAST_SQUARES(s));
  EXPECT_EQ(s.LSPEND, 1);
  EXPECT_EQ(s.RANK, 0);
  EXPECT_EQ(pathMenu.calls, 0);
  const auto lines = capture.lines();
  const int at = findLine(lines, "    Rank of Predictor Matrix = 0, not 2.");
  ASSERT_GE(at, 0);
  EXPECT_EQ(lines[at + 1],
            "    The Predictor Matrix is Degenerate: no singular value exceeds EPS.");
  EXPECT_EQ(findLine(lines, "    Component Summary Statistics:"), -1);
  EXPECT_EQ(findLine(lines, "    Classical Maximum Likelihood Q-shape Selection:"), -1);
  EXPECT_EQ(fileText(s.files.TRACEFILE).find("LYQ"), std::string::npos);

  // The same in cross-product form: a zero cross-products matrix.
  AnalysisState xpx;
  test::setUpCrossProductModel(xpx, {std::vector<double>(8, 5.0), std::vector<double>(8, 3.0)}, y,
                               0);
  EXPECT_FALSE(LEAST_SQUARES(xpx));
  EXPECT_EQ(xpx.LSPEND, 1);
  EXPECT_EQ(pathMenu.calls, 0);
}

// With no residual degree of freedom the residual variance cannot be
// estimated: reported, and the analysis stops before any t-statistic.
TEST_F(LeastSquaresTest, NoResidualDegreesOfFreedomStops) {
  const Columns x = {{1, 2, 3, 5}, {2, 1, 4, 3}, {0, 1, 1, 3}};
  const std::vector<double> y = {1.0, 2.5, 2.0, 4.5};
  for (int form : {0, 1}) {
    SCOPED_TRACE(form);
    AnalysisState st;
    if (form == 0) {
      test::setUpRawModel(st, x, y, 1);
    } else {
      test::setUpCrossProductModel(st, x, y, 1);
    }
    test::openScratchOutputs(st);
    ReportLines cap;
    EXPECT_FALSE(LEAST_SQUARES(st));
    EXPECT_EQ(st.LSPEND, 1);
    EXPECT_EQ(st.RANK, 3);
    const auto lines = cap.lines();
    const int at = findLine(lines, "    Residual Degrees of Freedom = 0 (N - Rank - 1).");
    ASSERT_GE(at, 0);
    EXPECT_EQ(lines[at + 1], "    The OLS Residual Variance cannot be estimated.");
    EXPECT_EQ(findLine(lines, "    Component Summary Statistics:"), -1);
    expectAllFinite(lines, st);
  }
  EXPECT_EQ(pathMenu.calls, 0);
}

// As many observations as predictors: U'y must still be the components, so
// the coefficients solve X b = y exactly before the analysis stops.
TEST_F(LeastSquaresTest, SquarePredictorMatrixUsesTransposeForComponents) {
  const Columns x = {{1, 4, 2}, {3, 1, 5}, {2, 2, 7}};
  const std::vector<double> y = {1.0, 3.0, 2.5};
  test::setUpRawModel(s, x, y, 0);
  EXPECT_FALSE(LEAST_SQUARES(s));  // df = 3 - 2 - 1 = 0 after centring
  // Centring leaves rank 2; BOLS is the minimum-length solution of
  // Xc b = yc, which here fits exactly.
  ASSERT_EQ(s.BOLS.rows, 3);
  for (int k = 1; k <= 3; ++k) {
    double fit = 0;
    for (int i = 1; i <= 3; ++i)
      fit += double(s.XMAT.data[k][i]) * s.BOLS.data[i];
    EXPECT_NEAR(fit, s.YVEC.data[k], 1e-4);
  }
}

// Fewer observations than predictors: the SVD completes as if padded with
// zero rows, centring leaves rank N - 1 and no residual degree of freedom.
TEST_F(LeastSquaresTest, FewerObservationsThanPredictorsStopsSafely) {
  Lcg rng(11);
  Columns x(6, std::vector<double>(4));
  for (auto& col : x) {
    for (double& v : col)
      v = rng.next();
  }
  test::setUpRawModel(s, x, {0.3, -0.2, 0.8, 0.1}, 1);
  EXPECT_FALSE(LEAST_SQUARES(s));
  EXPECT_EQ(s.LSPEND, 1);
  EXPECT_EQ(s.RANK, 3);
  const auto lines = capture.lines();
  EXPECT_GE(findLine(lines, "SVDCMP: augment A with extra zero rows"), 0);
  EXPECT_GE(findLine(lines, "    Rank of Predictor Matrix = 3, not 6."), 0);
  EXPECT_GE(findLine(lines, "    Residual Degrees of Freedom = 0 (N - Rank - 1)."), 0);
  EXPECT_EQ(pathMenu.calls, 0);
}

// A decomposition that cannot rebuild XMAT (values too large for single
// precision to carry the centred detail) stops before any result.
TEST_F(LeastSquaresTest, LackOfFitStopsTheAnalysis) {
  Lcg rng(3);
  const int n = 12;
  Columns x(3, std::vector<double>(n));
  std::vector<double> y(n);
  for (int k = 0; k < n; ++k) {
    for (int i = 0; i < 3; ++i)
      x[i][k] = 3.0e6 * rng.next();
    y[k] = rng.next();
  }
  test::setUpRawModel(s, x, y, 0);
  test::openScratchOutputs(s);
  EXPECT_FALSE(LEAST_SQUARES(s));
  EXPECT_EQ(s.LSPEND, 1);
  EXPECT_EQ(pathMenu.calls, 0);
  const auto lines = capture.lines();
  ASSERT_EQ(lines.size(), 3u);
  double sse = 0;
  ASSERT_EQ(std::sscanf(lines[0].c_str(), "    XMAT SVD Error Sum-of-Squares = %lf", &sse), 1);
  EXPECT_GT(sse, n * 3 * 1e-5);
  EXPECT_EQ(lines[1], "    This amount of SVD Lack-of-Fit is Numerically Unsatisfactory.");
  EXPECT_EQ(lines[2], "    Try a different regressor scaling or parameterization.");
  EXPECT_EQ(s.SVAL.rows, 3);  // the decomposition stays as computed
  const auto summ = splitLines(fileText(s.files.SUMMFILE));
  double written = 0;
  ASSERT_EQ(std::sscanf(summ.back().c_str(), "XMAT SVD Error Sum-of-Squares = %lf", &written), 1)
      << summ.back();
  EXPECT_NEAR(written, sse, 1e-4 * sse);
  EXPECT_EQ(fileText(s.files.TRACEFILE), "");
}

// A NaN in the predictors makes every reconstruction error NaN; the
// lack-of-fit test must still refuse it.
TEST_F(LeastSquaresTest, NonFiniteDataFailsTheLackOfFitTest) {
  test::setUpRawModel(s, kHaldX, kHaldY, 1);
  s.XMAT.data[5][2] = std::nanf("");
  EXPECT_FALSE(LEAST_SQUARES(s));
  EXPECT_EQ(s.LSPEND, 1);
  EXPECT_GE(findLine(capture.lines(),
                     "    This amount of SVD Lack-of-Fit is Numerically Unsatisfactory."),
            0);

  AnalysisState xpx;
  test::setUpCrossProductModel(xpx, kHaldX, kHaldY, 1);
  xpx.XPX.data[1][2] = xpx.XPX.data[2][1] = std::numeric_limits<float>::infinity();
  EXPECT_FALSE(LEAST_SQUARES(xpx));
  EXPECT_EQ(xpx.LSPEND, 1);
  EXPECT_EQ(pathMenu.calls, 0);
}

// Without open files the analysis still completes and reports the same.
TEST_F(LeastSquaresTest, ClosedFilesAreSkipped) {
  test::setUpRawModel(s, kHaldX, kHaldY, 1);
  ASSERT_TRUE(LEAST_SQUARES(s));
  const auto closedLines = capture.lines();

  AnalysisState withFiles;
  test::setUpRawModel(withFiles, kHaldX, kHaldY, 1);
  test::openScratchOutputs(withFiles);
  ReportLines again;
  ASSERT_TRUE(LEAST_SQUARES(withFiles));
  EXPECT_EQ(again.lines(), closedLines);
}

// A model that was never set up is refused rather than read out of bounds.
TEST_F(LeastSquaresTest, MissingModelDataIsRefused) {
  s.P = 3;
  s.N = 10;
  EXPECT_FALSE(LEAST_SQUARES(s));
  EXPECT_EQ(s.LSPEND, 1);
  EXPECT_EQ(pathMenu.calls, 0);
}

}  // namespace
}  // namespace tolvane
