#include "engine/least_squares.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "matrix/decompose.hpp"
#include "matrix/matrix_text.hpp"
#include "report/report.hpp"

namespace tolvane {

bool signConflict(const AnalysisState& s, int i) {
  return static_cast<double>(s.BOLS.data[i]) * s.MCOR.data[i] < 0.0;
}

namespace {

// The unit roundoff of single precision.
constexpr double kSingleUnit = 1.0 / 16777216.0;

// Adds a term to a running sum, storing the sum.
double addRounded(double sum, double term) {
  return stored(sum + term);
}

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
bool decomposeRaw(AnalysisState& s, LeastSquaresNotes& notes) {
  const int n = static_cast<int>(s.N), p = s.P;  // raw data rows are int
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
  // Beyond the classic sizes (which keep the classic routine, bit for bit)
  // double precision goes through QR first, a blocked product that keeps
  // to the cache; when its factors find no memory the classic routine runs.
  if (single || n <= kMaxRawObs || !SVDCMP_QR(a, n, p, w, v)) SVDCMP(a, n, p, w, v);
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
  const int n = static_cast<int>(s.N), p = s.P;             // raw data rows are int
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
bool svdLackOfFit(AnalysisState& s, LeastSquaresNotes& notes) {
  notes.sse = 0.0;
  MYQ_COPY(&s.XPXFIT, s.XMAT);
  if (!s.XPXFIT.exists()) return false;
  notes.sse = singlePrecision() ? lackOfFitRows<SingleStore>(s) : lackOfFitRows<DoubleStore>(s);
  return true;
}

// Whether the decomposition rebuilds XMAT closely enough. A decomposition
// that produced NaN leaves SSE NaN, which no comparison would call too
// large; it fails the test all the same.
bool svdFitsClosely(const AnalysisState& s, const LeastSquaresNotes& notes) {
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
bool residualVariance(AnalysisState& s, LeastSquaresNotes& notes) {
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

// Step 13: OLS t-statistics (OLSTSTAT); RELVAR becomes the relative
// standard errors. Counts the sign conflicts.
bool olsStatistics(AnalysisState& s, LeastSquaresNotes& notes) {
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

// ---- The steps in order, and what each leaves to print. ----

using Mark = LeastSquaresResult::Mark;

// Keeps the lines the computing steps report (a toolkit routine that runs
// short of memory, say) between the marks, so that the printing puts them
// back where they fell.
class Recorder {
 public:
  explicit Recorder(LeastSquaresResult& r) : r_(r), capture_(&lines_) {}
  void mark(Mark m) {
    r_.events.push_back({m, std::move(lines_)});
    lines_.clear();
  }

 private:
  LeastSquaresResult& r_;
  std::vector<std::string> lines_;
  ReportCapture capture_;
};

// False where the analysis stops (the printing then stops there too).
bool computeSteps(AnalysisState& s, LeastSquaresResult& r, Recorder& rec) {
  LeastSquaresNotes& notes = r.notes;
  if (!modelIsSetUp(s)) {
    rec.mark(Mark::kNotSetUp);
    return false;
  }
  if (s.XPXFORM == 0) {
    MVYQCORR(&s.MCOR, s.YVEC, s.XMAT);
    rec.mark(Mark::kMarginalCorrelations);
    const bool decomposed = decomposeRaw(s, notes);
    rec.mark(Mark::kSvdNorm);
    if (!decomposed || !svdLackOfFit(s, notes)) return false;
    if (!svdFitsClosely(s, notes)) {
      rec.mark(Mark::kPoorSvdFit);
      return false;
    }
  } else {
    if (!crossProductCorrelations(s)) return false;
    rec.mark(Mark::kMarginalCorrelations);
    bool finite = true;
    if (!decomposeCrossProducts(s, &finite)) {
      if (!finite) rec.mark(Mark::kNotFinite);
      return false;
    }
  }
  // The rank cuts negligible singular values to 0; the summary file shows
  // them as the decomposition gave them.
  VYQCONST(&r.decomposedSval, s.SVAL.rows, 0.0);
  if (r.decomposedSval.rows != s.SVAL.rows) return false;
  for (int i = 1; i <= s.SVAL.rows; ++i)
    r.decomposedSval.data[i] = s.SVAL.data[i];
  rec.mark(Mark::kDecomposition);

  if (!principalComponents(s)) return false;
  rec.mark(Mark::kPrincipalCorrelations);
  findRank(s);
  rec.mark(Mark::kRank);
  if (s.RANK == 0) return false;
  checkEqualSingularValues(s);
  rec.mark(Mark::kEqualSingularValues);
  rec.mark(Mark::kEllipsoid);

  if (!rebuildCrossProducts(s) || !coefficients(s)) return false;
  if (singlePrecision()) notes.digits = singlePrecisionDigits(s);
  rec.mark(Mark::kComponents);
  if (!residualVariance(s, notes)) return false;
  if (notes.df <= 0) {
    rec.mark(Mark::kNoResidualDf);
    return false;
  }
  if (!componentStatistics(s)) return false;
  rec.mark(Mark::kComponentStatistics);
  rSquared(s);
  rec.mark(Mark::kComponentSummary);
  if (!inverseCrossProducts(s)) return false;
  rec.mark(Mark::kFitStatistics);
  if (!olsStatistics(s, notes)) return false;
  rec.mark(Mark::kOlsTable);
  return true;
}

}  // namespace

LeastSquaresResult computeLeastSquares(AnalysisState& s) {
  PrecisionScope scope(s.precision);
  LeastSquaresResult r;
  s.LSPEND = 0;
  {
    Recorder rec(r);
    r.completed = computeSteps(s, r, rec);
    rec.mark(Mark::kEnd);
  }
  if (!r.completed) s.LSPEND = 1;
  return r;
}

bool leastSquaresResults(AnalysisState& s) {
  const LeastSquaresResult r = computeLeastSquares(s);
  // What the toolkit reported reaches the report (or the caller's capture)
  // as it did when printed on the way.
  for (const LeastSquaresResult::Event& e : r.events) {
    for (const std::string& line : e.lines)
      REPORT_LINE(line.c_str());
  }
  return r.completed;
}

}  // namespace tolvane
