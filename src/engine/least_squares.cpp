#include "engine/least_squares.hpp"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "engine/front_end_hooks.hpp"
#include "engine/qshape_table.hpp"
#include "matrix/decompose.hpp"
#include "matrix/matrix_text.hpp"
#include "report/report.hpp"

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

bool stop(AnalysisState& s) {
  s.LSPEND = 1;
  REPORT_SHOW();
  return false;
}

// Raw data: the SVD of XMAT and its lack-of-fit test.
// Returns false when the decomposition does not rebuild XMAT closely enough.
bool decomposeRaw(AnalysisState& s, double* sseOut) {
  std::FILE* summ = s.files.SUMMFILE;
  const int n = s.N, p = s.P;

  MVYQCORR(&s.MCOR, s.YVEC, s.XMAT);
  if (s.files.summOpen())
    writeLabelledRow(summ, "Marginal Correlations...\n", s.MCOR, 25, " %7.4f");

  // In single precision the decomposition sees XMAT rounded to 8 decimals;
  // in double precision it sees XMAT itself.
  Rows1<double> a = DATRIX(n, p);
  Array1<double> w = DVECTOR(p);
  Rows1<double> v = DATRIX(p, p);
  if (!a || !w || !v) {
    if (a) DATRIX_FREE(a, n);
    if (w) DVECTOR_FREE(w);
    if (v) DATRIX_FREE(v, p);
    return stop(s);
  }
  char text[128];
  const bool single = singlePrecision();
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= p; ++j) {
      double x = s.XMAT.data[i][j];
      if (single) {
        std::snprintf(text, sizeof text, "%20.8f", x);
        if (std::sscanf(text, "%lf", &x) != 1) x = 0.0;
      }
      a[i][j] = x;
    }
  }
  for (int j = 1; j <= p; ++j) {
    w[j] = 0.0;
    for (int k = 1; k <= p; ++k)
      v[j][k] = 0.0;
  }
  SVDCMP(a, n, p, w, v);
  filef(summ, "XMAT SVD Norm = %13.9g\n", SVDNORM);

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
  if (!s.SVAL.exists() || !s.WORKMAT.exists() || !s.DCOS.exists()) return stop(s);

  SVD_SORT(s.WORKMAT.data, s.SVAL.data, s.DCOS.data, n, p);
  MYQ_COPY(&s.PCOORD, s.WORKMAT);

  MYQ_COPY(&s.XPXFIT, s.XMAT);
  if (!s.XPXFIT.exists()) return stop(s);
  double sse = 0.0;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= p; ++j) {
      for (int k = 1; k <= p; ++k) {
        const double term =
            static_cast<double>(s.WORKMAT.data[i][k]) * s.SVAL.data[k] * s.DCOS.data[j][k];
        s.XPXFIT.data[i][j] = stored(static_cast<double>(s.XPXFIT.data[i][j]) - term);
      }
      const double e = s.XPXFIT.data[i][j];
      sse = addRounded(sse, e * e);
    }
  }
  *sseOut = sse;

  // A decomposition that produced NaN leaves SSE NaN, which no comparison
  // would call too large; it fails the test all the same.
  const double limit = static_cast<double>(n) * p * s.EPS;
  if (!(static_cast<double>(sse) <= limit)) {
    reportLinef("    XMAT SVD Error Sum-of-Squares = %13.9f", static_cast<double>(sse));
    filef(summ, "XMAT SVD Error Sum-of-Squares = %13.9f\n", static_cast<double>(sse));
    REPORT_LINE("    This amount of SVD Lack-of-Fit is Numerically Unsatisfactory.");
    REPORT_LINE("    Try a different regressor scaling or parameterization.");
    return stop(s);
  }
  return true;
}

// Cross-products: the eigen-decomposition of XPX.
// Returns false when the eigenvalues are not finite numbers.
bool decomposeCrossProducts(AnalysisState& s) {
  const int p = s.P;
  VYQCONST(&s.MCOR, p, 0.0);
  if (!s.MCOR.exists()) return stop(s);
  // Each division is stored, so centre-only correlations are rounded twice.
  for (int i = 1; i <= p; ++i) {
    s.MCOR.data[i] = stored(static_cast<double>(s.XPY.data[i]) / (s.N - 1));
    if (s.SCALECODE == 0) {
      s.MCOR.data[i] = stored(static_cast<double>(s.MCOR.data[i]) /
                              (static_cast<double>(s.XSTD.data[i]) * s.YSTD));
    }
  }
  if (s.files.summOpen()) {
    writeLabelledRow(s.files.SUMMFILE, "Marginal Correlations...\n", s.MCOR, 25, " %7.4f");
  }

  MYQ_COPY(&s.WORKMAT, s.XPX);
  VYQCONST(&s.EVAL, p, 0.0);
  MYQCONST(&s.DCOS, p, p, 0.0);
  VYQCONST(&s.SVAL, p, 0.0);
  if (!s.WORKMAT.exists() || !s.EVAL.exists() || !s.DCOS.exists() || !s.SVAL.exists()) {
    return stop(s);
  }
  int nrot = 0;
  SYMMETRIC_EIGEN(s.WORKMAT.data, p, s.EVAL.data, s.DCOS.data, &nrot);
  EIGEN_SORT(s.EVAL.data, s.DCOS.data, p);
  for (int i = 1; i <= p; ++i) {
    const double e = s.EVAL.data[i];
    if (!std::isfinite(e)) {
      REPORT_LINE("    The Eigenvalues of the Cross-Products Matrix are not finite.");
      REPORT_LINE("    Check the cross-product sums of the batch input file.");
      return stop(s);
    }
    // Rounding can leave the eigenvalue of a dropped axis slightly below 0.
    s.SVAL.data[i] = e > 0.0 ? stored(std::sqrt(e)) : 0.0;
  }
  return true;
}

}  // namespace

bool LEAST_SQUARES(AnalysisState& s) {
  PrecisionScope scope(s.precision);
  s.LSPEND = 0;
  const int n = s.N, p = s.P;
  const bool raw = s.XPXFORM == 0;
  std::FILE* summ = s.files.SUMMFILE;
  std::FILE* trace = s.files.TRACEFILE;
  const double eps = s.EPS;

  // The model set-up guarantees these; a caller that skipped it gets a
  // report instead of reads outside the arrays.
  const bool haveData = raw ? (s.XMAT.rows == n && s.XMAT.cols == p && s.YVEC.rows == n)
                            : (s.XPX.rows == p && s.XPX.cols == p && s.XPY.rows == p);
  const bool needStd = s.SCALECODE == 2 || (!raw && s.SCALECODE == 0);
  if (p < 1 || n < 1 || !haveData || (needStd && s.XSTD.rows < p)) {
    REPORT_LINE("    The regression model has not been set up: no least squares.");
    return stop(s);
  }

  double sse = 0.0;
  if (raw ? !decomposeRaw(s, &sse) : !decomposeCrossProducts(s)) return false;

  // The decomposition, as the summary file keeps it.
  if (s.files.summOpen()) {
    if (raw) {
      std::fputs("Principal Coordinates...\n", summ);
      MYQWRITE(summ, s.PCOORD, 25, " %7.4f", 0);
    }
    std::fputs("Singular Values...\n", summ);
    VYQWRITE(summ, s.SVAL, 18, " %13.6g", 0);
    std::fputs("Direction Cosines...\n", summ);
    MYQWRITE(summ, s.DCOS, 25, " %7.4f", 0);
    if (raw)
      std::fprintf(summ, "XMAT SVD Error Sum-of-Squares = %13.6g\n", static_cast<double>(sse));
  }

  // Principal correlations and uncorrelated components.
  if (raw) {
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
  if (s.UCOMP.rows != p || s.PCOR.rows != p) return stop(s);
  if (s.files.summOpen())
    writeLabelledRow(summ, "Principal Correlations...\n", s.PCOR, 25, " %7.4f");

  // Rank: an axis is dropped when its singular value is negligible in
  // absolute terms or against the largest.
  s.RANK = 0;
  const double tiny = eps * eps * s.SVAL.data[1];
  for (int i = 1; i <= p; ++i) {
    const double sv = s.SVAL.data[i];
    if (sv <= eps || sv <= tiny) {
      s.SVAL.data[i] = 0.0f;
      s.UCOMP.data[i] = 0.0f;
    } else {
      ++s.RANK;
      if (raw) s.UCOMP.data[i] = stored(s.UCOMP.data[i] / sv);
    }
  }
  if (s.RANK < p) reportLinef("    Rank of Predictor Matrix = %d, not %d.", s.RANK, p);
  if (s.RANK == 0) {
    REPORT_LINE("    The Predictor Matrix is Degenerate: no singular value exceeds EPS.");
    REPORT_LINE("    Check for constant predictors or a zero cross-products matrix.");
    filef(summ, "Rank of Predictor Matrix = 0, not %d.\n", p);
    return stop(s);
  }
  const int rank = s.RANK;

  // All kept singular values equal: only uniform shrinkage makes sense.
  if (stored(static_cast<double>(s.SVAL.data[rank]) / s.SVAL.data[1]) > 0.99f) {
    s.EQUALSV = 1;
    s.QSHAPE = 1.0f;
    REPORT_LINE("    All of the positive regressor singular values");
    REPORT_LINE("    are numerically equal...");
  } else {
    s.EQUALSV = 0;
  }

  // The likelihood contour ellipsoid, then XPXFIT rebuilt from the
  // kept axes.
  MYQCONST(&s.XPXFIT, p, p, 0.0);
  if (!s.XPXFIT.exists()) return stop(s);
  for (int i = 1; i <= p; ++i) {
    for (int j = 1; j <= p; ++j) {
      for (int k = 1; k <= rank; ++k) {
        const double sv = s.SVAL.data[k];
        const double term = static_cast<double>(s.DCOS.data[i][k]) / sv / sv * s.DCOS.data[j][k];
        s.XPXFIT.data[i][j] = addRounded(s.XPXFIT.data[i][j], term);
      }
    }
  }
  filef(trace, "LYQ = Likelihood Contour Ellipsoid...\n");
  MYQWRITE(trace, s.XPXFIT, 18, " %13.6g", 0);
  for (int i = 1; i <= p; ++i) {
    for (int j = 1; j <= p; ++j) {
      s.XPXFIT.data[i][j] = 0.0f;
      for (int k = 1; k <= rank; ++k) {
        const double sv = s.SVAL.data[k];
        const double term = static_cast<double>(s.DCOS.data[i][k]) * sv * sv * s.DCOS.data[j][k];
        s.XPXFIT.data[i][j] = addRounded(s.XPXFIT.data[i][j], term);
      }
    }
  }

  // Coefficients back on the predictors.
  MYQBYVYQ(&s.BOLS, s.UCOMP, s.DCOS);
  if (s.BOLS.rows != p) return stop(s);

  // Single precision carries about 7 digits. A coefficient loses as many as
  // the logarithm of the spread of the kept singular values, and more when
  // it is small beside the others: when fewer than 3 are left, say so.
  if (singlePrecision()) {
    const double condition = s.SVAL.data[1] / s.SVAL.data[rank];
    double norm = 0.0, smallest = 0.0;
    for (int j = 1; j <= p; ++j)
      norm += s.BOLS.data[j] * s.BOLS.data[j];
    norm = std::sqrt(norm);
    for (int j = 1; j <= p; ++j) {
      const double b = std::fabs(s.BOLS.data[j]);
      if (b > 0.0 && (smallest == 0.0 || b < smallest)) smallest = b;
    }
    const double digits =
        smallest > 0.0 ? -std::log10(kSingleUnit * condition * norm / smallest) : 7.0;
    if (digits < kFewestDigits) {
      reportLinef(
          "    Single precision leaves about %.0f correct digits here: use double precision.",
          std::max(digits, 0.0));
      filef(summ, "Single precision leaves about %.0f correct digits here: use double precision.\n",
            std::max(digits, 0.0));
    }
  }
  if (s.files.summOpen()) {
    if (rank < p) std::fprintf(summ, "Rank of Predictor Matrix = %d, not %d.\n", rank, p);
    if (s.EQUALSV == 1) std::fputs("All singular values equal...\n", summ);
    writeLabelledRow(summ, "Uncorrelated Components...\n", s.UCOMP, 18, " %13.6g");
  }

  // Residual variance.
  const int df = n - rank - 1;
  if (raw) {
    MYQBYVYQ(&s.RESID, s.BOLS, s.XMAT);
    if (s.RESID.rows != n) return stop(s);
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
  if (df <= 0) {
    s.S2OLS = 0.0f;
    reportLinef("    Residual Degrees of Freedom = %d (N - Rank - 1).", df);
    REPORT_LINE("    The OLS Residual Variance cannot be estimated.");
    REPORT_LINE("    Use more observations or fewer regressor variables.");
    filef(summ, "%d = Residual Degrees of Freedom: Residual Variance cannot be estimated.\n", df);
    return stop(s);
  }

  // Component t-statistics.
  VYQCONST(&s.PCTSTAT, p, 0.0);
  if (!s.PCTSTAT.exists()) return stop(s);
  if (s.TSS <= eps) {
    s.PCSE = s.TSS;
  } else {
    s.PCSE = stored(std::sqrt(static_cast<double>(s.S2OLS) / s.TSS));
    if (s.PCSE > eps) {
      for (int i = 1; i <= rank; ++i) {
        s.PCTSTAT.data[i] = stored(static_cast<double>(s.PCOR.data[i]) / s.PCSE);
      }
    }
  }
  if (s.files.summOpen()) {
    std::fprintf(summ, "Principal Correlation Std.Error = %g\n", static_cast<double>(s.PCSE));
    writeLabelledRow(summ, "Component t-statistics...\n", s.PCTSTAT, 18, " %13.6g");
  }

  // Component summary; R-squared is summed over the printed rows.
  REPORT_LINE("    Component Summary Statistics:");
  REPORT_LINE(BLANK_LINE);
  REPORT_LINE("    Singular Uncorrelated  Principal    t-");
  REPORT_LINE("    Values   Components    Correlations Statistics");
  double rsq = 0.0;
  for (int i = 1; i <= rank; ++i) {
    reportLinef(" %10.4g %10.4f   %9.4f %10.2f", static_cast<double>(s.SVAL.data[i]),
                static_cast<double>(s.UCOMP.data[i]), static_cast<double>(s.PCOR.data[i]),
                static_cast<double>(s.PCTSTAT.data[i]));
    const double r = s.PCOR.data[i];
    rsq = addRounded(rsq, r * r);
  }
  s.RSQ = rsq;
  REPORT_LINE(BLANK_LINE);
  reportLinef("    Principal Correlation Std.Error = %g", static_cast<double>(s.PCSE));
  reportLinef("    R-squared Statistic = %6.4f", static_cast<double>(s.RSQ));
  REPORT_SHOW();
  REPORT_LINE(BLANK_LINE);

  // Inverse cross-products; re-expression puts coefficients and their
  // relative variances on the scale of the input.
  MYQCONST(&s.XPXINV, p, p, 0.0);
  if (!s.XPXINV.exists()) return stop(s);
  SVDCOVAR(s.DCOS.data, p, s.SVAL.data, s.XPXINV.data);
  VYQDIAGN(&s.RELVAR, s.XPXINV);
  if (s.RELVAR.rows != p) return stop(s);
  if (s.SCALECODE == 2) {
    for (int i = 1; i <= p; ++i) {
      if (s.XSTD.data[i] > s.EPS) {
        const double ratio = static_cast<double>(s.YSTD) / s.XSTD.data[i];
        s.BOLS.data[i] = stored(s.BOLS.data[i] * ratio);
        s.RELVAR.data[i] = stored(s.RELVAR.data[i] * (ratio * ratio));
      }
    }
  }
  filef(summ, "R-squared Statistic = %6.4f\n", static_cast<double>(s.RSQ));
  filef(summ, "OLS Residual Variance = %g\n", static_cast<double>(s.S2OLS));

  // The OLS table with its sign-conflict marks.
  REPORT_LINE("    Ordinary Least Squares Summary:");
  REPORT_LINE(BLANK_LINE);
  REPORT_LINE("    Marginal      Regression    Relative      t-");
  REPORT_LINE("    Correlations  Coefficients  Std.Errors    Statistics");
  filef(summ, "Marginal     Regression    Relative    t-\n");
  filef(summ, "Correlations Coefficients  Std.Errors  Statistics\n");
  int conflicts = 0;
  VYQCONST(&s.OLSTSTAT, p, 0.0);
  if (!s.OLSTSTAT.exists()) return stop(s);
  for (int i = 1; i <= p; ++i) {
    const char* mark = "    ";
    if (static_cast<double>(s.BOLS.data[i]) * s.MCOR.data[i] < 0.0) {
      mark = "<-->";
      ++conflicts;
    }
    const double se = std::sqrt(static_cast<double>(s.RELVAR.data[i]) * s.S2OLS);
    s.OLSTSTAT.data[i] = stored(s.BOLS.data[i] / (se >= eps ? se : eps));
    s.RELVAR.data[i] = stored(std::sqrt(static_cast<double>(s.RELVAR.data[i])));
    const double mc = s.MCOR.data[i], b = s.BOLS.data[i], rv = s.RELVAR.data[i],
                 t = s.OLSTSTAT.data[i];
    reportLinef("    %9.4f %4s%9.4f %12.4g %11.2f", mc, mark, b, rv, t);
    filef(summ, "%9.4f %4s%9.4f %10.4g %10.2f\n", mc, mark, b, rv, t);
  }
  REPORT_LINE(BLANK_LINE);
  if (conflicts >= 2 && s.NOTELEVEL < 3) {
    reportLinef("    The <--> mark %d Sign Conflicts: Correlation vs Coefficient.", conflicts);
  } else if (conflicts == 1 && s.NOTELEVEL < 3) {
    REPORT_LINE("    The <--> marks a Sign Conflict: Correlation vs Coefficient.");
  }
  reportLinef("    Residual Variance = %g", static_cast<double>(s.S2OLS));
  REPORT_SHOW();
  REPORT_LINE(BLANK_LINE);
  filef(summ, "%d = Sign Conflicts between Corrs. & Coeffs.\n", conflicts);

  // The shape table, then the invitation to choose a path.
  QSHAPE_TABLE(s);
  REPORT_LINE("    You must now pick a shape for the Shrinkage Path.");
  REPORT_LINE("    You should read the above information before making this decision.");
  REPORT_LINE("    When ready, use the SELECT SHAPE item on the PATH Menu...");
  REPORT_LINE(BLANK_LINE);
  REPORT_SHOW();
  offerPathMenu();
  return true;
}

}  // namespace tolvane
