#include "engine/least_squares.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "engine/front_end_hooks.hpp"
#include "engine/qshape_table.hpp"
#include "matrix/matrix_text.hpp"
#include "report/report.hpp"
#include "report/report_and_summary.hpp"

namespace tolvane {

namespace {

// The fewest correct digits a single-precision run may keep without a
// warning.
constexpr double kFewestDigits = 3.0;

using Mark = LeastSquaresResult::Mark;

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
        ellipsoid->data[i][j] = stored(ellipsoid->data[i][j] + term);
      }
    }
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

void printSvdNorm(const AnalysisState& s, const LeastSquaresNotes& notes) {
  if (notes.svdDone) filef(s.files.SUMMFILE, "XMAT SVD Norm = %13.9g\n", notes.svdNorm);
}

void printPoorSvdFit(const AnalysisState& s, const LeastSquaresNotes& notes) {
  reportAndSummaryf(s.files.SUMMFILE, "XMAT SVD Error Sum-of-Squares = %13.9f", notes.sse);
  REPORT_LINE("    This amount of SVD Lack-of-Fit is Numerically Unsatisfactory.");
  REPORT_LINE("    Try a different regressor scaling or parameterization.");
}

void printNotFinite() {
  REPORT_LINE("    The Eigenvalues of the Cross-Products Matrix are not finite.");
  REPORT_LINE("    Check the cross-product sums of the batch input file.");
}

// The decomposition, as the summary file keeps it.
void printDecomposition(const AnalysisState& s, const LeastSquaresNotes& notes,
                        const VectorRec& sval) {
  if (!s.files.summOpen()) return;
  std::FILE* summ = s.files.SUMMFILE;
  const bool raw = s.XPXFORM == 0;
  if (raw && s.PCOORD.rows > kMaxListedRows) {
    std::fprintf(summ, "Principal Coordinates: %d rows, not listed beyond %d.\n", s.PCOORD.rows,
                 kMaxListedRows);
  } else if (raw) {
    std::fputs("Principal Coordinates...\n", summ);
    MYQWRITE(summ, s.PCOORD, 25, " %7.4f", 0);
  }
  std::fputs("Singular Values...\n", summ);
  VYQWRITE(summ, sval, 18, " %13.6g", 0);
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

void printPrecisionWarning(const AnalysisState& s, const LeastSquaresNotes& notes) {
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

void printNoResidualDf(const AnalysisState& s, const LeastSquaresNotes& notes) {
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
void printOlsTable(const AnalysisState& s, const LeastSquaresNotes& notes) {
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

// The printing of one mark; false when the analysis stops there (the
// ellipsoid, made only for the trace file, found no memory).
bool printMark(AnalysisState& s, const LeastSquaresResult& r, Mark mark) {
  const LeastSquaresNotes& notes = r.notes;
  switch (mark) {
    case Mark::kNotSetUp:
      printNotSetUp();
      break;
    case Mark::kMarginalCorrelations:
      printMarginalCorrelations(s);
      break;
    case Mark::kSvdNorm:
      printSvdNorm(s, notes);
      break;
    case Mark::kPoorSvdFit:
      printPoorSvdFit(s, notes);
      break;
    case Mark::kNotFinite:
      printNotFinite();
      break;
    case Mark::kDecomposition:
      printDecomposition(s, notes, r.decomposedSval);
      break;
    case Mark::kPrincipalCorrelations:
      printPrincipalCorrelations(s);
      break;
    case Mark::kRank:
      printRank(s);
      break;
    case Mark::kEqualSingularValues:
      printEqualSingularValues(s);
      break;
    case Mark::kEllipsoid:
      if (s.files.traceOpen()) {
        MatrixRec ellipsoid;
        if (!likelihoodEllipsoid(s, &ellipsoid)) return false;
        printEllipsoid(s, ellipsoid);
      }
      break;
    case Mark::kComponents:
      printPrecisionWarning(s, notes);
      printComponents(s);
      break;
    case Mark::kNoResidualDf:
      printNoResidualDf(s, notes);
      break;
    case Mark::kComponentStatistics:
      printComponentStatistics(s);
      break;
    case Mark::kComponentSummary:
      printComponentSummary(s);
      break;
    case Mark::kFitStatistics:
      printFitStatistics(s);
      break;
    case Mark::kOlsTable:
      printOlsTable(s, notes);
      break;
    case Mark::kEnd:
      break;
  }
  return true;
}

}  // namespace

bool renderLeastSquares(AnalysisState& s, const LeastSquaresResult& r) {
  PrecisionScope scope(s.precision);
  for (const LeastSquaresResult::Event& e : r.events) {
    for (const std::string& line : e.lines)
      REPORT_LINE(line.c_str());
    if (e.mark == Mark::kEnd) break;
    if (!printMark(s, r, e.mark)) {
      s.LSPEND = 1;
      REPORT_SHOW();
      return false;
    }
  }
  if (!r.completed) {
    REPORT_SHOW();
    return false;
  }
  printShapeChoice(s);
  offerPathMenu();
  return true;
}

bool LEAST_SQUARES(AnalysisState& s) {
  return renderLeastSquares(s, computeLeastSquares(s));
}

}  // namespace tolvane
