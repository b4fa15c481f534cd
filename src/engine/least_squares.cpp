#include "engine/least_squares.hpp"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "engine/front_end_hooks.hpp"
#include "engine/qshape_table.hpp"
#include "matrix/decompose.hpp"
#include "matrix/matrix_text.hpp"
#include "report/report.hpp"
#include "report/report_and_summary.hpp"

namespace tolvane {

namespace {

// The unit roundoff of single precision, and the fewest correct digits a
// single-precision run may keep without a warning.
constexpr double kSingleUnit = 1.0 / 16777216.0;
constexpr double kFewestDigits = 3.0;

// Adds a term to a running sum, storing the sum.
double addRounded(double sum, double term) {
  return stored(sum + term);
}

// Writes a vector to a file as one labelled row. A null file is skipped.
void writeLabelledRow(std::FILE* file, const char* label, const VectorRec& v, int perLine,
                      const char* format) {
  if (file == nullptr) return;
  std::fputs(label, file);
  MatrixRec row;
  VYQTOMYQ(v, &row);
  MYQWRITE(file, row, perLine, format, 0);
}

// Writes one formatted line to a file that may not be open.
void filef(std::FILE* file, const char* format, ...) __attribute__((format(printf, 2, 3)));
void filef(std::FILE* file, const char* format, ...) {
  if (file == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(file, format, args);
  va_end(args);
}

// What the printing steps need beyond the state: values that the
// computation finds on its way and does not keep.
struct FitNotes {
  bool svdDone = false;  // SVDNORM belongs to this run
  double svdNorm = 0.0;
  double sse = 0.0;     // lack of fit of the raw decomposition
  double digits = 7.0;  // correct digits left in single precision
  std::int64_t df = 0;  // residual degrees of freedom
  int conflicts = 0;    // sign conflicts of correlation and coefficient
};

// ---- The computing steps: each fills the state, none prints. ----

// Step 1: the data the analysis needs are there. The model set-up
// guarantees it; a caller that skipped it gets a report instead of reads
// outside the arrays.
bool modelIsSetUp(const AnalysisState& s) {
  const std::int64_t n = s.N;  // sums may stand for billions of rows
  const int p = s.P;
  const bool raw = s.XPXFORM == 0;
  const bool haveData = raw ? (s.XMAT.rows == n && s.XMAT.cols == p && s.YVEC.rows == n)
                            : (s.XPX.rows == p && s.XPX.cols == p && s.XPY.rows == p);
  const bool needStd = s.SCALECODE == 2 || (!raw && s.SCALECODE == 0);
  return !(p < 1 || n < 1 || !haveData || (needStd && s.XSTD.rows < p));
}

// Step 2 (raw data): the SVD of XMAT into SVAL, WORKMAT (U) and DCOS, sorted,
// and PCOORD. In single precision the decomposition sees XMAT rounded to 8
// decimals; in double precision it sees XMAT itself.
bool decomposeRaw(AnalysisState& s, FitNotes& notes) {
  const int n = static_cast<int>(s.N), p = s.P;  // raw data: at most 200 rows
  Rows1<double> a = DATRIX(n, p);
  Array1<double> w = DVECTOR(p);
  Rows1<double> v = DATRIX(p, p);
  if (!a || !w || !v) {
    if (a) DATRIX_FREE(a, n);
    if (w) DVECTOR_FREE(w);
    if (v) DATRIX_FREE(v, p);
    return false;
  }
  const bool single = singlePrecision();
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= p; ++j) {
      const double x = s.XMAT.data[i][j];
      a[i][j] = single ? roundedToEightDecimals(x) : x;
    }
  }
  for (int j = 1; j <= p; ++j) {
    w[j] = 0.0;
    for (int k = 1; k <= p; ++k)
      v[j][k] = 0.0;
  }
  SVDCMP(a, n, p, w, v);
  notes.svdDone = true;
  notes.svdNorm = SVDNORM;

  VYQCONST(&s.SVAL, p, 0.0);
  MYQCONST(&s.WORKMAT, n, p, 0.0);
  MYQCONST(&s.DCOS, p, p, 0.0);
  if (s.SVAL.exists() && s.WORKMAT.exists() && s.DCOS.exists()) {
    for (int j = 1; j <= p; ++j)
      s.SVAL.data[j] = stored(w[j]);
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= p; ++j)
        s.WORKMAT.data[i][j] = stored(a[i][j]);
    }
    for (int i = 1; i <= p; ++i) {
      for (int j = 1; j <= p; ++j)
        s.DCOS.data[i][j] = stored(v[i][j]);
    }
  }
  DATRIX_FREE(a, n);
  DVECTOR_FREE(w);
  DATRIX_FREE(v, p);
  if (!s.SVAL.exists() || !s.WORKMAT.exists() || !s.DCOS.exists()) return false;

  SVD_SORT(s.WORKMAT.data, s.SVAL.data, s.DCOS.data, n, p);
  MYQ_COPY(&s.PCOORD, s.WORKMAT);
  return true;
}

// XMAT - U S V' into XPXFIT (holding XMAT) row by row, and its sum of
// squares. Each element takes its terms in the order k = 1..p and the sum
// its elements row after row, as a plain triple loop would; running a row's
// elements side by side only lets them overlap.
template <class Store>
double lackOfFitRows(AnalysisState& s) {
  const int n = static_cast<int>(s.N), p = s.P;             // raw data: at most 200 rows
  std::vector<double> vt(static_cast<std::size_t>(p) * p);  // V transposed
  for (int j = 1; j <= p; ++j) {
    for (int k = 1; k <= p; ++k)
      vt[static_cast<std::size_t>(k - 1) * p + (j - 1)] = s.DCOS.data[j][k];
  }
  double sse = 0.0;
  for (int i = 1; i <= n; ++i) {
    double* fit = s.XPXFIT.data.row(i);
    const double* u = s.WORKMAT.data.row(i);
    for (int k = 1; k <= p; ++k) {
      const double us = u[k - 1] * s.SVAL.data[k];
      const double* v = vt.data() + static_cast<std::size_t>(k - 1) * p;
      for (int j = 0; j < p; ++j)
        fit[j] = Store::round(fit[j] - us * v[j]);
    }
    for (int j = 0; j < p; ++j)
      sse = Store::round(sse + fit[j] * fit[j]);
  }
  return sse;
}

// Step 3 (raw data): the lack of fit of the decomposition, XMAT - U S V',
// left in XPXFIT with its sum of squares in notes.sse. Missing memory
// returns false with sse 0.
bool svdLackOfFit(AnalysisState& s, FitNotes& notes) {
  notes.sse = 0.0;
  MYQ_COPY(&s.XPXFIT, s.XMAT);
  if (!s.XPXFIT.exists()) return false;
  notes.sse = singlePrecision() ? lackOfFitRows<SingleStore>(s) : lackOfFitRows<DoubleStore>(s);
  return true;
}

// Whether the decomposition rebuilds XMAT closely enough. A decomposition
// that produced NaN leaves SSE NaN, which no comparison would call too
// large; it fails the test all the same.
bool svdFitsClosely(const AnalysisState& s, const FitNotes& notes) {
  const double limit = static_cast<double>(s.N) * s.P * s.EPS;
  return static_cast<double>(notes.sse) <= limit;
}

// Step 2 (cross-products): the marginal correlations from XPY. Each
// division is stored, so centre-only correlations are rounded twice.
bool crossProductCorrelations(AnalysisState& s) {
  const int p = s.P;
  VYQCONST(&s.MCOR, p, 0.0);
  if (!s.MCOR.exists()) return false;
  for (int i = 1; i <= p; ++i) {
    s.MCOR.data[i] = stored(static_cast<double>(s.XPY.data[i]) / (s.N - 1));
    if (s.SCALECODE == 0) {
      s.MCOR.data[i] = stored(static_cast<double>(s.MCOR.data[i]) /
                              (static_cast<double>(s.XSTD.data[i]) * s.YSTD));
    }
  }
  return true;
}

// Step 3 (cross-products): the eigen-decomposition of XPX into EVAL, DCOS
// and SVAL (square roots). *finite tells whether every eigenvalue is a
// finite number; false alone means memory ran out.
bool decomposeCrossProducts(AnalysisState& s, bool* finite) {
  const int p = s.P;
  *finite = true;
  MYQ_COPY(&s.WORKMAT, s.XPX);
  VYQCONST(&s.EVAL, p, 0.0);
  MYQCONST(&s.DCOS, p, p, 0.0);
  VYQCONST(&s.SVAL, p, 0.0);
  if (!s.WORKMAT.exists() || !s.EVAL.exists() || !s.DCOS.exists() || !s.SVAL.exists()) {
    return false;
  }
  int nrot = 0;
  SYMMETRIC_EIGEN(s.WORKMAT.data, p, s.EVAL.data, s.DCOS.data, &nrot);
  EIGEN_SORT(s.EVAL.data, s.DCOS.data, p);
  for (int i = 1; i <= p; ++i) {
    const double e = s.EVAL.data[i];
    if (!std::isfinite(e)) {
      *finite = false;
      return false;
    }
    // Rounding can leave the eigenvalue of a dropped axis slightly below 0.
    s.SVAL.data[i] = e > 0.0 ? stored(std::sqrt(e)) : 0.0;
  }
  return true;
}

// Step 4: principal correlations (PCOR) and uncorrelated components (UCOMP).
bool principalComponents(AnalysisState& s) {
  const std::int64_t n = s.N;
  const int p = s.P;
  if (s.XPXFORM == 0) {
    MVYQCORR(&s.PCOR, s.YVEC, s.WORKMAT);
    if (n == p) {
      // MYQBYVYQ takes a square matrix as A v; U' y needs the transpose.
      MatrixRec ut;
      MYQTRANS(&ut, s.WORKMAT);
      MYQBYVYQ(&s.UCOMP, s.YVEC, ut);
    } else {
      MYQBYVYQ(&s.UCOMP, s.YVEC, s.WORKMAT);
    }
  } else {
    MYQTRANS(&s.WORKMAT, s.DCOS);
    MYQBYVYQ(&s.UCOMP, s.XPY, s.WORKMAT);
    VYQCONST(&s.PCOR, p, 0.0);
    if (s.UCOMP.rows == p && s.PCOR.exists()) {
      for (int i = 1; i <= p; ++i) {
        const double e = s.EVAL.data[i];
        if (e <= 0.0) {
          s.UCOMP.data[i] = 0.0f;
          s.PCOR.data[i] = 0.0f;
          continue;
        }
        s.UCOMP.data[i] = stored(s.UCOMP.data[i] / e);
        s.PCOR.data[i] =
            stored(static_cast<double>(s.UCOMP.data[i]) * s.SVAL.data[i] / std::sqrt(n - 1.0));
        if (s.SCALECODE == 0) s.PCOR.data[i] = stored(static_cast<double>(s.PCOR.data[i]) / s.YSTD);
      }
    }
  }
  return s.UCOMP.rows == p && s.PCOR.rows == p;
}

// Step 5: the rank. An axis is dropped when its singular value is
// negligible in absolute terms or against the largest; raw components of
// kept axes are divided by their singular value.
void findRank(AnalysisState& s) {
  const int p = s.P;
  const double eps = s.EPS;
  s.RANK = 0;
  const double tiny = eps * eps * s.SVAL.data[1];
  for (int i = 1; i <= p; ++i) {
    const double sv = s.SVAL.data[i];
    if (sv <= eps || sv <= tiny) {
      s.SVAL.data[i] = 0.0f;
      s.UCOMP.data[i] = 0.0f;
    } else {
      ++s.RANK;
      if (s.XPXFORM == 0) s.UCOMP.data[i] = stored(s.UCOMP.data[i] / sv);
    }
  }
}

// Step 6: all kept singular values equal: only uniform shrinkage makes sense.
void checkEqualSingularValues(AnalysisState& s) {
  if (stored(static_cast<double>(s.SVAL.data[s.RANK]) / s.SVAL.data[1]) > 0.99f) {
    s.EQUALSV = 1;
    s.QSHAPE = 1.0f;
  } else {
    s.EQUALSV = 0;
  }
}

// The likelihood contour ellipsoid V S^-2 V' over the kept axes; only the
// trace matrix file shows it.
bool likelihoodEllipsoid(const AnalysisState& s, MatrixRec* ellipsoid) {
  const int p = s.P, rank = s.RANK;
  MYQCONST(ellipsoid, p, p, 0.0);
  if (!ellipsoid->exists()) return false;
  for (int i = 1; i <= p; ++i) {
    for (int j = 1; j <= p; ++j) {
      for (int k = 1; k <= rank; ++k) {
        const double sv = s.SVAL.data[k];
        const double term = static_cast<double>(s.DCOS.data[i][k]) / sv / sv * s.DCOS.data[j][k];
        ellipsoid->data[i][j] = addRounded(ellipsoid->data[i][j], term);
      }
    }
  }
  return true;
}

// V S^2 V' into XPXFIT row by row, each element summing its terms in the
// order k = 1..RANK.
template <class Store>
void crossProductRows(AnalysisState& s) {
  const int p = s.P, rank = s.RANK;
  std::vector<double> vt(static_cast<std::size_t>(rank) * p);  // kept columns of V, transposed
  for (int j = 1; j <= p; ++j) {
    for (int k = 1; k <= rank; ++k)
      vt[static_cast<std::size_t>(k - 1) * p + (j - 1)] = s.DCOS.data[j][k];
  }
  for (int i = 1; i <= p; ++i) {
    double* fit = s.XPXFIT.data.row(i);
    for (int j = 0; j < p; ++j)
      fit[j] = 0.0;
    for (int k = 1; k <= rank; ++k) {
      const double sv = s.SVAL.data[k];
      const double vs = static_cast<double>(s.DCOS.data[i][k]) * sv * sv;
      const double* v = vt.data() + static_cast<std::size_t>(k - 1) * p;
      for (int j = 0; j < p; ++j)
        fit[j] = Store::round(fit[j] + vs * v[j]);
    }
  }
}

// Step 7: XPXFIT rebuilt from the kept axes, V S^2 V'.
bool rebuildCrossProducts(AnalysisState& s) {
  MYQCONST(&s.XPXFIT, s.P, s.P, 0.0);
  if (!s.XPXFIT.exists()) return false;
  if (singlePrecision()) {
    crossProductRows<SingleStore>(s);
  } else {
    crossProductRows<DoubleStore>(s);
  }
  return true;
}

// Step 8: the coefficients back on the predictors, BOLS = G c.
bool coefficients(AnalysisState& s) {
  MYQBYVYQ(&s.BOLS, s.UCOMP, s.DCOS);
  return s.BOLS.rows == s.P;
}

// Single precision carries about 7 digits. A coefficient loses as many as
// the logarithm of the spread of the kept singular values, and more when it
// is small beside the others.
double singlePrecisionDigits(const AnalysisState& s) {
  const int p = s.P;
  const double condition = s.SVAL.data[1] / s.SVAL.data[s.RANK];
  double norm = 0.0, smallest = 0.0;
  for (int j = 1; j <= p; ++j)
    norm += s.BOLS.data[j] * s.BOLS.data[j];
  norm = std::sqrt(norm);
  for (int j = 1; j <= p; ++j) {
    const double b = std::fabs(s.BOLS.data[j]);
    if (b > 0.0 && (smallest == 0.0 || b < smallest)) smallest = b;
  }
  return smallest > 0.0 ? -std::log10(kSingleUnit * condition * norm / smallest) : 7.0;
}

// Step 9: the residual variance S2OLS and TSS, with the residual degrees
// of freedom in notes.df; with none left S2OLS is 0. False when memory ran
// out.
bool residualVariance(AnalysisState& s, FitNotes& notes) {
  const std::int64_t n = s.N;
  const int rank = s.RANK;
  const std::int64_t df = n - rank - 1;
  notes.df = df;
  if (s.XPXFORM == 0) {
    MYQBYVYQ(&s.RESID, s.BOLS, s.XMAT);
    if (s.RESID.rows != n) return false;
    double tss = 0.0, rss = 0.0;
    for (int i = 1; i <= n; ++i) {
      s.RESID.data[i] = stored(static_cast<double>(s.YVEC.data[i]) - s.RESID.data[i]);
      const double y = s.YVEC.data[i], r = s.RESID.data[i];
      tss = addRounded(tss, y * y);
      rss = addRounded(rss, r * r);
    }
    s.TSS = tss;
    if (df > 0) s.S2OLS = stored(static_cast<double>(rss) / df);
  } else {
    double tss = n - 1.0;
    if (s.SCALECODE == 0) tss *= static_cast<double>(s.YSTD) * s.YSTD;
    s.TSS = stored(tss);
    double r2 = 0.0;
    for (int i = 1; i <= rank; ++i) {
      const double r = s.PCOR.data[i];
      r2 = addRounded(r2, r * r);
    }
    if (df > 0) s.S2OLS = stored(static_cast<double>(s.TSS) / df * (1.0 - r2));
  }
  if (df <= 0) s.S2OLS = 0.0f;
  return true;
}

// Step 10: the standard error of the principal correlations (PCSE) and the
// component t-statistics (PCTSTAT).
bool componentStatistics(AnalysisState& s) {
  const double eps = s.EPS;
  VYQCONST(&s.PCTSTAT, s.P, 0.0);
  if (!s.PCTSTAT.exists()) return false;
  if (s.TSS <= eps) {
    s.PCSE = s.TSS;
  } else {
    s.PCSE = stored(std::sqrt(static_cast<double>(s.S2OLS) / s.TSS));
    if (s.PCSE > eps) {
      for (int i = 1; i <= s.RANK; ++i) {
        s.PCTSTAT.data[i] = stored(static_cast<double>(s.PCOR.data[i]) / s.PCSE);
      }
    }
  }
  return true;
}

// Step 11: R-squared, summed over the kept axes.
void rSquared(AnalysisState& s) {
  double rsq = 0.0;
  for (int i = 1; i <= s.RANK; ++i) {
    const double r = s.PCOR.data[i];
    rsq = addRounded(rsq, r * r);
  }
  s.RSQ = rsq;
}

// Step 12: inverse cross-products and relative variances; re-expression
// puts coefficients and their relative variances on the scale of the input.
bool inverseCrossProducts(AnalysisState& s) {
  const int p = s.P;
  MYQCONST(&s.XPXINV, p, p, 0.0);
  if (!s.XPXINV.exists()) return false;
  SVDCOVAR(s.DCOS.data, p, s.SVAL.data, s.XPXINV.data);
  VYQDIAGN(&s.RELVAR, s.XPXINV);
  if (s.RELVAR.rows != p) return false;
  if (s.SCALECODE == 2) {
    for (int i = 1; i <= p; ++i) {
      if (s.XSTD.data[i] > s.EPS) {
        const double ratio = static_cast<double>(s.YSTD) / s.XSTD.data[i];
        s.BOLS.data[i] = stored(s.BOLS.data[i] * ratio);
        s.RELVAR.data[i] = stored(s.RELVAR.data[i] * (ratio * ratio));
      }
    }
  }
  return true;
}

// A coefficient whose sign differs from its marginal correlation's.
bool signConflict(const AnalysisState& s, int i) {
  return static_cast<double>(s.BOLS.data[i]) * s.MCOR.data[i] < 0.0;
}

// Step 13: OLS t-statistics (OLSTSTAT); RELVAR becomes the relative
// standard errors. Counts the sign conflicts.
bool olsStatistics(AnalysisState& s, FitNotes& notes) {
  const int p = s.P;
  const double eps = s.EPS;
  notes.conflicts = 0;
  VYQCONST(&s.OLSTSTAT, p, 0.0);
  if (!s.OLSTSTAT.exists()) return false;
  for (int i = 1; i <= p; ++i) {
    if (signConflict(s, i)) ++notes.conflicts;
    const double se = std::sqrt(static_cast<double>(s.RELVAR.data[i]) * s.S2OLS);
    s.OLSTSTAT.data[i] = stored(s.BOLS.data[i] / (se >= eps ? se : eps));
    s.RELVAR.data[i] = stored(std::sqrt(static_cast<double>(s.RELVAR.data[i])));
  }
  return true;
}

// ---- The printing steps: report window, summary and trace files. ----

void printNotSetUp() {
  REPORT_LINE("    The regression model has not been set up: no least squares.");
}

void printMarginalCorrelations(const AnalysisState& s) {
  if (s.files.summOpen())
    writeLabelledRow(s.files.SUMMFILE, "Marginal Correlations...\n", s.MCOR, 25, " %7.4f");
}

void printSvdNorm(const AnalysisState& s, const FitNotes& notes) {
  if (notes.svdDone) filef(s.files.SUMMFILE, "XMAT SVD Norm = %13.9g\n", notes.svdNorm);
}

void printPoorSvdFit(const AnalysisState& s, const FitNotes& notes) {
  reportAndSummaryf(s.files.SUMMFILE, "XMAT SVD Error Sum-of-Squares = %13.9f", notes.sse);
  REPORT_LINE("    This amount of SVD Lack-of-Fit is Numerically Unsatisfactory.");
  REPORT_LINE("    Try a different regressor scaling or parameterization.");
}

void printNotFinite() {
  REPORT_LINE("    The Eigenvalues of the Cross-Products Matrix are not finite.");
  REPORT_LINE("    Check the cross-product sums of the batch input file.");
}

// The decomposition, as the summary file keeps it.
void printDecomposition(const AnalysisState& s, const FitNotes& notes) {
  if (!s.files.summOpen()) return;
  std::FILE* summ = s.files.SUMMFILE;
  const bool raw = s.XPXFORM == 0;
  if (raw) {
    std::fputs("Principal Coordinates...\n", summ);
    MYQWRITE(summ, s.PCOORD, 25, " %7.4f", 0);
  }
  std::fputs("Singular Values...\n", summ);
  VYQWRITE(summ, s.SVAL, 18, " %13.6g", 0);
  std::fputs("Direction Cosines...\n", summ);
  MYQWRITE(summ, s.DCOS, 25, " %7.4f", 0);
  if (raw) std::fprintf(summ, "XMAT SVD Error Sum-of-Squares = %13.6g\n", notes.sse);
}

void printPrincipalCorrelations(const AnalysisState& s) {
  if (s.files.summOpen())
    writeLabelledRow(s.files.SUMMFILE, "Principal Correlations...\n", s.PCOR, 25, " %7.4f");
}

void printRank(const AnalysisState& s) {
  if (s.RANK < s.P) reportLinef("    Rank of Predictor Matrix = %d, not %d.", s.RANK, s.P);
  if (s.RANK == 0) {
    REPORT_LINE("    The Predictor Matrix is Degenerate: no singular value exceeds EPS.");
    REPORT_LINE("    Check for constant predictors or a zero cross-products matrix.");
    filef(s.files.SUMMFILE, "Rank of Predictor Matrix = 0, not %d.\n", s.P);
  }
}

void printEqualSingularValues(const AnalysisState& s) {
  if (s.EQUALSV != 1) return;
  REPORT_LINE("    All of the positive regressor singular values");
  REPORT_LINE("    are numerically equal...");
}

void printEllipsoid(const AnalysisState& s, const MatrixRec& ellipsoid) {
  filef(s.files.TRACEFILE, "LYQ = Likelihood Contour Ellipsoid...\n");
  MYQWRITE(s.files.TRACEFILE, ellipsoid, 18, " %13.6g", 0);
}

void printPrecisionWarning(const AnalysisState& s, const FitNotes& notes) {
  if (notes.digits >= kFewestDigits) return;
  const double digits = std::max(notes.digits, 0.0);
  reportAndSummaryf(s.files.SUMMFILE,
                    "Single precision leaves about %.0f correct digits here: use double precision.",
                    digits);
}

void printComponents(const AnalysisState& s) {
  if (!s.files.summOpen()) return;
  std::FILE* summ = s.files.SUMMFILE;
  if (s.RANK < s.P) std::fprintf(summ, "Rank of Predictor Matrix = %d, not %d.\n", s.RANK, s.P);
  if (s.EQUALSV == 1) std::fputs("All singular values equal...\n", summ);
  writeLabelledRow(summ, "Uncorrelated Components...\n", s.UCOMP, 18, " %13.6g");
}

void printNoResidualDf(const AnalysisState& s, const FitNotes& notes) {
  reportLinef("    Residual Degrees of Freedom = %lld (N - Rank - 1).",
              static_cast<long long>(notes.df));
  REPORT_LINE("    The OLS Residual Variance cannot be estimated.");
  REPORT_LINE("    Use more observations or fewer regressor variables.");
  filef(s.files.SUMMFILE,
        "%lld = Residual Degrees of Freedom: Residual Variance cannot be estimated.\n",
        static_cast<long long>(notes.df));
}

void printComponentStatistics(const AnalysisState& s) {
  if (!s.files.summOpen()) return;
  std::fprintf(s.files.SUMMFILE, "Principal Correlation Std.Error = %g\n",
               static_cast<double>(s.PCSE));
  writeLabelledRow(s.files.SUMMFILE, "Component t-statistics...\n", s.PCTSTAT, 18, " %13.6g");
}

void printComponentSummary(const AnalysisState& s) {
  REPORT_LINE("    Component Summary Statistics:");
  REPORT_LINE(BLANK_LINE);
  REPORT_LINE("    Singular Uncorrelated  Principal    t-");
  REPORT_LINE("    Values   Components    Correlations Statistics");
  for (int i = 1; i <= s.RANK; ++i) {
    reportLinef(" %10.4g %10.4f   %9.4f %10.2f", static_cast<double>(s.SVAL.data[i]),
                static_cast<double>(s.UCOMP.data[i]), static_cast<double>(s.PCOR.data[i]),
                static_cast<double>(s.PCTSTAT.data[i]));
  }
  REPORT_LINE(BLANK_LINE);
  reportLinef("    Principal Correlation Std.Error = %g", static_cast<double>(s.PCSE));
  reportLinef("    R-squared Statistic = %6.4f", static_cast<double>(s.RSQ));
  REPORT_SHOW();
  REPORT_LINE(BLANK_LINE);
}

void printFitStatistics(const AnalysisState& s) {
  filef(s.files.SUMMFILE, "R-squared Statistic = %6.4f\n", static_cast<double>(s.RSQ));
  filef(s.files.SUMMFILE, "OLS Residual Variance = %g\n", static_cast<double>(s.S2OLS));
}

// The OLS table with its sign-conflict marks.
void printOlsTable(const AnalysisState& s, const FitNotes& notes) {
  std::FILE* summ = s.files.SUMMFILE;
  REPORT_LINE("    Ordinary Least Squares Summary:");
  REPORT_LINE(BLANK_LINE);
  REPORT_LINE("    Marginal      Regression    Relative      t-");
  REPORT_LINE("    Correlations  Coefficients  Std.Errors    Statistics");
  filef(summ, "Marginal     Regression    Relative    t-\n");
  filef(summ, "Correlations Coefficients  Std.Errors  Statistics\n");
  for (int i = 1; i <= s.P; ++i) {
    const char* mark = signConflict(s, i) ? "<-->" : "    ";
    const double mc = s.MCOR.data[i], b = s.BOLS.data[i], rv = s.RELVAR.data[i],
                 t = s.OLSTSTAT.data[i];
    reportLinef("    %9.4f %4s%9.4f %12.4g %11.2f", mc, mark, b, rv, t);
    filef(summ, "%9.4f %4s%9.4f %10.4g %10.2f\n", mc, mark, b, rv, t);
  }
  REPORT_LINE(BLANK_LINE);
  if (notes.conflicts >= 2) {
    reportLinef("    The <--> mark %d Sign Conflicts: Correlation vs Coefficient.",
                notes.conflicts);
  } else if (notes.conflicts == 1) {
    REPORT_LINE("    The <--> marks a Sign Conflict: Correlation vs Coefficient.");
  }
  reportLinef("    Residual Variance = %g", static_cast<double>(s.S2OLS));
  REPORT_SHOW();
  REPORT_LINE(BLANK_LINE);
  filef(summ, "%d = Sign Conflicts between Corrs. & Coeffs.\n", notes.conflicts);
}

// The shape table, then the invitation to choose a path.
void printShapeChoice(AnalysisState& s) {
  QSHAPE_TABLE(s);
  REPORT_LINE("    You must now pick a shape for the Shrinkage Path.");
  REPORT_LINE("    You should read the above information before making this decision.");
  REPORT_LINE("    When ready, use the SELECT SHAPE item on the PATH Menu...");
  REPORT_LINE(BLANK_LINE);
  REPORT_SHOW();
}

// ---- The steps in order; `show` adds the printing after each. ----

bool stop(AnalysisState& s, bool show) {
  s.LSPEND = 1;
  if (show) REPORT_SHOW();
  return false;
}

bool runLeastSquares(AnalysisState& s, bool show) {
  PrecisionScope scope(s.precision);
  s.LSPEND = 0;
  FitNotes notes;
  if (!modelIsSetUp(s)) {
    if (show) printNotSetUp();
    return stop(s, show);
  }

  if (s.XPXFORM == 0) {
    MVYQCORR(&s.MCOR, s.YVEC, s.XMAT);
    if (show) printMarginalCorrelations(s);
    const bool decomposed = decomposeRaw(s, notes);
    if (show) printSvdNorm(s, notes);
    if (!decomposed || !svdLackOfFit(s, notes)) return stop(s, show);
    if (!svdFitsClosely(s, notes)) {
      if (show) printPoorSvdFit(s, notes);
      return stop(s, show);
    }
  } else {
    if (!crossProductCorrelations(s)) return stop(s, show);
    if (show) printMarginalCorrelations(s);
    bool finite = true;
    if (!decomposeCrossProducts(s, &finite)) {
      if (show && !finite) printNotFinite();
      return stop(s, show);
    }
  }
  if (show) printDecomposition(s, notes);

  if (!principalComponents(s)) return stop(s, show);
  if (show) printPrincipalCorrelations(s);

  findRank(s);
  if (show) printRank(s);
  if (s.RANK == 0) return stop(s, show);
  checkEqualSingularValues(s);
  if (show) printEqualSingularValues(s);

  if (show && s.files.traceOpen()) {
    MatrixRec ellipsoid;
    if (!likelihoodEllipsoid(s, &ellipsoid)) return stop(s, show);
    printEllipsoid(s, ellipsoid);
  }
  if (!rebuildCrossProducts(s) || !coefficients(s)) return stop(s, show);

  if (singlePrecision()) notes.digits = singlePrecisionDigits(s);
  if (show) {
    printPrecisionWarning(s, notes);
    printComponents(s);
  }

  if (!residualVariance(s, notes)) return stop(s, show);
  if (notes.df <= 0) {
    if (show) printNoResidualDf(s, notes);
    return stop(s, show);
  }

  if (!componentStatistics(s)) return stop(s, show);
  if (show) printComponentStatistics(s);
  rSquared(s);
  if (show) printComponentSummary(s);

  if (!inverseCrossProducts(s)) return stop(s, show);
  if (show) printFitStatistics(s);
  if (!olsStatistics(s, notes)) return stop(s, show);
  if (show) {
    printOlsTable(s, notes);
    printShapeChoice(s);
    offerPathMenu();
  }
  return true;
}

}  // namespace

bool LEAST_SQUARES(AnalysisState& s) {
  return runLeastSquares(s, true);
}

bool leastSquaresResults(AnalysisState& s) {
  return runLeastSquares(s, false);
}

}  // namespace tolvane
