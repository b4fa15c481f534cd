#include "engine/extent_criteria.hpp"

#include <cmath>
#include <cstdio>

#include "engine/delta_step.hpp"
#include "matrix/matrix_text.hpp"
#include "report/report.hpp"
#include "report/report_and_summary.hpp"

namespace tolvane {

namespace {

// The constant of the last step does not fit single precision.
constexpr double kConstantCap = 3.4e38;

void heading(const AnalysisState& s) {
  reportLinef("    3 Likelihood Criteria for Extent of Shrinkage along a %s Shape Path:",
              pathHeading(s.SHAPECODE, s.QSHAPE).c_str());
  REPORT_LINE(BLANK_LINE);
}

const char* mark(bool best) {
  return best ? "<<<" : "   ";
}

}  // namespace

namespace {

// The title, and whether the criteria can be computed: not when R-squared
// is 1.
bool printTitle(const AnalysisState& s) {
  heading(s);
  if (static_cast<double>(s.RSQ) > 1.0 - static_cast<double>(s.EPS)) {
    REPORT_LINE("    Classical likelihood shrinkage-extent selection");
    REPORT_LINE("    methods cannot be applied when R-square = 1.");
    return false;
  }
  if (s.RSQ >= 0.975f) {
    REPORT_LINE("    Classical likelihood shrinkage-extent selection methods");
    REPORT_LINE("    can be numerically unstable when R-square is nearly 1.");
    reportLinef("    Note that R-square = %5.4f for these data.", static_cast<double>(s.RSQ));
    REPORT_LINE(BLANK_LINE);
  }
  return true;
}

// Select Shape never comes here without an analysis; a caller that does
// gets a message instead of reads past the results.
bool haveAnalysisAndPath(const AnalysisState& s) {
  const int R = s.RANK;
  return !(R < 1 || R > s.P || s.NSTEPS < 2 || s.MSTEPS < 1 || s.PCOR.rows < R ||
           s.PCTSTAT.rows < R);
}

// DYQ and THREEYQ, step by step; `deltaStep(step, k)` fills row `step` of
// DYQ as DELTA_STEP does and returns its constant. False when memory ran
// out.
template <class DeltaStep>
bool computeCriteria(AnalysisState& s, DeltaStep deltaStep) {
  const int R = s.RANK;
  const int nsteps = s.NSTEPS;
  VectorRec x, u;
  VYQCONST(&x, R, 1.0);
  VYQCONST(&u, R, 0.0);
  MYQCONST(&s.DYQ, nsteps, s.P, 0.0);
  MYQCONST(&s.THREEYQ, nsteps, 5, 0.0);
  if (!x.exists() || !u.exists() || !s.DYQ.exists() || !s.THREEYQ.exists()) return false;

  const double N = s.N;
  const double eps = s.EPS;
  const double logEps = std::log(eps);
  const double rsq = s.RSQ;
  const Array1<double> rho = s.PCOR.data;
  const Array1<double> t = s.PCTSTAT.data;
  const Rows1<double> tab = s.THREEYQ.data;

  double maxClik = 0.0, maxRcoef = 0.0, maxEbays = 0.0;
  double k = 0.0;
  for (int step = 1; step <= nsteps; ++step) {
    k = deltaStep(step, k);
    if (step == 1) continue;
    const double m = static_cast<double>(step - 1) / s.MSTEPS;
    const Array1<double> delta = s.DYQ.data[step];

    // Sums are stored, like every stored value.
    double a = 0.0, b = 0.0, rcoef = 0.0, sumL = 0.0, fit = 0.0;
    for (int j = 1; j <= R; ++j) {
      u.data[j] = stored(1.0 - delta[j]);
      const double uj = u.data[j];
      x.data[j] = stored(uj >= eps ? delta[j] / uj : delta[j] / eps);
      const double xj = x.data[j];
      a = stored(a + std::sqrt(xj) * std::fabs(static_cast<double>(rho[j])));
      b = stored(b + xj);
      // An unshrunk axis would have log(0): the floor keeps it finite.
      const double L = uj >= eps ? std::log(uj) : logEps;
      const double tj = t[j];
      rcoef = stored(rcoef + (tj * tj * uj - L));
      sumL = stored(sumL + L);
      fit = stored(fit + static_cast<double>(rho[j]) * rho[j] * delta[j]);
    }
    // z is the positive root of N z^2 + A z - 1 = 0.
    const double D = a + std::sqrt(4.0 * N + static_cast<double>(a) * a);
    const double z = D > eps ? 2.0 / D : 2.0 / eps;
    const double zf = z > eps ? z : eps;
    const double clik = stored(2.0 * N * std::log(zf) + b - a / zf - N * std::log((1.0 - rsq) / N));
    const double ebays =
        stored(-static_cast<double>(sumL) + N * std::log((1.0 - fit) / (1.0 - rsq)));

    const Array1<double> row = tab[step];
    row[1] = stored(m);
    row[2] = stored(k > kConstantCap ? kConstantCap : k);
    row[3] = clik;
    row[4] = rcoef;
    row[5] = ebays;
    if (clik > maxClik) maxClik = clik;
    if (rcoef > maxRcoef) maxRcoef = rcoef;
    if (ebays > maxEbays) maxEbays = ebays;
  }
  tab[1][1] = 0.0;
  tab[1][2] = 0.0;
  tab[1][3] = stored(1.1 * maxClik);
  tab[1][4] = stored(1.1 * maxRcoef);
  tab[1][5] = stored(1.1 * maxEbays);
  return true;
}

}  // namespace

void EXTENT_CRITERIA(AnalysisState& s) {
  PrecisionScope scope(s.precision);
  if (!printTitle(s)) return;
  if (!haveAnalysisAndPath(s)) {
    RUN_ERROR("EXTENT_CRITERIA: no completed analysis and path to assess.");
    return;
  }
  if (!computeCriteria(s, [&s](int step, double k) { return DELTA_STEP(s, step, k); })) return;
  reportExtentTable(s, extentMinima(s.THREEYQ, s.RANK));
}

bool extentCriteriaResults(AnalysisState& s) {
  PrecisionScope scope(s.precision);
  if (static_cast<double>(s.RSQ) > 1.0 - static_cast<double>(s.EPS)) return false;
  if (!haveAnalysisAndPath(s)) return false;
  return computeCriteria(s, [&s](int step, double k) { return DELTA_STEP(s, step, k); });
}

bool extentCriteriaFromSteps(AnalysisState& s, const DeltaRow* delta, const double* k) {
  PrecisionScope scope(s.precision);
  if (static_cast<double>(s.RSQ) > 1.0 - static_cast<double>(s.EPS)) return false;
  if (!haveAnalysisAndPath(s)) return false;
  return computeCriteria(s, [&](int step, double) {
    const Array1<double> row = s.DYQ.data[step];
    for (int i = 1; i <= s.P; ++i)
      row[i] = stored(delta[step - 1][i]);
    return k[step - 1];
  });
}

ExtentMinima extentMinima(const MatrixRec& threeYQ, int rank) {
  ExtentMinima m;
  const int nsteps = threeYQ.rows;
  const Rows1<double> tab = threeYQ.data;
  m.clik = m.rcoef = m.ebays = 0.0;
  for (int step = 2; step <= nsteps; ++step) {
    if (tab[step][3] > m.clik) m.clik = tab[step][3];
    if (tab[step][4] > m.rcoef) m.rcoef = tab[step][4];
    if (tab[step][5] > m.ebays) m.ebays = tab[step][5];
  }
  m.clikStep = 2;
  for (int step = 2; step <= nsteps; ++step) {
    if (tab[step][3] < m.clik) {
      m.clik = tab[step][3];
      m.clikStep = step;
    }
    if (tab[step][4] < m.rcoef) m.rcoef = tab[step][4];
    if (tab[step][5] < m.ebays) m.ebays = tab[step][5];
  }
  m.gupStep = 2 * (m.clikStep - 1) / rank + 1;
  if (m.gupStep > nsteps) m.gupStep = nsteps;
  return m;
}

void reportExtentTable(const AnalysisState& s, const ExtentMinima& minima) {
  const int nsteps = s.THREEYQ.rows;
  const Rows1<double> tab = s.THREEYQ.data;
  const double minClik = minima.clik, minRcoef = minima.rcoef, minEbays = minima.ebays;
  const int gup = minima.gupStep;
  // The rows bring their own margin, and the summary file keeps it.
  const ReportForm table{.indent = false};
  reportAndSummary(s.files.SUMMFILE, "       MCAL        CLIK           EBAYS           RCOEF",
                   table);
  reportAndSummary(s.files.SUMMFILE, "      0.000     +infinity       +infinity       +infinity",
                   table);
  for (int step = 2; step <= nsteps; ++step) {
    const Array1<double> row = tab[step];
    const bool clikBest = row[3] <= minClik;
    const char* clikMark = clikBest ? "<<<" : (step == gup ? "GUP" : "   ");
    // A CLIK minimum that is also the GUP step shows both marks; the second
    // goes at the end so that every column keeps its place.
    reportAndSummaryf(s.files.SUMMFILE, table, "     %6.3f   %9.3g %3s %9.3g %3s %9.3g %3s%s",
                      static_cast<double>(row[1]), static_cast<double>(row[3]), clikMark,
                      static_cast<double>(row[5]), mark(row[5] <= minEbays),
                      static_cast<double>(row[4]), mark(row[4] <= minRcoef),
                      clikBest && step == gup ? " GUP" : "");
  }
  REPORT_LINE(BLANK_LINE);
  REPORT_LINE("    NOTE: The shrinkage-extent MCAL value most likely to be MSE optimal");
  REPORT_LINE("      minimizes a \"normalized\" (minus 2 log) likelihood ratio...");
  REPORT_LINE(BLANK_LINE);
  // Row 1 prints no marks: a limit at step 1 is named, not pointed to.
  if (gup == 1) {
    REPORT_LINE("      At MCAL = 0: least squares itself is the estimated");
  } else {
    reportLinef("      MCAL=%6.3f is marked \"GUP\" above because this is the estimated",
                static_cast<double>(tab[gup][1]));
  }
  REPORT_LINE("      upper limit on extent of shrinkage that is GOOD [dominates");
  REPORT_LINE("      least squares in the multivariate (matrix) MSE risk sense.]");
  if (s.files.traceOpen()) {
    std::fputs("3YQ = Three Shrinkage Likelihoods...\n", s.files.TRACEFILE);
    MYQWRITE(s.files.TRACEFILE, s.THREEYQ, 18, " %13.6g", 0);
  }
}

}  // namespace tolvane
