// A small analysis state with traces filled directly: three predictors,
// rank 3, four steps per unit of MCAL, so 13 path steps. Each trace has
// distinct, easily told apart values so that a read-out can be checked
// against the matrix.
#pragma once

#include <cstdio>
#include <string>

#include "engine/analysis_state.hpp"
#include "report/report.hpp"

namespace tolvane::test {

inline void fillTrace(MatrixRec* m, int rows, int cols, double (*f)(int i, int j)) {
  m->allocate(rows, cols);
  for (int i = 1; i <= rows; ++i)
    for (int j = 1; j <= cols; ++j)
      m->data[i][j] = toFloat(f(i, j));
}

// Fills state as after a Select Shape over predictors ALPHA, BETA, GAMMA.
inline void fillSmallPath(AnalysisState& s, int msteps = 4) {
  s.P = 3;
  s.RANK = 3;
  s.MSTEPS = msteps;
  s.NSTEPS = s.RANK * s.MSTEPS + 1;
  s.lineWidth = 1;
  s.XNAME[1] = "ALPHA";
  s.XNAME[2] = "BETA";
  s.XNAME[3] = "GAMMA";
  const int n = s.NSTEPS;
  // Coefficients fan out from 0 and stay apart: series j is near 3j at the
  // start and shrinks linearly to 0 at the last step.
  fillTrace(&s.CYQ, n, 3, [](int i, int j) { return (3.0 * j + 0.37) * (1.0 - (i - 1) / 12.0); });
  fillTrace(&s.RYQ, n, 3, [](int i, int j) { return 1.0 + 0.5 * j + 0.01 * i; });
  fillTrace(&s.EYQ, n, 3, [](int i, int j) { return (2.0 - j) * 0.25 * (i - 1); });
  fillTrace(&s.IYQ, n, 3, [](int i, int j) { return i == 1 ? 0.0 : 0.2 * j; });
  fillTrace(&s.DYQ, n, 3, [](int i, int j) { return 1.0 - (i - 1) / (12.0 + j); });
  s.KYQ.release();
}

// The newest line of the report store.
inline std::string lastReportLine() {
  return reportSlot(reportCounters().newestSlot);
}

// printf into a std::string, for building expected report lines.
template <class... A>
std::string format(const char* f, A... args) {
  char buf[256];
  std::snprintf(buf, sizeof buf, f, args...);
  return buf;
}

}  // namespace tolvane::test
