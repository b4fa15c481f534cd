#include "engine/qshape_table.hpp"

#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "matrix/matrix_text.hpp"
#include "report/report.hpp"
#include "report/report_and_summary.hpp"

namespace tolvane {

namespace {

// The table stores this in place of a shrinkage constant beyond single
// precision, as the extent criteria do.
constexpr double kKonstCap = 3.4e38;

void headings(std::FILE* summ) {
  reportAndSummary(summ, "Q-shape  MCAL      Konst    CRLQ   Chi-Sq  Best");
}

// The title, and whether the table can be made: not when R-squared is 1.
bool printTitle(const AnalysisState& s) {
  REPORT_LINE("    Classical Maximum Likelihood Q-shape Selection:");
  REPORT_LINE(BLANK_LINE);
  const double eps = s.EPS;
  const double rsq = s.RSQ;
  if (rsq > 1.0 - eps) {
    REPORT_LINE("    Classical likelihood path-shape selection");
    REPORT_LINE("    methods cannot be applied when R-square = 1.");
    return false;
  }
  if (s.RSQ >= 0.975f) {
    REPORT_LINE("    Classical likelihood path-shape selection methods");
    REPORT_LINE("    can be numerically unstable when R-square is nearly 1.");
    reportLinef("    Note that R-square = %5.4f for these data.", rsq);
    REPORT_LINE(BLANK_LINE);
  }
  return true;
}

// The statistics of each Q-shape of the grid (21 rows from Q = 5 down to
// -5, or Q = 1 alone when the singular values are equal): Q, MCAL, Konst,
// CRLQ and Chi-Sq, with the largest CRLQ in *best. False when memory ran
// out.
bool likelihoodStatistics(const AnalysisState& s, MatrixRec* QYQ, double* best) {
  const double eps = s.EPS;
  const double rsq = s.RSQ;
  const int rank = s.RANK;
  const int rows = s.EQUALSV == 0 ? 21 : 1;
  double q = s.EQUALSV == 0 ? 5.0 : 1.0;
  const double step = s.EQUALSV == 0 ? stored((5.0 + 5.0) / (rows - 1)) : 0.0;
  MYQCONST(QYQ, rows, 5, 0.0);
  if (!QYQ->exists()) return false;
  const Rows1<double> table = QYQ->data;

  // Weights and their sum of squares reach far beyond single precision when
  // the singular values are large (centre-only scaling), so they are held in
  // double; only what the table shows is rounded to single precision.
  std::vector<double> w(static_cast<std::size_t>(rank) + 1);
  const double n = s.N;
  *best = 0.0;
  for (int i = 1; i <= rows; ++i) {
    const double a = 1.0 - static_cast<double>(q);
    table[i][1] = q;
    for (int j = 1; j <= rank; ++j)
      w[j] = 1.0;

    double sumSq = 0.0;
    if (a == 0.0) {
      sumSq = rank;
    } else {
      for (int j = 1; j <= rank; ++j) {
        const double sv = s.SVAL.data[j];
        w[j] = sv >= eps ? std::exp(a * std::log(sv)) : 0.0;
        sumSq += w[j] * w[j];
      }
    }

    double c = 0.0;
    for (int j = 1; j <= rank; ++j)
      c += std::fabs(static_cast<double>(s.PCOR.data[j])) * w[j];
    const double crlq =
        stored(rsq * sumSq >= eps ? c / std::sqrt(rsq * sumSq) : c / std::sqrt(eps));
    table[i][4] = crlq;
    if (crlq > *best) *best = crlq;

    const double t = stored(static_cast<double>(crlq) * crlq * rsq);
    const double konst = t > eps ? (1.0 - t) * sumSq / (n * t) : sumSq / (n * eps);
    table[i][3] = stored(konst < kKonstCap ? konst : kKonstCap);

    double mcal = 0.0;
    for (int j = 1; j <= rank; ++j) {
      const double kappa = w[j] > eps ? konst / (w[j] * w[j]) : konst / (eps * eps);
      mcal += std::isinf(kappa) ? 1.0 : kappa / (1.0 + kappa);
    }
    table[i][2] = stored(mcal);

    // EPS floors the logarithm's argument, which rounding could otherwise
    // push to 0 when CRLQ is 1 and R-square is large.
    double ratio = (1.0 - t) / (1.0 - rsq);
    if (!(ratio >= eps)) ratio = eps;
    table[i][5] = stored(n * std::log(ratio));

    q = stored(static_cast<double>(q) - step);
  }
  return true;
}

// The table between its headings, the largest CRLQ marked "<<<".
void printTable(const AnalysisState& s, const MatrixRec& QYQ, double best) {
  std::FILE* summ = s.files.SUMMFILE;
  headings(summ);
  for (int i = 1; i <= QYQ.rows; ++i) {
    const char* mark = QYQ.data[i][4] >= best ? "<<<" : "   ";
    const double qv = QYQ.data[i][1], mcal = QYQ.data[i][2], konst = QYQ.data[i][3],
                 crlq = QYQ.data[i][4], chi = QYQ.data[i][5];
    reportAndSummaryf(summ, "%5.2f  %6.3f  %9.3g  %6.4f  %7.2f  %3s", qv, mcal, konst, crlq, chi,
                      mark);
  }
  headings(summ);
}

void printNotes(const AnalysisState& s) {
  if (s.EQUALSV == 0) {
    REPORT_LINE(BLANK_LINE);
    REPORT_LINE("    NOTE: The Q-shape most likely to be MSE optimal");
    REPORT_LINE("      maximizes CRLQ and minimizes Chi-Squared.");
  }
  if (s.EQUALSV == 1) {
    REPORT_LINE(BLANK_LINE);
    REPORT_LINE("    Only Uniform Shrinkage (Q=1) can be performed");
    REPORT_LINE("    by Tolvane when all positive regressor singular");
    REPORT_LINE("    values are equal.");
  }
  REPORT_SHOW();
  REPORT_LINE(BLANK_LINE);
}

void writeTrace(const AnalysisState& s, const MatrixRec& QYQ) {
  std::FILE* trace = s.files.TRACEFILE;
  if (trace == nullptr) return;
  std::fputs("QYQ = Likelihood Statistics...\n", trace);
  std::fputs("     Q-shape        MCAL        Konst           CRLQ        Chi-Sq\n", trace);
  MYQWRITE(trace, QYQ, 18, " %13.6g", 0);
}

}  // namespace

bool computeShapeTable(const AnalysisState& s, ShapeTable* table) {
  PrecisionScope scope(s.precision);
  if (static_cast<double>(s.RSQ) > 1.0 - static_cast<double>(s.EPS)) return false;
  // Only a completed analysis has axes to rate.
  if (s.RANK < 1 || s.SVAL.rows < s.RANK || s.PCOR.rows < s.RANK) return false;
  return likelihoodStatistics(s, &table->rows, &table->best);
}

void reportShapeTable(const AnalysisState& s, const ShapeTable& table) {
  printTable(s, table.rows, table.best);
  printNotes(s);
  writeTrace(s, table.rows);
}

void QSHAPE_TABLE(AnalysisState& s) {
  if (!printTitle(s)) return;
  ShapeTable table;
  if (!computeShapeTable(s, &table)) return;
  reportShapeTable(s, table);
  // No computation reads it again; the batch tool exports it.
  s.QYQ = std::move(table.rows);
}

}  // namespace tolvane
